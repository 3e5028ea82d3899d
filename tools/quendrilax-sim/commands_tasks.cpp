#include "quendrilax-sim/commands_tasks.h"

#include <algorithm>

#include "platform/mail_ids.h"
#include "quendrilax-sim/command_table.h"
#include "quendrilax-sim/hand_made_sync_mail.h"
#include "quendrilax-sim/runner.h"
#include "quendrilax-sim/runner_text.h"
#include "quendrilax-sim/text_utf.h"
#include "sim/mail/mail_store.h"
#include "sim/office/host_process.h"
#include "sim/registry_sim.h"

namespace qx::tools {

namespace {

constexpr std::string_view kFoldersKey = "Software\\Vantrosse\\Quendrilax\\Folders\\";
constexpr std::u16string_view kSyncIdProperty = u"quendrilaxid";

std::string listSubjects(const std::vector<sim::MailItemInfo>& items) {
  std::string listed;
  for (std::size_t i = 0; i < items.size() && i < 10; ++i)
    listed += (i ? ", " : "") + inQuotes(utf16ToUtf8(items[i].data.subject));
  if (items.size() > 10) listed += ", ...";
  return "[" + listed + "]";
}

std::vector<sim::MailItemInfo> tasksNamed(OfficeUser& u, const std::u16string& folder,
                                          const std::string& subject) {
  std::vector<sim::MailItemInfo> found;
  const std::u16string wanted = utf8ToUtf16(subject);
  for (sim::MailItemInfo& item : u.host->mail().folderItems(folder))
    if (item.data.kind == sim::mail::ItemKind::kTask && item.data.subject == wanted)
      found.push_back(std::move(item));
  return found;
}

std::string fieldsNote(const std::vector<FieldValue>& fields) {
  std::string note;
  for (const FieldValue& f : fields)
    note += std::string(note.empty() ? "" : ", ") + std::string(fieldName(f.field)) + " " +
            (f.field == TaskField::kProperty ? f.property + " " : std::string()) + inQuotes(f.text);
  return note;
}

std::string readIn(Args& args) {
  return args.accept("in") ? args.text("folder path") : std::string("Tasks");
}

std::shared_ptr<const Step> readTask(ReadContext& ctx) {
  Args& args = ctx.args;
  auto task = std::make_shared<TaskCmd>();
  task->user = ctx.knownUser();
  const std::string action = args.oneOf("task action", "add|edit|delete|hard-delete|move|copy");
  using A = TaskCmd::Action;
  task->action = action == "add"           ? A::kAdd
                 : action == "edit"        ? A::kEdit
                 : action == "delete"      ? A::kDelete
                 : action == "hard-delete" ? A::kHardDelete
                 : action == "move"        ? A::kMove
                                           : A::kCopy;
  task->subject = args.text("subject");
  task->folder = readIn(args);
  if (task->action == A::kMove || task->action == A::kCopy) {
    if (!args.accept("to")) bad("task USER " + action + " SUBJECT [in PATH] to PATH");
    task->target = args.text("target folder path");
  }
  if (task->action == A::kAdd || task->action == A::kEdit)
    while (!args.done()) task->fields.push_back(readFieldValue(args));
  if (task->action == A::kEdit && task->fields.empty())
    bad("task USER edit SUBJECT [in PATH] FIELD VALUE [FIELD VALUE]...");
  return task;
}

std::shared_ptr<const Step> readItem(ReadContext& ctx) {
  Args& args = ctx.args;
  std::string user = ctx.knownUser();
  args.oneOf("item action", "add");
  std::string subject = args.text("subject");
  if (!args.accept("in")) bad("item USER add SUBJECT in PATH kind mail|note");
  std::string folder = args.text("folder path");
  if (!args.accept("kind")) bad("item USER add SUBJECT in PATH kind mail|note");
  const bool note = args.oneOf("item kind", "mail|note") == "note";
  return makeStep([=](Runner& runner, const SourceLocation& where) {
    OfficeUser& u = runner.user(user);
    const std::u16string id = runner.folderId(u, folder);
    if (id.empty()) return runner.fail(where, "no folder " + inQuotes(folder) + " for " + user);
    sim::mail::ItemData item = sim::mail::ItemData::newMail();
    if (note) {
      // Neither a task nor a mail to the add-in.
      item.kind = sim::mail::ItemKind::kReport;
      item.messageClass = u"IPM.StickyNote";
    }
    item.subject = utf8ToUtf16(subject);
    if (u.host->mail().addItem(id, std::move(item)).empty())
      return runner.fail(where, "cannot add " + inQuotes(subject) + " to " + folder);
    runner.say(user, std::string("adds ") + (note ? "note " : "mail ") + inQuotes(subject) +
                         " to " + folder);
  });
}

std::shared_ptr<const Step> readShare(ReadContext& ctx) {
  Args& args = ctx.args;
  auto share = std::make_shared<ShareCmd>();
  share->user = ctx.knownUser();
  share->folder = args.text("folder path");
  if (!args.accept("as")) bad("share USER FOLDER as SHARENAME [with ADDRESS...]");
  share->shareName = args.ansiText("share name");
  if (args.accept("with")) {
    while (!args.done()) share->recipients.push_back(args.ansiText("address"));
    if (share->recipients.empty()) bad("'with' needs at least one address");
  }
  return share;
}

std::shared_ptr<const Step> readMail(ReadContext& ctx) {
  Args& args = ctx.args;
  std::string user = ctx.knownUser();
  if (args.keyword("action (send)") != "send")
    bad("mail takes: send to ADDRESSES subject TEXT [body TEXT] | send change|removal ...");
  if (args.peekIs("change") || args.peekIs("removal")) return readHandMadeSyncMail(ctx, user);
  std::string to, subject, body;
  while (!args.done()) {
    const std::string field = args.oneOf("mail field", "to|subject|body");
    if (field == "to")
      to = args.text("addresses");
    else if (field == "subject")
      subject = args.text("subject");
    else
      body = args.longText("body");
  }
  if (to.empty()) bad("a mail needs: to ADDRESSES");
  return makeStep([=](Runner& runner, const SourceLocation&) {
    auto& mail = runner.user(user).host->mail();
    sim::mail::ItemData data = sim::mail::ItemData::newMail();
    data.to = utf8ToUtf16(to);
    data.subject = utf8ToUtf16(subject);
    data.body = utf8ToUtf16(body);
    data.senderAddress = mail.address();
    auto& core = mail.core();
    core.insertItem(core.defaultStore(), mail.defaultFolderId(default_folder::kOutbox),
                    std::move(data), true);
    runner.say(user, "sends mail " + inQuotes(subject) + " to " + to + " (waits in the Outbox)");
  });
}

std::shared_ptr<const Step> readFolder(ReadContext& ctx) {
  Args& args = ctx.args;
  std::string user = ctx.knownUser();
  if (args.keyword("action (add)") != "add") bad("folder takes: add PATH [mail]");
  std::string path = args.text("folder path");
  const bool mailFolder = args.accept("mail");
  return makeStep([=](Runner& runner, const SourceLocation& where) {
    OfficeUser& u = runner.user(user);
    const std::size_t cut = path.find_last_of("\\/");
    std::u16string parent;
    if (cut != std::string::npos) {
      parent = runner.folderId(u, path.substr(0, cut));
      if (parent.empty())
        return runner.fail(where, "no folder " + inQuotes(path.substr(0, cut)) + " for " + user);
    }
    std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    // A top folder of another store: "NAME:Folder".
    std::u16string storeId;
    if (const std::size_t colon = name.find(':');
        cut == std::string::npos && colon != std::string::npos) {
      const std::u16string storeName = utf8ToUtf16(name.substr(0, colon));
      for (auto* store : u.host->mail().core().stores())
        if (store->displayName() == storeName) storeId = store->id();
      if (storeId.empty())
        return runner.fail(where, "no store " + inQuotes(name.substr(0, colon)) + " for " + user);
      name = name.substr(colon + 1);
    }
    if (!runner.folderId(u, path).empty())
      return runner.fail(where, user + " has a folder " + inQuotes(path) + " already");
    const std::u16string id = u.host->mail().createFolder(
        utf8ToUtf16(name), mailFolder ? u"IPM.Note" : u"IPM.Task", parent, storeId);
    if (id.empty()) return runner.fail(where, "cannot create folder " + inQuotes(path));
    runner.say(user, std::string(mailFolder ? "mail" : "task") + " folder " + inQuotes(path) +
                         " created (" + utf16ToUtf8(id) + ")");
  });
}

// `expect USER task SUBJECT [in PATH] ...`
std::shared_ptr<const Expectation> readExpectTask(ReadContext& ctx) {
  Args& args = ctx.args;
  auto e = std::make_shared<ExpectTask>();
  e->subject = args.text("subject");
  e->folder = readIn(args);
  using Check = ExpectTask::Check;
  if (args.accept("count")) {
    e->what = Check::kCount;
    e->count = args.count("number of tasks");
  } else if (args.accept("property")) {
    e->what = Check::kProperty;
    e->property = args.text("property name");
    if (!args.accept("absent")) e->value = args.text("property text or absent");
  } else if (args.accept("sync-id")) {
    e->what = Check::kSyncId;
    e->syncId = args.oneOf("sync-id check", "none|present|same-as|differs-from");
    if (e->syncId == "same-as" || e->syncId == "differs-from") {
      e->otherUser = ctx.knownUser();
      e->otherSubject = args.text("subject of the other task");
      e->otherFolder = readIn(args);
    }
  } else {
    if (args.done())
      bad("expect USER task SUBJECT [in PATH] FIELD VALUE | property | sync-id | count");
    e->what = Check::kField;
    e->field = readFieldValue(args);
  }
  return e;
}

}  // namespace

std::string syncIdOf(const sim::mail::ItemData& task) {
  const sim::mail::UserProp* property = task.findUserProperty(kSyncIdProperty);
  return property ? utf16ToUtf8(sim::mail::variantKeyText(property->value)) : std::string();
}

TaskLookup findTask(Runner& runner, OfficeUser& u, const std::string& folder,
                    const std::string& subject) {
  const std::u16string id = runner.folderId(u, folder);
  if (id.empty()) return {std::nullopt, "no folder " + inQuotes(folder) + " for " + u.setup.name};
  auto found = tasksNamed(u, id, subject);
  if (found.size() == 1) return {std::move(found.front()), {}};
  if (found.empty()) {
    return {std::nullopt, "no task " + inQuotes(subject) + " in " + folder + " of " + u.setup.name +
                              "; it holds " + listSubjects(u.host->mail().folderItems(id))};
  }
  return {std::nullopt, std::to_string(found.size()) + " tasks " + inQuotes(subject) + " in " +
                            folder + " of " + u.setup.name +
                            "; a task must be named by a subject its folder holds once"};
}

namespace {

// A folder the user's configuration shares ("used" 1), so that its tasks
// travel while the add-in runs.
bool sharedByConfiguration(OfficeUser& u, const std::u16string& folderId) {
  const auto used = u.host->registry().value(
      reg::kCurrentUser, std::string(kFoldersKey) + utf8ToAnsi(utf16ToUtf8(folderId)), "used");
  return used && used->type == reg::kDword && used->data.size() == 4 && used->data[0] == 1 &&
         used->data[1] == 0 && used->data[2] == 0 && used->data[3] == 0;
}

// A private task or a holiday saved in a shared folder stays with its owner:
// said, since the transcript shows no mail for it.
void tellKeptHome(Runner& runner, OfficeUser& u, const std::u16string& entryId) {
  if (!u.connected) return;
  const auto item = u.host->mail().item(entryId);
  if (!item || !sharedByConfiguration(u, item->folderId)) return;
  const bool isPrivate = item->data.sensitivity == sensitivity::kPrivate;
  const bool holiday = item->data.categories.find(u"Feiertag") != std::u16string::npos;
  if (!isPrivate && !holiday) return;
  runner.say(u.setup.name, inQuotes(utf16ToUtf8(item->data.subject)) + " is " +
                               (isPrivate ? "private" : "a holiday (\"Feiertag\")") +
                               ": the add-in keeps it home, nothing of it is sent");
}

}  // namespace

void TaskCmd::run(Runner& runner, const SourceLocation& where) const {
  OfficeUser& u = runner.user(user);
  auto& mail = u.host->mail();
  if (action == Action::kAdd) {
    const std::u16string id = runner.folderId(u, folder);
    if (id.empty()) return runner.fail(where, "no folder " + inQuotes(folder) + " for " + user);
    sim::mail::ItemData task = sim::mail::ItemData::newTask();
    task.subject = utf8ToUtf16(subject);
    for (const FieldValue& f : fields) applyField(task, f);
    const std::u16string added = mail.addItem(id, std::move(task));
    if (added.empty()) return runner.fail(where, "cannot add a task to " + folder);
    runner.say(user, "adds task " + inQuotes(subject) + " to " + folder +
                         (fields.empty() ? "" : " (" + fieldsNote(fields) + ")"));
    tellKeptHome(runner, u, added);
    return;
  }
  const TaskLookup lookup = findTask(runner, u, folder, subject);
  if (!lookup.task) return runner.fail(where, lookup.problem);
  const std::u16string& entryId = lookup.task->entryId;
  std::u16string targetId;
  if (action == Action::kMove || action == Action::kCopy) {
    targetId = runner.folderId(u, target);
    if (targetId.empty())
      return runner.fail(where, "no folder " + inQuotes(target) + " for " + user);
  }
  switch (action) {
    case Action::kAdd:
      return;
    case Action::kEdit:
      mail.changeItem(entryId, [&](sim::mail::ItemData& data) {
        for (const FieldValue& f : fields) applyField(data, f);
      });
      runner.say(user,
                 "edits task " + inQuotes(subject) + " in " + folder + ": " + fieldsNote(fields));
      tellKeptHome(runner, u, entryId);
      return;
    case Action::kDelete:
      if (!mail.deleteItem(entryId))
        return runner.fail(where, "cannot delete " + inQuotes(subject));
      runner.say(user, "deletes task " + inQuotes(subject) + " from " + folder);
      return;
    case Action::kHardDelete:
      if (!mail.hardDelete(entryId))
        return runner.fail(where, "cannot remove " + inQuotes(subject));
      runner.say(user, "removes task " + inQuotes(subject) + " from " + folder + " for good");
      return;
    case Action::kMove:
      if (!mail.moveItem(entryId, targetId))
        return runner.fail(where, "cannot move " + inQuotes(subject) + " to " + target);
      runner.say(user, "moves task " + inQuotes(subject) + " from " + folder + " to " + target);
      return;
    case Action::kCopy:
      if (!mail.copyItem(entryId, targetId))
        return runner.fail(where, "cannot copy " + inQuotes(subject) + " to " + target);
      runner.say(user, "copies task " + inQuotes(subject) + " from " + folder + " to " + target);
      return;
  }
}

void ShareCmd::run(Runner& runner, const SourceLocation& where) const {
  OfficeUser& u = runner.user(user);
  const std::u16string id = runner.folderId(u, folder);
  const auto info = id.empty() ? std::nullopt : u.host->mail().folder(id);
  if (!info) return runner.fail(where, "no folder " + inQuotes(folder) + " for " + user);
  // As the folder property page saves it: used, store id, share name, and a
  // fresh list of recipients; "isProcessed" stays as it is.
  auto& registry = u.host->registry();
  const std::string key = std::string(kFoldersKey) + utf8ToAnsi(utf16ToUtf8(id));
  registry.putDword(reg::kCurrentUser, key, "used", 1);
  registry.putString(reg::kCurrentUser, key, "SID", utf8ToAnsi(utf16ToUtf8(info->storeId)));
  registry.putString(reg::kCurrentUser, key, "ShareName", utf8ToAnsi(shareName));
  registry.removeKey(reg::kCurrentUser, key + "\\Users");
  registry.putKey(reg::kCurrentUser, key + "\\Users");
  for (const std::string& address : recipients)
    registry.putKey(reg::kCurrentUser, key + "\\Users\\" + utf8ToAnsi(address));
  std::string note = "shares " + folder + " as " + inQuotes(shareName);
  for (std::size_t i = 0; i < recipients.size(); ++i) note += (i ? ", " : " with ") + recipients[i];
  runner.say(user, note);
}

std::optional<std::string> ExpectTask::check(Runner& runner, OfficeUser& u) const {
  const std::string label = "task " + inQuotes(subject) + " in " + folder;
  if (what == Check::kCount) {
    const std::u16string id = runner.folderId(u, folder);
    if (id.empty()) return expected("a folder " + inQuotes(folder), "none");
    const int found = static_cast<int>(tasksNamed(u, id, subject).size());
    if (found == count) return std::nullopt;
    return expected(std::to_string(count) + " task(s) " + inQuotes(subject) + " in " + folder,
                    std::to_string(found) + " " + listSubjects(u.host->mail().folderItems(id)));
  }
  const TaskLookup lookup = findTask(runner, u, folder, subject);
  if (!lookup.task) return expected(label, lookup.problem);
  const sim::mail::ItemData& data = lookup.task->data;
  switch (what) {
    case Check::kCount:
      break;
    case Check::kField: {
      const std::string found = fieldText(data, field.field);
      if (found == field.text) return std::nullopt;
      return expected(
          label + " " + std::string(fieldName(field.field)) + " " + inQuotes(field.text),
          inQuotes(found));
    }
    case Check::kProperty: {
      const sim::mail::UserProp* p = data.findUserProperty(utf8ToUtf16(property));
      const std::string what = label + " property " + inQuotes(property);
      if (!value) {
        if (!p) return std::nullopt;
        return expected(what + " absent",
                        inQuotes(utf16ToUtf8(sim::mail::variantKeyText(p->value))));
      }
      if (!p) return expected(what + " " + inQuotes(*value), "no such property");
      const std::string found = utf16ToUtf8(sim::mail::variantKeyText(p->value));
      if (found == *value) return std::nullopt;
      return expected(what + " " + inQuotes(*value), inQuotes(found));
    }
    case Check::kSyncId: {
      const std::string id = syncIdOf(data);
      const std::string shown = id.empty() ? std::string("none") : inQuotes(id);
      if (syncId == "none")
        return id.empty() ? std::nullopt : expected(label + " without a sync id", shown);
      if (syncId == "present")
        return !id.empty() ? std::nullopt : expected(label + " with a sync id", "none");
      const TaskLookup other = findTask(runner, runner.user(otherUser), otherFolder, otherSubject);
      const std::string otherLabel = "the sync id of " + otherUser + "'s task " +
                                     inQuotes(otherSubject) + " in " + otherFolder;
      // Both tasks must bear an id: two tasks without one do not differ in it.
      const bool same = syncId == "same-as";
      const std::string wanted =
          label + (same ? " with " : " with a sync id other than ") + otherLabel;
      if (!other.task) return expected(wanted, other.problem);
      const std::string otherId = syncIdOf(other.task->data);
      if (otherId.empty()) return expected(wanted, "that task has none");
      if (same) {
        if (id == otherId) return std::nullopt;
        return expected(wanted + " " + inQuotes(otherId), shown);
      }
      if (id.empty()) return expected(wanted, "none");
      if (id != otherId) return std::nullopt;
      return expected(wanted, "the same " + shown);
    }
  }
  return std::nullopt;
}

void registerTaskCommands(CommandTable& table) {
  table.command("folder", readFolder);
  table.command("task", readTask);
  table.command("item", readItem);
  table.command("mail", readMail);
  table.command("share", readShare);
  table.expectation("task", readExpectTask);
  table.expectation("folder", [](ReadContext& ctx) {
    Args& args = ctx.args;
    std::string folder = args.text("folder path");
    const std::string check = args.oneOf("folder check", "count|has|lacks");
    int count = 0;
    std::string subject;
    if (check == "count")
      count = args.count("count");
    else
      subject = args.text("subject");
    return makeExpectation([=](Runner& runner, OfficeUser& u) -> std::optional<std::string> {
      const std::u16string id = runner.folderId(u, folder);
      if (id.empty()) return expected("a folder " + inQuotes(folder), "none");
      const auto items = u.host->mail().folderItems(id);
      const std::u16string wanted = utf8ToUtf16(subject);
      const bool has = std::any_of(items.begin(), items.end(),
                                   [&](const auto& i) { return i.data.subject == wanted; });
      if (check == "count") {
        if (static_cast<int>(items.size()) == count) return std::nullopt;
        return expected(std::to_string(count) + " item(s) in " + folder,
                        std::to_string(items.size()) + " " + listSubjects(items));
      }
      if (check == "has")
        return has ? std::nullopt
                   : expected(folder + " to hold " + inQuotes(subject), listSubjects(items));
      return !has ? std::nullopt : expected(folder + " without " + inQuotes(subject), "it there");
    });
  });
  table.help("  folder USER add PATH [mail] | item USER add SUBJECT in PATH kind mail|note");
  table.help("  task USER add SUBJECT [in PATH] [FIELD VALUE]...");
  table.help("  task USER edit SUBJECT [in PATH] FIELD VALUE [FIELD VALUE]...");
  table.help(
      "  task USER delete|hard-delete SUBJECT [in PATH] | move|copy SUBJECT [in PATH] to PATH");
  table.help("    FIELD: subject T, body T, due|start DATE|none, status not-started|in-progress|");
  table.help("           complete|waiting|deferred, percent N, importance low|normal|high,");
  table.help("           private yes|no, categories T, owner T");
  table.help("  mail USER send to ADDRESSES subject TEXT [body TEXT]");
  table.help("  mail USER send change to ADDRESSES share NAME id SYNCID [version TEXT|none]");
  table.help("                 [FIELD VALUE]...");
  table.help("  mail USER send removal to ADDRESSES share NAME id SYNCID [version TEXT|none]");
  table.help("  share USER PATH as SHARENAME [with ADDRESS...]");
  table.help("  expect USER folder PATH count N | has SUBJECT | lacks SUBJECT");
  table.help("  expect USER task SUBJECT [in PATH] FIELD VALUE | property NAME TEXT|absent");
  table.help(
      "                 | sync-id none|present|same-as|differs-from USER2 SUBJECT2 [in PATH2]");
  table.help("                 | count N");
}

}  // namespace qx::tools

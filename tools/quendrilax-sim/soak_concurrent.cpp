// The concurrent soak: users edit 0 to 20 seconds apart without waiting for
// mail, the post office carries mail every 30 seconds, and at the end every
// user must hold every task's last version. Documented in docs/scenarios.md
// "Keeping in step".
#include <algorithm>

#include "core/change_tag.h"
#include "platform/mail_ids.h"
#include "protocol/change_version.h"
#include "protocol/derived_version.h"
#include "protocol/field_versions.h"
#include "sim/clock_sim.h"
#include "sim/codepage_sim.h"
#include "quendrilax-sim/commands_tasks.h"
#include "quendrilax-sim/soak_run.h"
#include "quendrilax-sim/sync_mail_contents.h"
#include "quendrilax-sim/text_utf.h"
#include "sim/mail/mail_client.h"
#include "sim/registry_sim.h"
#include "sim/office/host_process.h"
#include "sim/office/office.h"

namespace qx::tools {

namespace {

constexpr std::int64_t kTransportEveryMs = 30'000;
// Long enough for the add-in's steady tick (every 60 s) to send a save that
// the burst window held back, and for that mail to be carried.
constexpr std::int64_t kFinalQuietGapMs = 70'000;
constexpr std::size_t kLostShown = 20;

std::string userProperty(const sim::mail::ItemData& data, std::u16string_view name) {
  const sim::mail::UserProp* property = data.findUserProperty(name);
  if (!property || property->value.text() == nullptr) return {};
  return utf16ToUtf8(*property->value.text());
}

// The sync id between "id:" and ":id" of a sync mail's body, and its kind.
std::optional<std::pair<std::string, bool>> syncMailAbout(const sim::mail::ItemData& mail) {
  if (mail.subject != u"TaskSynchronisation") return std::nullopt;
  const std::string body = utf16ToUtf8(mail.body);
  const std::size_t open = body.find("id:");
  const std::size_t close = body.find(":id");
  if (open == std::string::npos || close == std::string::npos || close < open + 3)
    return std::nullopt;
  const bool removal = body.find("is:TRUE:is") == std::string::npos;
  return std::pair{body.substr(open + 3, close - open - 3), removal};
}

}  // namespace

void SoakRun::runConcurrent(int edits) {
  concurrent_ = true;
  plan_.setMostFieldsPerEdit(2);
  nextTransportMs_ = runner_.office().clock().nowMs() + kTransportEveryMs;
  for (int n = 1; n <= edits; ++n) {
    editNumber_ = n;
    if (auto who = plan_.restart(members_.size()); who && !toggleHost(members_[*who], false))
      return;
    std::vector<std::size_t> eligible = readyUsers(false);
    if (eligible.empty()) {
      for (SoakMember& m : members_)
        if (!m.user->host->running()) {
          if (!toggleHost(m, false)) return;
          break;
        }
      eligible = readyUsers(false);
      if (eligible.empty())
        return stuck("no user is ready to edit before edit " + std::to_string(n));
    }
    std::vector<std::size_t> counts;
    for (const SoakMember& m : members_) {
      const sim::mail::FolderData* folder = soakFolderOf(*m.user, m.folder);
      counts.push_back(folder ? folder->taskArrival.size() : 0);
    }
    SoakEdit edit = plan_.nextEdit(n, eligible, counts, keepsProperties(n));
    if (edit.kind != SoakEdit::Kind::kAdd)
      edit.task = plan_.concurrentTask(edit.task, counts[edit.user]);
    SoakMember& editor = members_[edit.user];
    std::optional<EditVersion> before;
    std::optional<sim::mail::ItemData> editedBefore;
    std::string deletedId;
    if (edit.kind != SoakEdit::Kind::kAdd) {
      const sim::mail::FolderData* folder = soakFolderOf(*editor.user, editor.folder);
      const std::u16string target =
          folder && edit.task < folder->taskArrival.size()
              ? folder->order.at(*folder->taskArrival.find_by_order(edit.task))
              : std::u16string();
      before = copyVersion(*editor.user, target);
      if (edit.kind == SoakEdit::Kind::kDelete) deletedId = syncIdOfItem(*editor.user, target);
      sim::mail::Store* store = editor.user->host->mail().core().storeOfEntryId(target);
      if (const sim::mail::StoredItem* item = store ? store->item(target) : nullptr)
        editedBefore = item->data;
    }
    std::u16string edited;
    if (!apply(edit, n, edited)) return;
    ++tally_.edits;
    // The add-in sees the save at once, at the time the edit was made.
    runner_.settle();
    if (lastEditChanged_) noteConcurrentEdit(edit, edited, deletedId, before, editedBefore);
    advanceCarrying(plan_.gapMs());
    if (n % 1000 == 0) progress();
  }
  editNumber_ = edits + 1;
  for (SoakMember& m : members_)
    if (!m.user->host->running() && !toggleHost(m, false)) return;
  if (!settle(kFinalQuietGapMs)) return stuck("the office did not settle after the last edit");
  checkLastEdits();
}

void SoakRun::advanceCarrying(std::int64_t ms) {
  auto& clock = runner_.office().clock();
  const std::int64_t target = clock.nowMs() + ms;
  while (nextTransportMs_ <= target) {
    runner_.advance(nextTransportMs_ - clock.nowMs());
    carryMail();
    nextTransportMs_ += kTransportEveryMs;
  }
  runner_.advance(target - clock.nowMs());
}

void SoakRun::noteMailsLeaving(std::int64_t delayMs) {
  const std::int64_t now = runner_.office().clock().nowMs();
  for (const std::string& name : runner_.userNames()) {
    OfficeUser& u = runner_.user(name);
    auto& mail = u.host->mail();
    const std::u16string outbox = mail.defaultFolderId(default_folder::kOutbox);
    sim::mail::Store* store = mail.core().storeOfEntryId(outbox);
    sim::mail::FolderData* folder = store ? store->folder(outbox) : nullptr;
    if (!folder) continue;
    for (const auto& [seq, id] : folder->order) {
      const sim::mail::StoredItem* item = store->item(id);
      if (!item || !item->submitted) continue;
      const auto about = syncMailAbout(item->data);
      if (!about) continue;
      ledger_.noteMail(about->first, about->second, now, now + delayMs);
      noteFieldVersions(about->first, about->second, name, mail.address(), now, item->data);
      ++syncMails_;
      bodyBytes_ += static_cast<long long>(2 * item->data.body.size());
      for (const sim::mail::AttachmentData& attachment : item->data.attachments)
        attachmentBytes_ += static_cast<long long>(attachment.content.size());
    }
  }
}

std::optional<EditVersion> SoakRun::copyVersion(OfficeUser& u, const std::u16string& entryId) {
  sim::mail::Store* store = u.host->mail().core().storeOfEntryId(entryId);
  const sim::mail::StoredItem* item = store ? store->item(entryId) : nullptr;
  if (!item) return std::nullopt;
  return editVersionFromText(userProperty(item->data, u"quendrilaxversion"));
}

std::string SoakRun::syncIdOfItem(OfficeUser& u, const std::u16string& entryId) {
  sim::mail::Store* store = u.host->mail().core().storeOfEntryId(entryId);
  const sim::mail::StoredItem* item = store ? store->item(entryId) : nullptr;
  return item ? syncIdOf(item->data) : std::string();
}

const std::string& SoakRun::tagOf(SoakMember& m) {
  const std::size_t index = static_cast<std::size_t>(&m - members_.data());
  if (tags_[index].empty()) {
    const auto value = m.user->host->registry().value(reg::kCurrentUser, changetag::kKey,
                                                      changetag::kValue);
    if (value) {
      std::string text(value->data.begin(), value->data.end());
      text = text.substr(0, text.find('\0'));
      tags_[index] = text;
    }
  }
  return tags_[index];
}

void SoakRun::noteFieldVersions(const std::string& syncId, bool removal, const std::string& user,
                                const std::u16string& address, std::int64_t nowMs,
                                const sim::mail::ItemData& mail) {
  const std::string body = sim::CodePageSim::narrow(mail.body);
  const std::optional<ChangeVersion> version = readVersionLine(body);
  if (!version) {
    // As every receiver derives it: the second the post office stamps on
    // the mail in this very run, and the sender's address.
    const ChangeVersion derived =
        derivedVersionAt(sim::kDefaultStartSeconds * 1000 + nowMs, address);
    if (removal) return fields_.noteRemoval(syncId, derived);
    const Carried carried = carriedTask(mail);
    if (carried.task) fields_.noteUnversionedChangeMail(syncId, user, derived, *carried.task);
    return;
  }
  if (removal) return fields_.noteRemoval(syncId, *version);
  const std::optional<FieldVersionLine> line = readFieldVersionLine(body, *version);
  const FieldVersions versions = line ? line->versions : FieldVersions(version);
  fields_.noteChangeMail(syncId, user, versions);
  if (olderPeer_ && user == members_[olderPeer_->member].name && editNumber_ > olderPeer_->toEdit)
    if (const Carried carried = carriedTask(mail); carried.task)
      fields_.noteKeptVersions(syncId, versions, *carried.task);
}

void SoakRun::noteConcurrentEdit(const SoakEdit& edit, const std::u16string& edited,
                                 const std::string& deletedId,
                                 const std::optional<EditVersion>& before,
                                 const std::optional<sim::mail::ItemData>& editedBefore) {
  SoakMember& editor = members_[edit.user];
  LastEdit last;
  last.editor = editor.name;
  // As the add-in stamps it: the time of the edit, but past the version the
  // editor's copy held.
  const std::int64_t now = editor.user->host->platform().clock.nowMs();
  last.version = {before && before->utcMs >= now ? before->utcMs + 1 : now, tagOf(editor)};
  std::string syncId = deletedId;
  if (edit.kind == SoakEdit::Kind::kDelete) {
    last.removed = true;
  } else {
    sim::mail::Store* store = editor.user->host->mail().core().storeOfEntryId(edited);
    const sim::mail::StoredItem* item = store ? store->item(edited) : nullptr;
    if (!item) return;
    last.state = item->data;
    syncId = syncIdOf(item->data);
  }
  // A task that never got its id never travelled: in-step names it.
  if (syncId.empty()) return;
  if (!last.removed) {
    fields_.noteEdit(syncId, editor.name, last.version.tag, last.version.utcMs,
                     editedBefore ? &*editedBefore : nullptr, last.state);
  }
  ledger_.noteEdit(syncId, std::move(last), before);
}

void SoakRun::checkLastEdits() {
  std::vector<FolderContents> folders;
  std::vector<FolderContents> olderPeer;
  for (SoakMember& m : members_) {
    FolderContents contents{m.name, {}};
    sim::mail::Store* store = m.user->host->mail().core().storeOfEntryId(m.folder);
    const sim::mail::FolderData* folder = store ? store->folder(m.folder) : nullptr;
    if (folder)
      for (const auto& [seq, id] : folder->order)
        if (const sim::mail::StoredItem* item = store->item(id)) contents.tasks.push_back(item->data);
    const bool older = olderPeer_ && &m == &members_[olderPeer_->member];
    (older ? olderPeer : folders).push_back(std::move(contents));
  }
  // The older peer's own copy is counted, not held: his add-in merged what
  // arrived by the versions it keeps, where the others had his mails at the
  // versions they derived, as an add-in without versions stays apart too.
  olderPeerApart_ = fields_.lostFieldEdits(olderPeer).size();
  // Field by field: each user holds the value of every field's last version.
  const std::vector<std::string> lost = fields_.lostFieldEdits(folders);
  if (lost.empty()) return;
  std::string text = "soak " + shareName_ + ": " + std::to_string(lost.size()) +
                     " lost field edit(s) among " + std::to_string(fields_.tasks()) + " tasks";
  for (std::size_t i = 0; i < lost.size() && i < kLostShown; ++i) text += "\n    " + lost[i];
  if (lost.size() > kLostShown) text += "\n    ...";
  runner_.fail(where_, text);
}

}  // namespace qx::tools

// The folder property page and what stands around it: the folder's
// Properties dialog (the host raising OptionsPagesAdd, creating the offered
// page by its ProgID and hosting it), the user working the page's controls,
// the address book's answers, the shell's "open" of the help file, the
// module's self-registration and second stores. Documented in
// docs/scenarios.md "The folder property page".
//
// Every user's machine has the module registered, as after installation,
// from the first command of this family on; `unregister USER` takes that
// back, and the host then creates no page.
#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "platform/registry.h"
#include "quendrilax-sim/command_table.h"
#include "quendrilax-sim/runner.h"
#include "quendrilax-sim/runner_text.h"
#include "quendrilax-sim/text_utf.h"
#include "sim/mail/mail_client.h"
#include "sim/office/host_process.h"
#include "sim/pages/folder_properties.h"
#include "sim/pages/inproc_servers.h"
#include "sim/registry_sim.h"
#include "sim/shell_sim.h"
#include "sim/window_system_sim.h"
#include "ui/class_ids.h"
#include "ui/empty_page.h"
#include "ui/folder_page.h"
#include "ui/folder_page_template.h"
#include "ui/registration.h"

namespace qx::tools {

namespace {

constexpr std::u16string_view kRealPage = u"Corvessa.OLFoldersPropPage";
constexpr std::u16string_view kPlaceholderPage = u"Quendrilax.PropPageEmpty";

// One user's machine as far as pages go: the module's class objects known to
// COM there, and the Properties dialog the user has open.
struct UserPages {
  std::unique_ptr<sim::InprocServers> servers;
  std::unique_ptr<sim::FolderPropertiesDialog> dialog;
  // The module whose pages the dialog holds; a page of a module that has been
  // unloaded meanwhile is never touched again.
  const AddinModule* module = nullptr;
  bool opened = false;
};

// Declared before the users it refers to go, so it is released first.
struct PagesState {
  std::map<std::string, UserPages> users;
};

sim::WindowSystemSim& windowsOf(OfficeUser& u) {
  return dynamic_cast<sim::WindowSystemSim&>(u.host->platform().windows);
}

// Installs the module on every machine not seen yet and returns the user's.
UserPages& machine(Runner& runner, const std::string& name) {
  auto& state = runner.slot<PagesState>();
  for (const std::string& user : runner.userNames()) {
    if (state.users.contains(user)) continue;
    OfficeUser& u = runner.user(user);
    UserPages& pages = state.users[user];
    pages.servers = std::make_unique<sim::InprocServers>(u.host->registry(), u.host->faults());
    Runner* r = &runner;
    pages.servers->add(addin_class::kFolderPageClassId, u.host->moduleFile(),
                       [r, user]() -> std::shared_ptr<PageControl> {
                         OfficeUser& owner = r->user(user);
                         if (!owner.module) return nullptr;
                         return COLFoldersPropPage::create(*owner.module);
                       });
    pages.servers->add(addin_class::kEmptyPageClassId, u.host->moduleFile(),
                       [r, user]() -> std::shared_ptr<PageControl> {
                         OfficeUser& owner = r->user(user);
                         if (!owner.module) return nullptr;
                         return CPropPageEmpty::create(*owner.module);
                       });
    registerServer(u.host->registry(), u.host->moduleFile());
  }
  UserPages& pages = state.users[name];
  // A dialog of a host run or module that has ended is gone with it.
  OfficeUser& u = runner.user(name);
  if (pages.dialog && (!u.host->running() || pages.module != u.module.get())) {
    pages.dialog.reset();
    pages.module = nullptr;
  }
  return pages;
}

std::string pageKindOf(const std::u16string& progId) {
  if (progId == kRealPage) return "real";
  if (progId == kPlaceholderPage) return "placeholder";
  return inQuotes(utf16ToUtf8(progId));
}

// The page the user sees in the open dialog, if any.
const sim::HostedPage* shownPage(Runner& runner, const std::string& user) {
  UserPages& pages = machine(runner, user);
  if (!pages.dialog || !pages.dialog->isOpen()) return nullptr;
  return pages.dialog->firstHosted();
}

// The folder page the user works on; fails the step otherwise.
const sim::HostedPage* folderPage(Runner& runner, const std::string& user, std::string* why) {
  const sim::HostedPage* page = shownPage(runner, user);
  if (!page) {
    *why = "no page shown to " + user + " (properties USER PATH first)";
    return nullptr;
  }
  if (page->progId != kRealPage) {
    *why = user + " is shown the " + pageKindOf(page->progId) + " page, not the folder page";
    return nullptr;
  }
  return page;
}

int controlId(const std::string& name) {
  using namespace folder_page;
  static const std::map<std::string, int> kIds = {
      {"add", kAddButton},          {"remove", kRemoveButton},
      {"book", kAddressBookButton}, {"basic-sync", kBasicSyncButton},
      {"address", kAddressField},   {"list", kRecipientList},
      {"group", kRecipientsGroup},  {"sharename", kShareNameField},
      {"check", kSyncCheckBox},
  };
  return kIds.at(name);
}

std::string controlText(sim::WindowSystemSim& windows, WindowHandle page, int id) {
  const sim::ControlState* control = windows.control(page, id);
  return control ? utf16ToUtf8(control->text) : std::string();
}

std::string listText(const std::vector<std::u16string>& entries) {
  if (entries.empty()) return "empty";
  std::string out;
  for (const std::u16string& entry : entries)
    out += (out.empty() ? "" : " ") + inQuotes(utf16ToUtf8(entry));
  return out;
}

std::shared_ptr<const Step> readPage(ReadContext& ctx) {
  Args& args = ctx.args;
  const std::string user = ctx.knownUser();
  const std::string action = args.oneOf(
      "page action", "check|uncheck|sharename|type|click|select|double-click|ok|apply|cancel");
  std::string text;
  if (action == "sharename" || action == "type" || action == "select" || action == "double-click")
    text = args.text(action + " text");
  if (action == "click") text = args.oneOf("page button", "add|remove|book|basic-sync|help");
  return makeStep([user, action, text](Runner& runner, const SourceLocation& where) {
    UserPages& pages = machine(runner, user);
    // The dialog's own buttons work whatever page it shows.
    if (action == "ok" || action == "apply" || action == "cancel") {
      if (!pages.dialog || !pages.dialog->isOpen())
        return runner.fail(where, "page " + action + ": no Properties dialog open for " + user);
      if (action == "cancel") {
        pages.dialog->cancel();
        return runner.say(user, "presses Cancel");
      }
      const int applied = action == "ok" ? pages.dialog->ok() : pages.dialog->apply();
      return runner.say(user, std::string(action == "ok" ? "presses OK" : "presses Apply") + ": " +
                                  std::to_string(applied) + " page(s) applied");
    }
    std::string why;
    const sim::HostedPage* page = folderPage(runner, user, &why);
    if (!page) return runner.fail(where, "page " + action + ": " + why);
    OfficeUser& u = runner.user(user);
    sim::WindowSystemSim& windows = windowsOf(u);
    const WindowHandle window = page->window;
    using namespace folder_page;
    if (action == "check" || action == "uncheck") {
      const bool want = action == "check";
      const sim::ControlState* box = windows.control(window, kSyncCheckBox);
      if (box && box->checked == want) {
        runner.say(user, "the box is " + std::string(want ? "checked" : "clear") + " already");
        return;
      }
      if (!windows.click(window, kSyncCheckBox))
        return runner.fail(where, "the check box cannot be clicked");
      runner.say(user, std::string(want ? "checks" : "clears") + " \"" +
                           controlText(windows, window, kSyncCheckBox) + "\"");
    } else if (action == "sharename" || action == "type") {
      const int id = action == "type" ? kAddressField : kShareNameField;
      if (!windows.typeText(window, id, utf8ToUtf16(text)))
        return runner.fail(
            where, std::string(action == "type" ? "the address field" : "the share-name field") +
                       " is disabled");
      runner.say(user, "types " + inQuotes(text) +
                           (action == "type" ? " as the address" : " as the share name"));
    } else if (action == "click") {
      if (text == "help") {
        windows.pressHelp(window);
        runner.say(user, "presses F1 on the page");
        return;
      }
      const int id = controlId(text);
      const std::string label = controlText(windows, window, id);
      runner.say(user, "clicks " + inQuotes(label.empty() ? text : label));
      if (!windows.click(window, id)) return runner.fail(where, "button " + text + " is disabled");
    } else if (action == "select" || action == "double-click") {
      const auto entries = windows.listEntries(window, kRecipientList);
      auto found = std::find(entries.begin(), entries.end(), utf8ToUtf16(text));
      if (found == entries.end())
        return runner.fail(
            where, "no list entry " + inQuotes(text) + " (list: " + listText(entries) + ")");
      const int index = static_cast<int>(found - entries.begin());
      const bool done = action == "select"
                            ? windows.selectListEntry(window, kRecipientList, index)
                            : windows.doubleClickListEntry(window, kRecipientList, index);
      if (!done) return runner.fail(where, "the list is disabled");
      runner.say(user, (action == "select" ? "selects " : "double-clicks ") + inQuotes(text));
    }
  });
}

std::shared_ptr<const Expectation> readExpectPage(ReadContext& ctx) {
  Args& args = ctx.args;
  const std::string what =
      args.oneOf("page check",
                 "real|placeholder|none|checked|unchecked|sharename|list|enabled|disabled|dirty");
  if (what == "real" || what == "placeholder" || what == "none") {
    return makeExpectation([what](Runner& runner, OfficeUser& u) -> std::optional<std::string> {
      UserPages& pages = machine(runner, u.setup.name);
      if (!pages.opened)
        return expected("the " + what + " page",
                        "no Properties dialog opened (properties USER PATH)");
      const sim::HostedPage* page = shownPage(runner, u.setup.name);
      const std::string found = page ? pageKindOf(page->progId) : "none";
      if (found == what) return std::nullopt;
      return expected("the " + what + " page shown",
                      found == "none" ? "no page" : "the " + found + " page");
    });
  }
  std::string text;
  std::vector<std::string> entries;
  if (what == "sharename") text = args.text("share name");
  if (what == "list" && !args.accept("empty")) {
    entries.push_back(args.text("list entry"));
    while (!args.done()) entries.push_back(args.text("list entry"));
  }
  if (what == "enabled" || what == "disabled")
    text = args.oneOf("page control", "add|remove|basic-sync|address|list|group");
  if (what == "dirty") text = args.oneOf("dirty", "yes|no");
  return makeExpectation(
      [what, text, entries](Runner& runner, OfficeUser& u) -> std::optional<std::string> {
        std::string why;
        const sim::HostedPage* page = folderPage(runner, u.setup.name, &why);
        if (!page) return expected("the page " + what, why);
        sim::WindowSystemSim& windows = windowsOf(u);
        using namespace folder_page;
        if (what == "checked" || what == "unchecked") {
          const bool checked = windows.control(page->window, kSyncCheckBox)->checked;
          if (checked == (what == "checked")) return std::nullopt;
          return expected("the box " + what, checked ? "checked" : "unchecked");
        }
        if (what == "sharename") {
          const std::string shown = controlText(windows, page->window, kShareNameField);
          if (shown == text) return std::nullopt;
          return expected("share name " + inQuotes(text), inQuotes(shown));
        }
        if (what == "list") {
          const auto shown = windows.listEntries(page->window, kRecipientList);
          std::vector<std::u16string> wanted;
          for (const std::string& e : entries) wanted.push_back(utf8ToUtf16(e));
          if (shown == wanted) return std::nullopt;
          return expected("the list " + listText(wanted), listText(shown));
        }
        if (what == "enabled" || what == "disabled") {
          const bool enabled = windows.control(page->window, controlId(text))->enabled;
          if (enabled == (what == "enabled")) return std::nullopt;
          return expected(text + " " + what, enabled ? "enabled" : "disabled");
        }
        const std::optional<bool> dirty = machine(runner, u.setup.name).dialog->dirty(*page);
        const std::string found = !dirty ? "no answer" : *dirty ? "yes" : "no";
        if (found == text) return std::nullopt;
        return expected("dirty " + text, found);
      });
}

// The page as the user sees it: its controls in tab order.
void showPage(Runner& runner, const std::string& user, const SourceLocation& where) {
  const sim::HostedPage* page = shownPage(runner, user);
  if (!page) return runner.fail(where, "show page: no page shown to " + user);
  OfficeUser& u = runner.user(user);
  sim::WindowSystemSim& windows = windowsOf(u);
  UserPages& pages = machine(runner, user);
  runner.say(user, "the " + pageKindOf(page->progId) + " page titled " +
                       inQuotes(utf16ToUtf8(page->title)) + ":");
  const DialogTemplate layout =
      page->progId == kRealPage ? folderPageTemplate() : emptyPageTemplate();
  for (const DialogControl& c : layout.controls) {
    std::string line = "    " + std::to_string(c.id) + " " + utf16ToUtf8(c.windowClass);
    if (c.id == -1) {
      runner.out() << line << (c.text.empty() ? "" : " " + inQuotes(utf16ToUtf8(c.text))) << '\n';
      continue;
    }
    const sim::ControlState* state = windows.control(page->window, c.id);
    if (!state) continue;
    line += " " + inQuotes(utf16ToUtf8(state->text));
    if (!state->enabled) line += " disabled";
    if (state->checkable()) line += state->checked ? " checked" : " clear";
    if (state->kind == sim::ControlKind::kListBox)
      line += " [" + listText(state->list.entries()) + "]";
    runner.out() << line << '\n';
  }
  if (const std::optional<bool> dirty = pages.dialog->dirty(*page))
    runner.out() << "    dirty " << (*dirty ? "yes" : "no") << ", Apply "
                 << (pages.dialog->applyEnabled() ? "enabled" : "disabled") << '\n';
}

}  // namespace

void registerPageCommands(CommandTable& table) {
  table.command("properties", [](ReadContext& ctx) {
    std::string user = ctx.knownUser();
    std::string folder = ctx.args.text("folder path");
    return makeStep([user, folder](Runner& runner, const SourceLocation& where) {
      OfficeUser& u = runner.user(user);
      const std::u16string id = runner.folderId(u, folder);
      if (id.empty()) return runner.fail(where, "no folder " + inQuotes(folder) + " for " + user);
      if (!u.host->running()) return runner.fail(where, "the host of " + user + " does not run");
      UserPages& pages = machine(runner, user);
      if (!pages.dialog)
        pages.dialog = std::make_unique<sim::FolderPropertiesDialog>(
            u.host->mail(), windowsOf(u), *pages.servers, u.host->faults());
      pages.module = u.module.get();
      pages.opened = true;
      pages.dialog->open(id);
      std::string note = "opens the Properties of " + folder + ": ";
      const auto& hosted = pages.dialog->pages();
      if (hosted.empty()) note += "no page added";
      for (std::size_t i = 0; i < hosted.size(); ++i) {
        note += (i ? ", " : "") + std::string("page ") + inQuotes(utf16ToUtf8(hosted[i].progId)) +
                " titled " + inQuotes(utf16ToUtf8(hosted[i].title));
        if (!hosted[i].control) note += " (not created: " + statusText(hosted[i].created) + ")";
      }
      runner.say(user, note);
    });
  });
  table.command("page", readPage);
  table.expectation("page", readExpectPage);
  table.show("page", [](ReadContext&, const std::string& user) {
    return makeStep(
        [user](Runner& runner, const SourceLocation& where) { showPage(runner, user, where); });
  });
  table.command("addressbook", [](ReadContext& ctx) {
    Args& args = ctx.args;
    std::string user = ctx.knownUser();
    args.oneOf("addressbook action", "returns");
    std::optional<std::vector<sim::mail::AddressChoice>> choice;
    std::string note;
    if (args.accept("nothing")) {
      note = "nothing (the user cancels)";
    } else if (args.accept("empty")) {
      choice.emplace();
      note = "an empty choice";
    } else {
      const std::string address = args.text("address, empty or nothing");
      bool resolved = true;
      if (args.accept("flag")) resolved = args.oneOf("flag", "yes|no") == "yes";
      choice = std::vector<sim::mail::AddressChoice>{{utf8ToUtf16(address), resolved}};
      note = inQuotes(address) + (resolved ? "" : " (flag no)");
    }
    return makeStep([=](Runner& runner, const SourceLocation&) {
      runner.user(user).host->mail().scriptAddressBook(choice);
      runner.say(user, "the address book's next answer: " + note);
    });
  });

  table.expectation("shell", [](ReadContext& ctx) {
    ctx.args.oneOf("shell check", "opened");
    std::string text = ctx.args.text("what the shell was asked to open");
    return makeExpectation([text](Runner&, OfficeUser& u) -> std::optional<std::string> {
      auto* shell = dynamic_cast<sim::ShellSim*>(&u.host->platform().shell);
      if (!shell)
        return expected("the shell to have opened " + inQuotes(text), "no shell stand-in");
      std::string opened;
      for (const sim::ShellExecution& e : shell->executions()) {
        if (ansiToUtf8(e.file) == text) return std::nullopt;
        opened += (opened.empty() ? "" : ", ") + inQuotes(ansiToUtf8(e.file));
      }
      return expected("the shell to have opened " + inQuotes(text),
                      opened.empty() ? "nothing opened" : "[" + opened + "]");
    });
  });

  for (const std::string verb : {"register", "unregister"}) {
    table.command(verb, [verb](ReadContext& ctx) {
      return makeStep([verb, user = ctx.knownUser()](Runner& runner, const SourceLocation& where) {
        OfficeUser& u = runner.user(user);
        machine(runner, user);
        const WinError result = verb == "register"
                                    ? registerServer(u.host->registry(), u.host->moduleFile())
                                    : unregisterServer(u.host->registry());
        if (result != WinError::kSuccess)
          return runner.fail(where, verb + " failed with error " +
                                        std::to_string(static_cast<std::int32_t>(result)));
        runner.say(user, verb == "register" ? "the module registers its classes"
                                            : "the module removes its classes");
      });
    });
  }

  table.command("store", [](ReadContext& ctx) {
    Args& args = ctx.args;
    std::string user = ctx.knownUser();
    args.oneOf("store action", "add");
    std::string name = args.text("store name");
    if (name.find_first_of(":/\\") != std::string::npos)
      bad("a store name holds no ':', '/' or '\\'");
    if (!args.accept("kind")) bad("store USER add NAME kind N");
    const int kind = args.count("store kind", 0x7FFFFFFF);
    return makeStep([=](Runner& runner, const SourceLocation& where) {
      OfficeUser& u = runner.user(user);
      auto& mail = u.host->mail();
      for (auto* store : mail.core().stores())
        if (store->displayName() == utf8ToUtf16(name))
          return runner.fail(where, user + " has a store " + inQuotes(name) + " already");
      const std::u16string storeId = mail.addStore(utf8ToUtf16(name), kind);
      // A store the user keeps tasks in: its own task folder at the top.
      mail.createFolder(u"Tasks", u"IPM.Task", {}, storeId);
      runner.say(user, "adds store " + inQuotes(name) + " of kind " + std::to_string(kind) +
                           " with a folder " + inQuotes(name + ":Tasks"));
    });
  });

  table.help("  properties USER PATH | expect USER page real|placeholder|none");
  table.help(
      "  page USER check|uncheck | sharename T | type T | click add|remove|book|basic-sync|help");
  table.help("            | select T | double-click T | ok|apply|cancel");
  table.help("  expect USER page checked|unchecked | sharename T | list T...|empty");
  table.help(
      "            | enabled|disabled add|remove|basic-sync|address|list|group | dirty yes|no");
  table.help("  show USER page");
  table.help("  addressbook USER returns TEXT [flag yes|no] | returns empty|nothing");
  table.help("  expect USER shell opened TEXT | register USER | unregister USER");
  table.help("  store USER add NAME kind N       (its folders: \"NAME:Tasks/...\")");
}

}  // namespace qx::tools

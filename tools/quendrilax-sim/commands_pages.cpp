// The folder property page and what stands around it: the folder's
// Properties dialog (the host raising OptionsPagesAdd), the page the add-in
// offers, the address book's answers, the shell's "open" of the help file,
// the module's self-registration and second stores. Documented in
// docs/scenarios.md "The folder property page".
#include <algorithm>
#include <map>
#include <set>

#include "platform/registry.h"
#include "quendrilax-sim/command_table.h"
#include "quendrilax-sim/runner.h"
#include "quendrilax-sim/runner_text.h"
#include "quendrilax-sim/text_utf.h"
#include "sim/mail/mail_client.h"
#include "sim/office/host_process.h"
#include "sim/registry_sim.h"
#include "sim/shell_sim.h"
#include "ui/registration.h"

namespace qx::tools {

namespace {

constexpr std::u16string_view kRealPage = u"Corvessa.OLFoldersPropPage";
constexpr std::u16string_view kPlaceholderPage = u"Quendrilax.PropPageEmpty";

// The pages each user's last Properties dialog was offered.
struct OfferedPages {
  std::map<std::string, std::vector<sim::mail::OfferedPage>> byUser;
  std::set<std::string> opened;
};

std::string pageKind(const std::vector<sim::mail::OfferedPage>& pages) {
  for (const auto& page : pages) {
    const std::u16string* progId = page.page.text();
    if (progId && *progId == kRealPage) return "real";
    if (progId && *progId == kPlaceholderPage) return "placeholder";
  }
  return "none";
}

// What hosting the page itself needs and the stand-in does not do yet: the
// host creating the offered control, giving it its site and window, and the
// user working its controls.
constexpr const char* kNoHosting =
    " is not supported by this build: the host stand-in offers pages but does not host them "
    "(create the control, give it a page site, activate it in the Properties dialog)";

std::shared_ptr<const Step> unsupported(const std::string& form) {
  return makeStep([form](Runner& runner, const SourceLocation& where) {
    runner.fail(where, form + kNoHosting);
  });
}

std::shared_ptr<const Step> readPage(ReadContext& ctx) {
  Args& args = ctx.args;
  const std::string user = ctx.knownUser();
  const std::string action = args.oneOf(
      "page action", "check|uncheck|sharename|type|click|select|double-click|ok|apply|cancel");
  if (action == "sharename" || action == "type" || action == "select" || action == "double-click")
    args.text(action + " text");
  if (action == "click") args.oneOf("page button", "add|remove|book|basic-sync|help");
  return unsupported("page " + action);
}

std::shared_ptr<const Expectation> readExpectPage(ReadContext& ctx) {
  Args& args = ctx.args;
  const std::string what =
      args.oneOf("page check",
                 "real|placeholder|none|checked|unchecked|sharename|list|enabled|disabled|dirty");
  if (what == "real" || what == "placeholder" || what == "none") {
    return makeExpectation([what](Runner& runner, OfficeUser& u) -> std::optional<std::string> {
      auto& offered = runner.slot<OfferedPages>();
      if (!offered.opened.contains(u.setup.name))
        return expected("the " + what + " page",
                        "no Properties dialog opened (properties USER PATH)");
      const std::string found = pageKind(offered.byUser[u.setup.name]);
      if (found == what) return std::nullopt;
      return expected("the " + what + " page offered", found);
    });
  }
  if (what == "sharename") args.text("share name");
  if (what == "list") {
    if (!args.accept("empty")) {
      args.text("list entry");
      while (!args.done()) args.text("list entry");
    }
  }
  if (what == "enabled" || what == "disabled")
    args.oneOf("page control", "add|remove|basic-sync|address|list|group");
  if (what == "dirty") args.oneOf("dirty", "yes|no");
  const std::string form = "expect page " + what;
  return makeExpectation(
      [form](Runner&, OfficeUser&) -> std::optional<std::string> { return form + kNoHosting; });
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
      auto pages = u.host->mail().openFolderProperties(id);
      std::string note = "opens the Properties of " + folder + ": ";
      if (pages.empty()) note += "no page added";
      for (std::size_t i = 0; i < pages.size(); ++i) {
        const std::u16string* progId = pages[i].page.text();
        note += (i ? ", " : "") + std::string("page ") +
                (progId ? inQuotes(utf16ToUtf8(*progId)) : std::string("(not a ProgID)")) +
                " titled " + inQuotes(utf16ToUtf8(pages[i].title));
      }
      runner.say(user, note);
      auto& offered = runner.slot<OfferedPages>();
      offered.byUser[user] = std::move(pages);
      offered.opened.insert(user);
    });
  });
  table.command("page", readPage);
  table.expectation("page", readExpectPage);
  table.show("page", [](ReadContext&, const std::string&) { return unsupported("show page"); });

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
  table.help("            | select T | double-click T | ok|apply|cancel     (not yet supported)");
  table.help("  expect USER page checked|unchecked | sharename T | list T...|empty");
  table.help(
      "            | enabled|disabled add|remove|basic-sync|address|list|group | dirty yes|no");
  table.help("  show USER page                                          (not yet supported)");
  table.help("  addressbook USER returns TEXT [flag yes|no] | returns empty|nothing");
  table.help("  expect USER shell opened TEXT | register USER | unregister USER");
  table.help("  store USER add NAME kind N       (its folders: \"NAME:Tasks/...\")");
}

}  // namespace qx::tools

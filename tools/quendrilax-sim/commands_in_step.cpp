// `expect in-step SHARENAME [among USER...]`: every named user (by default
// every user whose configuration shares a folder under that name) holds the
// same tasks in that folder. Documented in docs/scenarios.md "Keeping in step".
#include "quendrilax-sim/command_table.h"
#include "quendrilax-sim/in_step.h"
#include "quendrilax-sim/runner.h"
#include "quendrilax-sim/runner_text.h"
#include "quendrilax-sim/shared_folders.h"
#include "sim/mail/mail_client.h"
#include "sim/office/host_process.h"

namespace qx::tools {

namespace {

void checkInStep(Runner& runner, const SourceLocation& where, const std::string& shareName,
                 const std::vector<std::string>& among) {
  std::vector<std::string> names = among;
  if (names.empty())
    for (const std::string& name : runner.userNames())
      if (sharedFolder(runner.user(name), shareName)) names.push_back(name);
  if (names.size() < 2)
    return runner.fail(where, "expected at least two users sharing " + inQuotes(shareName) +
                                  ", found " + std::to_string(names.size()));
  std::vector<FolderContents> folders;
  std::vector<std::string> problems;
  for (const std::string& name : names) {
    OfficeUser& u = runner.user(name);
    runner.catchUp(u);
    const auto folder = sharedFolder(u, shareName);
    if (!folder) {
      problems.push_back(name + ": no folder shared as " + inQuotes(shareName));
      continue;
    }
    FolderContents contents{name, {}};
    for (sim::MailItemInfo& item : u.host->mail().folderItems(*folder))
      if (item.data.kind == sim::mail::ItemKind::kTask)
        contents.tasks.push_back(std::move(item.data));
    folders.push_back(std::move(contents));
  }
  for (std::string& difference : inStepDifferences(folders))
    problems.push_back(std::move(difference));
  std::size_t tasks = 0;
  if (!folders.empty())
    for (const sim::mail::ItemData& task : folders.front().tasks) tasks += travels(task) ? 1 : 0;
  if (problems.empty()) {
    runner.say("", std::to_string(names.size()) + " users in step on " + inQuotes(shareName) +
                       " (" + counted(tasks, "task") + " each)");
    return;
  }
  std::string message = "expected " + inQuotes(shareName) + " in step among";
  for (const std::string& name : names) message += " " + name;
  message += ", found " + std::to_string(problems.size()) + " difference(s):";
  constexpr std::size_t kShown = 40;
  for (std::size_t i = 0; i < problems.size() && i < kShown; ++i) message += "\n    " + problems[i];
  if (problems.size() > kShown)
    message += "\n    ... and " + std::to_string(problems.size() - kShown) + " more";
  runner.fail(where, message + runner.outboxHint());
}

}  // namespace

void registerInStepCommands(CommandTable& table) {
  table.officeExpectation("in-step", [](ReadContext& ctx) {
    std::string shareName = ctx.args.text("share name");
    std::vector<std::string> among;
    if (ctx.args.accept("among")) {
      while (!ctx.args.done()) among.push_back(ctx.knownUser());
      if (among.empty()) bad("'among' needs at least one user");
    }
    return makeStep([shareName, among](Runner& runner, const SourceLocation& where) {
      checkInStep(runner, where, shareName, among);
    });
  });
  table.help("  expect in-step SHARENAME [among USER...]");
}

}  // namespace qx::tools

// `soak SHARENAME users USER... edits N [seed S] [faults FAULT...]
// [older-peer USER] [concurrent]`: random adds, edits and deletes by the named
// users on their folders shared under that name, each followed by enough
// virtual time for it to reach everyone, or, concurrent, 0 to 20 seconds apart
// while mail is on the way; the older peer sends his mails without versions
// during the middle third of the edits.
// Documented in docs/scenarios.md "Keeping in step".
#include <algorithm>
#include <optional>

#include "quendrilax-sim/command_table.h"
#include "quendrilax-sim/runner.h"
#include "quendrilax-sim/runner_text.h"
#include "quendrilax-sim/shared_folders.h"
#include "quendrilax-sim/soak_run.h"
#include "sim/office/host_process.h"

namespace qx::tools {

namespace {

struct SoakCmd final : Step {
  std::string shareName;
  std::vector<std::string> users;
  int edits = 0;
  std::uint64_t seed = 1;
  SoakFaults faults;
  std::string olderPeer;
  bool concurrent = false;

  void run(Runner& runner, const SourceLocation& where) const override {
    std::vector<SoakMember> members;
    for (const std::string& name : users) {
      OfficeUser& u = runner.user(name);
      const auto folder = sharedFolder(u, shareName);
      if (!folder)
        return runner.fail(where, "soak " + shareName + ": " + name + " shares no folder as " +
                                      inQuotes(shareName));
      if (!u.host->running() || !u.connected)
        return runner.fail(where, "soak " + shareName + ": the host of " + name +
                                      " must run with the add-in connected");
      members.push_back({name, &u, *folder});
    }
    std::string note = "soak " + shareName + ": " + std::to_string(edits) + " edits by";
    for (const std::string& name : users) note += " " + name;
    note += ", seed " + std::to_string(seed);
    if (faults.delay || faults.duplicate || faults.restart || faults.outage)
      note += std::string(", faults") + (faults.delay ? " delay" : "") +
              (faults.duplicate ? " duplicate" : "") + (faults.restart ? " restart" : "") +
              (faults.outage ? " outage" : "");
    std::optional<SoakOlderPeer> older;
    if (!olderPeer.empty()) {
      const auto at = std::find(users.begin(), users.end(), olderPeer);
      older = SoakOlderPeer{static_cast<std::size_t>(at - users.begin()), edits / 3 + 1,
                            2 * edits / 3};
      note += ", " + olderPeer + " without versions in edits " + std::to_string(older->fromEdit) +
              " to " + std::to_string(older->toEdit);
    }
    if (concurrent) note += ", concurrent";
    runner.say("", note);
    SoakRun soak(runner, where, shareName, std::move(members), seed, faults, older);
    const bool wasMuted = runner.muted();
    runner.mute(true);
    if (concurrent) {
      soak.runConcurrent(edits);
    } else {
      soak.run(edits);
    }
    runner.mute(wasMuted);
    runner.say("", soak.summary());
  }
};

}  // namespace

void registerSoakCommands(CommandTable& table) {
  table.command("soak", [](ReadContext& ctx) -> std::shared_ptr<const Step> {
    Args& args = ctx.args;
    auto soak = std::make_shared<SoakCmd>();
    soak->shareName = args.text("share name");
    if (!args.accept("users"))
      bad("soak SHARENAME users USER... edits N [seed S] [faults FAULT...] [older-peer USER] "
          "[concurrent]");
    while (!args.done() && !args.peekIs("edits")) {
      const std::string name = ctx.knownUser();
      if (std::find(soak->users.begin(), soak->users.end(), name) != soak->users.end())
        bad("user '" + name + "' named twice");
      soak->users.push_back(name);
    }
    if (soak->users.empty()) bad("a soak needs at least one user");
    if (!args.accept("edits")) bad("missing edits N");
    soak->edits = args.count("number of edits", 10'000'000);
    if (soak->edits < 1) bad("a soak makes at least one edit");
    if (args.accept("seed")) soak->seed = args.number("seed");
    if (args.accept("faults")) {
      while (!args.done() && !args.peekIs("concurrent") && !args.peekIs("older-peer")) {
        const std::string fault = args.oneOf("soak fault", "delay|duplicate|restart|outage");
        bool& flag = fault == "delay"       ? soak->faults.delay
                     : fault == "duplicate" ? soak->faults.duplicate
                     : fault == "restart"   ? soak->faults.restart
                                            : soak->faults.outage;
        if (flag) bad("fault '" + fault + "' named twice");
        flag = true;
      }
      if (!soak->faults.delay && !soak->faults.duplicate && !soak->faults.restart &&
          !soak->faults.outage)
        bad("'faults' needs at least one of delay, duplicate, restart, outage");
    }
    if (args.accept("older-peer")) {
      soak->olderPeer = ctx.knownUser();
      if (std::find(soak->users.begin(), soak->users.end(), soak->olderPeer) == soak->users.end())
        bad("older peer '" + soak->olderPeer + "' is not among the soak's users");
      if (soak->users.size() < 2) bad("an older peer needs another user to send to");
    }
    soak->concurrent = args.accept("concurrent");
    return soak;
  });
  table.help(
      "  soak SHARENAME users USER... edits N [seed S] [faults delay|duplicate|restart|outage...] "
      "[older-peer USER] [concurrent]");
}

}  // namespace qx::tools

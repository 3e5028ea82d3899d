// `soak SHARENAME users USER... edits N [seed S] [faults FAULT...]`: random
// adds, edits and deletes by the named users on their folders shared under
// that name, each followed by enough virtual time for it to reach everyone.
// Documented in docs/scenarios.md "Keeping in step".
#include <algorithm>
#include <chrono>

#include "platform/mail_ids.h"
#include "quendrilax-sim/command_table.h"
#include "quendrilax-sim/commands_office.h"
#include "quendrilax-sim/runner.h"
#include "quendrilax-sim/runner_text.h"
#include "quendrilax-sim/shared_folders.h"
#include "quendrilax-sim/soak_plan.h"
#include "sim/mail/mail_client.h"
#include "sim/mail/mail_store.h"
#include "sim/mail/post_office.h"
#include "sim/office/host_process.h"
#include "sim/office/office.h"

namespace qx::tools {

namespace {

// An edit is given this long before the office counts as settled, so that
// the next edit of the same task lies outside the add-in's burst window.
constexpr std::int64_t kQuietGapMs = 3000;
constexpr std::int64_t kStepMs = 1000;
constexpr std::int64_t kSettleLimitMs = 15 * 60 * 1000;

struct Member {
  std::string name;
  OfficeUser* user = nullptr;
  std::u16string folder;
};

// A member's shared folder as the store holds it. The soak reads its tasks
// through the store's ranks rather than walking the folder, so that an edit
// costs the same however many tasks the folders have gathered.
sim::mail::FolderData* folderOf(OfficeUser& u, const std::u16string& folderId) {
  sim::mail::Store* store = u.host->mail().core().storeOfEntryId(folderId);
  return store ? store->folder(folderId) : nullptr;
}

std::size_t taskCount(OfficeUser& u, const std::u16string& folderId) {
  const sim::mail::FolderData* folder = folderOf(u, folderId);
  return folder ? folder->taskArrival.size() : 0;
}

// The entry id of the folder's `rank`-th task in arrival order.
std::u16string taskAt(OfficeUser& u, const std::u16string& folderId, std::size_t rank) {
  const sim::mail::FolderData* folder = folderOf(u, folderId);
  if (!folder || rank >= folder->taskArrival.size()) return {};
  return folder->order.at(*folder->taskArrival.find_by_order(rank));
}

template <class Pred>
std::size_t countIn(OfficeUser& u, std::int32_t which, Pred pred) {
  auto& mail = u.host->mail();
  const std::u16string folderId = mail.defaultFolderId(which);
  sim::mail::Store* store = mail.core().storeOfEntryId(folderId);
  sim::mail::FolderData* folder = store ? store->folder(folderId) : nullptr;
  std::size_t n = 0;
  if (folder)
    for (const auto& [seq, id] : folder->order)
      if (const sim::mail::StoredItem* item = store->item(id); item && pred(*item)) ++n;
  return n;
}

std::size_t syncMailsWaiting(OfficeUser& u) {
  return countIn(u, default_folder::kInbox, [](const sim::mail::StoredItem& item) {
    return item.data.subject == u"TaskSynchronisation";
  });
}

std::size_t submittedWaiting(OfficeUser& u) {
  return countIn(u, default_folder::kOutbox,
                 [](const sim::mail::StoredItem& item) { return item.submitted; });
}

bool running(const Member& m) { return m.user->host->running() && m.user->connected; }

class Soak {
 public:
  Soak(Runner& runner, const SourceLocation& where, const std::string& shareName,
       std::vector<Member> members, std::uint64_t seed, SoakFaults faults)
      : runner_(runner),
        where_(where),
        shareName_(shareName),
        members_(std::move(members)),
        plan_(seed, faults) {
    tally_.startVirtualMs = runner.office().clock().nowMs();
  }

  void run(int edits) {
    for (int n = 1; n <= edits; ++n) {
      if (auto who = plan_.restart(members_.size()); who && !toggleHost(members_[*who])) return;
      std::vector<std::size_t> eligible = readyUsers();
      if (eligible.empty()) {
        // Every user is stopped: the first comes back.
        for (Member& m : members_)
          if (!m.user->host->running()) {
            if (!toggleHost(m)) return;
            break;
          }
        eligible = readyUsers();
        if (eligible.empty())
          return stuck("no user is ready to edit before edit " + std::to_string(n));
      }
      std::vector<std::size_t> counts;
      for (const Member& m : members_) counts.push_back(taskCount(*m.user, m.folder));
      const SoakEdit edit = plan_.nextEdit(n, eligible, counts);
      if (!apply(edit, n)) return;
      ++tally_.edits;
      if (!settle()) return stuck("the office did not settle after edit " + std::to_string(n));
      if (n % 1000 == 0) progress();
    }
    // Hosts stopped by the soak come back, so that in-step can follow.
    for (Member& m : members_)
      if (!m.user->host->running() && !toggleHost(m)) return;
    if (!settle()) return stuck("the office did not settle after the last edit");
  }

  void progress() {
    runner_.out() << runner_.stamp() << ' '
                  << soakProgressLine(shareName_, tally_, virtualMs(), realSeconds()) << '\n';
  }
  std::string summary() const {
    return soakSummary(shareName_, tally_, virtualMs(), realSeconds());
  }

 private:
  std::int64_t virtualMs() const {
    return runner_.office().clock().nowMs() - tally_.startVirtualMs;
  }
  double realSeconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - tally_.startReal)
        .count();
  }

  std::vector<std::size_t> readyUsers() {
    // Only a user whose add-in has applied everything sent to it edits.
    std::vector<std::size_t> ready;
    for (std::size_t i = 0; i < members_.size(); ++i)
      if (running(members_[i]) && syncMailsWaiting(*members_[i].user) == 0) ready.push_back(i);
    return ready;
  }

  bool toggleHost(Member& m) {
    std::size_t up = 0;
    for (const Member& other : members_) up += other.user->host->running() ? 1 : 0;
    const bool stop = m.user->host->running();
    if (stop && up <= 1) return true;  // someone stays to edit
    std::string why;
    if (!changeHostLife(runner_, *m.user, stop ? Lifecycle::kStop : Lifecycle::kStart, why)) {
      stuck(why);
      return false;
    }
    ++tally_.restarts;
    return settle() || (stuck("the office did not settle after " + m.name + "'s host " +
                              (stop ? "stopped" : "started")),
                        false);
  }

  bool apply(const SoakEdit& edit, int n) {
    Member& m = members_[edit.user];
    auto& mail = m.user->host->mail();
    const std::u16string task =
        edit.kind == SoakEdit::Kind::kAdd ? std::u16string() : taskAt(*m.user, m.folder, edit.task);
    switch (edit.kind) {
      case SoakEdit::Kind::kAdd: {
        sim::mail::ItemData task = sim::mail::ItemData::newTask();
        for (const FieldValue& f : edit.fields) applyField(task, f);
        ++tally_.adds;
        if (!mail.addItem(m.folder, std::move(task)).empty()) return true;
        break;
      }
      case SoakEdit::Kind::kEdit:
        ++tally_.changes;
        if (mail.changeItem(task, [&](sim::mail::ItemData& data) {
              for (const FieldValue& f : edit.fields) applyField(data, f);
            }))
          return true;
        break;
      case SoakEdit::Kind::kDelete:
        ++tally_.deletes;
        if (mail.deleteItem(task)) return true;
        break;
    }
    stuck("edit " + std::to_string(n) + " by " + m.name + " could not be made");
    return false;
  }

  // Time passes with the post office running every second until nothing has
  // been under way for the quiet gap: no mail in transit, nothing waiting in
  // a running user's Outbox, no sync mail a running user has yet to apply.
  // The gap counts from the last activity, since applying a received change
  // is an event of the task too, and the burst window slides with it.
  bool settle() {
    auto& office = runner_.office();
    const std::int64_t start = office.clock().nowMs();
    std::int64_t quietSince = -1;
    while (true) {
      std::size_t leaving = 0;
      for (const std::string& name : runner_.userNames())
        leaving += submittedWaiting(runner_.user(name));
      // The scenario's own post-office habits, with the soak's faults on top.
      const sim::PostOffice::Quirks habits = runner_.slot<sim::PostOffice::Quirks>();
      if (leaving > 0) {
        const SoakPost post = plan_.post();
        sim::PostOffice::Quirks quirks = habits;
        if (post.delayMs > 0) quirks.delayMs = post.delayMs;
        if (post.copies > 1) quirks.copies = post.copies;
        office.postOffice().setQuirks(quirks);
        tally_.delayedRuns += post.delayMs > 0 ? 1 : 0;
        tally_.doubledRuns += post.copies > 1 ? 1 : 0;
        tally_.mailsCarried += static_cast<long long>(leaving);
      }
      office.postOffice().runTransport();
      office.postOffice().setQuirks(habits);
      const bool wasQuiet = leaving == 0 && quiet();
      runner_.advance(kStepMs);
      const std::int64_t now = office.clock().nowMs();
      if (!wasQuiet || !quiet()) {
        quietSince = -1;
      } else if (quietSince < 0) {
        quietSince = now - kStepMs;
      }
      if (quietSince >= 0 && now - quietSince >= kQuietGapMs) return true;
      if (now - start > kSettleLimitMs) return false;
    }
  }

  bool quiet() {
    if (runner_.office().postOffice().inTransit() > 0) return false;
    for (const Member& m : members_) {
      if (!running(m)) continue;
      if (submittedWaiting(*m.user) > 0 || syncMailsWaiting(*m.user) > 0) return false;
    }
    return true;
  }

  void stuck(const std::string& why) {
    std::string state;
    for (const Member& m : members_)
      state += "\n    " + m.name + ": " +
               (running(m)                ? "running"
                : m.user->host->running() ? "add-in not connected"
                                          : "stopped") +
               ", " + std::to_string(syncMailsWaiting(*m.user)) + " sync mail(s) in the Inbox, " +
               std::to_string(submittedWaiting(*m.user)) + " mail(s) waiting in the Outbox";
    runner_.fail(where_, "soak " + shareName_ + ": " + why + " (" + std::to_string(tally_.edits) +
                             " edits done; " +
                             std::to_string(runner_.office().postOffice().inTransit()) +
                             " mail(s) in transit)" + state);
  }

  Runner& runner_;
  SourceLocation where_;
  std::string shareName_;
  std::vector<Member> members_;
  SoakPlan plan_;
  SoakTally tally_;
};

struct SoakCmd final : Step {
  std::string shareName;
  std::vector<std::string> users;
  int edits = 0;
  std::uint64_t seed = 1;
  SoakFaults faults;

  void run(Runner& runner, const SourceLocation& where) const override {
    std::vector<Member> members;
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
    if (faults.delay || faults.duplicate || faults.restart)
      note += std::string(", faults") + (faults.delay ? " delay" : "") +
              (faults.duplicate ? " duplicate" : "") + (faults.restart ? " restart" : "");
    runner.say("", note);
    Soak soak(runner, where, shareName, std::move(members), seed, faults);
    const bool wasMuted = runner.muted();
    runner.mute(true);
    soak.run(edits);
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
      bad("soak SHARENAME users USER... edits N [seed S] [faults FAULT...]");
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
      while (!args.done()) {
        const std::string fault = args.oneOf("soak fault", "delay|duplicate|restart");
        bool& flag = fault == "delay"       ? soak->faults.delay
                     : fault == "duplicate" ? soak->faults.duplicate
                                            : soak->faults.restart;
        if (flag) bad("fault '" + fault + "' named twice");
        flag = true;
      }
      if (!soak->faults.delay && !soak->faults.duplicate && !soak->faults.restart)
        bad("'faults' needs at least one of delay, duplicate, restart");
    }
    return soak;
  });
  table.help("  soak SHARENAME users USER... edits N [seed S] [faults delay|duplicate|restart...]");
}

}  // namespace qx::tools

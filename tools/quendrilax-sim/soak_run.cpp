// The soak's office work and the quiet soak: every edit waits until the office
// has settled. Documented in docs/scenarios.md "Keeping in step".
#include "quendrilax-sim/soak_run.h"

#include <algorithm>

#include "platform/mail_ids.h"
#include "quendrilax-sim/commands_office.h"
#include "quendrilax-sim/runner_text.h"
#include "quendrilax-sim/task_fields.h"
#include "sim/mail/mail_client.h"
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

std::size_t taskCount(OfficeUser& u, const std::u16string& folderId) {
  const sim::mail::FolderData* folder = soakFolderOf(u, folderId);
  return folder ? folder->taskArrival.size() : 0;
}

// The entry id of the folder's `rank`-th task in arrival order.
std::u16string taskAt(OfficeUser& u, const std::u16string& folderId, std::size_t rank) {
  const sim::mail::FolderData* folder = soakFolderOf(u, folderId);
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

bool running(const SoakMember& m) { return m.user->host->running() && m.user->connected; }

}  // namespace

sim::mail::FolderData* soakFolderOf(OfficeUser& u, const std::u16string& folderId) {
  sim::mail::Store* store = u.host->mail().core().storeOfEntryId(folderId);
  return store ? store->folder(folderId) : nullptr;
}

SoakRun::SoakRun(Runner& runner, const SourceLocation& where, const std::string& shareName,
                 std::vector<SoakMember> members, std::uint64_t seed, SoakFaults faults,
                 std::optional<SoakOlderPeer> olderPeer)
    : runner_(runner),
      where_(where),
      shareName_(shareName),
      members_(std::move(members)),
      plan_(seed, faults),
      tags_(members_.size()),
      olderPeer_(olderPeer) {
  tally_.startVirtualMs = runner.office().clock().nowMs();
}

void SoakRun::run(int edits) {
  for (int n = 1; n <= edits; ++n) {
    editNumber_ = n;
    if (auto who = plan_.restart(members_.size()); who && !toggleHost(members_[*who], true)) return;
    std::vector<std::size_t> eligible = readyUsers(true);
    if (eligible.empty()) {
      // Every user is stopped: the first comes back.
      for (SoakMember& m : members_)
        if (!m.user->host->running()) {
          if (!toggleHost(m, true)) return;
          break;
        }
      eligible = readyUsers(true);
      if (eligible.empty())
        return stuck("no user is ready to edit before edit " + std::to_string(n));
    }
    std::vector<std::size_t> counts;
    for (const SoakMember& m : members_) counts.push_back(taskCount(*m.user, m.folder));
    const SoakEdit edit = plan_.nextEdit(n, eligible, counts, keepsProperties(n));
    std::u16string edited;
    if (!apply(edit, n, edited)) return;
    ++tally_.edits;
    if (!settle(kQuietGapMs))
      return stuck("the office did not settle after edit " + std::to_string(n));
    if (n % 1000 == 0) progress();
  }
  editNumber_ = edits + 1;
  // Hosts stopped by the soak come back, so that in-step can follow.
  for (SoakMember& m : members_)
    if (!m.user->host->running() && !toggleHost(m, true)) return;
  if (!settle(kQuietGapMs)) return stuck("the office did not settle after the last edit");
}

void SoakRun::progress() {
  runner_.out() << runner_.stamp() << ' '
                << soakProgressLine(shareName_, tally_, virtualMs(), realSeconds()) << '\n';
}

std::string SoakRun::summary() const {
  std::string text = soakSummary(shareName_, tally_, virtualMs(), realSeconds());
  if (concurrent_) {
    const SoakCounts& counts = ledger_.counts();
    text += "; " + std::to_string(counts.crossingEdits) + " crossing edits, " +
            std::to_string(counts.overtakenChanges) + " overtaken changes, " +
            std::to_string(counts.lateChangesAfterRemovals) + " late changes after removals, " +
            std::to_string(fields_.fieldEdits()) + " field edits";
    if (syncMails_ > 0)
      text += "; sync mails " + std::to_string((bodyBytes_ + attachmentBytes_) / syncMails_) +
              " bytes on average (body " + std::to_string(bodyBytes_ / syncMails_) +
              ", attachment " + std::to_string(attachmentBytes_ / syncMails_) + ")";
  }
  if (olderPeer_) {
    const std::string& name = members_[olderPeer_->member].name;
    text += "; " + std::to_string(strippedMails_) + " mails of " + name + " sent without versions";
    if (concurrent_)
      text += ", " + std::to_string(olderPeerApart_) + " field(s) " + name +
              " holds apart from their last version";
  }
  return text;
}

std::int64_t SoakRun::virtualMs() const {
  return runner_.office().clock().nowMs() - tally_.startVirtualMs;
}

double SoakRun::realSeconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - tally_.startReal)
      .count();
}

std::vector<std::size_t> SoakRun::readyUsers(bool quietOnly) {
  // In a quiet soak only a user whose add-in has applied everything sent to
  // it edits.
  std::vector<std::size_t> ready;
  for (std::size_t i = 0; i < members_.size(); ++i)
    if (running(members_[i]) && (!quietOnly || syncMailsWaiting(*members_[i].user) == 0))
      ready.push_back(i);
  return ready;
}

bool SoakRun::toggleHost(SoakMember& m, bool settleAfter) {
  std::size_t up = 0;
  for (const SoakMember& other : members_) up += other.user->host->running() ? 1 : 0;
  const bool stop = m.user->host->running();
  if (stop && up <= 1) return true;  // someone stays to edit
  std::string why;
  if (!changeHostLife(runner_, *m.user, stop ? Lifecycle::kStop : Lifecycle::kStart, why)) {
    stuck(why);
    return false;
  }
  ++tally_.restarts;
  if (!settleAfter) return true;
  return settle(kQuietGapMs) || (stuck("the office did not settle after " + m.name + "'s host " +
                                       (stop ? "stopped" : "started")),
                                 false);
}

bool SoakRun::apply(const SoakEdit& edit, int n, std::u16string& edited) {
  SoakMember& m = members_[edit.user];
  auto& mail = m.user->host->mail();
  const std::u16string task =
      edit.kind == SoakEdit::Kind::kAdd ? std::u16string() : taskAt(*m.user, m.folder, edit.task);
  lastEditChanged_ = true;
  switch (edit.kind) {
    case SoakEdit::Kind::kAdd: {
      sim::mail::ItemData data = sim::mail::ItemData::newTask();
      for (const FieldValue& f : edit.fields) applyField(data, f);
      ++tally_.adds;
      edited = mail.addItem(m.folder, std::move(data));
      if (!edited.empty()) return true;
      break;
    }
    case SoakEdit::Kind::kEdit: {
      edited = task;
      bool changed = false;
      if (mail.changeItem(task, [&](sim::mail::ItemData& data) {
            const sim::mail::ItemData before = data;
            for (const FieldValue& f : edit.fields) applyField(data, f);
            changed = !sameTaskFields(before, data);
          })) {
        // A save that changes no field is no edit: the task's last version
        // stays what it was.
        if (changed) ++tally_.changes;
        lastEditChanged_ = changed;
        return true;
      }
      break;
    }
    case SoakEdit::Kind::kDelete:
      ++tally_.deletes;
      if (mail.deleteItem(task)) return true;
      break;
  }
  stuck("edit " + std::to_string(n) + " by " + m.name + " could not be made");
  return false;
}

// Time passes with the post office running every second until nothing has
// been under way for the quiet gap: no mail in transit, nothing waiting in a
// running user's Outbox, no sync mail a running user has yet to apply. The
// gap counts from the last activity, since applying a received change is an
// event of the task too, and the burst window slides with it.
bool SoakRun::settle(std::int64_t quietGapMs) {
  auto& office = runner_.office();
  const std::int64_t start = office.clock().nowMs();
  std::int64_t quietSince = -1;
  while (true) {
    carryMail();
    const bool wasQuiet = quiet();
    runner_.advance(kStepMs);
    const std::int64_t now = office.clock().nowMs();
    if (!wasQuiet || !quiet()) {
      quietSince = -1;
    } else if (quietSince < 0) {
      quietSince = now - kStepMs;
    }
    if (quietSince >= 0 && now - quietSince >= quietGapMs) return true;
    if (now - start > kSettleLimitMs) return false;
  }
}

void SoakRun::carryMail() {
  stripOlderPeerMails();
  auto& office = runner_.office();
  std::size_t leaving = 0;
  for (const std::string& name : runner_.userNames()) leaving += submittedWaiting(runner_.user(name));
  // The scenario's own post-office habits, with the soak's faults on top.
  const sim::PostOffice::Quirks habits = runner_.slot<sim::PostOffice::Quirks>();
  if (smtpStoppedRuns_ == 0 && leaving > 0) {
    if (const int runs = plan_.outage(); runs > 0) {
      if (auto stopped = office.postOffice().setSmtpRunning(false); !stopped)
        return runner_.fail(where_, "soak: the SMTP side did not stop: " + stopped.error());
      smtpStoppedRuns_ = runs;
    }
  }
  if (smtpStoppedRuns_ > 0) {
    // Nothing leaves: the Outboxes keep their mail for a later run.
    ++tally_.outageRuns;
    office.postOffice().runTransport();
    if (--smtpStoppedRuns_ == 0)
      if (auto started = office.postOffice().setSmtpRunning(true); !started)
        runner_.fail(where_, "soak: the SMTP side did not start again: " + started.error());
    return;
  }
  if (leaving > 0) {
    const SoakPost post = plan_.post();
    sim::PostOffice::Quirks quirks = habits;
    if (post.delayMs > 0) quirks.delayMs = post.delayMs;
    if (post.copies > 1) quirks.copies = post.copies;
    office.postOffice().setQuirks(quirks);
    tally_.delayedRuns += post.delayMs > 0 ? 1 : 0;
    tally_.doubledRuns += post.copies > 1 ? 1 : 0;
    tally_.mailsCarried += static_cast<long long>(leaving);
    if (concurrent_) noteMailsLeaving(quirks.delayMs);
  }
  office.postOffice().runTransport();
  office.postOffice().setQuirks(habits);
}

bool SoakRun::quiet() {
  if (runner_.office().postOffice().inTransit() > 0) return false;
  for (const SoakMember& m : members_) {
    if (!running(m)) continue;
    if (submittedWaiting(*m.user) > 0 || syncMailsWaiting(*m.user) > 0) return false;
  }
  return true;
}

void SoakRun::stuck(const std::string& why) {
  std::string state;
  for (const SoakMember& m : members_)
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

}  // namespace qx::tools

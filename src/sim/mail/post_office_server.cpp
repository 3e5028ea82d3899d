// The post office over a mail system: render, submit by SMTP, fetch by IMAP.
#include <algorithm>
#include <chrono>
#include <iostream>
#include <random>
#include <set>
#include <thread>

#include "sim/clock_sim.h"
#include "sim/mail/mail_text.h"
#include "sim/mail/mime_message.h"
#include "sim/mail/mime_text.h"
#include "sim/mail/post_office.h"

namespace qx::sim {

using mail::ItemData;

namespace {

// How long a run waits, for all mailboxes together, for the server to
// deliver what it accepted; what has not arrived by then comes with a later
// run.
constexpr auto kDeliveryLimit = std::chrono::seconds(30);

std::int64_t realMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::u16string withCrLf(std::u16string_view text) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r')) out.push_back(u'\r');
    out.push_back(text[i]);
  }
  return out;
}

std::string mailboxOf(std::u16string_view address) {
  return mail::lowerAscii(mail::toUtf8(address));
}

// The address of `mailbox` as the To line writes it.
std::u16string addressIn(std::u16string_view to, std::string_view mailbox) {
  for (const std::u16string& address : mail::splitAddresses(to))
    if (mailboxOf(address) == mailbox) return address;
  return mail::fromUtf8(mailbox);
}

// Unique on the server across runs and processes: another run's mail is
// never taken for this one's.
const std::string& runToken() {
  static const std::string token =
      std::to_string(std::random_device{}()) + "." + std::to_string(realMs() % 100000000);
  return token;
}

}  // namespace

void PostOffice::useMailSystem(std::unique_ptr<MailSystem> system) {
  system_ = std::move(system);
  runMark_ = "." + runToken() + std::string(kOfficeMessageIdEnd);
  for (MailClient* client : clients_) emptyMailbox(*client);
}

// An office starts with empty mailboxes: what an earlier run left on the
// server is not this office's mail (another run's that is still going on
// stays where it is).
void PostOffice::emptyMailbox(MailClient& client) {
  if (auto left = system_->clearLeftovers(mailboxOf(client.address())); !left)
    std::cerr << "post office: " << left.error() << '\n';
}

std::optional<MailSystem::Failure> PostOffice::submitToServer(const MailClient::Submitted& sent,
                                                              MailClient& sender,
                                                              std::int64_t now, Batches& batches) {
  const auto key = std::pair{&sender, sent.entryId};
  auto pending = outgoing_.find(key);
  if (pending == outgoing_.end()) {
    Outgoing out;
    out.sequence = nextSequence_++;
    out.messageId = "qx." + std::to_string(out.sequence) + runMark_;
    // The line ends a host shows are its own: a host that shows CR LF
    // (crlfLineEnds) has them when it reads the mail.
    if (quirks_.crlfLineEnds) crlfBodies_.insert(out.messageId);
    out.habits = quirks_.habits;
    sequenceOf_[out.messageId] = out.sequence;
    const auto recipients = mail::splitAddresses(sent.data.to);
    if (recipients.empty())
      batches[&sender].push_back({out.sequence, nonDeliveryReport(sent.data, u"")});
    // One transaction carries the mail to every distinct mailbox; an address
    // named twice gets its second copy in a transaction of its own, as a
    // mail system delivers to each name on the list.
    std::vector<std::vector<std::string>> rounds;
    for (const std::u16string& address : recipients) {
      const std::string mailbox = mailboxOf(address);
      auto round = std::find_if(rounds.begin(), rounds.end(), [&](const auto& r) {
        return std::find(r.begin(), r.end(), mailbox) == r.end();
      });
      if (round == rounds.end()) round = rounds.insert(rounds.end(), std::vector<std::string>{});
      round->push_back(mailbox);
    }
    for (const std::vector<std::string>& round : rounds)
      for (int copy = 0; copy < std::max(quirks_.copies, 1); ++copy) out.rounds.push_back(round);
    pending = outgoing_.emplace(key, std::move(out)).first;
  }
  Outgoing& out = pending->second;
  const std::string from = mail::toUtf8(sender.address());
  // Dated by the run that sends it, as in memory; the Message-ID stays.
  const std::string text = mail::applyHabits(
      mail::renderMessage(sent.data, sender.address(),
                          {out.messageId, kDefaultStartSeconds + now / 1000}),
      out.habits);
  while (!out.rounds.empty()) {
    std::vector<std::string>& round = out.rounds.front();
    auto accepted = system_->submit(from, round, text, quirks_.delayMs > 0);
    if (!accepted) {
      std::cerr << "post office: mail " << out.messageId << " stays in the Outbox of " << from
                << ": " << accepted.error().detail << '\n';
      return accepted.error();
    }
    std::set<std::string> notTaken(accepted->deferred.begin(), accepted->deferred.end());
    for (const auto& [mailbox, reply] : accepted->refused) {
      notTaken.insert(mailbox);
      // Once per recipient, however many copies go out.
      if (!out.reported.insert(mailbox).second) continue;
      batches[&sender].push_back(
          {out.sequence, nonDeliveryReport(sent.data, addressIn(sent.data.to, mailbox))});
    }
    for (const std::string& mailbox : round) {
      if (notTaken.contains(mailbox)) continue;
      ++figures_.submitted;
      submittedAtMs_[out.messageId] = realMs();
      if (quirks_.delayMs > 0)
        held_.push_back({accepted->queueId, mailbox, out.messageId, now + quirks_.delayMs});
      else
        ++owed_[mailbox];
    }
    if (!accepted->deferred.empty()) {
      // Some recipients only for now: the rest of the transaction goes again.
      round = accepted->deferred;
      return MailSystem::Failure{MailSystem::Failure::Kind::kTemporary, accepted->deferredReply,
                                 "RCPT: " + accepted->deferredReply};
    }
    out.rounds.erase(out.rounds.begin());
  }
  outgoing_.erase(pending);
  return std::nullopt;
}

std::expected<void, std::string> PostOffice::deliverForeignToServer(const ItemData& mail,
                                                                    MailClient& to) {
  if (!smtpRunning_) return std::unexpected("the mail server's SMTP side is stopped");
  const std::string mailbox = mailboxOf(to.address());
  const std::string id =
      "foreign." + std::to_string(nextForeign_++) + "." + runToken() + "@example.org";
  const std::string text = mail::renderMessage(
      mail, mail.senderAddress, {id, kDefaultStartSeconds + clock_.nowMs() / 1000});
  auto accepted = system_->submit(mail::toUtf8(mail.senderAddress), {mailbox}, text, false);
  if (!accepted) return std::unexpected("SMTP: " + accepted.error().detail);
  if (!accepted->refused.empty()) return std::unexpected("SMTP: " + accepted->refused[0].second);
  if (!accepted->deferred.empty()) return std::unexpected("SMTP: " + accepted->deferredReply);
  owedForeign_[mailbox].push_back(id);
  return {};
}

// Until the server has delivered everything it accepted, or the time is up;
// all mailboxes are watched together, so one slow mailbox costs a run its
// wait once. A stopped side delivers nothing: no wait then.
void PostOffice::waitForDeliveries() {
  if (!smtpRunning_ || !imapRunning_) return;
  std::vector<std::string> pending;
  for (const auto& [mailbox, count] : owed_)
    if (count > 0) pending.push_back(mailbox);
  for (const auto& [mailbox, ids] : owedForeign_)
    if (!ids.empty() && std::find(pending.begin(), pending.end(), mailbox) == pending.end())
      pending.push_back(mailbox);
  const auto deadline = std::chrono::steady_clock::now() + kDeliveryLimit;
  auto pause = std::chrono::milliseconds(1);
  while (!pending.empty()) {
    std::erase_if(pending, [&](const std::string& mailbox) {
      auto count = system_->waiting(mailbox, runMark_);
      if (!count) {
        std::cerr << "post office: " << count.error() << '\n';
        return true;
      }
      if (*count < owed_[mailbox]) return false;
      for (const std::string& id : owedForeign_[mailbox]) {
        auto there = system_->waiting(mailbox, id);
        if (there && *there == 0) return false;
      }
      return true;
    });
    if (pending.empty()) break;
    if (std::chrono::steady_clock::now() > deadline) {
      for (const std::string& mailbox : pending)
        std::cerr << "post office: mail for " << mailbox << " did not arrive within "
                  << kDeliveryLimit.count() << " s; it comes with a later run\n";
      break;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
}

void PostOffice::fetchFromServer(MailClient& recipient, std::int64_t now, Batches& batches) {
  const std::string mailbox = mailboxOf(recipient.address());
  auto taken = system_->take(mailbox, runMark_);
  if (!taken) {
    std::cerr << "post office: " << taken.error() << '\n';
    return;
  }
  const std::int64_t fetchedAt = realMs();
  std::size_t& owed = owed_[mailbox];
  for (const std::string& text : *taken) {
    const std::string id = mail::messageIdOf(text);
    const bool ours = id.find(runMark_) != std::string::npos;
    if (ours) {
      owed -= std::min<std::size_t>(owed, 1);
    } else {
      std::erase(owedForeign_[mailbox], id);
    }
    auto mail = mail::parseMessage(text);
    if (!mail) {
      std::cerr << "post office: a message in " << mailbox << " is no mail; dropped\n";
      continue;
    }
    const auto known = sequenceOf_.find(id);
    const long long sequence = known == sequenceOf_.end() ? nextSequence_++ : known->second;
    if (auto at = submittedAtMs_.find(id); at != submittedAtMs_.end()) {
      figures_.longestWaitMs = std::max(figures_.longestWaitMs, fetchedAt - at->second);
      figures_.totalWaitMs += fetchedAt - at->second;
    }
    if (crlfBodies_.contains(id)) mail->body = withCrLf(mail->body);
    // The simulated hosts live on the office's clock, not the server's.
    mail->receivedTime = utcDate(now);
    batches[&recipient].push_back({sequence, std::move(*mail)});
    if (ours) ++figures_.fetched;
  }
}

void PostOffice::deliverBatches(const std::vector<MailClient*>& recipients, Batches& batches) {
  // In the order they were submitted, as the memory office delivers; one
  // NewMail per recipient and run.
  std::vector<MailClient*> order;
  for (MailClient* recipient : recipients) {
    auto& batch = batches[recipient];
    if (batch.empty()) continue;
    std::stable_sort(batch.begin(), batch.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    if (quirks_.reorder) std::reverse(batch.begin(), batch.end());
    order.push_back(recipient);
  }
  std::stable_sort(order.begin(), order.end(), [&](MailClient* a, MailClient* b) {
    return batches[a].front().first < batches[b].front().first;
  });
  if (quirks_.reorder) std::reverse(order.begin(), order.end());
  for (MailClient* recipient : order) {
    std::vector<ItemData> mails;
    for (auto& [sequence, mail] : batches[recipient]) mails.push_back(std::move(mail));
    recipient->deliver(std::move(mails));
  }
}

// What the server carried, on standard error (the transcript stays the same
// as in memory).
void PostOffice::reportFigures() const {
  if (figures_.submitted == 0) return;
  std::cerr << "post office: " << figures_.submitted << " message(s) submitted, "
            << figures_.fetched << " fetched; delivery delay "
            << (figures_.fetched ? figures_.totalWaitMs / figures_.fetched : 0)
            << " ms on average, " << figures_.longestWaitMs << " ms at most";
  if (watchQueue_) std::cerr << "; at most " << figures_.peakQueue << " in the server's queue";
  std::cerr << '\n';
}

void PostOffice::runServerTransport() {
  const std::int64_t now = clock_.nowMs();
  Batches batches;
  bool submitted = false;
  std::optional<MailSystem::Failure> unreachable;
  for (MailClient* sender : std::vector<MailClient*>(clients_)) {
    if (!sender->running()) continue;
    for (MailClient::Submitted& sent : sender->submittedMails()) {
      // A server that cannot be reached is not tried again within the run.
      std::optional<MailSystem::Failure> failure = unreachable;
      if (!failure) {
        sent.data.sentOn = utcDate(now);
        failure = submitToServer(sent, *sender, now, batches);
      }
      if (failure) {
        if (failure->kind == MailSystem::Failure::Kind::kUnreachable) unreachable = failure;
        sender->markSendFailed(sent.entryId, failureText(*failure));
        continue;
      }
      sender->markSent(sent.entryId);
      submitted = true;
    }
  }
  // Held mail waits in the queue while the SMTP side (the queue's owner) is
  // stopped.
  std::vector<std::string> due;
  if (smtpRunning_) {
    std::erase_if(held_, [&](const Held& held) {
      if (held.dueMs > now) return false;
      due.push_back(held.queueId);
      ++owed_[held.recipient];
      submittedAtMs_[held.messageId] = realMs();
      return true;
    });
  }
  if (auto released = system_->release(due); !released)
    std::cerr << "post office: " << released.error() << '\n';
  if (watchQueue_ && (submitted || !due.empty())) {
    if (auto queued = system_->queued()) figures_.peakQueue = std::max(figures_.peakQueue, *queued);
  }
  if (!imapRunning_) return deliverBatches(clients_, batches);
  // A server that did not answer this run delivers nothing either: what
  // is there is taken without waiting.
  if (!unreachable) waitForDeliveries();
  // Every mailbox, as a mail client checks its Inbox: foreign mail comes
  // whether or not the office owes the user anything.
  for (MailClient* recipient : std::vector<MailClient*>(clients_))
    fetchFromServer(*recipient, now, batches);
  deliverBatches(clients_, batches);
}

}  // namespace qx::sim

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

// How long a run waits for the server to deliver what it accepted.
constexpr auto kDeliveryLimit = std::chrono::seconds(60);

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

}  // namespace

void PostOffice::useMailSystem(std::unique_ptr<MailSystem> system) {
  system_ = std::move(system);
  for (MailClient* client : clients_) emptyMailbox(*client);
}

// An office starts with empty mailboxes: what an earlier run left on the
// server is not this office's mail.
void PostOffice::emptyMailbox(MailClient& client) {
  if (auto left = system_->take(mailboxOf(client.address())); !left)
    std::cerr << "post office: " << left.error() << '\n';
}

void PostOffice::submitToServer(const ItemData& sent, MailClient& sender, std::int64_t now,
                                Batches& batches) {
  const long long sequence = nextSequence_++;
  // Unique on the server across runs and processes: leftovers of another
  // run are never taken for this one's mail.
  static const std::string run =
      std::to_string(std::random_device{}()) + "." + std::to_string(realMs() % 100000000);
  const std::string messageId = "qx." + std::to_string(sequence) + "." + run + "@office.test";
  ItemData outgoing = sent;
  if (quirks_.crlfLineEnds) outgoing.body = withCrLf(outgoing.body);
  const std::string message =
      mail::applyHabits(mail::renderMessage(outgoing, sender.address(),
                                            {messageId, kDefaultStartSeconds + now / 1000}),
                        quirks_.habits);
  sequenceOf_[messageId] = sequence;
  const auto recipients = mail::splitAddresses(sent.to);
  if (recipients.empty()) batches[&sender].push_back({sequence, nonDeliveryReport(sent, u"")});
  const std::string from = mail::toUtf8(sender.address());
  // One transaction carries the mail to every distinct mailbox; an address
  // named twice gets its second copy in a transaction of its own, as a mail
  // system delivers to each name on the list.
  std::vector<std::vector<std::string>> rounds;
  std::map<std::string, std::u16string> addressOf;
  for (const std::u16string& address : recipients) {
    const std::string mailbox = mailboxOf(address);
    addressOf.emplace(mailbox, address);
    auto round = std::find_if(rounds.begin(), rounds.end(), [&](const auto& r) {
      return std::find(r.begin(), r.end(), mailbox) == r.end();
    });
    if (round == rounds.end()) round = rounds.insert(rounds.end(), std::vector<std::string>{});
    round->push_back(mailbox);
  }
  for (const std::vector<std::string>& round : rounds) {
    for (int copy = 0; copy < std::max(quirks_.copies, 1); ++copy) {
      auto accepted = system_->submit(from, round, message, quirks_.delayMs > 0);
      if (!accepted) {
        // The server took none of it: the sender's host reports each
        // recipient, as for an unknown address in memory.
        std::cerr << "post office: " << accepted.error() << '\n';
        for (const std::string& mailbox : round)
          batches[&sender].push_back(
              {sequence, nonDeliveryReport(sent, addressOf[mailbox],
                                           u"The mail system did not accept it: " +
                                               mail::fromUtf8(accepted.error()))});
        break;
      }
      std::set<std::string> refused;
      for (const auto& [mailbox, reply] : accepted->refused) {
        refused.insert(mailbox);
        // Once per recipient, however many copies go out.
        if (copy == 0)
          batches[&sender].push_back({sequence, nonDeliveryReport(sent, addressOf[mailbox])});
      }
      for (const std::string& mailbox : round) {
        if (refused.contains(mailbox)) continue;
        ++figures_.submitted;
        submittedAtMs_[messageId] = realMs();
        if (quirks_.delayMs > 0)
          held_.push_back({accepted->queueId, mailbox, messageId, now + quirks_.delayMs});
        else
          ++owed_[mailbox];
      }
    }
  }
}

void PostOffice::fetchFromServer(MailClient& recipient, std::int64_t now, Batches& batches) {
  const std::string mailbox = mailboxOf(recipient.address());
  std::size_t& owed = owed_[mailbox];
  if (owed == 0) return;
  // The server delivers in its own time: wait until what it accepted for
  // this mailbox is there.
  const auto deadline = std::chrono::steady_clock::now() + kDeliveryLimit;
  auto pause = std::chrono::milliseconds(1);
  while (true) {
    auto count = system_->waiting(mailbox);
    if (!count) {
      std::cerr << "post office: " << count.error() << '\n';
      return;
    }
    if (*count >= owed) break;
    if (std::chrono::steady_clock::now() > deadline) {
      std::cerr << "post office: " << owed - *count << " mail(s) for " << mailbox
                << " did not arrive within " << kDeliveryLimit.count() << " s\n";
      break;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
  auto taken = system_->take(mailbox);
  if (!taken) {
    std::cerr << "post office: " << taken.error() << '\n';
    return;
  }
  const std::int64_t fetchedAt = realMs();
  for (const std::string& text : *taken) {
    auto mail = mail::parseMessage(text);
    if (!mail) {
      std::cerr << "post office: a message in " << mailbox << " is no mail; dropped\n";
      continue;
    }
    const std::string id = mail::messageIdOf(text);
    const auto known = sequenceOf_.find(id);
    const long long sequence = known == sequenceOf_.end() ? nextSequence_++ : known->second;
    if (auto at = submittedAtMs_.find(id); at != submittedAtMs_.end()) {
      figures_.longestWaitMs = std::max(figures_.longestWaitMs, fetchedAt - at->second);
      figures_.totalWaitMs += fetchedAt - at->second;
    }
    // The simulated hosts live on the office's clock, not the server's.
    mail->receivedTime = utcDate(now);
    batches[&recipient].push_back({sequence, std::move(*mail)});
    ++figures_.fetched;
  }
  owed -= std::min(owed, taken->size());
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
  for (MailClient* sender : std::vector<MailClient*>(clients_)) {
    if (!sender->running()) continue;
    for (ItemData& sent : sender->takeSubmitted()) {
      sent.sentOn = utcDate(now);
      submitToServer(sent, *sender, now, batches);
      submitted = true;
    }
  }
  std::vector<std::string> due;
  std::erase_if(held_, [&](const Held& held) {
    if (held.dueMs > now) return false;
    due.push_back(held.queueId);
    ++owed_[held.recipient];
    submittedAtMs_[held.messageId] = realMs();
    return true;
  });
  if (auto released = system_->release(due); !released)
    std::cerr << "post office: " << released.error() << '\n';
  if (watchQueue_ && (submitted || !due.empty())) {
    if (auto queued = system_->queued()) figures_.peakQueue = std::max(figures_.peakQueue, *queued);
  }
  for (MailClient* recipient : std::vector<MailClient*>(clients_))
    fetchFromServer(*recipient, now, batches);
  deliverBatches(clients_, batches);
}

}  // namespace qx::sim

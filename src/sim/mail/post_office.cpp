#include "sim/mail/post_office.h"

#include <algorithm>
#include <map>

#include "platform/safe_utilities.h"
#include "sim/clock_sim.h"
#include "sim/mail/mail_text.h"
#include "sim/mail/mime_message.h"

namespace qx::sim {

using mail::ItemData;

namespace {
std::u16string withCrLf(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r')) out.push_back(u'\r');
    out.push_back(text[i]);
  }
  return out;
}
}  // namespace

PostOffice::PostOffice(VirtualClock& clock) : clock_(clock) {}

PostOffice::~PostOffice() {
  *alive_ = false;
  if (system_) reportFigures();
}

void PostOffice::attach(MailClient& client) {
  if (std::find(clients_.begin(), clients_.end(), &client) == clients_.end()) {
    clients_.push_back(&client);
    if (system_) emptyMailbox(client);
  }
}

void PostOffice::detach(MailClient& client) {
  clients_.erase(std::remove(clients_.begin(), clients_.end(), &client), clients_.end());
  std::erase_if(transit_, [&](const Delivery& d) { return d.recipient == &client; });
}

void PostOffice::runEvery(std::int64_t intervalMs) {
  // The clock cannot forget a job, so the job checks that the office lives.
  clock_.every(intervalMs, [this, alive = alive_] {
    if (*alive) runTransport();
  });
}

MailClient* PostOffice::clientFor(std::u16string_view address) {
  for (MailClient* client : clients_) {
    if (mail::equalsIgnoreCase(client->address(), address)) return client;
  }
  return nullptr;
}

ItemData PostOffice::asDelivered(const ItemData& sent, const MailClient& sender) const {
  // What travels by internet mail: envelope, content, attachments and the
  // internet headers; local properties stay behind.
  ItemData mail = ItemData::newMail();
  mail.subject = sent.subject;
  mail.body = quirks_.crlfLineEnds ? withCrLf(sent.body) : sent.body;
  mail.to = sent.to;
  mail.sentOnBehalfOfName = sent.sentOnBehalfOfName;
  mail.senderAddress = sender.address();
  mail.importance = sent.importance;
  mail.sensitivity = sent.sensitivity;
  mail.readReceiptRequested = sent.readReceiptRequested;
  mail.attachments = sent.attachments;
  mail.sentOn = sent.sentOn;
  for (const auto& [key, value] : sent.namedProperties) {
    if (key.set == prop_set::kInternetHeaders) mail.namedProperties[key] = value;
  }
  if (!quirks_.habits.any()) return mail;
  // A gateway works on the message text: the mail travels as the server
  // would carry it and is read back as the recipient's host reads it.
  auto passed = mail::parseMessage(
      mail::applyHabits(mail::renderMessage(mail, sender.address()), quirks_.habits));
  if (!passed) return mail;
  passed->sentOn = mail.sentOn;
  return *passed;
}

std::size_t PostOffice::inTransit() const {
  std::size_t owed = 0;
  for (const auto& [mailbox, count] : owed_) owed += count;
  return transit_.size() + held_.size() + owed;
}

ItemData PostOffice::nonDeliveryReport(const ItemData& sent, std::u16string_view address,
                                       std::u16string_view why) {
  ItemData report;
  report.kind = mail::ItemKind::kReport;
  report.messageClass = u"REPORT.IPM.Note.NDR";
  report.subject = u"Undeliverable: " + sent.subject;
  report.senderAddress = u"postmaster";
  report.body =
      u"Your message did not reach some or all of the intended recipients.\r\n\r\n"
      u"      Subject:\t" +
      sent.subject + u"\r\n\r\nThe following recipient could not be reached:\r\n\r\n      " +
      std::u16string(address.empty() ? u"(no recipient)" : address) +
      u"\r\n      " + std::u16string(why.empty() ? u"The address is unknown to the mail system." : why) +
      u"\r\n";
  return report;
}

// The transport stamps in UTC; each host shows the times in its own zone.
DateValue PostOffice::utcDate(std::int64_t ms) {
  const std::int64_t seconds = ms >= 0 ? ms / 1000 : -((999 - ms) / 1000);
  return DateValue{hostDateOf(kDefaultStartSeconds + seconds, 0)};
}

void PostOffice::runTransport() {
  if (system_) return runServerTransport();
  std::int64_t now = clock_.nowMs();
  for (MailClient* sender : std::vector<MailClient*>(clients_)) {
    // The host hands its Outbox to the mail system only while it runs: what a
    // stopped host submitted waits there until its next run.
    if (!sender->running()) continue;
    for (ItemData& sent : sender->takeSubmitted()) {
      sent.sentOn = utcDate(now);
      auto recipients = mail::splitAddresses(sent.to);
      if (recipients.empty()) {
        transit_.push_back({sender, nonDeliveryReport(sent, u""), now});
      }
      for (const std::u16string& address : recipients) {
        MailClient* recipient = clientFor(address);
        if (!recipient) {
          transit_.push_back({sender, nonDeliveryReport(sent, address), now});
          continue;
        }
        for (int copy = 0; copy < std::max(quirks_.copies, 1); ++copy) {
          transit_.push_back({recipient, asDelivered(sent, *sender), now + quirks_.delayMs});
        }
      }
    }
  }
  std::vector<Delivery> due;
  std::vector<Delivery> waiting;
  for (Delivery& d : transit_) (d.dueMs <= now ? due : waiting).push_back(std::move(d));
  transit_ = std::move(waiting);
  if (quirks_.reorder) std::reverse(due.begin(), due.end());
  // One NewMail per recipient and run, after all of its mails arrived.
  std::vector<MailClient*> order;
  std::map<MailClient*, std::vector<ItemData>> batches;
  for (Delivery& d : due) {
    d.mail.receivedTime = utcDate(now);
    if (!batches.contains(d.recipient)) order.push_back(d.recipient);
    batches[d.recipient].push_back(std::move(d.mail));
  }
  for (MailClient* recipient : order) recipient->deliver(std::move(batches[recipient]));
}

}  // namespace qx::sim

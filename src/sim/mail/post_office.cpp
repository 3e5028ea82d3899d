#include "sim/mail/post_office.h"

#include <algorithm>
#include <map>

#include "platform/safe_utilities.h"
#include "sim/clock_sim.h"
#include "sim/mail/mail_text.h"
#include "sim/mail/mime_message.h"
#include "sim/mail/mime_text.h"

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
// What the test server answers to a refused mail (scripts/mail-server).
std::string refusalReply(int code) {
  return std::to_string(code) + (code < 500 ? " 4.3.2 Try again later" : " 5.3.4 Message refused");
}
}  // namespace

PostOffice::PostOffice(VirtualClock& clock) : clock_(clock) {}

PostOffice::~PostOffice() {
  *alive_ = false;
  if (!system_) return;
  reportFigures();
  // A scenario that ended early leaves the shared server running, for the
  // runs after it.
  if (!smtpRunning_) (void)system_->setSmtpRunning(true);
  if (!imapRunning_) (void)system_->setImapRunning(true);
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
  mail.body = sent.body;
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
  if (quirks_.habits.any()) {
    // A gateway works on the message text: the mail travels as the server
    // would carry it and is read back as the recipient's host reads it.
    if (auto passed = mail::parseMessage(
            mail::applyHabits(mail::renderMessage(mail, sender.address()), quirks_.habits))) {
      passed->sentOn = mail.sentOn;
      mail = std::move(*passed);
    }
  }
  if (quirks_.crlfLineEnds) mail.body = withCrLf(mail.body);
  return mail;
}

std::size_t PostOffice::inTransit() const {
  std::size_t owed = foreign_.size();
  for (const auto& [mailbox, count] : owed_) owed += count;
  for (const auto& [mailbox, ids] : owedForeign_) owed += ids.size();
  return transit_.size() + held_.size() + owed;
}

std::expected<void, std::string> PostOffice::deliverForeign(MailClient& to,
                                                            std::u16string_view from,
                                                            std::u16string_view subject,
                                                            std::u16string_view body) {
  ItemData mail = ItemData::newMail();
  mail.subject = std::u16string(subject);
  mail.body = std::u16string(body);
  mail.to = to.address();
  mail.senderAddress = std::u16string(from);
  mail.sentOn = utcDate(clock_.nowMs());
  if (system_) return deliverForeignToServer(mail, to);
  if (!smtpRunning_) return std::unexpected("the mail server's SMTP side is stopped");
  foreign_.push_back({&to, std::move(mail), clock_.nowMs()});
  return {};
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

std::optional<MailSystem::Failure> PostOffice::memoryRefusal() {
  using Kind = MailSystem::Failure::Kind;
  if (!smtpRunning_) return MailSystem::Failure{Kind::kUnreachable, "", "the SMTP side is stopped"};
  if (refusalsLeft_ <= 0) return std::nullopt;
  --refusalsLeft_;
  const std::string reply = refusalReply(refusalCode_);
  return MailSystem::Failure{refusalCode_ < 500 ? Kind::kTemporary : Kind::kPermanent, reply,
                             "DATA: " + reply};
}

std::u16string PostOffice::failureText(const MailSystem::Failure& failure) {
  using Kind = MailSystem::Failure::Kind;
  if (failure.kind == Kind::kUnreachable) return u"the mail server cannot be reached";
  // The code and its enhanced status ("552 5.3.4"): the rest of a server's
  // answer names its host and differs between servers.
  std::string codes = failure.reply.substr(0, failure.reply.find(' '));
  if (const std::size_t space = failure.reply.find(' '); space != std::string::npos) {
    const std::string rest = failure.reply.substr(space + 1);
    const std::string status = rest.substr(0, rest.find(' '));
    if (!status.empty() && status[0] == codes[0] && status.find('.') != std::string::npos)
      codes += ' ' + status;
  }
  if (failure.kind == Kind::kTemporary)
    return u"the mail server refused it for now (" + mail::fromUtf8(codes) + u")";
  return u"the mail server refused it (" + mail::fromUtf8(codes) + u"); it is marked failed";
}

std::expected<void, std::string> PostOffice::setSmtpRunning(bool running) {
  if (system_)
    if (auto done = system_->setSmtpRunning(running); !done) return done;
  smtpRunning_ = running;
  return {};
}

std::expected<void, std::string> PostOffice::setImapRunning(bool running) {
  if (system_)
    if (auto done = system_->setImapRunning(running); !done) return done;
  imapRunning_ = running;
  return {};
}

void PostOffice::refuseNext(int code, int count) {
  if (system_) return system_->refuseNext(code, count);
  refusalCode_ = code;
  refusalsLeft_ = count;
}

void PostOffice::runTransport() {
  if (system_) return runServerTransport();
  std::int64_t now = clock_.nowMs();
  for (MailClient* sender : std::vector<MailClient*>(clients_)) {
    // The host hands its Outbox to the mail system only while it runs: what a
    // stopped host submitted waits there until its next run.
    if (!sender->running()) continue;
    for (MailClient::Submitted& submitted : sender->submittedMails()) {
      if (auto failure = memoryRefusal()) {
        sender->markSendFailed(submitted.entryId, failureText(*failure));
        continue;
      }
      sender->markSent(submitted.entryId);
      ItemData& sent = submitted.data;
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
  // The mailbox server keeps what it has until its IMAP side runs again.
  if (!imapRunning_) return;
  // Foreign mail comes after the office's own, as a run over a server
  // reads it.
  for (Delivery& d : foreign_) transit_.push_back(std::move(d));
  foreign_.clear();
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

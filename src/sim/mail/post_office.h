#pragma once
// Delivers mail between simulated users by address, without regard to letter
// case. When the transport runs (on request or on the virtual clock) every
// submitted mail of a running host leaves its sender's Outbox and arrives in
// each recipient's Inbox as a new mail (a stopped host's mail waits in its
// Outbox; mail for a stopped host lands in its Inbox all the same); an
// unknown address brings a non-delivery report back to the sender. For
// robustness tests deliveries can be delayed, reordered, duplicated, have
// their line ends rewritten and pass the habits of mail gateways, as mail
// systems do.
//
// A mail leaves its Outbox only when the mail system has accepted it, as a
// mail client keeps it: while the server cannot be reached or refuses it
// (for now, 4xx, or for good, 5xx, which marks it failed) it stays there and
// goes again with the next run. The server's faults (its SMTP or IMAP side
// stopped, refusals, foreign mail in a mailbox) act the same in memory and
// over a server.
//
// By default the office carries mail in memory. Over a mail system (a real
// server, useMailSystem) each mail is rendered as an internet message,
// submitted by SMTP in one transaction for its recipients (and one per copy),
// and fetched from each recipient's mailbox by IMAP in the same run, with
// whatever foreign mail the mailbox holds; a delay holds it in the server's
// queue until it is due.
#include <cstdint>
#include <expected>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sim/mail/item_data.h"
#include "sim/mail/mail_client.h"
#include "sim/mail/mail_habits.h"
#include "sim/mail/mail_system.h"
#include "sim/ui_thread.h"

namespace qx::sim {

class PostOffice {
 public:
  struct Quirks {
    std::int64_t delayMs = 0;   // held back this long before arriving
    bool reorder = false;       // each run delivers its batch in reverse order
    int copies = 1;             // each mail arrives this many times
    bool crlfLineEnds = false;  // bodies have LF rewritten to CR LF
    mail::MailHabits habits = {};  // what gateways do to the message text
  };

  // What the office carried over a mail system, for its figures.
  struct Figures {
    long long submitted = 0;      // messages handed to the server
    long long fetched = 0;        // messages taken from mailboxes
    std::size_t peakQueue = 0;    // most messages in the server's queue at once
    std::int64_t longestWaitMs = 0;  // real time from submission to fetch
    std::int64_t totalWaitMs = 0;
  };

  explicit PostOffice(VirtualClock& clock);
  ~PostOffice();
  PostOffice(const PostOffice&) = delete;
  PostOffice& operator=(const PostOffice&) = delete;

  // A user whose mail the office carries; the client must stay alive until
  // detached or the office is destroyed.
  void attach(MailClient& client);
  void detach(MailClient& client);

  void setQuirks(const Quirks& quirks) { quirks_ = quirks; }

  // Collects every submitted mail and delivers what is due.
  void runTransport();
  // Runs the transport every `intervalMs` of virtual time.
  void runEvery(std::int64_t intervalMs);

  // Mails collected but held back (delay), or not yet fetched from the
  // server.
  std::size_t inTransit() const;

  // The server's faults. A stopped SMTP side accepts nothing (mail stays in
  // the Outboxes); a stopped IMAP side delivers nothing (mail stays on the
  // server). The next `count` mails are refused with `code` (4xx or 5xx).
  std::expected<void, std::string> setSmtpRunning(bool running);
  std::expected<void, std::string> setImapRunning(bool running);
  void refuseNext(int code, int count);
  // A mail from outside the office, handed to the server by SMTP for the
  // mailbox of `to`; it reaches the Inbox with the next run.
  std::expected<void, std::string> deliverForeign(MailClient& to, std::u16string_view from,
                                                  std::u16string_view subject,
                                                  std::u16string_view body);

  // From now on mail travels through `system`; chosen before any mail
  // travels (mail held in memory stays there).
  void useMailSystem(std::unique_ptr<MailSystem> system);
  bool overMailSystem() const { return system_ != nullptr; }
  // Measures the server's queue after each submission burst (costs a call of
  // the server's queue tool per run).
  void watchQueue(bool on) { watchQueue_ = on; }
  const Figures& figures() const { return figures_; }

 private:
  struct Delivery {
    MailClient* recipient;
    mail::ItemData mail;
    std::int64_t dueMs;
  };
  static DateValue utcDate(std::int64_t ms);
  MailClient* clientFor(std::u16string_view address);
  mail::ItemData asDelivered(const mail::ItemData& sent, const MailClient& sender) const;
  // What a refusal of the memory office answers, as the test server does.
  std::optional<MailSystem::Failure> memoryRefusal();
  static std::u16string failureText(const MailSystem::Failure& failure);
  static mail::ItemData nonDeliveryReport(const mail::ItemData& sent, std::u16string_view address,
                                          std::u16string_view why = {});
  // The server's side of a run (post_office_server.cpp).
  struct Held {
    std::string queueId;
    std::string recipient;  // lower case
    std::string messageId;
    std::int64_t dueMs;
  };
  using Batches = std::map<MailClient*, std::vector<std::pair<long long, mail::ItemData>>>;
  // A mail on its way to the server: one Message-ID and the gateways'
  // habits of its first run however often it is tried, and the transactions
  // still to make.
  struct Outgoing {
    std::string messageId;
    long long sequence = 0;
    mail::MailHabits habits;
    std::vector<std::vector<std::string>> rounds;  // mailboxes, one transaction each
    std::set<std::string> reported;  // refused mailboxes already reported
  };
  std::optional<MailSystem::Failure> submitToServer(const MailClient::Submitted& sent,
                                                    MailClient& sender, std::int64_t now,
                                                    Batches& batches);
  void waitForDeliveries();
  std::expected<void, std::string> deliverForeignToServer(const mail::ItemData& mail,
                                                          MailClient& to);
  void fetchFromServer(MailClient& recipient, std::int64_t now, Batches& batches);
  void deliverBatches(const std::vector<MailClient*>& recipients, Batches& batches);
  void runServerTransport();
  void emptyMailbox(MailClient& client);
  void reportFigures() const;

  std::unique_ptr<MailSystem> system_;
  std::string runMark_;  // in each Message-ID of this office
  std::map<std::pair<MailClient*, std::u16string>, Outgoing> outgoing_;
  std::vector<Held> held_;
  std::map<std::string, std::size_t> owed_;  // this office's messages on their way, by mailbox
  std::map<std::string, std::vector<std::string>> owedForeign_;  // mailbox -> Message-IDs
  long long nextForeign_ = 0;
  bool smtpRunning_ = true;
  bool imapRunning_ = true;
  int refusalCode_ = 0;
  int refusalsLeft_ = 0;
  std::vector<Delivery> foreign_;  // in memory: foreign mail for the next run
  std::map<std::string, long long> sequenceOf_;  // Message-ID -> submission order
  std::map<std::string, std::int64_t> submittedAtMs_;  // Message-ID -> real time
  std::set<std::string> crlfBodies_;  // Message-IDs read with CR LF line ends
  long long nextSequence_ = 0;
  bool watchQueue_ = false;
  Figures figures_;

  VirtualClock& clock_;
  std::vector<MailClient*> clients_;
  std::vector<Delivery> transit_;
  Quirks quirks_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace qx::sim

#pragma once
// A mail system outside the simulated office that carries the post office's
// messages: a mail transfer agent takes them by SMTP and a mailbox server
// keeps them for each recipient until fetched. The post office renders and
// parses; the mail system only moves message texts.
//
// Mailboxes are shared with whatever else uses the server: another office's
// run, a person who mails a user. An office knows its own messages by a mark
// in their Message-ID and leaves other offices' messages where they are.
#include <cstddef>
#include <expected>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qx::sim {

// Every office's Message-IDs end so; a message without it is foreign mail.
inline constexpr std::string_view kOfficeMessageIdEnd = "@office.test";

class MailSystem {
 public:
  // Why a transaction failed as a whole.
  struct Failure {
    enum class Kind {
      kUnreachable,  // no connection, no greeting, a timeout: try again later
      kTemporary,    // a 4xx answer: try again later
      kPermanent,    // a 5xx answer to the mail itself (MAIL, DATA)
    };
    Kind kind = Kind::kUnreachable;
    std::string reply;   // the server's answer ("552 5.3.4 ..."), or what went wrong
    std::string detail;  // for standard error: the command and the whole answer
  };

  struct Accepted {
    std::string queueId;  // the agent's queue id; empty when nobody was accepted
    // The recipients the agent refused for good at RCPT (unknown
    // mailboxes), each with its answer, in the order given.
    std::vector<std::pair<std::string, std::string>> refused;
    // The recipients refused only for now (4xx at RCPT), and the answer.
    std::vector<std::string> deferred;
    std::string deferredReply;
  };

  virtual ~MailSystem() = default;

  // Hands one message for its recipients (distinct mailboxes) to the
  // transfer agent in one transaction. `hold` keeps it in the agent's queue
  // until released.
  virtual std::expected<Accepted, Failure> submit(std::string_view sender,
                                                  const std::vector<std::string>& recipients,
                                                  std::string_view message, bool hold) = 0;
  // Lets held messages go on to their mailboxes.
  virtual std::expected<void, std::string> release(const std::vector<std::string>& queueIds) = 0;
  // How many messages whose Message-ID contains `mark` wait in the mailbox.
  virtual std::expected<std::size_t, std::string> waiting(std::string_view address,
                                                          std::string_view mark) = 0;
  // Removes from the mailbox and returns, oldest first, every message whose
  // Message-ID contains `mark` and every foreign message; other offices'
  // messages stay.
  virtual std::expected<std::vector<std::string>, std::string> take(std::string_view address,
                                                                    std::string_view mark) = 0;
  // Removes what a new office must not inherit: foreign messages, and office
  // messages older than an hour (left by runs that ended without fetching).
  virtual std::expected<void, std::string> clearLeftovers(std::string_view address) = 0;
  // Messages in the transfer agent's queues (active, incoming, deferred,
  // held), for the office's figures.
  virtual std::expected<std::size_t, std::string> queued() = 0;

  // The faults a scenario makes: the SMTP side (the transfer agent) or the
  // IMAP side (the mailbox server, which also delivers) stops or starts
  // again; the next `count` transactions are refused with `code` (a 4xx or
  // 5xx answer) after the server has heard the message.
  virtual std::expected<void, std::string> setSmtpRunning(bool running) = 0;
  virtual std::expected<void, std::string> setImapRunning(bool running) = 0;
  virtual void refuseNext(int code, int count) = 0;
};

}  // namespace qx::sim

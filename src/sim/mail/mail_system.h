#pragma once
// A mail system outside the simulated office that carries the post office's
// messages: a mail transfer agent takes them by SMTP and a mailbox server
// keeps them for each recipient until fetched. The post office renders and
// parses; the mail system only moves message texts.
#include <cstddef>
#include <expected>
#include <string>
#include <string_view>
#include <vector>

namespace qx::sim {

class MailSystem {
 public:
  struct Refusal {
    bool recipientUnknown = false;  // the server refused the recipient itself
    std::string text;               // what went wrong, for the transcript
  };

  virtual ~MailSystem() = default;

  // Hands one message for one recipient to the transfer agent. `hold` keeps
  // it in the agent's queue until released. Returns the agent's queue id.
  virtual std::expected<std::string, Refusal> submit(std::string_view sender,
                                                     std::string_view recipient,
                                                     std::string_view message, bool hold) = 0;
  // Lets held messages go on to their mailboxes.
  virtual std::expected<void, std::string> release(const std::vector<std::string>& queueIds) = 0;
  // How many messages wait in the mailbox of `address`.
  virtual std::expected<std::size_t, std::string> waiting(std::string_view address) = 0;
  // Every message of the mailbox, oldest first, removed from it.
  virtual std::expected<std::vector<std::string>, std::string> take(std::string_view address) = 0;
  // Messages in the transfer agent's queues (active, incoming, deferred,
  // held), for the office's figures.
  virtual std::expected<std::size_t, std::string> queued() = 0;
};

}  // namespace qx::sim

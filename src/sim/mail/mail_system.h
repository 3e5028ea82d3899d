#pragma once
// A mail system outside the simulated office that carries the post office's
// messages: a mail transfer agent takes them by SMTP and a mailbox server
// keeps them for each recipient until fetched. The post office renders and
// parses; the mail system only moves message texts.
#include <cstddef>
#include <expected>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qx::sim {

class MailSystem {
 public:
  struct Accepted {
    std::string queueId;  // the agent's queue id; empty when nobody was accepted
    // The recipients the agent refused (unknown mailboxes), each with its
    // answer, in the order given.
    std::vector<std::pair<std::string, std::string>> refused;
  };

  virtual ~MailSystem() = default;

  // Hands one message for its recipients (distinct mailboxes) to the
  // transfer agent in one transaction. `hold` keeps it in the agent's queue
  // until released. A failure that is not about single recipients (the agent
  // cannot be reached, refuses the sender or the text) is an error for all of
  // them, said for the transcript.
  virtual std::expected<Accepted, std::string> submit(std::string_view sender,
                                                      const std::vector<std::string>& recipients,
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

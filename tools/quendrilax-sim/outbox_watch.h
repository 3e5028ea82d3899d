#pragma once
// What the add-in puts into a user's Outbox, told as it happens: each sync
// mail that appears there, or is rewritten with a newer state of its task,
// with its kind, its task and its recipients. Mails the scenario put there
// itself are no work of the add-in and are not told.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace qx::sim::mail {
struct ItemData;
}

namespace qx::tools {

struct OfficeUser;

// The signature `known` takes for a mail.
std::size_t outboxSignature(const sim::mail::ItemData& mail);

class OutboxWatch {
 public:
  // A mail the scenario put there: known, never told.
  void known(const std::u16string& entryId, std::size_t signature);
  // Lines for what is new or rewritten since the last look; with `quiet`
  // only the record is brought up to date (a soak's thousands of mails).
  std::vector<std::string> look(OfficeUser& user, bool quiet);

 private:
  // Entry id -> a signature of the mail's body and attachment.
  std::map<std::u16string, std::size_t> seen_;
  // The Outbox's contents as last looked at: unchanged, nothing to look at.
  std::uint64_t version_ = 0;
  std::uint64_t storeChanges_ = 0;
};

}  // namespace qx::tools

#pragma once
// A change mail merged into the task held here, told from the host's side:
// the fields in which the mail's task differed from the one here, taken from
// the mail or kept.
#include <string>
#include <string_view>
#include <vector>

#include "sim/mail/item_data.h"

namespace qx::tools {

struct FieldSplit {
  std::vector<std::string_view> taken;  // the task now holds the mail's value
  std::vector<std::string_view> kept;   // the task still holds its own
};

// The fields in which `carried` (the mail's task) differs from `previous`
// (the task before the mail), split by what `now` holds.
FieldSplit splitFields(const sim::mail::ItemData& previous, const sim::mail::ItemData& carried,
                       const sim::mail::ItemData& now);

// "merged "Plan": due from ben, status kept", with the task's subject after
// the scan; `sender` is the sender's address, told by its part before "@".
std::string mergeOutcome(const sim::mail::ItemData& now, const FieldSplit& split,
                         std::string_view sender);

}  // namespace qx::tools

#pragma once
// A change mail merged into the task held here, told from the host's side:
// the fields in which the mail's task differed from the one here, taken from
// the mail or kept.
#include <optional>
#include <string>
#include <string_view>

#include "sim/mail/item_data.h"

namespace qx::tools {

// "merged "Plan": due from ben, status kept", with the task's subject after
// the scan; none when the task here took every field in which the mail
// differed (a plain change) or kept every one (nothing taken). `sender` is
// the sender's address, told by its part before "@".
std::optional<std::string> mergeOutcome(const sim::mail::ItemData& previous,
                                        const sim::mail::ItemData& carried,
                                        const sim::mail::ItemData& now,
                                        std::string_view sender);

}  // namespace qx::tools

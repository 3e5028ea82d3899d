#pragma once
// The version of a sync mail from an add-in that stamps none. Every receiver
// derives it alike from the mail itself: the time the sender submitted it, to
// the second (as its Date header gives it), and a tie-breaker made of the
// sender's address. Such a mail is then merged like any other, as a change of
// every field it carries at that version, and its removal is recorded like
// any other: one older peer no longer resets the versions its change reaches.
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/variant.h"
#include "protocol/change_version.h"

namespace qx {

// `submitted`: the mail's submit time as the host keeps it (UTC); none when
// it has none, or none a version can carry.
std::optional<ChangeVersion> derivedVersion(const DateValue& submitted,
                                            std::u16string_view senderAddress);
// The same at `utcMs`, cut to the second: for a mail that never travelled
// (made by hand) and so has no submit time, the time it is read.
ChangeVersion derivedVersionAt(std::int64_t utcMs, std::u16string_view senderAddress);

}  // namespace qx

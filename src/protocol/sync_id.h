#pragma once
// The text form of a sync id: a braced, upper-case GUID of 38 characters,
// the same on every user's side.
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/guid.h"
#include "platform/status.h"

namespace qx {

inline constexpr std::size_t kSyncIdLength = 38;

// A fresh id from the system's generator; the status of the generator, or a
// failure when the formatter wrote anything but a full id.
Result<std::u16string> makeSyncId(GuidSource& guids);

// Braces, 8-4-4-4-12 upper-case hexadecimal digits, hyphens between.
bool hasSyncIdForm(std::u16string_view text);

}  // namespace qx

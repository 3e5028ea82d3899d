#pragma once
// The user's tie-breaker between changes made in the same millisecond: a
// random id made once and kept in the user's registry under the add-in's key,
// so that it stays the same for all of the user's changes, across restarts.
#include <optional>
#include <string>
#include <string_view>

#include "platform/guid.h"
#include "platform/registry.h"

namespace qx {

namespace changetag {
inline constexpr std::string_view kKey = "Software\\Vantrosse\\Quendrilax\\Versions";
inline constexpr std::string_view kValue = "Tag";
}  // namespace changetag

// The stored tie-breaker, or a new one (32 hexadecimal digits of a new GUID)
// written in its place when there is none or it is not one a version can
// carry. None when no id can be made; a tie-breaker that cannot be stored is
// still used for this run.
std::optional<std::string> loadChangeTag(Registry& registry, GuidSource& guids);

}  // namespace qx

#pragma once
// Property tags of the named properties a sync mail and a sync task carry.
#include <cstdint>

#include "platform/safe_mail_item.h"

namespace qx {

// The name mapping hands out tags with an empty type part; setting the type
// part, rather than or-ing it in, keeps a tag that came with another type
// from turning into a type that does not exist.
constexpr std::int32_t asString8Tag(std::int32_t tag) {
  return static_cast<std::int32_t>((static_cast<std::uint32_t>(tag) & 0xFFFF0000u) |
                                   static_cast<std::uint32_t>(prop_type::kString8));
}

}  // namespace qx

#pragma once
// What a failed host call means, judged by the mail layer's code in the
// status's low word. The host reports "not found", "invalid entry id" and
// "moved or deleted" under differing high bits (0x8004010F from one layer,
// 0xC1F4010F or 0x9EE4010A from another), so comparing whole codes misses
// most of them in the field.
#include <cstdint>

#include "platform/status.h"

namespace qx {

enum class HostFailure {
  kNone,             // the call succeeded
  kOther,            // a failure that says nothing about the object
  kNotFound,         // 0x010F: no object with that id
  kInvalidEntryId,   // 0x0107: the id names nothing the store can open
  kMovedOrDeleted,   // 0x010A: the object was moved or deleted meanwhile
};

constexpr HostFailure classifyHostFailure(Hresult status) {
  if (succeeded(status)) return HostFailure::kNone;
  const auto code = static_cast<std::uint32_t>(status);
  // A Win32 error carried as a status has its own numbers in the low word
  // (0x8007010F is a Win32 error 271, not "not found").
  constexpr std::uint32_t kFacilityWin32 = 7;
  if (((code >> 16) & 0x7FFu) == kFacilityWin32) return HostFailure::kOther;
  switch (code & 0xFFFFu) {
    case 0x010Fu:
      return HostFailure::kNotFound;
    case 0x0107u:
      return HostFailure::kInvalidEntryId;
    case 0x010Au:
      return HostFailure::kMovedOrDeleted;
    default:
      return HostFailure::kOther;
  }
}

// The object the call was about is gone for good: asking again later cannot
// bring it back, so work queued for it can be dropped.
constexpr bool objectIsGone(Hresult status) {
  const HostFailure kind = classifyHostFailure(status);
  return kind == HostFailure::kNotFound || kind == HostFailure::kInvalidEntryId ||
         kind == HostFailure::kMovedOrDeleted;
}

}  // namespace qx

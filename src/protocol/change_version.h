#pragma once
// The version of a change: when it was made (UTC milliseconds) and by whom (a
// tie-breaker that is the same for all of one user's changes and differs
// between users). A change mail carries it in a user property of the task in
// its message file, a removal mail in one more body line after the id line.
// Peers that know nothing of versions ignore both; a mail without a version is
// applied in arrival order, as it always was.
#include <compare>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/mail_client.h"
#include "platform/safe_library.h"

namespace qx {

namespace changeversion {
inline constexpr std::u16string_view kPropertyName = u"quendrilaxversion";
// Markers of the removal mail's version line. Neither holds a marker of the
// older fields, so an older reader still finds kind, share name and id.
inline constexpr std::string_view kLineOpen = "ver:";
inline constexpr std::string_view kLineClose = ":ver";
// The longest tie-breaker a version may carry.
inline constexpr std::size_t kMaxTagLength = 64;
}  // namespace changeversion

struct ChangeVersion {
  std::int64_t utcMs = 0;
  std::string tag;
  // By time, then by tie-breaker.
  auto operator<=>(const ChangeVersion&) const = default;
};

// "<milliseconds>-<tag>".
std::string formatVersion(const ChangeVersion& version);
// None for anything that formatVersion would not have written: no mail is
// trusted to order changes with a version it cannot read exactly.
std::optional<ChangeVersion> parseVersion(std::string_view text);
// A tie-breaker formatVersion can carry: letters and digits only.
bool isVersionTag(std::string_view tag);

// The removal body's version line, and the version read back from a body: the
// text between the first "ver:" after the first ":id" and the ":ver" after it.
std::string removalVersionLine(const ChangeVersion& version);
std::optional<ChangeVersion> readRemovalVersionText(std::string_view body);

// The version in the task's first "quendrilaxversion" user property; none when
// it has none or it cannot be read.
std::optional<ChangeVersion> readTaskVersion(TaskItem& task);
// Writes the version into the task's working copy, adding the property when
// there is none. The caller saves.
Hresult stampTaskVersion(UserProperties& properties, const ChangeVersion& version);

// The sync id and the version a received item (read from a message file)
// carries; either may be missing. Fails only when the library's utilities
// cannot be made.
struct ReceivedStamp {
  std::optional<std::u16string> syncId;
  std::optional<ChangeVersion> version;
};
Result<ReceivedStamp> readReceivedStamp(SafeLibrary& library,
                                        const std::shared_ptr<Dispatch>& received);

}  // namespace qx

#pragma once
// The version of a change: when it was made (UTC milliseconds) and by whom (a
// tie-breaker that is the same for all of one user's changes and differs
// between users). Change and removal mails carry it in one more body line
// after the id line, which peers that know nothing of versions pass over; a
// mail without that line is applied in arrival order, as it always was.
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>


namespace qx {

namespace changeversion {
// Markers of the body's version line. Neither holds a marker of the
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

// The body's version line, and the version read back from a body: the text
// between the first "ver:" after the first ":id" and the ":ver" after it.
std::string versionLine(const ChangeVersion& version);
std::optional<ChangeVersion> readVersionLine(std::string_view body);

// The version one past `version`; the largest stamp stays as it is.
ChangeVersion nextAfter(ChangeVersion version);

}  // namespace qx

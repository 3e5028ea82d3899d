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
// The latest stamp a version may carry, the last millisecond of the year
// 9999: far beyond any clock, and far enough below the type's limit that no
// sum or step made from a stamp overflows.
inline constexpr std::int64_t kMaxStampMs = 253402300799999;
// How far ahead of the receiver's clock a change may be stamped: a clock set
// wrong by more than a day is no clock to order changes by, and one such
// stamp would otherwise outrank every later edit for as long.
inline constexpr std::int64_t kMaxAheadMs = 24LL * 60 * 60 * 1000;
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
// A tie-breaker of the form the add-in makes: upper-case hexadecimal digits,
// at most kMaxTagLength of them. Any other text ("zzz...") would let a
// hand-made mail pick the winner of every tie.
bool isVersionTag(std::string_view tag);

// The body's version line, and the version read back from a body: the text
// between the first "ver:" after the first ":id" and the ":ver" after it.
std::string versionLine(const ChangeVersion& version);
std::optional<ChangeVersion> readVersionLine(std::string_view body);

// The version one millisecond past `version`, with its tie-breaker.
// Stamps never exceed kMaxStampMs, so this cannot overflow.
ChangeVersion nextAfter(ChangeVersion version);
// The smallest version after `version`: the same millisecond with the next
// tie-breaker in order, or the next millisecond's first when the tie-breaker
// is as long as it can be. Nothing a user stamps lies between the two.
ChangeVersion justAfter(const ChangeVersion& version);

}  // namespace qx

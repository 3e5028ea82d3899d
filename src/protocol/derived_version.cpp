#include "protocol/derived_version.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "protocol/content_hash.h"

namespace qx {
namespace {

constexpr double kUnixEpochDays = 25569.0;  // 1899-12-30 to 1970-01-01
constexpr double kSecondsPerDay = 86400.0;

// 32 hexadecimal digits, the form of every tie-breaker: two hashes of the
// address, case folded, as addresses compare.
std::string addressTag(std::u16string_view address) {
  std::u16string folded(address);
  for (char16_t& c : folded)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  ContentHash first;
  first.add(std::u16string_view(folded));
  ContentHash second;
  second.add(0x51);
  second.add(std::u16string_view(folded));
  char text[40];
  std::snprintf(text, sizeof text, "%016llX%016llX", static_cast<unsigned long long>(first.value()),
                static_cast<unsigned long long>(second.value()));
  return text;
}

}  // namespace

std::optional<ChangeVersion> derivedVersion(const DateValue& submitted,
                                            std::u16string_view senderAddress) {
  if (submitted == kNoDate || !std::isfinite(submitted.days)) return std::nullopt;
  const double seconds = std::round((submitted.days - kUnixEpochDays) * kSecondsPerDay);
  if (seconds < 0 || seconds > static_cast<double>(changeversion::kMaxStampMs / 1000))
    return std::nullopt;
  return ChangeVersion{static_cast<std::int64_t>(seconds) * 1000, addressTag(senderAddress)};
}

ChangeVersion derivedVersionAt(std::int64_t utcMs, std::u16string_view senderAddress) {
  return {std::max<std::int64_t>(utcMs, 0) / 1000 * 1000, addressTag(senderAddress)};
}

}  // namespace qx

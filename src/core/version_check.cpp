#include "core/version_check.h"

namespace qx {

namespace {
constexpr std::int64_t kBuildCeiling = 1'000'000'000'000;
}

std::int64_t hostBuildNumber(std::u16string_view version) {
  std::size_t position = 0;
  while (position < version.size() &&
         (version[position] == u'1' || version[position] == u'0' || version[position] == u'.'))
    ++position;
  std::int64_t build = 0;
  for (; position < version.size() && version[position] >= u'0' && version[position] <= u'9';
       ++position) {
    // Saturate far above any build instead of overflowing on a long string.
    if (build < kBuildCeiling) build = build * 10 + (version[position] - u'0');
  }
  return build;
}

bool hostVersionAccepted(std::u16string_view version) {
  if (!version.starts_with(u"10.0.0")) return true;
  return hostBuildNumber(version) >= kMinimumHostBuild;
}

}  // namespace qx

#pragma once
// The start-up test of the host's version: the first release of the 10.0 host
// needs its third service pack before the add-in can run on it.
#include <cstdint>
#include <string>
#include <string_view>

namespace qx {

inline constexpr std::int64_t kMinimumHostBuild = 6500;

// The build read from a 10.0.0 version string: every leading '1', '0' and '.'
// is trimmed and the leading digits of the rest are read (0 without digits).
// The trim also eats leading ones and zeros of the build itself, so
// "10.0.0.1234" reads as 234; the check has always worked this way.
std::int64_t hostBuildNumber(std::u16string_view version);

// False only for a version that begins with "10.0.0" and whose build reads
// below kMinimumHostBuild; other versions pass without a build test.
bool hostVersionAccepted(std::u16string_view version);

}  // namespace qx

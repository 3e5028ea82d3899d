#pragma once
// Which tasks stay with their owner and never travel: private ones, and
// holidays, whose categories hold this word anywhere.
#include <string_view>

namespace qx::stays_home {
inline constexpr std::u16string_view kHolidayCategory = u"Feiertag";
}  // namespace qx::stays_home

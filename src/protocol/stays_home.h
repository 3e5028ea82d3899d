#pragma once
// Which tasks stay with their owner and never travel: private ones, and
// holidays, whose categories hold this word anywhere.
#include <string_view>

#include "platform/mail_task_item.h"

namespace qx::stays_home {
inline constexpr std::u16string_view kHolidayCategory = u"Feiertag";
}  // namespace qx::stays_home

namespace qx {

// A task that cannot be read counts as travelling: nothing is kept from the
// others on a guess.
bool staysHome(TaskItem& task);

}  // namespace qx

#include "protocol/stays_home.h"

#include "platform/mail_ids.h"

namespace qx {

bool staysHome(TaskItem& task) {
  const Result<std::int32_t> sensitivity = task.sensitivity();
  if (sensitivity && *sensitivity == sensitivity::kPrivate) return true;
  const Result<std::u16string> categories = task.categories();
  return categories && categories->find(stays_home::kHolidayCategory) != std::u16string::npos;
}

}  // namespace qx

#pragma once
// The locale port over the thread's locale and the automation date format.
#include "platform/locale.h"

namespace qx::win32 {

class LocaleWin final : public Locale {
 public:
  LangId threadLanguage() override;
  Result<std::u16string> formatDate(double hostDate) override;
};

}  // namespace qx::win32

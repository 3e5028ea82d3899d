#pragma once
// The code page port over the system's ANSI code page (CP_ACP).
#include "platform/codepage.h"

namespace qx::win32 {

class CodePageWin final : public CodePage {
 public:
  Result<std::string> toAnsi(std::u16string_view wide) override;
  Result<std::u16string> toWide(std::string_view ansi) override;
};

}  // namespace qx::win32

#pragma once
// Conversion between the host's wide strings (UTF-16) and the single-byte
// texts of the thread's ANSI code page, which the add-in writes to files, logs
// and the registry.
#include <string>
#include <string_view>

#include "platform/status.h"

namespace qx {

class CodePage {
 public:
  virtual ~CodePage() = default;
  // WideCharToMultiByte(CP_ACP): characters without a mapping become '?'.
  virtual Result<std::string> toAnsi(std::u16string_view wide) = 0;
  // MultiByteToWideChar(CP_ACP).
  virtual Result<std::u16string> toWide(std::string_view ansi) = 0;
};

}  // namespace qx

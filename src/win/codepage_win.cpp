#include "win/codepage_win.h"

#include "win/win_text.h"

namespace qx::win32 {

// An empty text is a valid conversion, which the system calls refuse.
Result<std::string> CodePageWin::toAnsi(std::u16string_view wide) {
  if (wide.empty()) return std::string();
  const auto* source = reinterpret_cast<const wchar_t*>(wide.data());
  const int length = static_cast<int>(wide.size());
  int needed = WideCharToMultiByte(CP_ACP, 0, source, length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return failure(lastErrorStatus());
  std::string ansi(static_cast<std::size_t>(needed), '\0');
  if (WideCharToMultiByte(CP_ACP, 0, source, length, ansi.data(), needed, nullptr, nullptr) !=
      needed)
    return failure(lastErrorStatus());
  return ansi;
}

Result<std::u16string> CodePageWin::toWide(std::string_view ansi) {
  if (ansi.empty()) return std::u16string();
  const int length = static_cast<int>(ansi.size());
  int needed = MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
  if (needed <= 0) return failure(lastErrorStatus());
  std::u16string wide(static_cast<std::size_t>(needed), u'\0');
  if (MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, reinterpret_cast<wchar_t*>(wide.data()),
                          needed) != needed)
    return failure(lastErrorStatus());
  return wide;
}

}  // namespace qx::win32

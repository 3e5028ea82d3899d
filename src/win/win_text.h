#pragma once
// The host's wide strings are UTF-16 like Windows' own, so they pass to the
// wide Win32 calls as they are; ANSI texts need a terminator the port's views
// do not carry.
#include <windows.h>

#include <string>
#include <string_view>

#include "platform/status.h"

namespace qx::win32 {

inline std::string terminated(std::string_view text) { return std::string(text); }
inline std::wstring terminated(std::u16string_view text) {
  return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}
inline const wchar_t* wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline std::u16string fromWide(const wchar_t* text, std::size_t length) {
  return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}
inline std::u16string fromWide(const wchar_t* text) { return fromWide(text, wcslen(text)); }

// The calling thread's last Win32 error as the ports' code.
inline WinError lastWinError() { return winError(static_cast<std::int32_t>(GetLastError())); }

// A Win32 error code as the HRESULT the port's Result carries.
inline HRESULT lastErrorStatus() {
  DWORD error = GetLastError();
  return error == 0 ? E_FAIL : HRESULT_FROM_WIN32(error);
}

}  // namespace qx::win32

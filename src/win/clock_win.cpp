#include "win/clock_win.h"

#include <windows.h>

#include <oleauto.h>

#include <ctime>

namespace qx::win32 {

std::int64_t ClockWin::now() { return static_cast<std::int64_t>(_time64(nullptr)); }

std::int64_t ClockWin::nowMs() {
  FILETIME file{};
  GetSystemTimeAsFileTime(&file);
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
  // 100 ns ticks since 1601-01-01; 1970 lies 11644473600 seconds later.
  constexpr std::uint64_t kTicksAtEpoch = 116444736000000000ull;
  if (ticks < kTicksAtEpoch) return -1;
  return static_cast<std::int64_t>((ticks - kTicksAtEpoch) / 10000);
}

Result<double> ClockWin::toLocalDate(std::int64_t seconds) {
  const __time64_t time = seconds;
  std::tm local{};
  if (_localtime64_s(&local, &time) != 0) return failure(E_INVALIDARG);
  SYSTEMTIME system{};
  system.wYear = static_cast<WORD>(local.tm_year + 1900);
  system.wMonth = static_cast<WORD>(local.tm_mon + 1);
  system.wDay = static_cast<WORD>(local.tm_mday);
  system.wHour = static_cast<WORD>(local.tm_hour);
  system.wMinute = static_cast<WORD>(local.tm_min);
  system.wSecond = static_cast<WORD>(local.tm_sec);
  double date = 0;
  if (!SystemTimeToVariantTime(&system, &date)) return failure(E_INVALIDARG);
  return date;
}

}  // namespace qx::win32

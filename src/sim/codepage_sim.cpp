#include "sim/codepage_sim.h"

#include <array>

namespace qx::sim {
namespace {

// 0x80..0x9F. The five bytes the code page leaves unassigned (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) pass through as the C1 control of the same number, so that
// every byte survives a round trip as it does on the host.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

}  // namespace

char16_t CodePageSim::toWideChar(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
  return byte;
}

char CodePageSim::toAnsiChar(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == c) return static_cast<char>(0x80 + i);
  }
  return '?';
}

std::u16string CodePageSim::widen(std::string_view ansi) {
  std::u16string wide;
  wide.reserve(ansi.size());
  for (char c : ansi) wide += toWideChar(static_cast<unsigned char>(c));
  return wide;
}

// Each UTF-16 unit is converted on its own, so a character outside the basic
// plane becomes two '?', as the host's single-byte conversion gives it.
std::string CodePageSim::narrow(std::u16string_view wide) {
  std::string ansi;
  ansi.reserve(wide.size());
  for (char16_t c : wide) ansi += toAnsiChar(c);
  return ansi;
}

Result<std::string> CodePageSim::toAnsi(std::u16string_view wide) {
  if (auto status = faults_.check("codepage.toAnsi")) return failure(*status);
  return narrow(wide);
}

Result<std::u16string> CodePageSim::toWide(std::string_view ansi) {
  if (auto status = faults_.check("codepage.toWide")) return failure(*status);
  return widen(ansi);
}

}  // namespace qx::sim

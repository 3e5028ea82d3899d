#include "quendrilax-sim/text_utf.h"

#include <cstdio>

#include "sim/codepage_sim.h"

namespace qx::tools {

std::string ansiToUtf8(std::string_view ansi) { return utf16ToUtf8(sim::CodePageSim::widen(ansi)); }

std::string utf8ToAnsi(std::string_view text) {
  return sim::CodePageSim::narrow(utf8ToUtf16(text));
}

bool fitsCodePage(std::string_view text) {
  const std::u16string wide = utf8ToUtf16(text);
  return sim::CodePageSim::widen(sim::CodePageSim::narrow(wide)) == wide;
}

std::optional<std::size_t> invalidUtf8At(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size()) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
      ++at;
      continue;
    }
    // The length the lead byte announces, and the range its first
    // continuation byte must fall in: narrower after E0, ED, F0 and F4, where
    // the full range would give an overlong form, a surrogate or a code
    // point beyond U+10FFFF.
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return at;
    }
    if (at + length > text.size()) return at;
    const auto second = static_cast<unsigned char>(text[at + 1]);
    if (second < low || second > high) return at;
    for (std::size_t i = 2; i < length; ++i) {
      const auto next = static_cast<unsigned char>(text[at + i]);
      if (next < 0x80 || next > 0xBF) return at;
    }
    at += length;
  }
  return std::nullopt;
}

std::string printable(std::string_view utf8) {
  std::string out;
  for (char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\x%02X", byte);
      out += buffer;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace qx::tools

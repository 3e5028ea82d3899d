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

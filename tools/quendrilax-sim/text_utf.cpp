#include "quendrilax-sim/text_utf.h"

#include <cstdio>

#include "quendrilax-sim/scenario_lexer.h"
#include "sim/codepage_sim.h"

namespace qx::tools {

std::u16string utf8ToUtf16(std::string_view text) {
  std::u16string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    char32_t cp = 0xFFFD;
    int length = 1;
    if (lead < 0x80) {
      cp = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      cp = lead & 0x07;
    } else {
      length = 0;  // a stray continuation byte
    }
    bool ok = length > 0 && i + static_cast<std::size_t>(length) <= text.size();
    for (int k = 1; ok && k < length; ++k) {
      const auto c = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      if ((c & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (!ok) {
      out += u'\xFFFD';
      i += 1;
      continue;
    }
    i += static_cast<std::size_t>(length);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string utf16ToUtf8(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    appendUtf8(out, cp);
  }
  return out;
}

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

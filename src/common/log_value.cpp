#include "common/log_value.h"

namespace qx {

std::string logValue(std::string_view text) {
  constexpr std::string_view kHex = "0123456789ABCDEF";
  std::string value;
  const std::string_view kept = text.substr(0, kMaxLoggedValue);
  value.reserve(kept.size() + 8);
  for (const char c : kept) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      value.push_back(c);
    } else if (c == '\r') {
      value += "\\r";
    } else if (c == '\n') {
      value += "\\n";
    } else if (c == '\t') {
      value += "\\t";
    } else {
      value += "\\x";
      value.push_back(kHex[byte >> 4]);
      value.push_back(kHex[byte & 0xF]);
    }
  }
  if (text.size() > kMaxLoggedValue) value += "[...]";
  return value;
}

}  // namespace qx

#include "sim/mail/mail_text.h"

namespace qx::sim::mail {

namespace {
char16_t foldChar(char16_t c) {
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
  // Latin-1 capitals À..Þ except the multiplication sign.
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
  return c;
}
bool isHexDigit(char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'); }
bool isSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }
}  // namespace

std::u16string foldCase(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = foldChar(c);
  return out;
}

bool equalsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (foldChar(a[i]) != foldChar(b[i])) return false;
  }
  return true;
}

std::string toAnsiPath(std::u16string_view path) {
  std::string out;
  out.reserve(path.size());
  for (char16_t c : path) out.push_back(c < 0x100 ? static_cast<char>(c) : '?');
  return out;
}

std::u16string fromAscii(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char c : text) out.push_back(static_cast<unsigned char>(c));
  return out;
}

std::u16string hexText(std::uint64_t value, int digits) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string out(static_cast<std::size_t>(digits), u'0');
  for (int i = digits - 1; i >= 0; --i) {
    out[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    value >>= 4;
  }
  return out;
}

bool isUpperHex(std::u16string_view text) {
  if (text.empty()) return false;
  for (char16_t c : text) {
    if (!isHexDigit(c)) return false;
  }
  return true;
}

std::optional<std::u16string> canonicalGuidText(std::u16string_view text) {
  if (text.size() != 38 || text.front() != u'{' || text.back() != u'}') return std::nullopt;
  std::u16string out(text);
  for (std::size_t i = 1; i < 37; ++i) {
    char16_t c = out[i];
    if (i == 9 || i == 14 || i == 19 || i == 24) {
      if (c != u'-') return std::nullopt;
      continue;
    }
    if (c >= u'a' && c <= u'f') c = static_cast<char16_t>(c - 32);
    if (!isHexDigit(c)) return std::nullopt;
    out[i] = c;
  }
  return out;
}

std::vector<std::u16string> splitAddresses(std::u16string_view line) {
  std::vector<std::u16string> out;
  std::size_t start = 0;
  while (start <= line.size()) {
    std::size_t end = line.find_first_of(u";,", start);
    if (end == std::u16string_view::npos) end = line.size();
    std::u16string_view part = line.substr(start, end - start);
    while (!part.empty() && isSpace(part.front())) part.remove_prefix(1);
    while (!part.empty() && isSpace(part.back())) part.remove_suffix(1);
    if (!part.empty()) out.emplace_back(part);
    start = end + 1;
  }
  return out;
}

std::u16string decimalText(std::int64_t value) {
  std::string digits = std::to_string(value);
  return fromAscii(digits);
}

}  // namespace qx::sim::mail

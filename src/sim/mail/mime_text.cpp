#include "sim/mail/mime_text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <vector>

#include "sim/codepage_sim.h"

namespace qx::sim::mail {
namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
// A line that holds an encoded word stays within 76 characters (RFC 2047):
// a folded line is " =?utf-8?B?" + base64 + "?=", so 60 base64 characters
// (45 bytes of UTF-8) at most; the first line shares its room with the
// header's name.
constexpr std::size_t kEncodedLine = 76;
constexpr std::size_t kEncodedWordFrame = 12;  // "=?utf-8?B?" and "?="
constexpr std::size_t kEncodedWordBytes = (kEncodedLine - 1 - kEncodedWordFrame) / 4 * 3;
// No header line may pass 998 characters (RFC 5322), and a line can only
// be folded at a blank: a text with a longer run than this goes as encoded
// words, which fold anywhere.
constexpr std::size_t kLongestRun = 900;

std::size_t longestRun(std::string_view text) {
  std::size_t longest = 0;
  std::size_t run = 0;
  for (char c : text) {
    run = c == ' ' || c == '\t' ? 0 : run + 1;
    longest = std::max(longest, run);
  }
  return longest;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                           text.back() == '\n'))
    text.remove_suffix(1);
  return text;
}

bool plainAscii(std::string_view text) {
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x7F || byte < 0x20) return false;
  }
  // A text that looks like an encoded word must be encoded, or it would be
  // read back decoded.
  return text.find("=?") == std::string_view::npos;
}

std::string percentDecode(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 &&
        hexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// One encoded word =?charset?enc?text?= starting at `at`; its length and
// text, or none when the text there is no well-formed encoded word.
std::optional<std::pair<std::size_t, std::u16string>> encodedWord(std::string_view text,
                                                                  std::size_t at) {
  if (text.compare(at, 2, "=?") != 0) return std::nullopt;
  const std::size_t q1 = text.find('?', at + 2);
  if (q1 == std::string_view::npos || q1 + 2 >= text.size() || text[q1 + 2] != '?')
    return std::nullopt;
  const std::size_t end = text.find("?=", q1 + 3);
  if (end == std::string_view::npos) return std::nullopt;
  std::string charset = lowerAscii(text.substr(at + 2, q1 - at - 2));
  // RFC 2231 allows a language after '*': =?utf-8*de?Q?...?=
  if (std::size_t star = charset.find('*'); star != std::string::npos) charset.resize(star);
  const char encoding = static_cast<char>(text[q1 + 1] | 0x20);
  const std::string_view payload = text.substr(q1 + 3, end - q1 - 3);
  std::optional<std::string> bytes;
  if (encoding == 'b') {
    bytes = base64Decode(payload);
  } else if (encoding == 'q') {
    std::string underscored(payload);
    for (char& c : underscored)
      if (c == '_') c = ' ';
    bytes = quotedPrintableDecode(underscored);
  }
  if (!bytes) return std::nullopt;
  auto decoded = decodeCharset(*bytes, charset);
  if (!decoded) return std::nullopt;
  return std::pair{end + 2 - at, std::move(*decoded)};
}

}  // namespace

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::optional<std::u16string> decodeCharset(std::string_view bytes, std::string_view charset) {
  const std::string name = lowerAscii(trimmed(charset));
  if (name.empty() || name == "utf-8" || name == "utf8" || name == "us-ascii") {
    return fromUtf8(bytes);
  }
  if (name == "iso-8859-1" || name == "latin1" || name == "windows-1252" || name == "cp1252") {
    std::u16string out;
    out.reserve(bytes.size());
    for (char c : bytes) out += CodePageSim::toWideChar(static_cast<unsigned char>(c));
    return out;
  }
  return std::nullopt;
}

std::string base64Encode(std::string_view bytes, std::size_t lineLength) {
  std::string out;
  out.reserve(bytes.size() * 4 / 3 + bytes.size() / 38 + 8);
  std::size_t column = 0;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t chunk = static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i])) << 16;
    if (i + 1 < bytes.size()) chunk |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) chunk |= static_cast<std::uint8_t>(bytes[i + 2]);
    const std::size_t present = std::min<std::size_t>(3, bytes.size() - i) + 1;
    for (std::size_t k = 0; k < 4; ++k)
      out += k < present ? kAlphabet[(chunk >> (18 - 6 * k)) & 0x3F] : '=';
    column += 4;
    if (lineLength && column >= lineLength) {
      out += "\r\n";
      column = 0;
    }
  }
  if (lineLength && column) out += "\r\n";
  return out;
}

std::optional<std::string> base64Decode(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 3 / 4);
  std::uint32_t chunk = 0;
  int bits = 0;
  bool padded = false;
  for (char c : text) {
    if (c == '\r' || c == '\n' || c == ' ' || c == '\t') continue;
    if (c == '=') {
      padded = true;
      continue;
    }
    const auto at = kAlphabet.find(c);
    if (at == std::string_view::npos || padded) return std::nullopt;
    chunk = (chunk << 6) | static_cast<std::uint32_t>(at);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((chunk >> bits) & 0xFF);
    }
  }
  return out;
}

std::string quotedPrintableDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '=') {
      out += c;
      continue;
    }
    // A soft line break: '=' and blanks before the line end.
    std::size_t j = i + 1;
    while (j < text.size() && (text[j] == ' ' || text[j] == '\t')) ++j;
    if (j < text.size() && (text[j] == '\r' || text[j] == '\n')) {
      if (text[j] == '\r' && j + 1 < text.size() && text[j + 1] == '\n') ++j;
      i = j;
      continue;
    }
    if (j >= text.size()) break;  // '=' at the very end: a soft break
    if (i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

std::string quotedPrintableEncode(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  std::size_t column = 0;
  auto put = [&](std::string_view piece) {
    if (column + piece.size() > 75) {
      out += "=\r\n";
      column = 0;
    }
    out += piece;
    column += piece.size();
  };
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      out += "\r\n";
      column = 0;
      ++i;
      continue;
    }
    const bool lineEnd = i + 1 == bytes.size() || bytes[i + 1] == '\r' || bytes[i + 1] == '\n';
    const bool literal = (byte >= 33 && byte <= 126 && byte != '=') ||
                         ((byte == ' ' || byte == '\t') && !lineEnd);
    if (literal) {
      const char one[1] = {static_cast<char>(byte)};
      put(std::string_view(one, 1));
    } else {
      const char escaped[3] = {'=', kHex[byte >> 4], kHex[byte & 15]};
      put(std::string_view(escaped, 3));
    }
  }
  return out;
}

std::string encodeHeaderText(std::u16string_view text, std::size_t firstLineUsed) {
  const std::string utf8 = toUtf8(text);
  if (plainAscii(utf8) && longestRun(utf8) + firstLineUsed <= kLongestRun) return utf8;
  // The first word's room: what the header's name leaves (whole base64
  // quanta), but at least one character of four bytes.
  const std::size_t firstRoom = kEncodedLine > firstLineUsed + kEncodedWordFrame
                                    ? (kEncodedLine - firstLineUsed - kEncodedWordFrame) / 4 * 3
                                    : 0;
  std::string out;
  std::size_t at = 0;
  while (at < utf8.size()) {
    const std::size_t room = out.empty() ? std::clamp<std::size_t>(firstRoom, 6, kEncodedWordBytes)
                                         : kEncodedWordBytes;
    std::size_t end = std::min(at + room, utf8.size());
    // A word holds whole characters only.
    while (end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
    if (!out.empty()) out += "\r\n ";
    out += "=?utf-8?B?" + base64Encode(std::string_view(utf8).substr(at, end - at), 0) + "?=";
    at = end;
  }
  return out;
}

std::string rfc2231Parameter(std::string_view name, std::u16string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::vector<std::string> sections(1, "utf-8''");
  for (char c : toUtf8(value)) {
    const auto byte = static_cast<unsigned char>(c);
    std::string piece;
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
        (byte >= '0' && byte <= '9') || byte == '.' || byte == '-' || byte == '_')
      piece = std::string(1, c);
    else
      piece = {'%', kHex[byte >> 4], kHex[byte & 15]};
    if (sections.back().size() + piece.size() > 30) sections.emplace_back();
    sections.back() += piece;
  }
  std::string out;
  for (std::size_t i = 0; i < sections.size(); ++i)
    out += ";\r\n " + std::string(name) + "*" + std::to_string(i) + "*=" + sections[i];
  return out;
}

std::string headerParameterText(std::string_view name, std::u16string_view value) {
  const std::string utf8 = toUtf8(value);
  // An encoded word inside quotes is what RFC 2047 forbids there.
  if (!plainAscii(utf8) || utf8.size() > 60) return rfc2231Parameter(name, value);
  std::string out = "; " + std::string(name) + "=\"";
  for (char c : utf8) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::u16string decodeHeaderText(std::string_view text) {
  std::u16string out;
  std::string raw;  // undecoded bytes, read as UTF-8 together
  std::string blanks;
  bool afterWord = false;
  auto flush = [&] {
    out += fromUtf8(raw);
    raw.clear();
  };
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n') {
      if (text[i] != '\r' && text[i] != '\n') blanks += text[i];
      ++i;
      continue;
    }
    if (auto word = encodedWord(text, i)) {
      if (!afterWord) raw += blanks;
      flush();
      out += word->second;
      blanks.clear();
      afterWord = true;
      i += word->first;
      continue;
    }
    raw += blanks;
    blanks.clear();
    afterWord = false;
    raw += text[i++];
  }
  if (!afterWord) raw += blanks;
  flush();
  return out;
}

std::string headerMainValue(std::string_view value) {
  return lowerAscii(trimmed(value.substr(0, value.find(';'))));
}

std::optional<std::u16string> headerParameter(std::string_view value, std::string_view name) {
  const std::string wanted = lowerAscii(name);
  // Every parameter: name, whether it is extended ("*"), its section.
  struct Piece {
    int section = -1;
    bool extended = false;
    std::string text;
  };
  std::vector<Piece> pieces;
  std::optional<std::string> plain;
  std::size_t at = value.find(';');
  while (at != std::string_view::npos && at < value.size()) {
    ++at;
    while (at < value.size() && (value[at] == ' ' || value[at] == '\t')) ++at;
    const std::size_t equals = value.find('=', at);
    if (equals == std::string_view::npos) break;
    std::string key = lowerAscii(trimmed(value.substr(at, equals - at)));
    at = equals + 1;
    while (at < value.size() && (value[at] == ' ' || value[at] == '\t')) ++at;
    std::string text;
    if (at < value.size() && value[at] == '"') {
      for (++at; at < value.size() && value[at] != '"'; ++at) {
        if (value[at] == '\\' && at + 1 < value.size()) ++at;
        text += value[at];
      }
      at = value.find(';', at);
    } else {
      const std::size_t end = value.find(';', at);
      text = std::string(trimmed(value.substr(at, end == std::string_view::npos ? value.npos
                                                                                : end - at)));
      at = end;
    }
    Piece piece;
    if (key.ends_with('*')) {
      piece.extended = true;
      key.pop_back();
    }
    if (const std::size_t star = key.find('*'); star != std::string::npos) {
      const std::string digits = key.substr(star + 1);
      int section = 0;
      const auto [end, error] =
          std::from_chars(digits.data(), digits.data() + digits.size(), section);
      if (error != std::errc() || end != digits.data() + digits.size()) continue;
      piece.section = section;
      key.resize(star);
    }
    if (key != wanted) continue;
    if (!piece.extended && piece.section < 0) {
      plain = text;
      continue;
    }
    piece.text = std::move(text);
    pieces.push_back(std::move(piece));
  }
  if (pieces.empty()) {
    if (!plain) return std::nullopt;
    return decodeHeaderText(*plain);
  }
  std::sort(pieces.begin(), pieces.end(),
            [](const Piece& a, const Piece& b) { return a.section < b.section; });
  // The first extended section names the charset: charset'language'text.
  std::string charset;
  std::string bytes;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    std::string_view text = pieces[i].text;
    if (pieces[i].extended && i == 0) {
      const std::size_t q1 = text.find('\'');
      const std::size_t q2 = q1 == std::string_view::npos ? q1 : text.find('\'', q1 + 1);
      if (q2 != std::string_view::npos) {
        charset = std::string(text.substr(0, q1));
        text.remove_prefix(q2 + 1);
      }
    }
    bytes += pieces[i].extended ? percentDecode(text) : std::string(text);
  }
  return decodeCharset(bytes, charset).value_or(fromUtf8(bytes));
}

}  // namespace qx::sim::mail

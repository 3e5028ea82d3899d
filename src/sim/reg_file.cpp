#include "sim/reg_file.h"

#include <cstdio>
#include <optional>

#include "sim/codepage_sim.h"

namespace qx::sim {
namespace {

constexpr std::u16string_view kHeader5 = u"Windows Registry Editor Version 5.00";
constexpr std::u16string_view kHeader4 = u"REGEDIT4";
constexpr std::size_t kMaxKeyNameLength = 255;

struct Hive {
  std::u16string_view longName;
  std::u16string_view shortName;
  RegKey key;
};
constexpr Hive kHives[] = {
    {u"HKEY_CLASSES_ROOT", u"HKCR", reg::kClassesRoot},
    {u"HKEY_CURRENT_USER", u"HKCU", reg::kCurrentUser},
    {u"HKEY_LOCAL_MACHINE", u"HKLM", reg::kLocalMachine},
};

RegFileError error(int line, std::string message) { return {line, std::move(message)}; }

// --- Decoding the file into UTF-16 text.

void appendCodePoint(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out += static_cast<char16_t>(cp);
  } else {
    cp -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (cp >> 10));
    out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  }
}

std::expected<std::u16string, RegFileError> decodeUtf8(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  int line = 1;
  for (std::size_t i = 0; i < bytes.size();) {
    unsigned char lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      if (lead == '\n') ++line;
      out += lead;
      ++i;
      continue;
    }
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (extra < 0 || lead > 0xF4 || i + extra >= bytes.size()) {
      return std::unexpected(error(line, "the file is neither UTF-8 nor UTF-16LE with a BOM"));
    }
    char32_t cp = lead & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      unsigned char next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) {
        return std::unexpected(error(line, "the file is neither UTF-8 nor UTF-16LE with a BOM"));
      }
      cp = (cp << 6) | (next & 0x3F);
    }
    static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      return std::unexpected(error(line, "the file is neither UTF-8 nor UTF-16LE with a BOM"));
    }
    appendCodePoint(out, cp);
    i += extra + 1;
  }
  return out;
}

std::expected<std::u16string, RegFileError> decode(std::string_view bytes) {
  auto starts = [&](std::string_view prefix) { return bytes.starts_with(prefix); };
  if (starts("\xFF\xFE")) {
    bytes.remove_prefix(2);
    std::u16string out;
    out.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
      out += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                   static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    if (bytes.size() % 2 != 0) {
      int line = 1;
      for (char16_t c : out) line += c == u'\n';
      return std::unexpected(error(line, "the UTF-16 file ends in half a character"));
    }
    return out;
  }
  if (starts("\xFE\xFF")) {
    return std::unexpected(error(1, "UTF-16 big-endian files are not supported"));
  }
  if (starts("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  return decodeUtf8(bytes);
}

// --- Small text helpers over UTF-16.

bool isSpace(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view trim(std::u16string_view text) {
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

char16_t upper(char16_t c) { return c >= u'a' && c <= u'z' ? c - 32 : c; }

bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (upper(a[i]) != upper(b[i])) return false;
  }
  return true;
}

bool consumePrefix(std::u16string_view& text, std::u16string_view prefix) {
  if (text.size() < prefix.size() || !equalsIgnoringCase(text.substr(0, prefix.size()), prefix)) {
    return false;
  }
  text.remove_prefix(prefix.size());
  return true;
}

int hexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// 1 to `maxDigits` hexadecimal digits, the whole text.
std::optional<std::uint32_t> parseHexNumber(std::u16string_view text, std::size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) return std::nullopt;
  std::uint32_t number = 0;
  for (char16_t c : text) {
    int digit = hexDigit(c);
    if (digit < 0) return std::nullopt;
    number = number << 4 | static_cast<std::uint32_t>(digit);
  }
  return number;
}

std::vector<std::uint8_t> toUtf16Bytes(std::u16string_view text) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t c : text) {
    bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return bytes;
}

std::vector<std::uint8_t> toBytes(std::string_view ansi) { return {ansi.begin(), ansi.end()}; }

bool isStringType(std::uint32_t type) {
  return type == reg::kSz || type == reg::kExpandSz || type == reg::kMultiSz;
}

// --- The parser.

class Parser {
 public:
  explicit Parser(std::u16string_view text) : text_(text) {}

  std::expected<std::vector<RegFileOp>, RegFileError> run() {
    splitLines();
    std::size_t i = 0;
    for (; i < lines_.size(); ++i) {
      std::u16string_view line = trim(lines_[i]);
      if (line.empty() || line.front() == u';') continue;
      if (line == kHeader5) {
        version4_ = false;
      } else if (line == kHeader4) {
        version4_ = true;
      } else {
        return std::unexpected(
            error(lineNumber(i), "expected the header \"Windows Registry Editor Version 5.00\""));
      }
      break;
    }
    if (i == lines_.size()) return std::unexpected(error(1, "the file is empty"));
    for (++i; i < lines_.size(); ++i) {
      int number = lineNumber(i);
      std::u16string logical(trim(lines_[i]));
      if (logical.empty() || logical.front() == u';') continue;
      if (logical.front() == u'"' || logical.front() == u'@') {
        // A value may go on over further lines, each ending in a backslash.
        while (!logical.empty() && logical.back() == u'\\') {
          if (i + 1 == lines_.size() || trim(lines_[i + 1]).empty()) {
            return std::unexpected(error(number, "the value's continuation is missing"));
          }
          logical.pop_back();
          logical += trim(lines_[++i]);
        }
        if (auto failed = parseValue(logical, number)) return std::unexpected(*failed);
      } else if (logical.front() == u'[') {
        if (auto failed = parseSection(logical, number)) return std::unexpected(*failed);
      } else {
        return std::unexpected(error(number, "neither a [key] nor a value"));
      }
    }
    return std::move(ops_);
  }

 private:
  void splitLines() {
    std::size_t start = 0;
    int number = 1;
    for (std::size_t i = 0; i <= text_.size(); ++i) {
      bool end = i == text_.size();
      if (!end && text_[i] != u'\n' && text_[i] != u'\r') continue;
      lines_.push_back(text_.substr(start, i - start));
      numbers_.push_back(number++);
      if (!end && text_[i] == u'\r' && i + 1 < text_.size() && text_[i + 1] == u'\n') ++i;
      start = i + 1;
    }
  }

  int lineNumber(std::size_t index) const { return numbers_[index]; }

  std::optional<RegFileError> parseSection(std::u16string_view line, int number) {
    std::size_t close = line.rfind(u']');
    if (close == std::u16string_view::npos) return error(number, "a [key] line without ']'");
    if (!trim(line.substr(close + 1)).empty()) return error(number, "text after the [key]");
    std::u16string_view path = line.substr(1, close - 1);
    bool remove = !path.empty() && path.front() == u'-';
    if (remove) path.remove_prefix(1);

    std::u16string_view hiveName = path.substr(0, path.find(u'\\'));
    const Hive* hive = nullptr;
    for (const Hive& candidate : kHives) {
      if (equalsIgnoringCase(hiveName, candidate.longName) ||
          equalsIgnoringCase(hiveName, candidate.shortName)) {
        hive = &candidate;
      }
    }
    if (hive == nullptr) {
      return error(number, "unknown root key \"" + CodePageSim::narrow(hiveName) + "\"");
    }
    std::u16string_view rest = path.substr(hiveName.size());
    if (!rest.empty()) rest.remove_prefix(1);
    if (!rest.empty() && rest.back() == u'\\') rest.remove_suffix(1);
    for (std::u16string_view left = rest; !left.empty();) {
      std::size_t slash = left.find(u'\\');
      std::u16string_view part = left.substr(0, slash);
      if (part.empty()) return error(number, "an empty key name in the path");
      if (part.size() > kMaxKeyNameLength) {
        return error(number, "a key name longer than 255 characters");
      }
      left = slash == std::u16string_view::npos ? std::u16string_view{} : left.substr(slash + 1);
    }
    if (remove && rest.empty()) return error(number, "a root key cannot be deleted");

    section_ = Section{hive->key, CodePageSim::narrow(rest), remove};
    RegFileOp op;
    op.kind = remove ? RegFileOp::Kind::kDeleteKey : RegFileOp::Kind::kCreateKey;
    op.hive = section_->hive;
    op.path = section_->path;
    ops_.push_back(std::move(op));
    return std::nullopt;
  }

  // A quoted text from `text` (which starts at the opening quote); on return
  // `text` starts after the closing quote.
  std::expected<std::u16string, RegFileError> quoted(std::u16string_view& text, int number) {
    std::u16string out;
    for (std::size_t i = 1; i < text.size(); ++i) {
      char16_t c = text[i];
      if (c == u'"') {
        text.remove_prefix(i + 1);
        return out;
      }
      if (c == u'\\') {
        if (i + 1 == text.size() || (text[i + 1] != u'\\' && text[i + 1] != u'"')) {
          return std::unexpected(error(number, "a backslash in quotes must be doubled"));
        }
        c = text[++i];
      }
      out += c;
    }
    return std::unexpected(error(number, "a quoted text without its closing quote"));
  }

  std::expected<std::vector<std::uint8_t>, RegFileError> hexBytes(std::u16string_view text,
                                                                  int number) {
    std::vector<std::uint8_t> bytes;
    text = trim(text);
    while (!text.empty()) {
      std::size_t comma = text.find(u',');
      std::u16string_view item = trim(text.substr(0, comma));
      auto byte = parseHexNumber(item, 2);
      if (!byte) {
        return std::unexpected(
            error(number, "\"" + CodePageSim::narrow(item) + "\" is not a hexadecimal byte"));
      }
      bytes.push_back(static_cast<std::uint8_t>(*byte));
      if (comma == std::u16string_view::npos) break;
      text = trim(text.substr(comma + 1));
    }
    return bytes;
  }

  std::optional<RegFileError> parseValue(std::u16string_view line, int number) {
    if (!section_) return error(number, "a value before the first [key]");
    RegFileOp op;
    op.hive = section_->hive;
    op.path = section_->path;
    if (line.front() == u'@') {
      line.remove_prefix(1);
    } else {
      auto name = quoted(line, number);
      if (!name) return name.error();
      op.valueName = CodePageSim::narrow(*name);
    }
    line = trim(line);
    if (line.empty() || line.front() != u'=') return error(number, "'=' is missing");
    line = trim(line.substr(1));

    if (line == u"-") {
      op.kind = RegFileOp::Kind::kDeleteValue;
    } else if (!line.empty() && line.front() == u'"') {
      auto text = quoted(line, number);
      if (!text) return text.error();
      if (!trim(line).empty()) return error(number, "text after the closing quote");
      op.kind = RegFileOp::Kind::kSetValue;
      op.type = reg::kSz;
      op.data = toBytes(CodePageSim::narrow(*text));
      op.data.push_back(0);
    } else if (consumePrefix(line, u"dword:")) {
      auto number32 = parseHexNumber(trim(line), 8);
      if (!number32) return error(number, "dword: needs 1 to 8 hexadecimal digits");
      op.kind = RegFileOp::Kind::kSetValue;
      op.type = reg::kDword;
      for (int shift = 0; shift < 32; shift += 8) {
        op.data.push_back(static_cast<std::uint8_t>(*number32 >> shift));
      }
    } else if (consumePrefix(line, u"hex")) {
      op.type = reg::kBinary;
      if (!line.empty() && line.front() == u'(') {
        std::size_t close = line.find(u')');
        auto type = close == std::u16string_view::npos
                        ? std::nullopt
                        : parseHexNumber(line.substr(1, close - 1), 8);
        if (!type) return error(number, "hex(type) needs a hexadecimal type");
        op.type = *type;
        line.remove_prefix(close + 1);
      }
      if (line.empty() || line.front() != u':') return error(number, "':' is missing after hex");
      auto bytes = hexBytes(line.substr(1), number);
      if (!bytes) return bytes.error();
      op.kind = RegFileOp::Kind::kSetValue;
      op.data = std::move(*bytes);
      if (isStringType(op.type) && !version4_) {
        // The file holds the host's UTF-16; the registry here holds ANSI.
        if (op.data.size() % 2 != 0) {
          return error(number, "UTF-16 string data with an odd number of bytes");
        }
        std::u16string wide;
        for (std::size_t k = 0; k < op.data.size(); k += 2) {
          wide += static_cast<char16_t>(op.data[k] | op.data[k + 1] << 8);
        }
        op.data = toBytes(CodePageSim::narrow(wide));
      }
    } else {
      return error(number, "unknown kind of value data");
    }
    if (section_->remove) return error(number, "a value inside a [-key] that is being deleted");
    ops_.push_back(std::move(op));
    return std::nullopt;
  }

  struct Section {
    RegKey hive;
    std::string path;
    bool remove;
  };

  std::u16string_view text_;
  std::vector<std::u16string_view> lines_;
  std::vector<int> numbers_;
  std::optional<Section> section_;
  bool version4_ = false;
  std::vector<RegFileOp> ops_;
};

// --- The writer.

std::u16string quote(std::string_view ansi) {
  std::u16string out = u"\"";
  for (char16_t c : CodePageSim::widen(ansi)) {
    if (c == u'\\' || c == u'"') out += u'\\';
    out += c;
  }
  return out + u"\"";
}

// Whether "text" carries the REG_SZ exactly: one terminator at the end, no
// other NUL, and nothing that would break the line.
bool quotable(const RegFileValue& value) {
  if (value.type != reg::kSz || value.data.empty() || value.data.back() != 0) return false;
  for (std::size_t i = 0; i + 1 < value.data.size(); ++i) {
    std::uint8_t b = value.data[i];
    if (b == 0 || b == '\r' || b == '\n') return false;
  }
  return true;
}

std::u16string ascii(std::string_view text) { return {text.begin(), text.end()}; }

std::u16string hexList(std::u16string line, std::span<const std::uint8_t> bytes,
                       std::u16string_view newline) {
  // Wrapped like the host's export: no line longer than 80 characters.
  std::u16string out;
  char piece[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bool last = i + 1 == bytes.size();
    std::snprintf(piece, sizeof piece, last ? "%02x" : "%02x,", bytes[i]);
    if (line.size() + 3 > 78) {
      out += line;
      out += u'\\';
      out += newline;
      line = u"  ";
    }
    line += ascii(piece);
  }
  return out + line;
}

std::u16string valueLine(const RegFileValue& value, std::u16string_view newline) {
  std::u16string line = value.name.empty() ? u"@" : quote(value.name);
  line += u'=';
  if (quotable(value)) {
    std::string_view text(reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1);
    return line + quote(text);
  }
  if (value.type == reg::kDword && value.data.size() == 4) {
    char digits[16];
    std::uint32_t number = value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
                           static_cast<std::uint32_t>(value.data[3]) << 24;
    std::snprintf(digits, sizeof digits, "dword:%08x", number);
    return line + ascii(digits);
  }
  std::vector<std::uint8_t> bytes = value.data;
  if (isStringType(value.type)) {
    std::string_view text(reinterpret_cast<const char*>(value.data.data()), value.data.size());
    bytes = toUtf16Bytes(CodePageSim::widen(text));
  }
  if (value.type == reg::kBinary) {
    line += u"hex:";
  } else {
    char type[24];
    std::snprintf(type, sizeof type, "hex(%x):", static_cast<unsigned>(value.type));
    line += ascii(type);
  }
  return hexList(std::move(line), bytes, newline);
}

std::u16string_view hiveName(RegKey hive) {
  for (const Hive& candidate : kHives) {
    if (candidate.key == hive) return candidate.longName;
  }
  return u"HKEY_CURRENT_USER";
}

std::string encode(std::u16string_view text, RegFileEncoding encoding) {
  std::string out;
  if (encoding == RegFileEncoding::kUtf16Le) {
    out = "\xFF\xFE";
    for (char16_t c : text) {
      out += static_cast<char>(c & 0xFF);
      out += static_cast<char>(c >> 8);
    }
    return out;
  }
  // Texts come from ANSI, so there are no surrogates to pair.
  for (char16_t c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace

std::expected<std::vector<RegFileOp>, RegFileError> parseRegFile(std::string_view fileBytes) {
  auto text = decode(fileBytes);
  if (!text) return std::unexpected(text.error());
  return Parser(*text).run();
}

std::string writeRegFile(std::span<const RegFileKey> keys, RegFileEncoding encoding) {
  std::u16string_view newline = encoding == RegFileEncoding::kUtf16Le ? u"\r\n" : u"\n";
  std::u16string text(kHeader5);
  text += newline;
  for (const RegFileKey& key : keys) {
    text += newline;
    text += u'[';
    text += hiveName(key.hive);
    if (!key.path.empty()) {
      text += u'\\';
      text += CodePageSim::widen(key.path);
    }
    text += u']';
    text += newline;
    for (const RegFileValue& value : key.values) {
      text += valueLine(value, newline);
      text += newline;
    }
  }
  text += newline;
  return encode(text, encoding);
}

}  // namespace qx::sim

#include "quendrilax-sim/scenario_lexer.h"

#include <cctype>
#include <cstdio>

#include "platform/utf_text.h"

namespace qx::tools {

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Reads a quoted word starting after its opening quote; `pos` ends after the
// closing quote.
std::expected<std::string, std::string> readQuoted(std::string_view line, std::size_t& pos) {
  std::string text;
  while (pos < line.size()) {
    const char c = line[pos++];
    if (c == '"') return text;
    if (c != '\\') {
      text += c;
      continue;
    }
    if (pos >= line.size()) break;
    const char e = line[pos++];
    switch (e) {
      case '"':
        text += '"';
        break;
      case '\\':
        text += '\\';
        break;
      case 'n':
        text += '\n';
        break;
      case 'r':
        text += '\r';
        break;
      case 't':
        text += '\t';
        break;
      case 'x': {
        if (pos + 2 > line.size() || hexDigit(line[pos]) < 0 || hexDigit(line[pos + 1]) < 0)
          return std::unexpected("\\x needs two hexadecimal digits");
        appendUtf8(text, static_cast<char32_t>(hexDigit(line[pos]) * 16 + hexDigit(line[pos + 1])));
        pos += 2;
        break;
      }
      case 'u': {
        if (pos >= line.size() || line[pos] != '{') return std::unexpected("\\u needs {hex}");
        ++pos;
        char32_t cp = 0;
        int digits = 0;
        while (pos < line.size() && hexDigit(line[pos]) >= 0 && digits < 6) {
          cp = cp * 16 + static_cast<char32_t>(hexDigit(line[pos++]));
          ++digits;
        }
        if (digits == 0 || pos >= line.size() || line[pos] != '}' || cp > 0x10FFFF)
          return std::unexpected("\\u{...} needs one to six hexadecimal digits");
        // UTF-8 has no form for half a pair: both halves would come out as
        // the same replacement character.
        if (cp >= 0xD800 && cp <= 0xDFFF) {
          char code[8];
          std::snprintf(code, sizeof code, "%04X", static_cast<unsigned>(cp));
          return std::unexpected(std::string("\\u{") + code +
                                 "} is half of a surrogate pair, not a character");
        }
        ++pos;
        appendUtf8(text, cp);
        break;
      }
      default:
        return std::unexpected(std::string("unknown escape \\") + e);
    }
  }
  return std::unexpected("unterminated quoted text");
}

}  // namespace

std::expected<LexedLine, std::string> lexLine(std::string_view line) {
  LexedLine result;
  std::size_t pos = 0;
  while (true) {
    while (pos < line.size() && isBlank(line[pos])) ++pos;
    if (pos >= line.size() || line[pos] == '#') break;
    if (!result.blockEnd.empty()) return std::unexpected("nothing may follow a block opener <<");
    if (line[pos] == '"') {
      ++pos;
      auto text = readQuoted(line, pos);
      if (!text) return std::unexpected(text.error());
      if (pos < line.size() && !isBlank(line[pos]) && line[pos] != '#')
        return std::unexpected("a quoted text must be followed by a blank");
      result.tokens.push_back({std::move(*text), true});
      continue;
    }
    const std::size_t start = pos;
    while (pos < line.size() && !isBlank(line[pos])) {
      if (line[pos] == '"') return std::unexpected("a quote inside a bare word");
      ++pos;
    }
    std::string word(line.substr(start, pos - start));
    if (word.starts_with("<<")) {
      result.blockEnd = word.substr(2);
      if (result.blockEnd.empty()) return std::unexpected("<< needs an end marker, as in <<END");
      continue;
    }
    result.tokens.push_back({std::move(word), false});
  }
  return result;
}

}  // namespace qx::tools

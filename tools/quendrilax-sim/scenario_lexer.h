#pragma once
// Splits one line of a scenario into words. A word is either bare (up to the
// next blank) or a double-quoted text with escapes; '#' at the start of a
// word begins a comment. A last bare word "<<NAME" opens a block of lines
// that ends with a line holding NAME alone.
#include <expected>
#include <string>
#include <string_view>
#include <vector>

namespace qx::tools {

struct Token {
  std::string text;  // UTF-8
  bool quoted = false;
  friend bool operator==(const Token&, const Token&) = default;
};

struct LexedLine {
  std::vector<Token> tokens;
  std::string blockEnd;  // the block's end marker, empty when no block opens
};

// Escapes inside quotes: \" \\ \n \r \t, \xHH and \u{H...} (a character by its
// code point, written as UTF-8). Errors name what is wrong, without position.
std::expected<LexedLine, std::string> lexLine(std::string_view line);

}  // namespace qx::tools

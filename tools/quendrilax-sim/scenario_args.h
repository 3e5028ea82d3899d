#pragma once
// The words of one command as a family's reader consumes them. A reader that
// meets something it does not know calls bad(): the reader turns that into an
// error with the file and line, and the scenario does not run.
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quendrilax-sim/scenario_lexer.h"

namespace qx::tools {

// Thrown inside the reader only; ScenarioReader::feed turns it into a ParseError.
struct Unreadable {
  std::string message;
};

[[noreturn]] void bad(std::string message);

// Decimal or 0x-hexadecimal, the whole text.
std::optional<std::uint64_t> parseNumber(std::string_view text);

// Durations as scenarios write them: "1500ms", "10s", "2m" or "2min", "1h",
// "7d", "1m30s"; every number carries its unit.
std::optional<std::int64_t> parseDuration(std::string_view text);
// The same, or what is wrong with the text ("needs a unit after its number:
// ...", "is too large: ..."), to follow the text in a message.
std::expected<std::int64_t, std::string> readDuration(std::string_view text);

class Args {
 public:
  explicit Args(const std::vector<Token>& tokens) : tokens_(tokens) {}

  bool done() const { return pos_ >= tokens_.size(); }
  std::size_t left() const { return tokens_.size() - pos_; }

  const Token& next(std::string_view what);
  std::string text(std::string_view what) { return next(what).text; }

  // A bare keyword; the word is consumed only when it matches.
  bool accept(std::string_view keyword);
  bool peekIs(std::string_view keyword) const;
  // The next word without consuming it (empty at the end).
  std::string peek() const { return done() ? std::string() : tokens_[pos_].text; }

  std::string keyword(std::string_view what);
  // A keyword from `choices` (separated by '|'); anything else is bad.
  std::string oneOf(std::string_view what, std::string_view choices);
  std::uint64_t number(std::string_view what);
  // A number that fits an int, at most `maximum`.
  int count(std::string_view what, int maximum = 1'000'000'000);
  std::int64_t duration(std::string_view what);
  // A text: one word, or "repeat N TEXT" for long texts.
  std::string longText(std::string_view what);
  // A text bound for the registry or a file, which hold the code page
  // Windows-1252: a character beyond it is bad, since it could not arrive
  // as written.
  std::string ansiText(std::string_view what);
  std::string longAnsiText(std::string_view what);

  void end();

 private:
  const std::vector<Token>& tokens_;
  std::size_t pos_ = 0;
};

}  // namespace qx::tools

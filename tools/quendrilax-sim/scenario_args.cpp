#include "quendrilax-sim/scenario_args.h"

#include <cctype>
#include <charconv>
#include <utility>

#include "quendrilax-sim/text_utf.h"

namespace qx::tools {

void bad(std::string message) { throw Unreadable{std::move(message)}; }

std::optional<std::uint64_t> parseNumber(std::string_view text) {
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::expected<std::int64_t, std::string> readDuration(std::string_view text) {
  constexpr std::pair<std::string_view, std::int64_t> kUnits[] = {
      {"ms", 1}, {"s", 1000}, {"m", 60'000}, {"min", 60'000}, {"h", 3'600'000}, {"d", 86'400'000},
  };
  constexpr std::string_view kUnitList = "ms, s, m or min, h or d";
  // Ten thousand days is far beyond any run, and far from overflowing.
  constexpr std::int64_t kLongest = 10'000LL * 86'400'000;
  const std::string tooLarge = "is too large: at most 10000d";
  if (text.empty()) return std::unexpected("is empty");
  if (text[0] == '-') return std::unexpected("is negative: time only moves forward");
  std::int64_t total = 0;
  while (!text.empty()) {
    std::size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) ++digits;
    if (digits == 0) return std::unexpected("must start with a number, such as 10s");
    if (digits > 12) return std::unexpected(tooLarge);
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + digits, value);
    text.remove_prefix(digits);
    std::size_t letters = 0;
    while (letters < text.size() && !std::isdigit(static_cast<unsigned char>(text[letters])))
      ++letters;
    const std::string_view name = text.substr(0, letters);
    text.remove_prefix(letters);
    // A number without its unit is refused: "advance 10" could mean anything.
    if (name.empty())
      return std::unexpected("needs a unit after its number: " + std::string(kUnitList));
    std::int64_t unit = 0;
    for (const auto& [known, ms] : kUnits)
      if (name == known) unit = ms;
    if (unit == 0)
      return std::unexpected("has an unknown unit '" + std::string(name) + "' (" +
                             std::string(kUnitList) + ")");
    if (value > kLongest / unit || total > kLongest - value * unit)
      return std::unexpected(tooLarge);
    total += value * unit;
  }
  return total;
}

std::optional<std::int64_t> parseDuration(std::string_view text) {
  const auto ms = readDuration(text);
  return ms ? std::optional(*ms) : std::nullopt;
}

const Token& Args::next(std::string_view what) {
  if (done()) bad("missing " + std::string(what));
  return tokens_[pos_++];
}

bool Args::accept(std::string_view keyword) {
  if (peekIs(keyword)) {
    ++pos_;
    return true;
  }
  return false;
}

bool Args::peekIs(std::string_view keyword) const {
  return !done() && !tokens_[pos_].quoted && tokens_[pos_].text == keyword;
}

std::string Args::keyword(std::string_view what) {
  const Token& t = next(what);
  if (t.quoted) bad(std::string(what) + " must be a bare word, not \"" + t.text + "\"");
  return t.text;
}

std::string Args::oneOf(std::string_view what, std::string_view choices) {
  std::string shown(choices);
  for (char& c : shown)
    if (c == '|') c = ',';
  const std::string word = keyword(std::string(what) + " (" + shown + ")");
  std::string_view rest = choices;
  while (!rest.empty()) {
    const std::size_t bar = rest.find('|');
    if (rest.substr(0, bar) == word) return word;
    if (bar == std::string_view::npos) break;
    rest.remove_prefix(bar + 1);
  }
  std::string listed;
  rest = choices;
  while (!rest.empty()) {
    const std::size_t bar = rest.find('|');
    listed += (listed.empty() ? "" : ", ") + std::string(rest.substr(0, bar));
    if (bar == std::string_view::npos) break;
    rest.remove_prefix(bar + 1);
  }
  bad("unknown " + std::string(what) + " '" + word + "' (" + listed + ")");
}

std::uint64_t Args::number(std::string_view what) {
  const std::string t = keyword(what);
  auto value = parseNumber(t);
  if (!value) bad(std::string(what) + " must be a number, not '" + t + "'");
  return *value;
}

int Args::count(std::string_view what, int maximum) {
  const std::uint64_t value = number(what);
  if (value > static_cast<std::uint64_t>(maximum))
    bad(std::string(what) + " out of range (at most " + std::to_string(maximum) + ")");
  return static_cast<int>(value);
}

std::int64_t Args::duration(std::string_view what) {
  const std::string t = keyword(what);
  auto value = readDuration(t);
  if (!value)
    bad(std::string(what) + " '" + t + "' " + value.error() +
        " (durations such as 1500ms, 10s, 1m30s, 7d)");
  return *value;
}

std::string Args::longText(std::string_view what) {
  if (accept("repeat")) {
    const std::uint64_t times = number("repeat count");
    if (times > 100000) bad("repeat count too large (at most 100000)");
    const std::string unit = text(what);
    // A scenario is text a person writes; a repetition beyond a megabyte is
    // a slip, not a test, and would only exhaust memory.
    if (times * unit.size() > (1u << 20)) bad("repeated text longer than a megabyte");
    std::string result;
    for (std::uint64_t i = 0; i < times; ++i) result += unit;
    return result;
  }
  return text(what);
}

namespace {
std::string checkedAnsi(std::string text, std::string_view what) {
  if (!fitsCodePage(text))
    bad(std::string(what) +
        " holds a character beyond Windows-1252, which the registry and "
        "files here cannot hold");
  return text;
}
}  // namespace

std::string Args::ansiText(std::string_view what) { return checkedAnsi(text(what), what); }
std::string Args::longAnsiText(std::string_view what) { return checkedAnsi(longText(what), what); }

void Args::end() {
  if (!done()) bad("unexpected '" + tokens_[pos_].text + "'");
}

}  // namespace qx::tools

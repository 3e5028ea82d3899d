#pragma once
// Text helpers of the simulated mail client: the host's case-insensitive
// comparison, paths handed to the file port, hexadecimal ids.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx::sim::mail {

// Folds letter case the way the host compares subjects, field names and
// addresses: ASCII and the Latin-1 letters.
std::u16string foldCase(std::u16string_view text);
bool equalsIgnoreCase(std::u16string_view a, std::u16string_view b);

// The host hands paths to the C runtime as ANSI texts; the stand-in keeps
// characters below U+0100 and writes '?' for the rest, as a lossy conversion
// does.
std::string toAnsiPath(std::u16string_view path);
std::u16string fromAscii(std::string_view text);

// Upper-case hexadecimal, `digits` wide.
std::u16string hexText(std::uint64_t value, int digits);
bool isUpperHex(std::u16string_view text);

// A braced GUID text in canonical upper case, or none when it is not one.
std::optional<std::u16string> canonicalGuidText(std::u16string_view text);

// Recipient addresses of a To line, separated by ';' or ',', trimmed.
std::vector<std::u16string> splitAddresses(std::u16string_view line);

// Decimal text of a number.
std::u16string decimalText(std::int64_t value);

}  // namespace qx::sim::mail

#pragma once
// Reading typed registry values into fixed-size buffers, the way the add-in's
// settings are read: a value that does not fit the buffer is not read at all.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace qx {

// A REG_SZ or REG_EXPAND_SZ value (not expanded) of at most `capacity` bytes
// whose terminator lies inside its data. Anything else gives none.
std::optional<std::string> readTerminatedString(Registry& registry, RegKey key,
                                                std::string_view name, std::uint32_t capacity);

// A REG_SZ or REG_EXPAND_SZ value of at most `capacity` bytes, cut at its first
// terminator if it has one; without one it may hold at most `capacity` - 1
// characters, so that the text and a terminator fit `capacity` bytes.
// Anything else gives none.
std::optional<std::string> readString(Registry& registry, RegKey key, std::string_view name,
                                      std::uint32_t capacity);

// Up to four bytes of any type read as a little-endian number; none when the
// value is missing or longer than four bytes.
std::optional<std::uint32_t> readFourBytes(Registry& registry, RegKey key, std::string_view name,
                                           std::uint32_t* type = nullptr);

// A string value with its terminator, as RegSetValueEx is given it.
WinError writeString(Registry& registry, RegKey key, std::string_view name, std::string_view text);
WinError writeDword(Registry& registry, RegKey key, std::string_view name, std::uint32_t value);

}  // namespace qx

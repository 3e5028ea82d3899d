#include "core/registry_values.h"

#include <algorithm>
#include <array>
#include <vector>

namespace qx {

namespace {

bool isStringType(std::uint32_t type) { return type == reg::kSz || type == reg::kExpandSz; }

struct RawValue {
  std::uint32_t type = reg::kNone;
  std::vector<std::uint8_t> bytes;
};

std::optional<RawValue> readRaw(Registry& registry, RegKey key, std::string_view name,
                                std::uint32_t capacity) {
  RawValue value;
  value.bytes.assign(capacity, 0);
  std::uint32_t size = capacity;
  if (registry.queryValue(key, name, &value.type, value.bytes, size) != win::kSuccess)
    return std::nullopt;
  // A stand-in or driver that reports more than it was given room for must not
  // make us read past the buffer.
  if (size > capacity) return std::nullopt;
  value.bytes.resize(size);
  return value;
}

}  // namespace

std::optional<std::string> readTerminatedString(Registry& registry, RegKey key,
                                                std::string_view name, std::uint32_t capacity) {
  auto value = readRaw(registry, key, name, capacity);
  if (!value || !isStringType(value->type)) return std::nullopt;
  auto end = std::find(value->bytes.begin(), value->bytes.end(), std::uint8_t{0});
  if (end == value->bytes.end()) return std::nullopt;
  return std::string(value->bytes.begin(), end);
}

std::optional<std::string> readString(Registry& registry, RegKey key, std::string_view name,
                                      std::uint32_t capacity) {
  auto value = readRaw(registry, key, name, capacity);
  if (!value || !isStringType(value->type)) return std::nullopt;
  auto end = std::find(value->bytes.begin(), value->bytes.end(), std::uint8_t{0});
  // A value that fills the whole buffer without a terminator leaves no room
  // for one: its text does not fit where the add-in keeps it.
  if (end == value->bytes.end() && value->bytes.size() >= capacity) return std::nullopt;
  return std::string(value->bytes.begin(), end);
}

std::optional<std::uint32_t> readFourBytes(Registry& registry, RegKey key, std::string_view name,
                                           std::uint32_t* type) {
  auto value = readRaw(registry, key, name, 4);
  if (!value) return std::nullopt;
  if (type != nullptr) *type = value->type;
  std::uint32_t number = 0;
  for (std::size_t i = 0; i < value->bytes.size(); ++i)
    number |= static_cast<std::uint32_t>(value->bytes[i]) << (8 * i);
  return number;
}

WinError writeString(Registry& registry, RegKey key, std::string_view name, std::string_view text) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return registry.setValue(key, name, reg::kSz, bytes);
}

WinError writeDword(Registry& registry, RegKey key, std::string_view name, std::uint32_t value) {
  const std::array<std::uint8_t, 4> bytes{
      static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
      static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  return registry.setValue(key, name, reg::kDword, bytes);
}

}  // namespace qx

#pragma once
// Small helpers of the contract suites.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qx::contract {

inline std::span<const std::uint8_t> bytesOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

inline std::vector<std::uint8_t> vectorOf(std::string_view text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

}  // namespace qx::contract

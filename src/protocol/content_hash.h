#pragma once
// The hash of a task's content: FNV-1a over 64-bit words, byte by byte. Its
// values are stored on tasks (the task record's state, the field record) and
// compared across runs and machines, so it must never change.
#include <cstdint>
#include <string_view>

namespace qx {

class ContentHash {
 public:
  void add(std::uint64_t value) {
    for (int i = 0; i < 8; ++i) {
      state_ ^= (value >> (8 * i)) & 0xFF;
      state_ *= 0x100000001B3ull;
    }
  }
  // The length, then every code unit.
  void add(std::u16string_view text) {
    add(text.size());
    for (char16_t c : text) add(static_cast<std::uint64_t>(c));
  }
  std::uint64_t value() const { return state_; }

 private:
  std::uint64_t state_ = 0xCBF29CE484222325ull;
};

}  // namespace qx

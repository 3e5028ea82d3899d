#pragma once
// A file port for benchmarks of the simulated mail client that never touch
// the disk: nothing is read and every write is accepted and dropped.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace qx::bench {

class NoFiles : public Files {
 public:
  WinResult<std::vector<std::uint8_t>> readFile(std::string_view) override {
    return failure(win::kFileNotFound);
  }
  WinError writeFile(std::string_view, std::span<const std::uint8_t>) override {
    return win::kSuccess;
  }
  WinError appendFile(std::string_view, std::span<const std::uint8_t>) override {
    return win::kSuccess;
  }
  WinError deleteFile(std::string_view) override { return win::kFileNotFound; }
  WinError replaceFile(std::string_view, std::string_view) override { return win::kFileNotFound; }
  bool exists(std::string_view) override { return false; }
};

// A decimal number as host text.
inline std::u16string wideNumber(std::int64_t n) {
  const std::string digits = std::to_string(n);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace qx::bench

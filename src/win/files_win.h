#pragma once
// The files port over the Win32 file functions.
#include "platform/files.h"

namespace qx::win32 {

class FilesWin final : public Files {
 public:
  WinResult<std::vector<std::uint8_t>> readFile(std::string_view path) override;
  WinError writeFile(std::string_view path, std::span<const std::uint8_t> bytes) override;
  WinError appendFile(std::string_view path, std::span<const std::uint8_t> bytes) override;
  WinError deleteFile(std::string_view path) override;
  WinError replaceFile(std::string_view from, std::string_view to) override;
  bool exists(std::string_view path) override;
};

}  // namespace qx::win32

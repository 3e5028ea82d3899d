#pragma once
// Files by path, as the C runtime offers them to the add-in. Each call opens,
// works and closes, so nothing stays open between calls. Paths are ANSI texts
// in the host's form.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace qx {

class Files {
 public:
  virtual ~Files() = default;
  // Reads the whole file in binary mode. kFileNotFound / kPathNotFound when it
  // cannot be opened.
  virtual WinResult<std::vector<std::uint8_t>> readFile(std::string_view path) = 0;
  // Creates or replaces the file and writes the bytes in one write.
  virtual WinError writeFile(std::string_view path, std::span<const std::uint8_t> bytes) = 0;
  // Opens for appending (creating it when missing) and writes the bytes.
  virtual WinError appendFile(std::string_view path, std::span<const std::uint8_t> bytes) = 0;
  // Deletes the file; kFileNotFound when there is none.
  virtual WinError deleteFile(std::string_view path) = 0;
  // Moves the file `from` to `to`, replacing a file there in one step, so a
  // reader finds the old file or the new one, never part of either.
  virtual WinError replaceFile(std::string_view from, std::string_view to) = 0;
  virtual bool exists(std::string_view path) = 0;
};

}  // namespace qx

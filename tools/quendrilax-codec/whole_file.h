#pragma once
// The codec tool's file input and output: a file is read in one read of the
// size it has, and a result is written in one write to a new file beside its
// target, then renamed over it, so a reader of the target sees the old file or
// the whole new one and a failed run leaves nothing behind.
#include <cstddef>
#include <cstdint>
#include <expected>
#include <memory>
#include <span>
#include <string>

namespace qx::codectool {

// Uninitialised on purpose: every byte is overwritten by the read or by the
// codec, and clearing 64 MB first would cost as much as decoding part of it.
struct Buffer {
  std::unique_ptr<std::uint8_t[]> bytes;
  std::size_t size = 0;

  std::span<const std::uint8_t> view() const { return {bytes.get(), size}; }
};

Buffer allocateBuffer(std::size_t size);

// Anything but a regular file that can be read whole is refused; the error
// names the path and says why.
std::expected<Buffer, std::string> readWholeFile(const std::string& path);

std::expected<void, std::string> writeBeside(const std::string& target,
                                             std::span<const std::uint8_t> bytes);

}  // namespace qx::codectool

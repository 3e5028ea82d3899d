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
#include <string_view>

namespace qx::codectool {

// Returns a buffer's pages to the system.
struct Unmap {
  void* mapping = nullptr;
  std::size_t length = 0;
  void operator()(std::uint8_t*) const;
};

// Uninitialised on purpose: every byte is overwritten by the read or by the
// codec, and clearing 64 MB first would cost as much as decoding part of it.
struct Buffer {
  std::unique_ptr<std::uint8_t[], Unmap> bytes;
  std::size_t size = 0;

  std::span<const std::uint8_t> view() const { return {bytes.get(), size}; }
  std::span<std::uint8_t> span() { return {bytes.get(), size}; }
};

// Mapped in large pages where the system offers them: a buffer of tens of
// megabytes in small pages costs more in page faults than the codec takes.
// Throws std::bad_alloc when there is no memory.
Buffer allocateBuffer(std::size_t size);

// "-" names standard input or output.
inline constexpr std::string_view kStandardStream = "-";

// Anything but a regular file that can be read whole is refused, and so is a
// file larger than `limit`, by its size before a byte is read; the error names
// the path and says why. "-" reads `standardIn` to its end, whatever it is,
// and stops with an error as soon as it holds more than `limit`.
std::expected<Buffer, std::string> readWholeFile(const std::string& path, std::size_t limit,
                                                 int standardIn);

// A regular file (or a name that holds nothing yet) is replaced whole; a
// symbolic link is followed, and one to nothing refused; a character device
// or a pipe is written in place; anything else is refused with its kind.
// "-" writes to `standardOut` instead, which cannot be replaced whole.
std::expected<void, std::string> writeBeside(const std::string& target,
                                             std::span<const std::uint8_t> bytes, int standardOut);

// True when `output` exists and is the very file `input` names (by any path or
// link): writing it would replace the input the command reads.
bool sameFile(const std::string& input, const std::string& output);

}  // namespace qx::codectool

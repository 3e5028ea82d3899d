#pragma once
// Layout of the compressed attachment stream: L (signed 32-bit), the count
// byte n - 1, n table entries of weight (signed 32-bit) and byte value, then
// the payload bits, least significant bit of each byte first. Little-endian,
// no magic, no checksum.
#include <cstddef>
#include <cstdint>
#include <expected>
#include <span>

#include "protocol/codec/codec_error.h"
#include "protocol/codec/huffman_tree.h"

namespace qx {

inline constexpr std::size_t kStreamHeaderSize = 5;
inline constexpr std::size_t kTableEntrySize = 5;

// Codes travel in 32-bit windows that may start at any bit of a byte, so only
// codes of up to 25 bits survive every reader of this format.
inline constexpr int kMaxCodeLength = 25;

// A message file of a task is 20 KB to 2 MB; no received stream may make the
// reader allocate and write more than this, however well its payload backs
// the length it declares (one-bit codes let 2 MB of payload claim 16 MB).
inline constexpr std::int32_t kMaxDecodedLength = 16 << 20;

// A table of one entry has no payload at all, so nothing in the stream bounds
// its length: a 10-byte stream could demand gigabytes. A message file is never
// one byte value repeated, so the codec refuses such runs beyond this length
// on both sides rather than let a stream dictate a huge allocation.
inline constexpr std::int32_t kMaxSingleValueLength = kMaxDecodedLength;

struct StreamLayout {
  std::int32_t length = 0;
  // Zero when the length is zero: such a stream's table is never consulted.
  int entries = 0;
  std::span<const std::uint8_t> table;
  // Everything after the table; bytes beyond the last code are ignored.
  std::span<const std::uint8_t> payload;
};

std::expected<StreamLayout, CodecError> parseStreamLayout(std::span<const std::uint8_t> stream);

// Loads the weight table into the leading records, builds the tree with code
// lengths and checks that the payload could carry L codes. Returns the number
// of leaves.
std::expected<int, CodecError> loadCodeTree(const StreamLayout& layout, HuffmanNodes& nodes);

inline std::uint32_t loadLe32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

inline void storeLe32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

}  // namespace qx

// Any byte string as a compressed attachment stream: decoding must end in a
// result of exactly L bytes or a clean failure, agree with the stream's
// inspection, and a decoded result must survive a round trip of its own.
#include <cstddef>
#include <cstdint>
#include <span>

#include "protocol/codec/huffman_compress.h"
#include "protocol/codec/huffman_decompress.h"
#include "quendrilax-codec/stream_examine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> stream(data, size);
  // Only a one-entry table can claim megabytes from a few bytes; its output
  // is a single memset, and decoding it again and again only slows the search.
  const auto length = qx::huffmanDecodedLength(stream);
  if (length && *length > (std::size_t{1} << 20)) return 0;
  const auto decoded = qx::huffmanDecompress(stream);
  const qx::StreamInfo info = qx::examineStream(stream);
  if (decoded.has_value() == info.error.has_value()) __builtin_trap();
  if (!decoded) return 0;
  if (decoded->size() != static_cast<std::size_t>(info.length)) __builtin_trap();
  // What the stream's L codes took must lie within the payload.
  if ((info.payloadBits + 7) / 8 > info.payloadBytes) __builtin_trap();
  const auto again = qx::huffmanCompress(*decoded);
  if (!again) return 0;  // only a too-long single-value run may be refused
  const auto back = qx::huffmanDecompress(*again);
  if (!back || *back != *decoded) __builtin_trap();
  return 0;
}

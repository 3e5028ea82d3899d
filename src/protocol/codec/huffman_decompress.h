#pragma once
// Decoding of the compressed attachment stream. The decoder trusts nothing in
// the stream: it never reads or writes outside its buffers and never allocates
// more than the stream can justify.
#include <cstddef>
#include <cstdint>
#include <expected>
#include <span>
#include <vector>

#include "protocol/codec/codec_error.h"

namespace qx {

struct DecodeSummary {
  std::size_t length = 0;         // bytes written, L
  std::uint64_t payloadBits = 0;  // bits the L codes took, B
};

// L after checking the header and the table (so it is safe to allocate).
std::expected<std::size_t, CodecError> huffmanDecodedLength(std::span<const std::uint8_t> stream);

// Decodes into the first L bytes of `out`, which must hold at least L bytes
// (kOutOfMemory otherwise).
std::expected<DecodeSummary, CodecError> huffmanDecompressInto(std::span<const std::uint8_t> stream,
                                                               std::span<std::uint8_t> out);

std::expected<std::vector<std::uint8_t>, CodecError> huffmanDecompress(
    std::span<const std::uint8_t> stream);

}  // namespace qx

#pragma once
// Encoding into the compressed attachment stream.
#include <cstdint>
#include <expected>
#include <span>
#include <vector>

#include "protocol/codec/codec_error.h"

namespace qx {

// What the encoder did to keep its codes within the 25 bits every reader can
// take. Only inputs whose counts grow like a Fibonacci sequence need it.
struct CompressReport {
  int naturalDepth = 0;           // depth of the tree over the true counts
  int codeDepth = 0;              // depth of the tree actually used
  bool weightsAdjusted = false;   // the table holds scaled counts, not true ones
  std::uint64_t naturalBits = 0;  // payload bits the true counts would have needed
  std::uint64_t payloadBits = 0;  // payload bits written
};

// Replaces `stream` with the compressed form of `data`, reusing its capacity.
std::expected<void, CodecError> huffmanCompressInto(std::span<const std::uint8_t> data,
                                                    std::vector<std::uint8_t>& stream,
                                                    CompressReport* report = nullptr);

std::expected<std::vector<std::uint8_t>, CodecError> huffmanCompress(
    std::span<const std::uint8_t> data, CompressReport* report = nullptr);

}  // namespace qx

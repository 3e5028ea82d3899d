// Any input through the encoder and back: the result is the input, the stream
// has exactly the size the format gives it with its unused high bits zero,
// codes stay within 25 bits, and bytes appended after it change nothing.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "protocol/codec/huffman_compress.h"
#include "protocol/codec/huffman_decompress.h"
#include "protocol/codec/huffman_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  qx::CompressReport report;
  auto stream = qx::huffmanCompress(input, &report);
  if (!stream) __builtin_trap();
  if (report.codeDepth > qx::kMaxCodeLength) __builtin_trap();
  const std::size_t entries = size == 0 ? 0 : std::size_t{(*stream)[4]} + 1;
  if (stream->size() !=
      qx::kStreamHeaderSize + qx::kTableEntrySize * entries + (report.payloadBits + 7) / 8) {
    __builtin_trap();
  }
  if (report.payloadBits % 8 != 0 && (stream->back() >> (report.payloadBits % 8)) != 0) {
    __builtin_trap();
  }
  const auto back = qx::huffmanDecompress(*stream);
  if (!back || !std::equal(back->begin(), back->end(), input.begin(), input.end())) {
    __builtin_trap();
  }
  stream->insert(stream->end(), {0xFF, 0x00, 0xA5});
  const auto padded = qx::huffmanDecompress(*stream);
  if (!padded || *padded != *back) __builtin_trap();
  return 0;
}

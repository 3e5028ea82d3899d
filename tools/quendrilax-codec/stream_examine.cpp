#include "quendrilax-codec/stream_examine.h"

#include <algorithm>
#include <new>

#include "protocol/codec/huffman_decompress.h"
#include "protocol/codec/huffman_stream.h"
#include "protocol/codec/huffman_tree.h"

namespace qx {

StreamInfo examineStream(std::span<const std::uint8_t> stream) {
  StreamInfo info;
  info.streamSize = stream.size();
  if (stream.size() >= kStreamHeaderSize) {
    info.hasHeader = true;
    info.length = static_cast<std::int32_t>(loadLe32(stream.data()));
    info.countByte = stream[4];
    // Show the entries that are present even when the table is cut short.
    const std::size_t present = std::min<std::size_t>(
        std::size_t{info.countByte} + 1, (stream.size() - kStreamHeaderSize) / kTableEntrySize);
    for (std::size_t i = 0; i < present; ++i) {
      const std::uint8_t* e = stream.data() + kStreamHeaderSize + kTableEntrySize * i;
      info.table.push_back({static_cast<std::int32_t>(loadLe32(e)), e[4], 0});
    }
    info.payloadBytes =
        stream.size() - std::min(stream.size(), kStreamHeaderSize + kTableEntrySize * present);
  }
  const auto layout = parseStreamLayout(stream);
  if (!layout) {
    info.error = layout.error();
    return info;
  }
  if (layout->length == 0) {
    // Nothing after the header of an empty stream is ever read.
    info.table.clear();
    info.payloadBytes = 0;
    return info;
  }

  HuffmanNodes nodes;
  const auto leaves = loadCodeTree(*layout, nodes);
  if (!leaves) {
    info.error = leaves.error();
    return info;
  }
  for (int i = 0; i < *leaves; ++i) {
    info.table[static_cast<std::size_t>(i)].codeLength =
        nodes[static_cast<std::size_t>(i)].codeLength;
  }
  info.codeLengthsKnown = true;

  std::vector<std::uint8_t> scratch;
  try {
    scratch.resize(static_cast<std::size_t>(layout->length));
  } catch (const std::bad_alloc&) {
    info.error = CodecError::kOutOfMemory;
    return info;
  }
  const auto summary = huffmanDecompressInto(stream, scratch);
  if (!summary) {
    info.error = summary.error();
    return info;
  }
  info.payloadBits = summary->payloadBits;
  return info;
}

}  // namespace qx

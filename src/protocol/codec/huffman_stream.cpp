#include "protocol/codec/huffman_stream.h"

#include <algorithm>
#include <limits>

namespace qx {

std::expected<StreamLayout, CodecError> parseStreamLayout(std::span<const std::uint8_t> stream) {
  if (stream.size() < kStreamHeaderSize) return std::unexpected(CodecError::kShortHeader);
  StreamLayout layout;
  layout.length = static_cast<std::int32_t>(loadLe32(stream.data()));
  if (layout.length < 0) return std::unexpected(CodecError::kNegativeLength);
  if (layout.length == 0) return layout;
  layout.entries = int{stream[4]} + 1;
  const std::size_t tableSize = kTableEntrySize * static_cast<std::size_t>(layout.entries);
  if (stream.size() - kStreamHeaderSize < tableSize) {
    return std::unexpected(CodecError::kTableTruncated);
  }
  layout.table = stream.subspan(kStreamHeaderSize, tableSize);
  layout.payload = stream.subspan(kStreamHeaderSize + tableSize);
  return layout;
}

std::expected<int, CodecError> loadCodeTree(const StreamLayout& layout, HuffmanNodes& nodes) {
  // Every other field is reset by the tree's construction, which stops
  // counting leaves at the first zero weight behind the table.
  if (layout.entries < kHuffmanMaxNodes) nodes[static_cast<std::size_t>(layout.entries)].weight = 0;
  std::int64_t total = 0;
  for (int i = 0; i < layout.entries; ++i) {
    const std::uint8_t* entry = layout.table.data() + kTableEntrySize * static_cast<std::size_t>(i);
    const auto weight = static_cast<std::int32_t>(loadLe32(entry));
    // A zero weight would silently end the table early (the tree counts up to
    // the first zero) and leave the rest of the stream misread as payload.
    if (weight <= 0) return std::unexpected(CodecError::kBadWeight);
    total += weight;
    if (total > std::numeric_limits<std::int32_t>::max()) {
      return std::unexpected(CodecError::kWeightOverflow);
    }
    HuffmanNode& node = nodes[static_cast<std::size_t>(i)];
    node.weight = weight;
    node.value = entry[4];
  }
  const int leaves = buildCodeTree(nodes, true);
  if (leaves == 1) {
    if (layout.length > kMaxSingleValueLength) {
      return std::unexpected(CodecError::kLengthBeyondPayload);
    }
    return leaves;
  }
  int shortest = std::numeric_limits<int>::max();
  for (int i = 0; i < leaves; ++i) {
    shortest = std::min(shortest, int{nodes[static_cast<std::size_t>(i)].codeLength});
  }
  // Every output byte costs at least the shortest code, which bounds L (and
  // with it the output buffer) by what the stream actually carries.
  const std::uint64_t payloadBits = std::uint64_t{8} * layout.payload.size();
  if (static_cast<std::uint64_t>(layout.length) * static_cast<std::uint64_t>(shortest) >
      payloadBits) {
    return std::unexpected(CodecError::kLengthBeyondPayload);
  }
  if (layout.length > kMaxDecodedLength) return std::unexpected(CodecError::kLengthTooLarge);
  return leaves;
}

}  // namespace qx

#include "protocol/codec/huffman_compress.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <limits>
#include <new>

#include "protocol/codec/huffman_bits.h"
#include "protocol/codec/huffman_stream.h"
#include "protocol/codec/huffman_tree.h"

namespace qx {

namespace {

using Counts = std::array<std::uint64_t, 256>;

// Four partial histograms break the store-to-load dependency of runs of one
// byte value.
Counts countBytes(std::span<const std::uint8_t> data) {
  std::array<std::array<std::uint32_t, 256>, 4> part{};
  const std::uint8_t* p = data.data();
  const std::uint8_t* const end = p + data.size();
  // Partial counts stay below 2^32 as long as a block is below 2^32 bytes.
  Counts counts{};
  while (p != end) {
    const std::size_t block =
        std::min<std::size_t>(static_cast<std::size_t>(end - p), std::size_t{1} << 30);
    const std::uint8_t* const blockEnd = p + block;
    while (blockEnd - p >= 8) {
      std::uint64_t w;
      std::memcpy(&w, p, 8);
      ++part[0][w & 0xFF];
      ++part[1][(w >> 8) & 0xFF];
      ++part[2][(w >> 16) & 0xFF];
      ++part[3][(w >> 24) & 0xFF];
      ++part[0][(w >> 32) & 0xFF];
      ++part[1][(w >> 40) & 0xFF];
      ++part[2][(w >> 48) & 0xFF];
      ++part[3][w >> 56];
      p += 8;
    }
    while (p != blockEnd) ++part[0][*p++];
    for (std::size_t v = 0; v < 256; ++v) {
      counts[v] += std::uint64_t{part[0][v]} + part[1][v] + part[2][v] + part[3][v];
    }
    part = {};
  }
  return counts;
}

int treeDepth(const HuffmanNodes& nodes, int leaves) {
  int depth = 0;
  for (int i = 0; i < leaves; ++i) {
    depth = std::max(depth, int{nodes[static_cast<std::size_t>(i)].codeLength});
  }
  return depth;
}

std::uint64_t payloadBits(const HuffmanNodes& nodes, int leaves, const Counts& counts) {
  std::uint64_t bits = 0;
  for (int i = 0; i < leaves; ++i) {
    const HuffmanNode& leaf = nodes[static_cast<std::size_t>(i)];
    bits += counts[leaf.value] * leaf.codeLength;
  }
  return bits;
}

// Builds the tree over the sorted table; if it is deeper than a code word may
// be, halves the weights again and again (rounding up, so none reaches zero
// and their order stays descending) until it is not. A reader rebuilds the
// same tree from the stored weights, so the stream stays readable everywhere;
// the price is a slightly longer payload. Once every weight is 1 the tree is
// at most 8 deep, so this ends.
int buildLimitedTree(HuffmanNodes& nodes, const Counts& counts, CompressReport& report) {
  const int leaves = buildCodeTree(nodes, true);
  report.naturalDepth = report.codeDepth = treeDepth(nodes, leaves);
  report.naturalBits = report.payloadBits = payloadBits(nodes, leaves, counts);
  if (report.codeDepth <= kMaxCodeLength) return leaves;
  // Building leaves the leaves' weights as they were.
  std::array<std::int32_t, kHuffmanMaxLeaves> natural{};
  for (int i = 0; i < leaves; ++i) {
    natural[static_cast<std::size_t>(i)] = nodes[static_cast<std::size_t>(i)].weight;
  }
  for (int shift = 1; report.codeDepth > kMaxCodeLength; ++shift) {
    for (int i = 0; i < leaves; ++i) {
      const auto weight = static_cast<std::uint32_t>(natural[static_cast<std::size_t>(i)]);
      nodes[static_cast<std::size_t>(i)].weight =
          static_cast<std::int32_t>(((weight - 1u) >> shift) + 1u);
    }
    // The first inner node ends the table again.
    if (leaves < kHuffmanMaxNodes) nodes[static_cast<std::size_t>(leaves)].weight = 0;
    buildCodeTree(nodes, true);
    report.codeDepth = treeDepth(nodes, leaves);
    report.payloadBits = payloadBits(nodes, leaves, counts);
    report.weightsAdjusted = true;
  }
  return leaves;
}

// Each symbol's code word and length packed as code | length << 27.
using CodeTable = std::array<std::uint32_t, 256>;
constexpr std::uint32_t kCodeMask = (1u << 27) - 1;

// Adds K codes to a 64-bit accumulator between stores. The accumulator holds
// fewer than 8 bits after a store, so K codes of maxLength bits fit when
// 7 + K * maxLength <= 63. Each store writes a whole word and moves on by
// the completed bytes only; the bits above the accumulator are zero, so the
// bytes ahead are overwritten correctly by the next store.
template <int K>
std::uint8_t* encodeCodes(const CodeTable& table, const std::uint8_t* in, std::size_t size,
                          std::uint8_t* out) {
  std::uint64_t acc = 0;
  unsigned bits = 0;
  std::size_t i = 0;
  for (; size - i >= K; i += K) {
    for (int j = 0; j < K; ++j) {
      const std::uint32_t e = table[in[i + static_cast<std::size_t>(j)]];
      acc |= std::uint64_t{e & kCodeMask} << bits;
      bits += e >> 27;
    }
    std::memcpy(out, &acc, 8);
    out += bits >> 3;
    acc >>= bits & ~7u;
    bits &= 7u;
  }
  for (; i < size; ++i) {
    const std::uint32_t e = table[in[i]];
    acc |= std::uint64_t{e & kCodeMask} << bits;
    bits += e >> 27;
    std::memcpy(out, &acc, 8);
    out += bits >> 3;
    acc >>= bits & ~7u;
    bits &= 7u;
  }
  return out + (bits > 0 ? 1 : 0);
}

std::uint8_t* encodePayload(const CodeTable& table, int maxLength,
                            std::span<const std::uint8_t> data, std::uint8_t* out) {
  const int k = std::min(8, 56 / std::max(maxLength, 1));
  switch (k) {
    case 2:
      return encodeCodes<2>(table, data.data(), data.size(), out);
    case 3:
      return encodeCodes<3>(table, data.data(), data.size(), out);
    case 4:
      return encodeCodes<4>(table, data.data(), data.size(), out);
    case 5:
      return encodeCodes<5>(table, data.data(), data.size(), out);
    case 6:
      return encodeCodes<6>(table, data.data(), data.size(), out);
    case 7:
      return encodeCodes<7>(table, data.data(), data.size(), out);
    default:
      return encodeCodes<8>(table, data.data(), data.size(), out);
  }
}

}  // namespace

std::expected<void, CodecError> huffmanCompressInto(std::span<const std::uint8_t> data,
                                                    std::vector<std::uint8_t>& stream,
                                                    CompressReport* reportOut) {
  if (data.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    return std::unexpected(CodecError::kInputTooLarge);
  }
  const Counts counts = countBytes(data);

  // Descending weight; equal weights by ascending byte value, which is one of
  // the orders every reader accepts and keeps the output reproducible.
  // Sorted as one key per value: count above, inverted value below.
  std::array<std::uint64_t, 256> keys;
  for (std::size_t v = 0; v < 256; ++v) keys[v] = counts[v] << 8 | (255 - v);
  std::sort(keys.begin(), keys.end(), std::greater<>());
  HuffmanNodes nodes;
  for (std::size_t i = 0; i < 256; ++i) {
    nodes[i].weight = static_cast<std::int32_t>(keys[i] >> 8);
    nodes[i].value = static_cast<std::uint8_t>(255 - (keys[i] & 0xFF));
  }

  CompressReport report;
  const int leaves = buildLimitedTree(nodes, counts, report);
  if (leaves == 1 && data.size() > static_cast<std::size_t>(kMaxSingleValueLength)) {
    return std::unexpected(CodecError::kRunTooLong);
  }

  const std::uint64_t payloadBytes = (report.payloadBits + 7) / 8;
  const std::uint64_t total =
      kStreamHeaderSize + kTableEntrySize * static_cast<std::uint64_t>(leaves) + payloadBytes;
  // Room for the encoder's last whole-word store. Its stores cover every
  // payload byte, so whatever the reused buffer held is overwritten.
  constexpr std::size_t kSlack = 8;
  if (total > std::numeric_limits<std::size_t>::max() - kSlack) {
    return std::unexpected(CodecError::kOutOfMemory);
  }
  try {
    stream.resize(static_cast<std::size_t>(total) + kSlack);
  } catch (const std::bad_alloc&) {
    return std::unexpected(CodecError::kOutOfMemory);
  }

  std::uint8_t* out = stream.data();
  storeLe32(out, static_cast<std::uint32_t>(data.size()));
  out[4] = static_cast<std::uint8_t>(leaves - 1);  // an empty input writes 0xFF
  out += kStreamHeaderSize;
  CodeTable table{};
  for (int i = 0; i < leaves; ++i) {
    const HuffmanNode& leaf = nodes[static_cast<std::size_t>(i)];
    storeLe32(out, static_cast<std::uint32_t>(leaf.weight));
    out[4] = leaf.value;
    out += kTableEntrySize;
    table[leaf.value] = leaf.code | std::uint32_t{leaf.codeLength} << 27;
  }
  if (leaves > 1) {
    out = encodePayload(table, report.codeDepth, data, out);
  }
  stream.resize(static_cast<std::size_t>(total));
  if (reportOut != nullptr) *reportOut = report;
  return {};
}

std::expected<std::vector<std::uint8_t>, CodecError> huffmanCompress(
    std::span<const std::uint8_t> data, CompressReport* report) {
  std::vector<std::uint8_t> stream;
  const auto done = huffmanCompressInto(data, stream, report);
  if (!done) return std::unexpected(done.error());
  return stream;
}

}  // namespace qx

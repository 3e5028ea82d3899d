// Large streams, which the decoder cuts into segments decoded side by side
// and joined where they fall into step: the result must be what decoding one
// bit at a time gives, for well-formed streams of every kind of content and
// for damaged ones alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include "protocol/codec/huffman_compress.h"
#include "protocol/codec/huffman_decompress.h"
#include "protocol/codec/huffman_stream.h"

namespace qx {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The tree walked bit by bit; a code that needs a bit beyond the payload is
// a failure.
std::optional<Bytes> decodeBitByBit(const Bytes& stream) {
  const auto layout = parseStreamLayout(stream);
  if (!layout) return std::nullopt;
  if (layout->length == 0) return Bytes{};
  HuffmanNodes nodes;
  const auto leaves = loadCodeTree(*layout, nodes);
  if (!leaves) return std::nullopt;
  const int root = huffmanRoot(*leaves);
  Bytes out;
  std::uint64_t k = 0;
  const std::uint64_t bits = 8 * std::uint64_t{layout->payload.size()};
  for (std::int32_t i = 0; i < layout->length; ++i) {
    int node = root;
    while (!nodes[static_cast<std::size_t>(node)].isLeaf()) {
      if (k >= bits) return std::nullopt;
      const int bit = (layout->payload[k / 8] >> (k % 8)) & 1;
      ++k;
      node = bit ? nodes[static_cast<std::size_t>(node)].child1
                 : nodes[static_cast<std::size_t>(node)].child0;
    }
    out.push_back(nodes[static_cast<std::size_t>(node)].value);
  }
  return out;
}

enum class Content { kRandom, kUtf16Text, kZeroRuns, kDeepCodes, kTextWithAttachment };

Bytes contentOf(Content kind, std::size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes data;
  data.reserve(size);
  std::geometric_distribution<int> deep(0.45);
  while (data.size() < size) {
    switch (kind) {
      case Content::kRandom:
        data.push_back(static_cast<std::uint8_t>(rng()));
        break;
      case Content::kUtf16Text:
        data.push_back(rng() % 6 == 0 ? ' ' : static_cast<std::uint8_t>('a' + rng() % 26));
        data.push_back(0);
        break;
      case Content::kZeroRuns:
        // One-bit codes: more bytes than a lane's scratch takes per segment.
        data.insert(data.end(), 1 + rng() % 400, 0);
        data.push_back(static_cast<std::uint8_t>(rng()));
        break;
      case Content::kDeepCodes:
        // Codes far longer than the lookup tables.
        data.push_back(static_cast<std::uint8_t>(std::min(deep(rng), 60)));
        break;
      case Content::kTextWithAttachment:
        if (data.size() < size / 3) {
          data.push_back(static_cast<std::uint8_t>('a' + rng() % 20));
          data.push_back(0);
        } else {
          data.push_back(static_cast<std::uint8_t>(rng()));
        }
        break;
    }
  }
  data.resize(size);
  return data;
}

const Content kContents[] = {Content::kRandom, Content::kUtf16Text, Content::kZeroRuns,
                             Content::kDeepCodes, Content::kTextWithAttachment};
const std::size_t kSizes[] = {3000, 70001, 400000};

TEST(HuffmanLanesTest, EveryContentComesBackWithItsBitCount) {
  for (Content kind : kContents) {
    for (std::size_t size : kSizes) {
      SCOPED_TRACE(testing::Message() << "content " << static_cast<int>(kind) << ", " << size);
      const Bytes data = contentOf(kind, size, static_cast<unsigned>(size));
      CompressReport report;
      const auto stream = huffmanCompress(data, &report);
      ASSERT_TRUE(stream.has_value());
      Bytes out(size);
      const auto summary = huffmanDecompressInto(*stream, out);
      ASSERT_TRUE(summary.has_value());
      EXPECT_EQ(summary->payloadBits, report.payloadBits);
      EXPECT_TRUE(out == data);
    }
  }
}

// Damage anywhere in the payload, a cut, trailing bytes or a smaller L: the
// fast result is the bit-by-bit one, failure included.
TEST(HuffmanLanesTest, DamagedStreamsDecodeAsBitByBit) {
  std::mt19937 rng(7);
  for (Content kind : kContents) {
    const Bytes data = contentOf(kind, 200000, 11);
    const Bytes valid = *huffmanCompress(data);
    const std::size_t payloadStart = kStreamHeaderSize + kTableEntrySize * (valid[4] + 1u);
    std::uniform_int_distribution<std::size_t> pos(payloadStart, valid.size() - 1);
    for (int round = 0; round < 24; ++round) {
      SCOPED_TRACE(testing::Message() << "content " << static_cast<int>(kind) << ", " << round);
      Bytes stream = valid;
      for (int flips = 0; flips < 1 + round % 5; ++flips) {
        stream[pos(rng)] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
      }
      switch (round % 4) {
        case 1:
          stream.resize(pos(rng));
          break;
        case 2:
          stream.insert(stream.end(), 3000, 0xA5);
          break;
        case 3:
          storeLe32(stream.data(), static_cast<std::uint32_t>(data.size() - rng() % 50000));
          break;
        default:
          break;
      }
      const auto fast = huffmanDecompress(stream);
      const auto slow = decodeBitByBit(stream);
      ASSERT_EQ(fast.has_value(), slow.has_value());
      if (fast) {
        EXPECT_TRUE(*fast == *slow);
      }
    }
  }
}

}  // namespace
}  // namespace qx

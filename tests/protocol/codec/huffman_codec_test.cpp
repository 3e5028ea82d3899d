// The stream is a wire format: these cases pin the exact bytes a peer must
// produce and accept.
#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <random>
#include <vector>

#include "protocol/codec/huffman_compress.h"
#include "protocol/codec/huffman_decompress.h"
#include "protocol/codec/huffman_reference.h"
#include "protocol/codec/huffman_stream.h"

namespace qx {
namespace {

using testing::bytesOf;
using testing::referenceEncode;
using Bytes = std::vector<std::uint8_t>;

Bytes compressed(const Bytes& data, CompressReport* report = nullptr) {
  auto stream = huffmanCompress(data, report);
  EXPECT_TRUE(stream.has_value());
  return stream ? *stream : Bytes{};
}

Bytes decompressed(const Bytes& stream) {
  auto data = huffmanDecompress(stream);
  EXPECT_TRUE(data.has_value()) << (data ? "" : describe(data.error()));
  return data ? *data : Bytes{};
}

struct ExactCase {
  const char* name;
  Bytes input;
  Bytes stream;
};

class ExactStreamTest : public ::testing::TestWithParam<ExactCase> {};

TEST_P(ExactStreamTest, EncodesToTheseBytesAndBack) {
  const ExactCase& c = GetParam();
  EXPECT_EQ(compressed(c.input), c.stream);
  EXPECT_EQ(decompressed(c.stream), c.input);
}

INSTANTIATE_TEST_SUITE_P(
    Known, ExactStreamTest,
    ::testing::Values(ExactCase{"abbccc",
                                bytesOf("abbccc"),
                                {0x06, 0x00, 0x00, 0x00, 0x02, 0x03, 0x00, 0x00, 0x00, 0x63, 0x02,
                                 0x00, 0x00, 0x00, 0x62, 0x01, 0x00, 0x00, 0x00, 0x61, 0xE8, 0x01}},
                      ExactCase{"abracadabra",
                                bytesOf("abracadabra"),
                                {0x0B, 0x00, 0x00, 0x00, 0x04, 0x05, 0x00, 0x00, 0x00, 0x61, 0x02,
                                 0x00, 0x00, 0x00, 0x62, 0x02, 0x00, 0x00, 0x00, 0x72, 0x01, 0x00,
                                 0x00, 0x00, 0x63, 0x01, 0x00, 0x00, 0x00, 0x64, 0xBA, 0x35, 0x3A}},
                      ExactCase{"aaaa",
                                bytesOf("aaaa"),
                                {0x04, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x61}},
                      ExactCase{"empty", {}, {0x00, 0x00, 0x00, 0x00, 0xFF}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HuffmanCodecTest, AllByteValuesFillTheTable) {
  Bytes input(256 * 3);
  for (std::size_t i = 0; i < input.size(); ++i) input[i] = static_cast<std::uint8_t>(i * 7);
  const Bytes stream = compressed(input);
  ASSERT_GE(stream.size(), 5u + 1280u);
  EXPECT_EQ(stream[4], 0xFF);
  // Equal weights: 256 codes of 8 bits each.
  EXPECT_EQ(stream.size(), 5u + 1280u + input.size());
  EXPECT_EQ(decompressed(stream), input);
}

TEST(HuffmanCodecTest, ZeroLengthIgnoresWhateverFollows) {
  EXPECT_TRUE(decompressed({0x00, 0x00, 0x00, 0x00, 0xFF}).empty());
  // The table is not consulted, so one that runs past the end is no error.
  EXPECT_TRUE(decompressed({0x00, 0x00, 0x00, 0x00, 0x10, 0x00}).empty());
}

TEST(HuffmanCodecTest, BytesAfterTheStreamChangeNothing) {
  const Bytes input = bytesOf("abracadabra, the quick brown fox");
  Bytes stream = compressed(input);
  for (std::uint8_t extra : {0x00, 0xFF, 0x5A}) {
    for (int i = 0; i < 9; ++i) stream.push_back(extra);
    EXPECT_EQ(decompressed(stream), input);
  }
}

TEST(HuffmanCodecTest, AnyOrderOfEqualWeightsDecodes) {
  const Bytes input = bytesOf("abracadabra");
  const std::vector<std::vector<testing::TableEntry>> orders = {
      {{5, 'a'}, {2, 'b'}, {2, 'r'}, {1, 'c'}, {1, 'd'}},
      {{5, 'a'}, {2, 'r'}, {2, 'b'}, {1, 'd'}, {1, 'c'}},
      {{5, 'a'}, {2, 'b'}, {2, 'r'}, {1, 'd'}, {1, 'c'}},
  };
  for (const auto& order : orders) {
    EXPECT_EQ(decompressed(referenceEncode(input, order)), input);
  }
  EXPECT_NE(referenceEncode(input, orders[0]), referenceEncode(input, orders[1]));
}

// Random inputs of many shapes against the bit-at-a-time coder: short and
// long, flat and skewed, so that every table width and every number of codes
// per word is exercised.
TEST(HuffmanCodecTest, AgreesWithTheBitwiseCoder) {
  std::mt19937 rng(20261207);
  for (std::size_t size : {1u, 2u, 3u, 15u, 16u, 17u, 100u, 4096u, 9000u, 70000u}) {
    for (int skew : {0, 1, 3, 8}) {
      Bytes input(size);
      std::uniform_int_distribution<int> any(0, 255);
      for (auto& b : input) {
        int v = any(rng);
        for (int s = 0; s < skew; ++s) v = std::min(v, any(rng));
        b = static_cast<std::uint8_t>(v);
      }
      const Bytes stream = compressed(input);
      ASSERT_EQ(stream, referenceEncode(input, testing::countedTable(input)))
          << "size " << size << " skew " << skew;
      ASSERT_EQ(decompressed(stream), input) << "size " << size << " skew " << skew;
    }
  }
}

// Counts 1, 1, 2, 3, 5, ... make a chain as deep as there are values, less one.
Bytes fibonacciInput(int values) {
  Bytes input;
  std::uint64_t a = 1, b = 1;
  for (int v = 0; v < values; ++v) {
    input.insert(input.end(), a, static_cast<std::uint8_t>(v));
    const std::uint64_t next = a + b;
    a = b;
    b = next;
  }
  std::mt19937 rng(7);
  std::shuffle(input.begin(), input.end(), rng);
  return input;
}

TEST(HuffmanCodecTest, TreesUpToTheWindowKeepTrueCounts) {
  const Bytes input = fibonacciInput(26);
  CompressReport report;
  const Bytes stream = compressed(input, &report);
  EXPECT_EQ(report.naturalDepth, 25);
  EXPECT_FALSE(report.weightsAdjusted);
  EXPECT_EQ(stream, referenceEncode(input, testing::countedTable(input)));
  EXPECT_EQ(decompressed(stream), input);
}

TEST(HuffmanCodecTest, DeeperTreesStoreShallowerWeights) {
  for (int values : {27, 30}) {
    const Bytes input = fibonacciInput(values);
    CompressReport report;
    const Bytes stream = compressed(input, &report);
    EXPECT_EQ(report.naturalDepth, values - 1);
    EXPECT_TRUE(report.weightsAdjusted);
    EXPECT_LE(report.codeDepth, kMaxCodeLength);
    EXPECT_GE(report.payloadBits, report.naturalBits);
    EXPECT_EQ((report.payloadBits + 7) / 8,
              stream.size() - 5 - 5 * static_cast<std::size_t>(values));

    // Still a table any reader builds the same tree from: positive weights
    // in descending order, re-encoded identically by the bitwise coder.
    std::vector<testing::TableEntry> table;
    for (int i = 0; i < values; ++i) {
      const std::uint8_t* e = stream.data() + 5 + 5 * i;
      table.push_back({static_cast<std::int32_t>(loadLe32(e)), e[4]});
      EXPECT_GT(table.back().weight, 0);
      if (i > 0) {
        EXPECT_LE(table[static_cast<std::size_t>(i)].weight,
                  table[static_cast<std::size_t>(i) - 1].weight);
      }
    }
    EXPECT_EQ(stream, referenceEncode(input, table));
    EXPECT_EQ(decompressed(stream), input);
  }
}

// A foreign stream may carry a tree far deeper than the decoder's tables
// (here over 30 levels); such codes are followed bit by bit and still decode.
TEST(HuffmanCodecTest, DecodesCodesLongerThanAnyTable) {
  std::vector<testing::TableEntry> table;
  std::int32_t weight = 1 << 29;
  for (int v = 0; v < 40; ++v) {
    table.push_back({std::max(weight, 1), static_cast<std::uint8_t>(v)});
    weight /= 2;
  }
  Bytes input;
  for (int round = 0; round < 50; ++round) {
    for (int v = 0; v < 40; ++v) input.push_back(static_cast<std::uint8_t>((v * 7 + round) % 40));
  }
  EXPECT_EQ(decompressed(referenceEncode(input, table)), input);
}

}  // namespace
}  // namespace qx

// Hostile streams: every malformation is a clean decoding failure, never a
// read or write outside the buffers (the sanitizer build checks that) and
// never an allocation the stream cannot justify.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "protocol/codec/huffman_compress.h"
#include "protocol/codec/huffman_decompress.h"
#include "protocol/codec/huffman_reference.h"
#include "protocol/codec/huffman_stream.h"

namespace qx {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::appendLe32;

Bytes streamOf(std::int32_t length, std::vector<testing::TableEntry> table, Bytes payload) {
  Bytes out;
  appendLe32(out, static_cast<std::uint32_t>(length));
  out.push_back(static_cast<std::uint8_t>(table.size() - 1));
  for (const auto& e : table) {
    appendLe32(out, static_cast<std::uint32_t>(e.weight));
    out.push_back(e.value);
  }
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

Bytes validStream() {
  auto stream = huffmanCompress(testing::bytesOf("the quick brown fox jumps over the lazy dog"));
  return stream ? *stream : Bytes{};
}

struct MalformedCase {
  const char* name;
  Bytes stream;
  CodecError expected;
};

class MalformedStreamTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedStreamTest, FailsWithItsReason) {
  const MalformedCase& c = GetParam();
  const auto data = huffmanDecompress(c.stream);
  ASSERT_FALSE(data.has_value());
  EXPECT_EQ(data.error(), c.expected) << describe(data.error());
  // Everything but a payload that runs out mid-way is caught before any
  // output buffer exists.
  const auto length = huffmanDecodedLength(c.stream);
  if (c.expected == CodecError::kPayloadTooShort) {
    EXPECT_TRUE(length.has_value());
  } else {
    ASSERT_FALSE(length.has_value());
    EXPECT_EQ(length.error(), c.expected);
  }
}

Bytes truncated(Bytes b, std::size_t drop) {
  b.resize(b.size() - drop);
  return b;
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, MalformedStreamTest,
    ::testing::Values(
        MalformedCase{"Empty", {}, CodecError::kShortHeader},
        MalformedCase{"FourBytes", {0x00, 0x00, 0x00, 0x00}, CodecError::kShortHeader},
        MalformedCase{"NegativeLength",
                      {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 1, 0, 0, 0, 'a'},
                      CodecError::kNegativeLength},
        MalformedCase{"MinimumLength",
                      {0x00, 0x00, 0x00, 0x80, 0x00, 1, 0, 0, 0, 'a'},
                      CodecError::kNegativeLength},
        MalformedCase{"TableMissing", {0x01, 0x00, 0x00, 0x00, 0x00}, CodecError::kTableTruncated},
        MalformedCase{"TableOneByteShort",
                      {0x01, 0x00, 0x00, 0x00, 0x00, 1, 0, 0, 0},
                      CodecError::kTableTruncated},
        MalformedCase{"TableClaims256",
                      {0x01, 0x00, 0x00, 0x00, 0xFF, 1, 0, 0, 0, 'a'},
                      CodecError::kTableTruncated},
        MalformedCase{"ZeroWeight", streamOf(3, {{2, 'a'}, {0, 'b'}, {1, 'c'}}, {0x00}),
                      CodecError::kBadWeight},
        MalformedCase{"NegativeWeight", streamOf(3, {{2, 'a'}, {-1, 'b'}}, {0x00}),
                      CodecError::kBadWeight},
        MalformedCase{"WeightsOverflow", streamOf(2, {{0x7FFFFFFF, 'a'}, {1, 'b'}}, {0x00}),
                      CodecError::kWeightOverflow},
        // A 10-byte stream that claims 2 GB of one value.
        MalformedCase{"SingleValueHuge", streamOf(0x7FFFFFFF, {{1, 'a'}}, {}),
                      CodecError::kLengthBeyondPayload},
        MalformedCase{"SingleValueJustOverLimit",
                      streamOf(kMaxSingleValueLength + 1, {{1, 'a'}}, {}),
                      CodecError::kLengthBeyondPayload},
        // One-bit codes back the length, but no message file is that large.
        MalformedCase{"DeclaredBeyondAnyMessageFile",
                      streamOf(kMaxDecodedLength + 1, {{1, 'a'}, {1, 'b'}},
                               Bytes(static_cast<std::size_t>(kMaxDecodedLength) / 8 + 1, 0)),
                      CodecError::kLengthTooLarge},
        // Two values cost a bit each: 2 payload bytes hold 16 at most.
        MalformedCase{"LengthBeyondPayload", streamOf(17, {{1, 'a'}, {1, 'b'}}, {0x00, 0x00}),
                      CodecError::kLengthBeyondPayload},
        MalformedCase{"HugeLengthTinyPayload", streamOf(0x7FFFFFFF, {{5, 'a'}, {3, 'b'}}, {0xAA}),
                      CodecError::kLengthBeyondPayload},
        // The shortest code (1 bit) lets L = 8 pass, but the zero bits spell
        // the 3-bit code of d, and eight of those need 24 bits.
        MalformedCase{"PayloadTooShort",
                      streamOf(8, {{4, 'a'}, {2, 'b'}, {1, 'c'}, {1, 'd'}}, {0x00}),
                      CodecError::kPayloadTooShort},
        MalformedCase{"PayloadCutShort", truncated(validStream(), 1),
                      CodecError::kPayloadTooShort}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HuffmanHardeningTest, SingleValueAtTheLimitIsAccepted) {
  const Bytes stream = streamOf(kMaxSingleValueLength, {{1, 'z'}}, {});
  EXPECT_EQ(huffmanDecodedLength(stream).value_or(0),
            static_cast<std::size_t>(kMaxSingleValueLength));
}

TEST(HuffmanHardeningTest, EncoderRefusesWhatItsReaderWouldRefuse) {
  const Bytes run(static_cast<std::size_t>(kMaxSingleValueLength) + 1, 0x20);
  const auto stream = huffmanCompress(run);
  ASSERT_FALSE(stream.has_value());
  EXPECT_EQ(stream.error(), CodecError::kRunTooLong);
}

TEST(HuffmanHardeningTest, OutputBufferTooSmallIsRefused) {
  const Bytes stream = validStream();
  Bytes out(10);
  const auto summary = huffmanDecompressInto(stream, out);
  ASSERT_FALSE(summary.has_value());
  EXPECT_EQ(summary.error(), CodecError::kOutOfMemory);
}

// Every position of a valid stream, flipped or cut, in all tables widths:
// whatever comes out must be a result of length L or a failure, never a
// fault (the sanitizer build watches the buffers).
TEST(HuffmanHardeningTest, MutatedStreamsNeverEscapeTheirBuffers) {
  std::mt19937 rng(99);
  for (std::size_t size : {40u, 5000u, 20000u}) {
    Bytes input(size);
    std::geometric_distribution<int> skewed(0.08);
    for (auto& b : input) b = static_cast<std::uint8_t>(skewed(rng) % 256);
    const auto valid = huffmanCompress(input);
    ASSERT_TRUE(valid.has_value());
    std::uniform_int_distribution<std::size_t> pos(0, valid->size() - 1);
    for (int round = 0; round < 300; ++round) {
      Bytes stream = *valid;
      for (int flips = 0; flips < 1 + round % 4; ++flips) {
        stream[pos(rng)] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
      }
      if (round % 5 == 0) stream.resize(pos(rng));
      const auto data = huffmanDecompress(stream);
      if (data) {
        EXPECT_EQ(data->size(), huffmanDecodedLength(stream).value_or(~std::size_t{0}));
      }
    }
  }
}

}  // namespace
}  // namespace qx

#include "quendrilax-codec/stream_examine.h"

#include <gtest/gtest.h>

#include <vector>

#include "protocol/codec/huffman_compress.h"
#include "protocol/codec/huffman_reference.h"

namespace qx {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(StreamExamineTest, WellFormedStreamShowsCodeLengthsAndBits) {
  Bytes stream = *huffmanCompress(testing::bytesOf("abracadabra"));
  stream.push_back(0x77);  // trailing bytes belong to the payload area, unused
  const StreamInfo info = examineStream(stream);
  EXPECT_FALSE(info.error.has_value());
  EXPECT_EQ(info.length, 11);
  ASSERT_EQ(info.table.size(), 5u);
  std::vector<int> lengths;
  for (const auto& e : info.table) lengths.push_back(e.codeLength);
  EXPECT_EQ(lengths, (std::vector<int>{1, 2, 3, 4, 4}));
  EXPECT_EQ(info.payloadBytes, 4u);
  EXPECT_EQ(info.payloadBits, 23u);
}

TEST(StreamExamineTest, MalformedStreamsShowWhatTheyHold) {
  struct Case {
    const char* name;
    Bytes stream;
    CodecError error;
    std::size_t entries;
    bool lengthsKnown;
  };
  const Bytes valid = *huffmanCompress(testing::bytesOf("abracadabra"));
  Bytes zeroWeight = valid;
  zeroWeight[5 + 5 * 2] = 0;
  zeroWeight[5 + 5 * 2 + 1] = 0;  // r's weight 2 becomes 0
  const std::vector<Case> cases = {
      {"short header", {1, 0}, CodecError::kShortHeader, 0, false},
      {"cut in the table", Bytes(valid.begin(), valid.begin() + 21), CodecError::kTableTruncated, 3,
       false},
      {"zero weight", zeroWeight, CodecError::kBadWeight, 5, false},
      {"cut in the payload", Bytes(valid.begin(), valid.end() - 1), CodecError::kPayloadTooShort, 5,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const StreamInfo info = examineStream(c.stream);
    ASSERT_TRUE(info.error.has_value());
    EXPECT_EQ(*info.error, c.error);
    EXPECT_EQ(info.table.size(), c.entries);
    EXPECT_EQ(info.codeLengthsKnown, c.lengthsKnown);
  }
}

}  // namespace
}  // namespace qx

// Content hashes are stored on tasks and compared with ones made by other
// runs and other machines: the same input must give the same value for good.
#include <gtest/gtest.h>

#include "protocol/content_hash.h"

namespace qx {
namespace {

TEST(ContentHash, GivesTheValuesStoredOnTasksByEarlierRuns) {
  EXPECT_EQ(ContentHash().value(), 0xCBF29CE484222325ull);
  ContentHash zero;
  zero.add(std::uint64_t{0});
  EXPECT_EQ(zero.value(), 0xA8C7F832281A39C5ull);
  ContentHash text;
  text.add(std::u16string_view(u"Plan"));
  EXPECT_EQ(text.value(), 0xE48EA2239718D8B2ull);
}

}  // namespace
}  // namespace qx

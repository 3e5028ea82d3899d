#include "protocol/sync_id.h"

#include <gtest/gtest.h>

#include <string>

#include "protocol/sync_test_fakes.h"

namespace qx {
namespace {

TEST(SyncId, FreshIdIsBracedUpperCaseGuidText) {
  testing::FakeGuids guids;
  const Result<std::u16string> id = makeSyncId(guids);
  ASSERT_TRUE(id.has_value());
  EXPECT_EQ(*id, u"{0A1B2C3D-4E5F-6789-ABCD-EF0123456789}");
  EXPECT_TRUE(hasSyncIdForm(*id));
}

TEST(SyncId, GeneratorOrFormatterFailureGivesNoId) {
  testing::FakeGuids refusing;
  refusing.createStatus = hr::kOutOfMemory;
  EXPECT_EQ(makeSyncId(refusing).error(), hr::kOutOfMemory);

  testing::FakeGuids shortText;
  shortText.forcedWritten = 20;
  EXPECT_FALSE(makeSyncId(shortText).has_value());

  testing::FakeGuids lower;
  lower.lowerCase = true;
  EXPECT_FALSE(makeSyncId(lower).has_value());
}

TEST(SyncId, FormCheck) {
  struct Case {
    std::u16string text;
    bool ok;
  };
  const Case cases[] = {
      {u"{00000000-0000-0000-0000-000000000000}", true},
      {u"{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}", true},
      {u"{ffffffff-ffff-ffff-ffff-ffffffffffff}", false},
      {u"00000000-0000-0000-0000-000000000000", false},
      {u"{00000000-0000-0000-0000-0000000000000}", false},
      {u"{00000000-0000-0000-0000+000000000000}", false},
      {u"{0000000G-0000-0000-0000-000000000000}", false},
      {u"(00000000-0000-0000-0000-000000000000)", false},
      {u"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(hasSyncIdForm(c.text), c.ok) << std::string(c.text.begin(), c.text.end());
  }
}

}  // namespace
}  // namespace qx

// The version of a change as text, its order, and the removal mail's version
// line as old and new readers see it.
#include <gtest/gtest.h>

#include "protocol/change_version.h"
#include "protocol/sync_body.h"

namespace qx {
namespace {

TEST(ChangeVersion, ReadsBackOnlyWhatItWrites) {
  const ChangeVersion version{1796630400123, "0F9A"};
  EXPECT_EQ(formatVersion(version), "1796630400123-0F9A");
  EXPECT_EQ(parseVersion("1796630400123-0F9A"), version);
  for (const char* bad : {"", "-0F9A", "1796630400123-", "1796630400123", "17966304001x3-0F9A",
                          "+1796630400123-0F9A", "1796630400123-0F-9A", "1796630400123-0F 9A",
                          "99999999999999999999-0F9A"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(parseVersion(bad).has_value());
  }
  EXPECT_FALSE(parseVersion("1-" + std::string(changeversion::kMaxTagLength + 1, 'A')));
}

TEST(ChangeVersion, OrdersByTimeThenTieBreaker) {
  const ChangeVersion early{1000, "ZZ"};
  const ChangeVersion late{1001, "AA"};
  const ChangeVersion lateOther{1001, "AB"};
  EXPECT_LT(early, late);
  EXPECT_LT(late, lateOther);
  EXPECT_EQ(late, (ChangeVersion{1001, "AA"}));
}

// One more line after the id line: a reader that knows nothing of it finds
// the same kind, share name and id; its markers are none of the others.
TEST(ChangeVersion, TheVersionLineLeavesTheOlderFieldsAsTheyWere) {
  const ChangeVersion version{1796630400123, "0F9A"};
  const std::string line = versionLine(version);
  EXPECT_EQ(line, "ver:1796630400123-0F9A:ver\n");
  EXPECT_FALSE(containsSyncMarker(line));
  const std::string body = buildSyncBody("notice", SyncKind::kRemoval, "Team", "{ID}", line);
  const SyncBodyFields fields = parseSyncBodyText(body);
  EXPECT_TRUE(fields.valid);
  EXPECT_TRUE(fields.removal);
  EXPECT_EQ(fields.syncId, "{ID}");
  EXPECT_EQ(readShareNameText(body), "Team");
  EXPECT_EQ(readVersionLine(body), version);
  EXPECT_EQ(readVersionLine(buildSyncBody("notice", SyncKind::kRemoval, "Team", "{ID}")),
            std::nullopt);
  // A share name that holds the marker text is not read as the version.
  EXPECT_EQ(readVersionLine(
                buildSyncBody("", SyncKind::kRemoval, "ver:1-AA:ver", "{ID}")),
            std::nullopt);
  // CR LF line ends, as some mail systems rewrite them, change nothing.
  EXPECT_EQ(readVersionLine("is:FALSE:is\r\nlf:T:lf\r\nid:{ID}:id\r\nver:5-B:ver\r\n"),
            (ChangeVersion{5, "B"}));
}

}  // namespace
}  // namespace qx

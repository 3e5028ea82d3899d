// The version of a change as text, its order, and the removal mail's version
// line as old and new readers see it.
#include "protocol/change_version.h"

#include <gtest/gtest.h>

#include "protocol/sync_body.h"

namespace qx {
namespace {

TEST(ChangeVersion, ReadsBackOnlyWhatItWrites) {
  const ChangeVersion version{1796630400123, "0F9A"};
  EXPECT_EQ(formatVersion(version), "1796630400123-0F9A");
  EXPECT_EQ(parseVersion("1796630400123-0F9A"), version);
  for (const char* bad :
       {"", "-0F9A", "1796630400123-", "1796630400123", "17966304001x3-0F9A", "+1796630400123-0F9A",
        "1796630400123-0F-9A", "1796630400123-0F 9A", "99999999999999999999-0F9A"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(parseVersion(bad).has_value());
  }
  EXPECT_FALSE(parseVersion("1-" + std::string(changeversion::kMaxTagLength + 1, 'A')));
}

// Only tie-breakers of the form the add-in makes: upper-case hexadecimal, up
// to the longest it allows; and no stamp near the type's limit, so that no
// step from a stamp can overflow.
TEST(ChangeVersion, TieBreakersAndStampsAreBounded) {
  const std::string longest(changeversion::kMaxTagLength, 'F');
  EXPECT_EQ(parseVersion("5-" + longest), (ChangeVersion{5, longest}));
  EXPECT_TRUE(isVersionTag(longest));
  for (const char* tag : {"zzz", "abc", "0F9a", "G", "handben"}) {
    SCOPED_TRACE(tag);
    EXPECT_FALSE(isVersionTag(tag));
    EXPECT_FALSE(parseVersion(std::string("5-") + tag));
  }
  const std::string last = std::to_string(changeversion::kMaxStampMs);
  EXPECT_TRUE(parseVersion(last + "-A"));
  EXPECT_FALSE(parseVersion(std::to_string(changeversion::kMaxStampMs + 1) + "-A"));
  EXPECT_FALSE(parseVersion("9223372036854775807-A"));
}

// The version just after another: strictly later, and no version a user can
// stamp lies between the two, whatever the tie-breakers.
TEST(ChangeVersion, JustAfterIsTheNextVersionThereIs) {
  const std::string longest(changeversion::kMaxTagLength, 'F');
  for (const ChangeVersion& v :
       {ChangeVersion{1000, "0"}, ChangeVersion{1000, "FFFF"}, ChangeVersion{1000, longest}}) {
    SCOPED_TRACE(v.tag);
    const ChangeVersion next = justAfter(v);
    EXPECT_LT(v, next);
    EXPECT_TRUE(isVersionTag(next.tag));
    for (const ChangeVersion& other : {ChangeVersion{1000, v.tag + "00"}, ChangeVersion{1000, "1"},
                                       ChangeVersion{1001, "0"}, ChangeVersion{999, "F"}})
      EXPECT_FALSE(isVersionTag(other.tag) && v < other && other < next) << formatVersion(other);
  }
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
  EXPECT_EQ(readVersionLine(buildSyncBody("", SyncKind::kRemoval, "ver:1-AA:ver", "{ID}")),
            std::nullopt);
  // CR LF line ends, as some mail systems rewrite them, change nothing.
  EXPECT_EQ(readVersionLine("is:FALSE:is\r\nlf:T:lf\r\nid:{ID}:id\r\nver:5-B:ver\r\n"),
            (ChangeVersion{5, "B"}));
}

}  // namespace
}  // namespace qx

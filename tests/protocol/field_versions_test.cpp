// The field-version line of a change mail: what it says of each field, that
// older readers pass over it, and that anything it would not write is read
// as no field versions at all.
#include <gtest/gtest.h>

#include "protocol/field_versions.h"
#include "protocol/sync_body.h"

namespace qx {
namespace {

const ChangeVersion kOld{1796630400000, "AAAA"};
const ChangeVersion kMid{1796630400500, "BBBB"};
const ChangeVersion kNew{1796630401000, "CCCC"};

FieldVersions versions(std::optional<ChangeVersion> rest,
                       std::vector<std::pair<std::string, ChangeVersion>> listed) {
  FieldVersions out(std::move(rest));
  for (const auto& [id, version] : listed) out.set(id, version);
  return out;
}

std::string changeBody(const std::string& trailing) {
  return buildSyncBody("notice", SyncKind::kChange, "Team", "{ID}",
                       "ver:" + formatVersion(kNew) + ":ver\n" + trailing);
}

TEST(FieldVersions, TheLineSaysOfEveryFieldWhatTheTaskSays) {
  const std::string odd = propertyFieldId(u"Kunde: \"Nr\" id:x");
  struct Case {
    const char* what;
    FieldVersions versions;
    std::string line;
  };
  const std::vector<Case> cases = {
      {"all at the mail's version", versions(kNew, {}), "fv::fv\n"},
      {"one field newer than the rest",
       versions(kOld, {{"due", kNew}}),
       "fv:1796630400000-AAAA=*;1796630401000-CCCC=due:fv\n"},
      {"groups by version",
       versions(kNew, {{"status", kMid}, {"body", kOld}, {"percent", kMid}}),
       "fv:1796630400000-AAAA=body;1796630400500-BBBB=percent,status:fv\n"},
      {"a property of any name",
       versions(kOld, {{odd, kNew}}),
       "fv:1796630400000-AAAA=*;1796630401000-CCCC=" + odd + ":fv\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string line = fieldVersionLine(c.versions, kNew);
    EXPECT_EQ(line, c.line);
    EXPECT_FALSE(containsSyncMarker(line));
    const std::string body = changeBody(line);
    // An older reader finds the same kind, share name and id.
    const SyncBodyFields fields = parseSyncBodyText(body);
    EXPECT_TRUE(fields.valid);
    EXPECT_FALSE(fields.removal);
    EXPECT_EQ(fields.syncId, "{ID}");
    EXPECT_EQ(readShareNameText(body), "Team");
    const std::optional<FieldVersions> read = readFieldVersionLine(body, kNew);
    ASSERT_TRUE(read.has_value());
    for (std::string_view id : {"subject", "due", "status", "percent", "body"})
      EXPECT_EQ(read->of(id), c.versions.of(id)) << id;
    EXPECT_EQ(read->of(odd), c.versions.of(odd));
  }
  EXPECT_EQ(fieldVersionLine(FieldVersions(), kNew), "");
}

TEST(FieldVersions, AnythingItWouldNotWriteIsNoFieldVersions) {
  const std::string v = formatVersion(kOld);
  for (const std::string& bad : std::vector<std::string>{
           v, v + "=", v + "=due,", v + "=,due", v + "=Due", v + "=due;" + v + "=due",
        v + "=*;" + v + "=*", v + "=*,due", "x=due", "=due", v + "=due;;" + v + "=body",
        v + "=p.", v + "=p.a%41", v + "=p.a%00e", v + "=p.a%0", v + "=p.a b",
        formatVersion(ChangeVersion{kNew.utcMs + 1, "A"}) + "=due"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(parseFieldVersions(bad, kNew), std::nullopt);
    EXPECT_EQ(readFieldVersionLine(changeBody("fv:" + bad + ":fv\n"), kNew), std::nullopt);
  }
  // No line, or a line that never ends: a whole-state change.
  EXPECT_EQ(readFieldVersionLine(changeBody(""), kNew), std::nullopt);
  EXPECT_EQ(readFieldVersionLine(changeBody("fv:" + v + "=due\n"), kNew), std::nullopt);
  // A share name holding the marker text is not the line.
  EXPECT_EQ(readFieldVersionLine(
                buildSyncBody("", SyncKind::kChange, "fv:" + v + "=due:fv", "{ID}"), kNew),
            std::nullopt);
  // CR LF line ends change nothing.
  EXPECT_EQ(readFieldVersionLine("is:TRUE:is\r\nlf:T:lf\r\nid:{ID}:id\r\nfv:" + v + "=due:fv\r\n",
                                 kNew),
            versions(kNew, {{"due", kOld}}));
}

TEST(FieldVersions, CompactKeepsWhatItSaysOfTheGivenFields) {
  FieldVersions mixed = versions(kOld, {{"due", kNew}, {"status", kNew}, {"gone", kMid}});
  mixed.compact({"subject", "due", "status"});
  EXPECT_EQ(mixed, versions(kNew, {{"subject", kOld}}));
  // A tie goes to the newer version, which the line need not write.
  FieldVersions even = versions(kOld, {{"due", kNew}});
  even.compact({"subject", "due"});
  EXPECT_EQ(even.rest(), kNew);
  EXPECT_EQ(even.of("subject"), kOld);
  EXPECT_EQ(even.newest(), kNew);
}

}  // namespace
}  // namespace qx

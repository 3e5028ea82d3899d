// The field-version line of a change mail: what it says of each field, that
// older readers pass over it, that the add-in's own record reads back only
// what it wrote, and that an odd line says nothing of what it says oddly.
#include "protocol/field_versions.h"

#include <gtest/gtest.h>

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
      {"one field newer than the rest", versions(kOld, {{"due", kNew}}),
       "fv:1796630400000-AAAA=*;1796630401000-CCCC=due:fv\n"},
      {"groups by version", versions(kNew, {{"status", kMid}, {"body", kOld}, {"percent", kMid}}),
       "fv:1796630400000-AAAA=body;1796630400500-BBBB=percent,status:fv\n"},
      {"a property of any name", versions(kOld, {{odd, kNew}}),
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
    const std::optional<FieldVersionLine> read = readFieldVersionLine(body, kNew);
    ASSERT_TRUE(read.has_value());
    for (std::string_view id : {"subject", "due", "status", "percent", "body"})
      EXPECT_EQ(read->versions.of(id), c.versions.of(id)) << id;
    EXPECT_EQ(read->versions.of(odd), c.versions.of(odd));
  }
  EXPECT_EQ(fieldVersionLine(FieldVersions(), kNew), "");
}

TEST(FieldVersions, TheRecordReadsBackOnlyWhatItWrote) {
  const std::string v = formatVersion(kOld);
  for (const std::string& bad : std::vector<std::string>{
           v, v + "=", v + "=due,", v + "=,due", v + "=Due", v + "=due;" + v + "=due",
           v + "=*;" + v + "=*", v + "=*,due", "x=due", "=due", v + "=due;;" + v + "=body",
           v + "=p.", v + "=p.a%41", v + "=p.a%00e", v + "=p.a%0", v + "=p.a b",
           formatVersion(ChangeVersion{kNew.utcMs + 1, "A"}) + "=due"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(parseFieldVersions(bad, kNew), std::nullopt);
  }
}

// A later add-in may merge a field this one does not know, and a broken one
// may write a group oddly: what can be read is read, the rest says nothing,
// and no field goes back to the mail's version because a neighbour was odd.
TEST(FieldVersions, AnOddLineSaysWhatItCanRead) {
  const std::string v = formatVersion(kOld);
  const std::string m = formatVersion(kMid);
  struct Case {
    std::string line;
    FieldVersions meaning;
    std::vector<FieldId> named;
  };
  const std::vector<Case> cases = {
      {v + "=*;" + m + "=due,colour", versions(kOld, {{"due", kMid}}), {"due"}},
      {v + "=*;" + m + "=due;" + v + "=due", versions(kOld, {}), {"due"}},
      {v + "=*;" + m + "=*", versions(kOld, {}), {}},
      {v + "=*;x=due;" + m + "=body", versions(kOld, {{"body", kMid}}), {"body"}},
      {v + "=*;" + formatVersion(ChangeVersion{kNew.utcMs + 1, "A"}) + "=due",
       versions(kOld, {}),
       {}},
      {v + "=due,,p.a b,Due;;garbage", versions(kNew, {{"due", kOld}}), {"due"}},
      {"", versions(kNew, {}), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const std::optional<FieldVersionLine> read =
        readFieldVersionLine(changeBody("fv:" + c.line + ":fv\n"), kNew);
    ASSERT_TRUE(read.has_value());
    for (std::string_view id : {"subject", "due", "body", "status"})
      EXPECT_EQ(read->versions.of(id), c.meaning.of(id)) << id;
    EXPECT_EQ(std::vector<FieldId>(read->named.begin(), read->named.end()), c.named);
  }
  // No line, or a line that never ends: every field at the mail's version.
  EXPECT_EQ(readFieldVersionLine(changeBody(""), kNew), std::nullopt);
  EXPECT_EQ(readFieldVersionLine(changeBody("fv:" + v + "=due\n"), kNew), std::nullopt);
  // A share name holding the marker text is not the line.
  EXPECT_EQ(readFieldVersionLine(
                buildSyncBody("", SyncKind::kChange, "fv:" + v + "=due:fv", "{ID}"), kNew),
            std::nullopt);
  // CR LF line ends change nothing.
  const std::optional<FieldVersionLine> crlf =
      readFieldVersionLine("is:TRUE:is\r\nlf:T:lf\r\nid:{ID}:id\r\nfv:" + v + "=due:fv\r\n", kNew);
  ASSERT_TRUE(crlf.has_value());
  EXPECT_EQ(crlf->versions, versions(kNew, {{"due", kOld}}));
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

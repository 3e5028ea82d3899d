// Which received mails a versioned copy takes: only what is newer than itself
// (or than the task's recorded removal); mails without a version, as peers
// that know none send them, in arrival order.
#include "incoming/incoming_fixture.h"
#include "protocol/change_version.h"

namespace qx::test {
namespace {

constexpr std::u16string_view kEarly = u"1796630400000-AAAA";
constexpr std::u16string_view kLate = u"1796630500000-AAAA";
constexpr std::u16string_view kLateOtherUser = u"1796630500000-BBBB";

mail::ItemData versioned(std::u16string subject, std::u16string_view version) {
  mail::ItemData task = sentTask(std::move(subject), kIdA);
  if (!version.empty())
    task.userProperties.push_back({u"quendrilaxversion", 1, Variant(std::u16string(version))});
  return task;
}

mail::ItemData removalMail(std::u16string_view version) {
  mail::ItemData data = syncMail(SyncKind::kRemoval, "Team", kIdA);
  if (!version.empty()) {
    const std::optional<ChangeVersion> parsed =
        parseVersion(std::string(version.begin(), version.end()));
    EXPECT_TRUE(parsed.has_value());
    data.body += widen(removalVersionLine(*parsed));
  }
  return data;
}

class VersionsTest : public IncomingTest {};

TEST_F(VersionsTest, AMailIsAppliedOnlyWhenNewerThanTheLocalCopyOrUnversioned) {
  struct Case {
    const char* what;
    std::u16string_view local;
    bool removal;
    std::u16string_view received;
    bool applied;
  };
  const Case cases[] = {
      {"newer change", kEarly, false, kLate, true},
      {"older change", kLate, false, kEarly, false},
      {"equal change", kLate, false, kLate, false},
      {"same time, tie-breaker higher", kLate, false, kLateOtherUser, true},
      {"same time, tie-breaker lower", kLateOtherUser, false, kLate, false},
      {"unversioned change", kLate, false, u"", true},
      {"change onto an unversioned copy", u"", false, kEarly, true},
      {"newer removal", kEarly, true, kLate, true},
      {"older removal", kLate, true, kEarly, false},
      {"unversioned removal", kLate, true, u"", true},
  };
  share(team, "Team");
  connect();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::u16string local = mail().addItem(team, versioned(u"Local", c.local));
    deliver({c.removal ? removalMail(c.received) : changeMail(versioned(u"Received", c.received))});
    scan();
    EXPECT_TRUE(in(inbox()).empty());
    const std::vector<std::u16string> now = subjects(team);
    if (c.removal) {
      EXPECT_EQ(now.empty(), c.applied);
    } else {
      ASSERT_EQ(now.size(), 1u);
      EXPECT_EQ(now[0], c.applied ? u"Received" : u"Local");
    }
    for (const auto& item : in(team)) mail().hardDelete(item.entryId);
    (void)local;
  }
}

// A removal is recorded with its version, in the data directory: a change
// older than it adds nothing, also after a restart; a newer one does.
TEST_F(VersionsTest, ARecordedRemovalKeepsOlderChangesOutAcrossARestart) {
  share(team, "Team");
  connect();
  deliver({removalMail(kLate)});
  scan();
  connection->onDisconnection(1);
  connect();
  deliver({changeMail(versioned(u"Late", kEarly))});
  scan();
  EXPECT_TRUE(subjects(team).empty());
  EXPECT_TRUE(logged("versions: change older than its removal, dropped"));
  deliver({changeMail(versioned(u"Revived", kLateOtherUser))});
  scan();
  EXPECT_EQ(subjects(team), std::vector<std::u16string>{u"Revived"});
}

}  // namespace
}  // namespace qx::test

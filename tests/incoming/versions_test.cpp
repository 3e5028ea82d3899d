// Which received mails a versioned copy takes: only what is newer than itself
// (or than the task's recorded removal in that share), judged by the version
// line of the body alone; a mail without one, as peers that know none send
// it, at the time it was sent.
#include "core/task_record.h"
#include "incoming/incoming_fixture.h"
#include "protocol/change_version.h"

namespace qx::test {
namespace {

constexpr std::string_view kEarly = "1796630400000-AAAA";
constexpr std::string_view kLate = "1796630500000-AAAA";
constexpr std::string_view kLateOtherUser = "1796630500000-BBBB";

std::u16string wide(std::string_view text) { return std::u16string(text.begin(), text.end()); }

// The task as this user's add-in keeps it: its version on the task.
mail::ItemData local(std::u16string subject, std::string_view version) {
  mail::ItemData task = sentTask(std::move(subject), kIdA);
  if (!version.empty())
    task.userProperties.push_back({u"quendrilaxversion", 1, Variant(wide(version))});
  return task;
}

// A mail with `version` in its body; the task inside carries `inside` as the
// sender's copy held it.
mail::ItemData versionedMail(mail::ItemData task, std::string_view version,
                             std::string_view inside = {}, std::string_view share = "Team") {
  if (!inside.empty())
    task.userProperties.push_back({u"quendrilaxversion", 1, Variant(wide(inside))});
  mail::ItemData data = changeMail(task, share);
  if (!version.empty()) data.body += wide("ver:" + std::string(version) + ":ver\n");
  return data;
}

mail::ItemData removalMail(std::string_view version, std::string_view share = "Team") {
  mail::ItemData data = syncMail(SyncKind::kRemoval, share, kIdA);
  if (!version.empty()) data.body += wide("ver:" + std::string(version) + ":ver\n");
  return data;
}

class VersionsTest : public IncomingTest {
 protected:
  // A local copy whose arrival is no edit of the user's.
  void hold(const std::u16string& folder, mail::ItemData task) {
    engine().dontTouchList().add(mail().addItem(folder, std::move(task)));
  }
  std::optional<std::u16string> propertyOf(const std::u16string& folder, std::u16string_view name) {
    for (const auto& item : in(folder))
      if (const mail::UserProp* p = item.data.findUserProperty(name); p && p->value.text())
        return *p->value.text();
    return std::nullopt;
  }
  void clear(const std::u16string& folder) {
    for (const auto& item : in(folder)) mail().hardDelete(item.entryId);
  }
};

TEST_F(VersionsTest, AMailIsAppliedOnlyWhenNewerThanTheLocalCopyOrUnversioned) {
  struct Case {
    const char* what;
    std::string_view local;
    bool removal;
    std::string_view received;
    bool applied;
    std::string_view inside = {};  // the sender's copy's property, never read
  };
  const Case cases[] = {
      {"newer change", kEarly, false, kLate, true},
      {"older change", kLate, false, kEarly, false},
      {"equal change, same content", kLate, false, kLate, false},
      {"same time, tie-breaker higher", kLate, false, kLateOtherUser, true},
      {"same time, tie-breaker lower", kLateOtherUser, false, kLate, false},
      // A mail without a version line has the time it was sent (here, as it
      // never travelled, the time it is read), which is older than kLate.
      {"unversioned change", kLate, false, "", false},
      {"unversioned change with a newer version inside", kLate, false, "", false, kLateOtherUser},
      {"older change with a newer version inside", kLate, false, kEarly, false, kLateOtherUser},
      {"change onto an unversioned copy", "", false, kEarly, true},
      {"newer removal", kEarly, true, kLate, true},
      {"removal of exactly the copy's version", kLate, true, kLate, true},
      {"older removal", kLate, true, kEarly, false},
      {"unversioned removal", kLate, true, "", false},
  };
  share(team, "Team");
  connect();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    hold(team, local(u"Local", c.local));
    // Equal versions and equal content: the same state, nothing to apply.
    const bool same = c.local == c.received;
    deliver({c.removal ? removalMail(c.received)
                       : versionedMail(sentTask(same ? u"Local" : u"Received", kIdA,
                                                same ? u"" : u"new"),
                                       c.received, c.inside)});
    scan();
    EXPECT_TRUE(in(inbox()).empty());
    ASSERT_EQ(in(team).size(), c.removal && c.applied ? 0u : 1u);
    if (!c.removal) {
      EXPECT_EQ(in(team)[0].data.body, c.applied ? u"new" : u"");
      // The task keeps the version of the body, or none.
      const std::string_view kept = c.applied ? c.received : c.local;
      EXPECT_EQ(propertyOf(team, u"quendrilaxversion"),
                kept.empty() ? std::nullopt : std::optional<std::u16string>(wide(kept)));
    }
    clear(team);
  }
}

// The user's save that the burst window still holds back is the copy's
// newest version when it changed the task: a change made before it is
// dropped, one made after it applies.
TEST_F(VersionsTest, AHeldBackSaveCountsAgainstAnArrivingChange) {
  share(team, "Team");
  connect();
  const std::u16string id = mail().addItem(team, local(u"Mine", kEarly));
  engine().dontTouchList().add(id);
  host->thread().pump();
  clock.advance(5000);
  ASSERT_TRUE(mail().changeItem(id, [](mail::ItemData& d) { d.body = u"first"; }));
  host->thread().pump();
  clock.advance(1000);
  ASSERT_TRUE(mail().changeItem(id, [](mail::ItemData& d) { d.body = u"held"; }));
  host->thread().pump();
  ASSERT_EQ(engine().pendingChanges().waiting.size(), 1u);
  const std::int64_t held = engine().nowMs();
  const std::string tag = "FFFF";
  deliver({versionedMail(sentTask(u"Theirs", kIdA, u"theirs"),
                         std::to_string(held - 500) + "-" + tag)});
  scan();
  EXPECT_EQ(in(team).at(0).data.body, u"held");
  deliver({versionedMail(sentTask(u"Theirs", kIdA, u"theirs"),
                         std::to_string(held + 500) + "-" + tag)});
  scan();
  EXPECT_EQ(in(team).at(0).data.body, u"theirs");
  EXPECT_TRUE(engine().pendingChanges().waiting.empty());
}

// A removal is recorded with its version and share name, in the data
// directory: a change older than it, or of exactly its version, adds nothing,
// also after a restart; a newer one does, and so does one of another share.
TEST_F(VersionsTest, ARecordedRemovalKeepsOlderChangesOutAcrossARestart) {
  const std::u16string side = mail().createFolder(u"Side", u"IPM.Task", tasks());
  share(team, "Team");
  share(side, "Side");
  connect();
  deliver({removalMail(kLate)});
  scan();
  connection->onDisconnection(1);
  connect();
  deliver({versionedMail(sentTask(u"Late", kIdA), kEarly),
           versionedMail(sentTask(u"Same", kIdA), kLate)});
  scan();
  EXPECT_TRUE(subjects(team).empty());
  EXPECT_TRUE(logged("versions: change older than its removal, dropped"));
  deliver({versionedMail(sentTask(u"Other share", kIdA), kEarly, {}, "Side")});
  scan();
  EXPECT_EQ(subjects(side), std::vector<std::u16string>{u"Other share"});
  deliver({versionedMail(sentTask(u"Revived", kIdA), kLateOtherUser)});
  scan();
  EXPECT_EQ(subjects(team), std::vector<std::u16string>{u"Revived"});
}

// Two users with one tie-breaker (a copied profile) who changed the task in
// the same millisecond: each end keeps the state with the greater content
// fingerprint, so both keep the same one.
TEST_F(VersionsTest, AFullTieIsSettledByTheContentTheSameWayAtBothEnds) {
  share(team, "Team");
  connect();
  std::vector<std::u16string> kept;
  for (const auto& [mine, theirs] : {std::pair{u"Mine", u"Theirs"}, std::pair{u"Theirs", u"Mine"}}) {
    hold(team, local(mine, kLate));
    deliver({versionedMail(sentTask(theirs, kIdA), kLate)});
    scan();
    kept.push_back(subjects(team).at(0));
    clear(team);
  }
  EXPECT_EQ(kept[0], kept[1]);
}

}  // namespace
}  // namespace qx::test

// Saves the burst window held back, and what the add-in remembers of its own
// writes: when a held-back save goes out and with which version, and for how
// long an event of the add-in's own content is known as such.
#include "core/task_fingerprint.h"
#include "outgoing_fixture.h"
#include "protocol/change_version.h"

namespace qx::test {
namespace {

class HeldBack : public OutgoingTest {
 protected:
  void SetUp() override {
    OutgoingTest::SetUp();
    share(team, "team", {"bob@example.org"});
    connect();
  }
  void setSubject(const std::u16string& id, std::u16string subject) {
    edit(id, [&](sim::mail::ItemData& d) { d.subject = std::move(subject); });
  }
  static std::optional<ChangeVersion> versionOf(const sim::MailItemInfo& mail) {
    return readVersionLine(narrow(mail.data.body));
  }
  void tick() { module->onTimerTick(); pump(); }
};

// Saves 1 and 2 seconds after a sent one are held back; a tick while the
// window is open sends nothing, the first tick after it sends the task with
// the time of the last held-back save, and nothing is left waiting.
TEST_F(HeldBack, AHeldBackSaveGoesOutAfterTheWindowWithTheTimeItWasMade) {
  const std::u16string id = addTask(team, u"Plan");
  transport();
  wait(5000);
  setSubject(id, u"Plan 1");
  ASSERT_EQ(outbox().size(), 1u);
  const ChangeVersion first = *versionOf(outbox()[0]);
  transport();
  wait(1000);
  setSubject(id, u"Plan 2");
  wait(1000);
  setSubject(id, u"Plan 3");
  wait(2000);
  tick();
  EXPECT_TRUE(outbox().empty()) << "the window is still open";
  wait(5000);
  tick();
  ASSERT_EQ(outbox().size(), 1u);
  EXPECT_EQ(carried(outbox()[0].data).subject, u"Plan 3");
  EXPECT_EQ(versionOf(outbox()[0]), (ChangeVersion{first.utcMs + 2000, first.tag}));
  EXPECT_TRUE(engine().pendingChanges().waiting.empty());
}

// A send of the task after the window carries the held-back save: it is
// cleared, and no tick sends it again.
TEST_F(HeldBack, ASendThatCarriedAHeldBackSaveClearsIt) {
  const std::u16string id = addTask(team, u"Plan");
  transport();
  wait(5000);
  setSubject(id, u"Plan 1");
  wait(1000);
  setSubject(id, u"Plan 2");
  ASSERT_EQ(engine().pendingChanges().waiting.size(), 1u);
  transport();
  wait(3000);
  // Sent at once by the engine, as the sink does for an edit after the window.
  auto session = *(*alice->applicationObject()->queryApplication())->getNamespace(u"MAPI");
  auto task = *(*session->getItemFromId(id, Variant::missing()))->queryTask();
  auto folder = *session->getFolderFromId(team, Variant::missing());
  ASSERT_TRUE(engine().fillUserList(*folder->entryId()));
  ASSERT_EQ(engine().sendMessage(*task, *folder), hr::kOk);
  EXPECT_TRUE(engine().pendingChanges().waiting.empty());
  transport();
  wait(60000);
  tick();
  EXPECT_TRUE(outbox().empty());
}

// What the add-in wrote is known as its own for a full minute after the
// write, then forgotten.
TEST_F(HeldBack, AnOwnWriteIsKnownForItsFullPeriod) {
  const std::u16string id = addTask(team, u"Plan");
  auto session = *(*alice->applicationObject()->queryApplication())->getNamespace(u"MAPI");
  auto task = *(*session->getItemFromId(id, Variant::missing()))->queryTask();
  const std::optional<std::uint64_t> content = taskFingerprint(*task);
  engine().noteOwnWrite(id, content);
  wait(60000);
  ASSERT_TRUE(engine().sendPendingChanges(false));
  EXPECT_TRUE(engine().isOwnWrite(id, content));
  wait(1);
  ASSERT_TRUE(engine().sendPendingChanges(false));
  EXPECT_FALSE(engine().isOwnWrite(id, content));
}

// A tie-breaker in the registry that no version can carry is replaced by a
// new one, which the change then carries.
TEST_F(HeldBack, AStoredTieBreakerThatIsNoValidOneIsReplaced) {
  for (const char* stored : {"bad tag", "", "A-B"}) {
    SCOPED_TRACE(stored);
    alice->registry().putString(reg::kCurrentUser, "Software\\Vantrosse\\Quendrilax\\Versions",
                                "Tag", stored);
    connection.reset();
    module.reset();
    alice->stopRun();
    connect();
    addTask(team, u"Tagged");
    ASSERT_FALSE(outbox().empty());
    const std::optional<ChangeVersion> version = versionOf(outbox().back());
    ASSERT_TRUE(version.has_value());
    EXPECT_NE(version->tag, stored);
    EXPECT_TRUE(isVersionTag(version->tag));
    const auto kept = alice->registry().value(reg::kCurrentUser,
                                              "Software\\Vantrosse\\Quendrilax\\Versions", "Tag");
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(std::string(kept->data.begin(), kept->data.end()).substr(0, version->tag.size()),
              version->tag);
    transport();
  }
}

// A task copied in whose old id could not be cleared at once is never sent
// under it: its next edit clears it first.
TEST_F(HeldBack, ACopyWhoseOldIdStayedGoesOutUnderANewOneAtItsNextEdit) {
  faults().fail("mail.UserProperties.Remove", hr::kFail);
  const std::u16string id = addTask(team, u"Copy", [](sim::mail::ItemData& d) {
    d.userProperties.push_back({u"quendrilaxid", 1, Variant(u"{OLD}")});
  });
  EXPECT_TRUE(outbox().empty());
  faults().clearAll();
  wait(5000);
  setSubject(id, u"Copy changed");
  ASSERT_EQ(outbox().size(), 1u);
  EXPECT_NE(fields(outbox()[0].data).syncId, "{OLD}");
  EXPECT_EQ(fields(outbox()[0].data).syncId, narrow(property(stored(id), u"quendrilaxid")));
}

}  // namespace
}  // namespace qx::test

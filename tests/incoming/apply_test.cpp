// Received tasks added, changed and removed in the shared folder, with every
// write registered so that none of it travels back.
#include "incoming/incoming_fixture.h"

namespace qx::test {
namespace {

std::vector<std::string> entriesAmong(const std::string& log, std::vector<std::string> wanted) {
  std::vector<std::string> seen;
  std::size_t at = 0;
  while ((at = log.find(" -> ", at)) != std::string::npos) {
    at += 4;
    const std::string entry = log.substr(at, log.find('\n', at) - at);
    for (const std::string& w : wanted) {
      if (entry == w) seen.push_back(entry);
    }
  }
  return seen;
}

const std::vector<std::string> kApplySteps = {
    "add one item", "change one item", "change one item successfully",
    "moved on item to the right folder (hopefully:-))", "item is allready in the right folder"};

TEST_F(IncomingTest, ANewTaskIsMadeFilledAndMovedAndItsCopyInTheFolderRegistered) {
  share(team, "Team");
  connect();
  deliver({changeMail(sentTask(u"Plan", kIdA, u"Details"))});
  scan(false);
  const auto shared = in(team);
  ASSERT_EQ(shared.size(), 1u);
  EXPECT_EQ(shared[0].data.body, u"Details");
  EXPECT_EQ(*shared[0].data.findUserProperty(u"quendrilaxid")->value.text(), kIdA);
  EXPECT_TRUE(in(tasks()).empty());
  EXPECT_EQ(engine().dontTouchList().ids(), std::vector<std::u16string>{shared[0].entryId});
  EXPECT_EQ(entriesAmong(log("debug.log"), kApplySteps),
            (std::vector<std::string>{"add one item", "change one item successfully",
                                      "moved on item to the right folder (hopefully:-))"}));
  // The echo check: the host delivers the events of these writes, and no
  // sync mail leaves the receiver.
  host->thread().pump();
  EXPECT_TRUE(in(outbox()).empty());
  // The user's own edit of the received task is mailed as any other.
  clock.advance(5000);
  mail().changeItem(shared[0].entryId, [](mail::ItemData& task) { task.subject = u"Plan B"; });
  host->thread().pump();
  EXPECT_EQ(in(outbox()).size(), 1u);
}

TEST_F(IncomingTest, ANewTaskForTheDefaultTaskFolderStaysWhereItWasMade) {
  share(tasks(), "Team");
  connect();
  deliver({changeMail(sentTask(u"Plan", kIdA))});
  scan(false);
  const auto local = in(tasks());
  ASSERT_EQ(local.size(), 1u);
  EXPECT_EQ(engine().dontTouchList().ids(), std::vector<std::u16string>{local[0].entryId});
  EXPECT_EQ(entriesAmong(log("debug.log"), kApplySteps),
            (std::vector<std::string>{"add one item", "change one item successfully",
                                      "item is allready in the right folder"}));
  host->thread().pump();
  EXPECT_TRUE(in(outbox()).empty());
}

TEST_F(IncomingTest, AChangeUpdatesTheLocalTaskInPlace) {
  share(team, "Team");
  const std::u16string local = mail().addItem(team, sentTask(u"Old", kIdA));
  mail().addItem(team, sentTask(u"Other", kIdB));
  connect();
  deliver({changeMail(sentTask(u"New", kIdA, u"Now with details"))});
  scan(false);
  EXPECT_EQ(subjects(team), (std::vector<std::u16string>{u"New", u"Other"}));
  EXPECT_EQ(mail().item(local)->data.body, u"Now with details");
  EXPECT_EQ(engine().dontTouchList().ids(), std::vector<std::u16string>{local});
  EXPECT_TRUE(logged(" -> change one item\n"));
  host->thread().pump();
  EXPECT_TRUE(in(outbox()).empty());
}

TEST_F(IncomingTest, ARemovedTaskReachesDeletedItemsWithoutUserPropertiesAndSendsNothing) {
  share(team, "Team");
  mail().addItem(team, sentTask(u"Done", kIdA));
  connect();
  deliver({syncMail(SyncKind::kRemoval, "Team", kIdA),
           syncMail(SyncKind::kRemoval, "Team", kIdB)});  // unknown here: nothing
  scan();
  EXPECT_TRUE(in(team).empty());
  const auto binned = in(deleted());
  ASSERT_EQ(binned.size(), 1u);
  EXPECT_TRUE(binned[0].data.userProperties.empty());
  EXPECT_TRUE(engine().dontTouchList().ids().empty());
  EXPECT_TRUE(in(outbox()).empty());
  EXPECT_TRUE(in(inbox()).empty());
}

// The move into the shared folder fails and so does the move into Deleted
// Items: the task that reaches Deleted Items after all must not carry the
// received id and share name there, or every peer would delete the task.
TEST_F(IncomingTest, ANewTaskThatCannotBeMovedAnywhereAnnouncesNoRemoval) {
  share(team, "Team");
  connect();
  faults().fail("mail.TaskItem.Move", hr::kFail, 0);
  deliver({changeMail(sentTask(u"Stuck", kIdA))});
  scan();
  faults().clear("mail.TaskItem.Move");
  EXPECT_EQ(in(inbox()).size(), 1u);
  EXPECT_TRUE(in(team).empty());
  EXPECT_TRUE(in(tasks()).empty());
  const auto binned = in(deleted());
  ASSERT_EQ(binned.size(), 1u);
  EXPECT_TRUE(binned[0].data.userProperties.empty());
  EXPECT_TRUE(in(outbox()).empty());
}

// Added, it would be added anew by every later mail about it.
TEST_F(IncomingTest, ATaskWithoutSyncIdIsRefused) {
  share(team, "Team");
  connect();
  deliver({changeMail(sentTask(u"Anonymous", u""))});
  scan();
  EXPECT_TRUE(subjects(team).empty());
  EXPECT_TRUE(in(inbox()).empty());
}

}  // namespace
}  // namespace qx::test

// The listing: the question, the queue file it writes, the progress window it
// feeds and when it marks a folder as processed.
#include "basic_sync_fixture.h"

namespace qx::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class Listing : public BasicSyncTest {};

TEST_F(Listing, ThreeTasksAndOneOtherItemGiveThreeLinesAndARangeOfFour) {
  const auto a = shareFolder(u"Tasks", {"bob@office.test"});
  const auto t1 = addTask(a, u"T1");
  const auto t2 = addTask(a, u"T2");
  const auto t3 = addTask(a, u"T3");
  mail().addItem(a, sim::mail::ItemData::newMail());
  connect();

  // Text mode: each entry ends in CR LF on disk.
  EXPECT_EQ(queueText(a), ansi(t1) + "\r\n" + ansi(t2) + "\r\n" + ansi(t3) + "\r\n");
  EXPECT_TRUE(processed(a));
  ASSERT_EQ(recorder->listings.size(), 1u);
  const ProgressRecord& listing = recorder->listings[0];
  EXPECT_EQ(listing.caption, u"Grundabgleich");
  EXPECT_EQ(listing.rangeHigh, 4);
  EXPECT_EQ(listing.lastPosition, 4);
  // The last item is no task: the text never reaches 100%.
  EXPECT_THAT(listing.texts, ElementsAre(u"Tasks", u"Tasks 25%", u"Tasks 50%", u"Tasks 75%"));
  EXPECT_THAT(entriesAfter("add id to list: "), ElementsAre(ansi(t1), ansi(t2), ansi(t3)));
  EXPECT_THAT(entriesAfter("process folder:"), ElementsAre("Tasks"));
}

TEST_F(Listing, ADeclinedFolderIsMarkedWithoutAQueueAndAnOldQueueStays) {
  const auto a = shareFolder(u"A", {"bob@office.test"});
  const auto b = shareFolder(u"B", {"bob@office.test"});
  addTask(a, u"A1");
  addTask(b, u"B1");
  writeQueue(a, "00AB\r\n");
  host.queueAnswer(win::kIdNo, 0);
  host.queueAnswer(win::kIdYes, 0);
  connect();

  EXPECT_TRUE(processed(a));
  EXPECT_TRUE(processed(b));
  EXPECT_EQ(queueText(a), "00AB\r\n");
  EXPECT_EQ(queueEntries(b).size(), 1u);
  EXPECT_THAT(entriesAfter("user don't wont a basicsync"), ::testing::SizeIs(1));
  EXPECT_EQ(recorder->listings.size(), 1u);
}

TEST_F(Listing, AForcedRunRewritesEveryQueueWithoutAQuestion) {
  const auto a = shareFolder(u"A", {"bob@office.test"});
  const auto b = shareFolder(u"B", {"bob@office.test"});
  addTask(a, u"A1");
  addTask(a, u"A2");
  addTask(b, u"B1");
  connect();
  ASSERT_FALSE(engine()->nextBackgroundItems());
  ASSERT_EQ(queueEntries(a).size(), 1u);
  const std::size_t boxes = host.shownBoxes().size();

  engine()->processFolders(true);
  EXPECT_EQ(host.shownBoxes().size(), boxes);
  EXPECT_EQ(queueEntries(a).size(), 2u);
  EXPECT_EQ(queueEntries(b).size(), 1u);
  EXPECT_FALSE(engine()->basicSyncDone());
  EXPECT_EQ(recorder->listings.size(), 4u);
}

TEST_F(Listing, AFolderWithoutRecipientsKeepsAnEmptyQueueAndIsAskedAgain) {
  const auto a = shareFolder(u"A", {});
  addTask(a, u"A1");
  connect();
  EXPECT_EQ(queueText(a), "");
  EXPECT_FALSE(processed(a));
  EXPECT_THAT(recorder->listings, IsEmpty());
  disconnect();
  connect();
  EXPECT_EQ(host.shownBoxes().size(), 2u);
}

TEST_F(Listing, AQueueThatCannotBeCreatedLeavesTheFolderToBeOfferedAgain) {
  const auto a = shareFolder(u"A", {"bob@office.test"});
  const auto b = shareFolder(u"B", {"bob@office.test"});
  addTask(a, u"A1");
  addTask(b, u"B1");
  host.faults().fail("files.writeFile", win::kAccessDenied);
  connect();

  EXPECT_FALSE(processed(a));
  EXPECT_FALSE(queueText(a));
  EXPECT_THAT(errorLines(), ElementsAre("processXXXItem"));
  EXPECT_TRUE(processed(b));
  EXPECT_EQ(queueEntries(b).size(), 1u);
}

TEST_F(Listing, WithoutAProgressWindowTheWholeFolderIsListed) {
  const auto a = shareFolder(u"A", {"bob@office.test"});
  for (int i = 0; i < 5; ++i) addTask(a, u"T" + std::u16string(1, u'0' + i));
  host.faults().fail("windows.createDialog", 1400);
  connect();
  EXPECT_EQ(queueEntries(a).size(), 5u);
  EXPECT_TRUE(processed(a));
  EXPECT_THAT(recorder->listings, IsEmpty());
}

TEST_F(Listing, AWindowThatCannotBeRepaintedNoLongerEndsTheListing) {
  const auto a = shareFolder(u"A", {"bob@office.test"});
  for (int i = 0; i < 5; ++i) addTask(a, u"T" + std::u16string(1, u'0' + i));
  host.faults().fail("windows.updateWindow", 0, 2);
  connect();
  EXPECT_EQ(queueEntries(a).size(), 5u);
  EXPECT_TRUE(processed(a));
  ASSERT_EQ(recorder->listings.size(), 1u);
  // The window went at the second item; nothing was given to it after that.
  EXPECT_EQ(recorder->listings[0].lastPosition, 2);
  EXPECT_THAT(recorder->listings[0].texts, ElementsAre(u"A", u"A 20%"));
}

TEST_F(Listing, ItemsThatCannotBeReadAreReportedAndTheListingGoesOn) {
  const auto a = shareFolder(u"A", {"bob@office.test"});
  addTask(a, u"T1");
  const auto t2 = addTask(a, u"T2");
  host.faults().fail("mail.Items.Item", hr::kFail);
  connect();
  EXPECT_THAT(queueEntries(a), ElementsAre(ansi(t2)));
  EXPECT_THAT(errorLines(), ElementsAre("NO Item"));
  EXPECT_TRUE(processed(a));
}

TEST_F(Listing, AFolderWhoseItemsCannotBeReadIsReported) {
  const auto a = shareFolder(u"A", {"bob@office.test"});
  addTask(a, u"T1");
  host.faults().fail("mail.Folder.Items", hr::kFail, 0);
  connect();
  EXPECT_THAT(errorLines(), ElementsAre("get_Items()=NULL"));
  EXPECT_FALSE(processed(a));
  EXPECT_FALSE(queueText(a));
}

TEST_F(Listing, TasksRemovedWhileTheQuestionIsOpenAreNotLookedFor) {
  const auto a = shareFolder(u"A", {"bob@office.test"});
  const auto t1 = addTask(a, u"T1");
  const auto t2 = addTask(a, u"T2");
  host.onMessageBox([&](const sim::ShownBox&) { ASSERT_TRUE(mail().hardDelete(t2)); });
  connect();
  EXPECT_THAT(queueEntries(a), ElementsAre(ansi(t1)));
  EXPECT_THAT(errorLines(), IsEmpty());
  EXPECT_EQ(recorder->listings.at(0).rangeHigh, 1);
}

TEST_F(Listing, AQueueThatCannotBeWrittenAtTheEndLeavesTheFolderToBeOfferedAgain) {
  connect();
  const auto a = shareFolder(u"A", {"bob@office.test"});
  addTask(a, u"A1");
  engine()->reloadFolders();
  // The empty queue is made, the full one is not.
  host.faults().fail("files.writeFile", win::kAccessDenied, 2);
  engine()->processFolders(true);
  EXPECT_FALSE(processed(a));
  EXPECT_THAT(errorLines(), ElementsAre("processXXXItem"));
}

// A side file that cannot be removed would stand in for the new queue.
TEST_F(Listing, ALockedSideFileOfAnOldQueueFailsTheListing) {
  connect();
  const auto a = shareFolder(u"A", {"bob@office.test"});
  addTask(a, u"A1");
  engine()->reloadFolders();
  putFile(queuePath(a) + ".new", "00AB\r\n");
  host.faults().fail("files.deleteFile", win::kSharingViolation);
  engine()->processFolders(true);
  EXPECT_FALSE(processed(a));
  EXPECT_THAT(errorLines(), ElementsAre("processXXXItem"));
}

TEST_F(Listing, ADisconnectionWhileTheQuestionIsOpenEndsTheListings) {
  const auto a = shareFolder(u"A", {"bob@office.test"});
  const auto b = shareFolder(u"B", {"bob@office.test"});
  addTask(a, u"A1");
  addTask(b, u"B1");
  host.onMessageBox([&](const sim::ShownBox&) { connection->onDisconnection(0); });
  connect();
  EXPECT_EQ(host.shownBoxes().size(), 1u);
  EXPECT_FALSE(queueText(a));
  EXPECT_FALSE(processed(a));
  EXPECT_FALSE(processed(b));
}

}  // namespace
}  // namespace qx::test

// One catch-up step at a time: which task goes, what is dropped and when the
// basic synchronization reports that it is done.
#include <algorithm>
#include <set>

#include "basic_sync_fixture.h"

namespace qx::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class QueueSteps : public BasicSyncTest {};

bool isStepEntry(const std::string& entry) {
  static const std::set<std::string, std::less<>> kTexts{"Basicsync",
                                                         "Basicsync ready or error",
                                                         "Item processed",
                                                         "Item not processed",
                                                         "regen syncfile",
                                                         "reached the end of synclist",
                                                         "last folder of synclist"};
  return kTexts.contains(entry) || entry.starts_with("processing:") || entry.ends_with('\n') ||
         (!entry.empty() && entry.find_first_not_of("0123456789") == std::string::npos);
}

TEST_F(QueueSteps, TwoFoldersSendInOrderAndOnlyTheLastFolderReportsDone) {
  const auto a = shareFolder(u"A", {"bob@office.test"});
  const auto b = shareFolder(u"B", {"bob@office.test"});
  addTask(a, u"A1");
  addTask(a, u"A2");
  addTask(b, u"B1");
  connect();
  ASSERT_EQ(queueEntries(a).size(), 2u);
  ASSERT_EQ(queueEntries(b).size(), 1u);

  // A2 empties A's queue, but A is not the last folder.
  EXPECT_FALSE(engine()->nextBackgroundItems());
  EXPECT_FALSE(engine()->nextBackgroundItems());
  EXPECT_FALSE(queueText(a));
  EXPECT_TRUE(engine()->nextBackgroundItems());
  EXPECT_FALSE(queueText(b));
  EXPECT_THAT(entriesAfter("processing:"), ElementsAre("A1", "A2", "B1"));
  EXPECT_THAT(entriesAfter("Item processed"), ::testing::SizeIs(3));
  EXPECT_EQ(mailsSent(), 3u);
  // Nothing left anywhere: done again, nothing sent.
  EXPECT_TRUE(engine()->nextBackgroundItems());
  EXPECT_EQ(mailsSent(), 3u);
}

TEST_F(QueueSteps, AnEntryThatNoLongerOpensIsDroppedAndTheNextFolderSendsInTheSameCall) {
  const auto a = shareFolder(u"A", {"bob@office.test"});
  const auto b = shareFolder(u"B", {"bob@office.test"});
  const auto gone = addTask(a, u"A1");
  addTask(a, u"A2");
  addTask(b, u"B1");
  connect();
  ASSERT_TRUE(mail().hardDelete(gone));

  EXPECT_TRUE(engine()->nextBackgroundItems());
  EXPECT_THAT(entriesAfter("processing:"), ElementsAre("B1"));
  EXPECT_EQ(queueEntries(a).size(), 1u);
  // Neither "Item processed" nor "Item not processed" for the lost entry.
  EXPECT_THAT(entriesAfter("Item "), ElementsAre("processed"));
  EXPECT_THAT(errorLines(), IsEmpty());
}

TEST_F(QueueSteps, HolidaysAndPrivateTasksAreDroppedUnsentWithTheTooltipUnchanged) {
  const auto a = shareFolder(u"A", {"bob@office.test"});
  addTask(a, u"Neujahr", u"Urlaub, Feiertage Bayern");
  addTask(a, u"Arzt", u"", 2);
  addTask(a, u"feiertag klein", u"feiertag");
  connect();
  engine()->showIndicator();

  EXPECT_FALSE(engine()->nextBackgroundItems());
  EXPECT_FALSE(engine()->nextBackgroundItems());
  ASSERT_NE(bar(u"Vantrosse"), nullptr);
  EXPECT_EQ(bar(u"Vantrosse")->buttons.at(0).tooltipText, u"Quendrilax");
  EXPECT_TRUE(engine()->nextBackgroundItems());
  EXPECT_THAT(entriesAfter("Item "), ElementsAre("not processed", "not processed", "processed"));
  // Only the lower-case category goes: the match is case-sensitive.
  EXPECT_THAT(entriesAfter("processing:"), ElementsAre("feiertag klein"));
  EXPECT_EQ(mailsSent(), 1u);
}

TEST_F(QueueSteps, ALineLongerThanAPieceIsReadAsTwoEntries) {
  const auto a = shareFolder(u"A", {"bob@office.test"}, true);
  const auto task = addTask(a, u"A1");
  const std::string longLine(600, '7');
  writeQueue(a, longLine + "\r\n" + ansi(task) + "\r\n");
  connect();

  // The first 511 characters open nothing and are dropped; the rest of the
  // line is the next entry.
  EXPECT_FALSE(engine()->nextBackgroundItems());
  EXPECT_THAT(queueEntries(a), ElementsAre(std::string(89, '7'), ansi(task)));
  const auto pieces = debugEntries();
  EXPECT_NE(std::find(pieces.begin(), pieces.end(), std::string(511, '7')), pieces.end());
  EXPECT_NE(std::find(pieces.begin(), pieces.end(), std::string(89, '7') + "\n"), pieces.end());
  EXPECT_FALSE(engine()->nextBackgroundItems());
  EXPECT_THAT(queueEntries(a), ElementsAre(ansi(task)));
  EXPECT_TRUE(engine()->nextBackgroundItems());
  EXPECT_THAT(entriesAfter("processing:"), ElementsAre("A1"));
}

TEST_F(QueueSteps, EveryStepWritesItsTraceInOrder) {
  const auto a = shareFolder(u"A", {"bob@office.test"}, true);
  const auto task = addTask(a, u"A1");
  writeQueue(a, ansi(task) + "\r\n\r\n");
  connect();
  const std::size_t before = debugEntries().size();

  EXPECT_FALSE(engine()->nextBackgroundItems());
  EXPECT_TRUE(engine()->nextBackgroundItems());
  std::vector<std::string> entries = debugEntries();
  entries.erase(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(before));
  // The entries of the recipient lookup and of the send itself are left out.
  std::erase_if(entries, [](const std::string& e) { return !isStepEntry(e); });
  // The queue is saved before its task goes.
  EXPECT_THAT(entries, ElementsAre("Basicsync", ansi(task) + "\n", "\n", "Basicsync ready or error",
                                   "regen syncfile", "processing:A1", "Item processed", "1",
                                   // The empty line left is an entry of its own.
                                   "Basicsync", "\n", "Basicsync ready or error", "0"));
  EXPECT_FALSE(queueText(a));
}

TEST_F(QueueSteps, AnEmptyQueueIsRemovedAndEndsTheLastFolder) {
  const auto a = shareFolder(u"A", {"bob@office.test"}, true);
  writeQueue(a, "");
  connect();
  EXPECT_TRUE(engine()->nextBackgroundItems());
  EXPECT_FALSE(queueText(a));
  EXPECT_THAT(entriesAfter("reached the end of synclist"), ::testing::SizeIs(1));
  EXPECT_THAT(entriesAfter("last folder of synclist"), ::testing::SizeIs(1));
}

TEST_F(QueueSteps, AReceiveOnlyLastFolderNoLongerKeepsTheCatchUpPhaseAlive) {
  const auto a = shareFolder(u"A", {"bob@office.test"});
  shareFolder(u"Incoming", {});
  addTask(a, u"A1");
  connect();
  EXPECT_FALSE(engine()->nextBackgroundItems());
  EXPECT_TRUE(engine()->nextBackgroundItems());
}

TEST_F(QueueSteps, AQueueThatCannotBeRewrittenKeepsItsEntries) {
  const auto a = shareFolder(u"A", {"bob@office.test"});
  const auto gone = addTask(a, u"A1");
  addTask(a, u"A2");
  addTask(a, u"A3");
  connect();
  const auto all = queueEntries(a);
  ASSERT_EQ(all.size(), 3u);
  // A1 no longer opens, so no send writes files before the queue does.
  ASSERT_TRUE(mail().hardDelete(gone));

  // The write beside the queue fails on a full disk, which leaves the side
  // file empty: it must not stand in for the queue.
  host.faults().fail("files.writeFile", win::kDiskFull);
  EXPECT_FALSE(engine()->nextBackgroundItems());
  EXPECT_EQ(queueEntries(a), all);
  EXPECT_THAT(errorLines(), ElementsAre("Fehler bei nextBackgroundItems"));
  EXPECT_FALSE(host.disk().isFile(queuePath(a) + ".new"));

  // The write beside succeeds and the replacement fails: the remaining
  // entries wait beside the queue and the next step takes them from there.
  host.faults().fail("files.writeFile", win::kWriteFault, 2);
  EXPECT_FALSE(engine()->nextBackgroundItems());
  EXPECT_EQ(queueEntries(a), all);
  EXPECT_TRUE(host.disk().isFile(queuePath(a) + ".new"));
  EXPECT_FALSE(engine()->nextBackgroundItems());
  EXPECT_THAT(queueEntries(a), ElementsAre(all[2]));
  EXPECT_FALSE(host.disk().isFile(queuePath(a) + ".new"));
  EXPECT_TRUE(engine()->nextBackgroundItems());
  EXPECT_THAT(entriesAfter("processing:"), ElementsAre("A2", "A3"));
  EXPECT_FALSE(queueText(a));
}

TEST_F(QueueSteps, AFailureInOneFolderIsReportedAndTheWalkGoesOn) {
  const auto a = shareFolder(u"A", {"bob@office.test"});
  const auto b = shareFolder(u"B", {"bob@office.test"});
  addTask(a, u"A1");
  addTask(b, u"B1");
  connect();
  host.faults().fail("mail.Folder.StoreID", hr::kFail);
  EXPECT_TRUE(engine()->nextBackgroundItems());
  EXPECT_THAT(errorLines(), ElementsAre("Fehler bei nextBackgroundItems"));
  EXPECT_THAT(entriesAfter("processing:"), ElementsAre("B1"));
  EXPECT_EQ(queueEntries(a).size(), 1u);
}

TEST_F(QueueSteps, AReceiveOnlyFolderBeforeTheLastDoesNotEndTheCatchUpPhase) {
  shareFolder(u"Incoming", {});
  const auto a = shareFolder(u"A", {"bob@office.test"});
  addTask(a, u"A1");
  addTask(a, u"A2");
  connect();
  EXPECT_FALSE(engine()->nextBackgroundItems());
  EXPECT_TRUE(engine()->nextBackgroundItems());
}

// A queue that cannot be saved after its front entry sends nothing: the same
// task would otherwise go again at every tick.
TEST_F(QueueSteps, AQueueThatCannotBeSavedSendsNothing) {
  const auto a = shareFolder(u"A", {"bob@office.test"});
  addTask(a, u"A1");
  addTask(a, u"A2");
  connect();
  const auto all = queueEntries(a);
  host.faults().fail("files.writeFile", win::kAccessDenied, 0);
  EXPECT_FALSE(engine()->nextBackgroundItems());
  EXPECT_FALSE(engine()->nextBackgroundItems());
  host.faults().clearAll();
  EXPECT_EQ(mailsSent(), 0u);
  EXPECT_EQ(queueEntries(a), all);
  EXPECT_THAT(errorLines(),
              ElementsAre("Fehler bei nextBackgroundItems", "Fehler bei nextBackgroundItems"));
  EXPECT_FALSE(engine()->nextBackgroundItems());
  EXPECT_THAT(entriesAfter("processing:"), ElementsAre("A1"));
}

TEST_F(QueueSteps, ADrainedQueueThatCannotBeDeletedIsEmptiedAndTheFolderIsDone) {
  const auto a = shareFolder(u"A", {"bob@office.test"});
  addTask(a, u"A1");
  connect();
  host.faults().fail("files.deleteFile", win::kAccessDenied);
  EXPECT_TRUE(engine()->nextBackgroundItems());
  EXPECT_EQ(mailsSent(), 1u);
  EXPECT_TRUE(engine()->nextBackgroundItems());
  EXPECT_EQ(mailsSent(), 1u);
  EXPECT_THAT(entriesAfter("processing:"), ElementsAre("A1"));
  EXPECT_THAT(errorLines(), IsEmpty());
}

TEST_F(QueueSteps, ATaskThatCannotBeOpenedForNowStaysQueued) {
  const auto a = shareFolder(u"A", {"bob@office.test"});
  addTask(a, u"A1");
  connect();
  const auto all = queueEntries(a);
  // The folder's store is offline for one tick.
  host.faults().fail("mail.Namespace.GetItemFromID", hr::kMapiBusy);
  EXPECT_FALSE(engine()->nextBackgroundItems());
  EXPECT_EQ(queueEntries(a), all);
  EXPECT_EQ(mailsSent(), 0u);
  EXPECT_TRUE(engine()->nextBackgroundItems());
  EXPECT_EQ(mailsSent(), 1u);
}

TEST_F(QueueSteps, AnUnreadableQueueOfTheLastFolderEndsTheCatchUpPhase) {
  const auto a = shareFolder(u"A", {"bob@office.test"});
  addTask(a, u"A1");
  connect();
  host.faults().fail("files.readFile", win::kSharingViolation, 0);
  EXPECT_TRUE(engine()->nextBackgroundItems());
  host.faults().clearAll();
  EXPECT_THAT(errorLines(), ElementsAre("Fehler bei nextBackgroundItems"));
  EXPECT_EQ(queueEntries(a).size(), 1u);
}

}  // namespace
}  // namespace qx::test

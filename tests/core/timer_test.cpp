#include <gtest/gtest.h>

#include "core/hidden_window.h"
#include "support/host_fixture.h"
#include "ui/folder_page_settings.h"

namespace qx::testsupport {
namespace {

class Timer : public HostTest {
 protected:
  void SetUp() override {
    team = ansi(addSharedFolder(u"Team tasks", "team"));
    // Already listed and shared with someone: the catch-up phase lasts as
    // long as its queue file holds entries.
    registry().putDword(reg::kCurrentUser, folderKey(team), "isProcessed", 1);
    registry().putKey(reg::kCurrentUser, folderKey(team) + "\\Users\\bob@office.test");
  }
  std::string queueFile() const { return dataDirectory() + team + ".ids"; }
  int scans() const { return module->counters().inboxScans; }
  std::string team;
};

TEST_F(Timer, NormalStartRunsCatchUpThenScansEverySecondSteadyTick) {
  putFile(queueFile(), "E1\r\nE2\r\nE3\r\n");
  ASSERT_EQ(connect(), hr::kOk);
  EXPECT_EQ(timerInterval(), 1000u);
  connection->onStartupComplete();
  EXPECT_EQ(timerInterval(), 10000u);

  // Catch-up: the queue is not done, ticks at three seconds and no scans.
  ASSERT_TRUE(tick());
  EXPECT_FALSE(engine()->basicSyncDone());
  EXPECT_EQ(timerInterval(), 3000u);
  ASSERT_TRUE(tick());
  EXPECT_EQ(timerInterval(), 3000u);
  EXPECT_EQ(scans(), 0);

  // The queue drained: that tick ends the catch-up phase, still at 3 s.
  disk().remove(queueFile());
  ASSERT_TRUE(tick());
  EXPECT_TRUE(engine()->basicSyncDone());
  EXPECT_EQ(timerInterval(), 3000u);
  EXPECT_EQ(scans(), 0);

  // First steady tick scans and switches to 60 s; then every second tick.
  ASSERT_TRUE(tick());
  EXPECT_EQ(scans(), 1);
  EXPECT_EQ(timerInterval(), 60000u);
  const int expected[] = {1, 2, 2, 3, 3, 4};
  for (int scansAfter : expected) {
    ASSERT_TRUE(tick());
    EXPECT_EQ(scans(), scansAfter);
    EXPECT_EQ(timerInterval(), 60000u);
  }
  EXPECT_EQ(module->counters().skippedTicks, 0);
}

TEST_F(Timer, NewMailScansAtOnceDuringCatchUp) {
  putFile(queueFile(), "E1\r\nE2\r\nE3\r\n");
  ASSERT_EQ(connectAndStart(), hr::kOk);
  ASSERT_TRUE(tick());
  EXPECT_FALSE(engine()->basicSyncDone());
  raiseNewMail();
  EXPECT_EQ(scans(), 1);
  EXPECT_EQ(timerInterval(), 3000u);
}

TEST_F(Timer, SecondCatchUpPhaseLeavesTheTimerAtThreeSeconds) {
  ASSERT_EQ(connectAndStart(), hr::kOk);
  ASSERT_TRUE(tick());  // catch-up, nothing queued: done
  ASSERT_TRUE(tick());  // first steady: scan, 60 s
  EXPECT_EQ(timerInterval(), 60000u);
  EXPECT_EQ(scans(), 1);

  // A run from the property page starts a new catch-up phase.
  runBasicSyncFromPage(*module);
  EXPECT_EQ(timerInterval(), 1000u);
  EXPECT_FALSE(engine()->basicSyncDone());
  ASSERT_TRUE(tick());
  EXPECT_TRUE(engine()->basicSyncDone());
  EXPECT_EQ(timerInterval(), 3000u);
  // The first-steady flag is spent: steady ticks stay at 3 s, and the scan
  // toggle goes on where it stood (the tick after the first scan did not scan).
  const int expected[] = {1, 2, 2, 3};
  for (int scansAfter : expected) {
    ASSERT_TRUE(tick());
    EXPECT_EQ(scans(), scansAfter);
    EXPECT_EQ(timerInterval(), 3000u);
  }
}

TEST_F(Timer, ConnectedWhileHostRunsKeepsTheOneSecondTimer) {
  ASSERT_EQ(connect(), hr::kOk);
  EXPECT_EQ(timerInterval(), 1000u);
  ASSERT_TRUE(tick());
  EXPECT_EQ(timerInterval(), 3000u);
}

TEST_F(Timer, FlagsBelongToTheModuleNotTheConnection) {
  ASSERT_EQ(connectAndStart(), hr::kOk);
  ASSERT_TRUE(tick());
  ASSERT_TRUE(tick());
  EXPECT_EQ(scans(), 1);
  connection->onDisconnection(0);
  // Connected again in the same process: the toggle stands cleared and the
  // first-steady flag spent, so the timer stays at 3 s and the first steady
  // tick does not scan.
  connection.reset();
  ASSERT_EQ(connectAndStart(), hr::kOk);
  ASSERT_TRUE(tick());
  ASSERT_TRUE(tick());
  EXPECT_EQ(scans(), 1);
  EXPECT_EQ(timerInterval(), 3000u);
  ASSERT_TRUE(tick());
  EXPECT_EQ(scans(), 2);
}

TEST_F(Timer, SeparateModulesKeepSeparateState) {
  // A second simulated user in the same process.
  ASSERT_EQ(connectAndStart(), hr::kOk);
  AddinModule other(host.platform());
  EXPECT_EQ(other.engine(), nullptr);
  EXPECT_TRUE(other.scanToggle());
  ASSERT_TRUE(tick());
  ASSERT_TRUE(tick());
  EXPECT_FALSE(module->scanToggle());
  EXPECT_FALSE(module->firstSteady());
  EXPECT_TRUE(other.scanToggle());
  EXPECT_TRUE(other.firstSteady());
}

TEST_F(Timer, TickArrivingInsideAModalLoopOfEarlierWorkIsSkipped) {
  ASSERT_EQ(connectAndStart(), hr::kOk);
  ASSERT_TRUE(tick());  // catch-up done
  // The first steady tick's scan opens a message box (the library is missing
  // and the host does not unload us this time); the box stays open for one
  // timer interval, and a new mail arrives while it is open.
  mail().setLibraryState(sim::mail::LibraryState::kClassNotRegistered);
  onDisconnectRequest = [] {};
  host.queueAnswer(win::kIdOk, 3000);
  host.onMessageBox([this](const sim::ShownBox&) { host.raiseNewMail(); });
  ASSERT_TRUE(tick());
  EXPECT_EQ(module->counters().skippedTicks, 1);
  EXPECT_EQ(scans(), 1);
  EXPECT_EQ(boxes().size(), 1u);
  // The outer tick finished its own work.
  EXPECT_EQ(timerInterval(), 60000u);
  EXPECT_FALSE(module->engineBusy());
  // Later ticks run normally again.
  host.onMessageBox([](const sim::ShownBox&) {});
  mail().setLibraryState(sim::mail::LibraryState::kInstalled);
  ASSERT_TRUE(tick());
  ASSERT_TRUE(tick());
  EXPECT_EQ(scans(), 2);
}

TEST_F(Timer, TimerCallsThatFailLeaveTheSequenceIntact) {
  ASSERT_EQ(connectAndStart(), hr::kOk);
  faults.fail("windows.setTimer", 0, 1);
  ASSERT_TRUE(tick());
  // The catch-up tick killed the timer and could not set it again: no more
  // ticks, no crash, the phase is still recorded.
  EXPECT_FALSE(timerInterval());
  EXPECT_TRUE(engine()->basicSyncDone());
  EXPECT_FALSE(tick());
  EXPECT_EQ(errorLog(), std::string(kTimerNotSet) + "\n");
}

}  // namespace
}  // namespace qx::testsupport

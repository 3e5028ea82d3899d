#include "sim/ui_thread.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qx::sim {
namespace {

TEST(VirtualClockTest, TimersOfAllThreadsFireInTimeOrder) {
  VirtualClock clock;
  UiThread alice(clock), bob(clock);
  std::vector<std::string> fired;
  alice.setTimer(1, 1, 3000, [&] { fired.push_back("a@" + std::to_string(clock.nowMs())); });
  bob.setTimer(2, 1, 2000, [&] { fired.push_back("b@" + std::to_string(clock.nowMs())); });
  clock.advance(6000);
  EXPECT_EQ(fired, (std::vector<std::string>{"b@2000", "a@3000", "b@4000", "a@6000", "b@6000"}));
  EXPECT_EQ(clock.nowMs(), 6000);
}

TEST(VirtualClockTest, SettingATimerAgainReplacesIt) {
  VirtualClock clock;
  UiThread thread(clock);
  int ticks = 0;
  thread.setTimer(7, 1, 1000, [&] { ++ticks; });
  thread.setTimer(7, 1, 10000, [&] { ticks += 100; });
  clock.advance(9999);
  EXPECT_EQ(ticks, 0);
  clock.advance(1);
  EXPECT_EQ(ticks, 100);
  EXPECT_EQ(thread.timerInterval(7, 1), 10000u);
  EXPECT_TRUE(thread.killTimer(7, 1));
  EXPECT_FALSE(thread.killTimer(7, 1));
}

TEST(VirtualClockTest, ATickMayReplaceItsOwnTimer) {
  VirtualClock clock;
  UiThread thread(clock);
  std::vector<std::int64_t> at;
  thread.setTimer(1, 1, 1000, [&] {
    at.push_back(clock.nowMs());
    thread.setTimer(1, 1, 3000, [&] { at.push_back(clock.nowMs()); });
  });
  clock.advance(7000);
  EXPECT_EQ(at, (std::vector<std::int64_t>{1000, 4000, 7000}));
}

TEST(UiThreadTest, PostedMessagesWaitForThePumpAndKeepTheirOrder) {
  VirtualClock clock;
  UiThread thread(clock);
  std::string log;
  thread.post([&] {
    log += "1";
    thread.post([&] { log += "3"; });
  });
  thread.post([&] { log += "2"; });
  EXPECT_EQ(log, "");
  thread.pump();
  EXPECT_EQ(log, "123");
}

TEST(UiThreadTest, AModalLoopDeliversTicksAndMessagesThatFallDueWhileOpen) {
  VirtualClock clock;
  UiThread thread(clock), other(clock);
  int ticks = 0, otherTicks = 0, nestedTicks = 0;
  bool messageSeen = false;
  thread.setTimer(1, 1, 3000, [&] {
    ++ticks;
    if (thread.modalDepth() > 0) ++nestedTicks;
  });
  other.setTimer(2, 1, 3000, [&] { ++otherTicks; });
  thread.post([&] { messageSeen = true; });
  thread.modalLoop(7000);
  EXPECT_TRUE(messageSeen);
  EXPECT_EQ(ticks, 2);
  EXPECT_EQ(nestedTicks, 2);
  // Another user's process does not wait for this user's box.
  EXPECT_EQ(otherTicks, 2);
  EXPECT_EQ(clock.nowMs(), 7000);
}

TEST(UiThreadTest, OfficeJobsAndOtherUsersRunOnTimeWhileABoxIsOpen) {
  VirtualClock clock;
  UiThread alice(clock), bob(clock);
  std::vector<std::string> log;
  clock.every(2000, [&] { log.push_back("job@" + std::to_string(clock.nowMs())); });
  bob.setTimer(2, 1, 3000, [&] { log.push_back("bob@" + std::to_string(clock.nowMs())); });
  alice.setTimer(1, 1, 1000, [&] {
    log.push_back("alice@" + std::to_string(clock.nowMs()));
    alice.killTimer(1, 1);
    alice.modalLoop(4000);
    log.push_back("closed@" + std::to_string(clock.nowMs()));
  });
  clock.advance(6000);
  EXPECT_EQ(log, (std::vector<std::string>{"alice@1000", "job@2000", "bob@3000", "job@4000",
                                           "closed@5000", "job@6000", "bob@6000"}));
}

TEST(UiThreadTest, ABusyThreadIsNotEnteredFromAnotherThreadsModalLoop) {
  // Alice's tick calls straight into Bob, whose modal loop stays open for a
  // while: Alice is still inside her tick, so her next ticks and her posted
  // messages wait until she returns.
  VirtualClock clock;
  UiThread alice(clock), bob(clock);
  std::vector<std::string> log;
  int aliceTicks = 0;
  alice.setTimer(1, 1, 1000, [&] {
    ++aliceTicks;
    log.push_back("alice@" + std::to_string(clock.nowMs()));
    if (aliceTicks == 1) {
      alice.post([&] { log.push_back("posted@" + std::to_string(clock.nowMs())); });
      bob.modalLoop(5000);
      log.push_back("back@" + std::to_string(clock.nowMs()));
    }
  });
  clock.advance(7000);
  // The ticks missed meanwhile come as one late tick.
  EXPECT_EQ(log, (std::vector<std::string>{"alice@1000", "back@6000", "posted@6000", "alice@6000",
                                           "alice@7000"}));
  EXPECT_FALSE(alice.busy());
}

TEST(UiThreadTest, ATickInsideItsOwnThreadsModalLoopIsDelivered) {
  VirtualClock clock;
  UiThread alice(clock);
  std::vector<int> depths;
  alice.setTimer(1, 1, 1000, [&] {
    depths.push_back(alice.modalDepth());
    if (depths.size() == 1) alice.modalLoop(2500);
  });
  clock.advance(4000);
  EXPECT_EQ(depths, (std::vector<int>{0, 1, 1, 0}));
}

TEST(VirtualClockTest, AJobIsNotStartedAgainWhileItRuns) {
  VirtualClock clock;
  UiThread alice(clock);
  int running = 0, maxRunning = 0, runs = 0;
  clock.every(1000, [&] {
    ++runs;
    maxRunning = std::max(maxRunning, ++running);
    if (runs == 1) alice.modalLoop(5000);  // e.g. a delivery raising a box
    --running;
  });
  clock.advance(8000);
  EXPECT_EQ(maxRunning, 1);
  EXPECT_GE(runs, 2);
}

TEST(UiThreadTest, DispatchRunsACallAsAMessageAndThenWhatItPosted) {
  VirtualClock clock;
  UiThread alice(clock), bob(clock);
  std::string log;
  bob.setTimer(1, 1, 1000, [&] { log += "b"; });
  alice.dispatch([&] {
    EXPECT_TRUE(alice.busy());
    alice.post([&] { log += "p"; });
    bob.modalLoop(1000);  // alice is busy: her message waits
    log += "c";
  });
  EXPECT_EQ(log, "bcp");
  EXPECT_FALSE(alice.busy());
}

}  // namespace
}  // namespace qx::sim

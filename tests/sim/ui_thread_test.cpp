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
  EXPECT_EQ(otherTicks, 0);  // another user's thread is not pumped by this loop
  EXPECT_EQ(clock.nowMs(), 7000);
}

}  // namespace
}  // namespace qx::sim

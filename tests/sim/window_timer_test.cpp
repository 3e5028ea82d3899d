#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/window_system_sim.h"
#include "sim/window_test_support.h"

namespace qx::sim {
namespace {

using testing::RecordingWindowSink;
using Tick = RecordingWindowSink::Tick;

class WindowTimerTest : public testing::WindowSystemFixture {};

TEST_F(WindowTimerTest, TicksReachTheOwnerInTimeOrder) {
  RecordingWindowSink first, second;
  const WindowHandle a = makeWindow(first);
  const WindowHandle b = makeWindow(second);
  std::vector<std::string> order;
  first.onTick = [&](WindowHandle, std::uint32_t id) {
    order.push_back("a" + std::to_string(id) + "@" + std::to_string(clock.nowMs()));
  };
  second.onTick = [&](WindowHandle, std::uint32_t id) {
    order.push_back("b" + std::to_string(id) + "@" + std::to_string(clock.nowMs()));
  };
  ASSERT_TRUE(windows.setTimer(a, 1, 3000));
  ASSERT_TRUE(windows.setTimer(b, 1, 2000));
  ASSERT_TRUE(windows.setTimer(a, 2, 2500));
  clock.advance(6000);
  EXPECT_EQ(order, (std::vector<std::string>{"b1@2000", "a2@2500", "a1@3000", "b1@4000", "a2@5000",
                                             "a1@6000", "b1@6000"}));
  EXPECT_EQ(first.ticks.front(), (Tick{a, 2}));
}

TEST_F(WindowTimerTest, SettingATimerAgainReplacesItAndKillingStopsIt) {
  RecordingWindowSink sink;
  const WindowHandle window = makeWindow(sink);
  ASSERT_TRUE(windows.setTimer(window, 1, 1000));
  clock.advance(500);
  ASSERT_TRUE(windows.setTimer(window, 1, 10000));  // counts from now
  EXPECT_EQ(windows.timerInterval(window, 1), 10000u);
  clock.advance(9999);
  EXPECT_TRUE(sink.ticks.empty());
  clock.advance(1);
  EXPECT_EQ(sink.ticks.size(), 1u);

  EXPECT_TRUE(windows.killTimer(window, 1));
  EXPECT_FALSE(windows.killTimer(window, 1));
  EXPECT_FALSE(windows.killTimer(window, 2));
  clock.advance(60000);
  EXPECT_EQ(sink.ticks.size(), 1u);
}

TEST_F(WindowTimerTest, IntervalsOutsideTheHostsLimitsAreClamped) {
  RecordingWindowSink sink;
  const WindowHandle window = makeWindow(sink);
  ASSERT_TRUE(windows.setTimer(window, 1, 0));
  EXPECT_EQ(windows.timerInterval(window, 1), kTimerMinimumMs);
  clock.advance(100);
  EXPECT_EQ(sink.ticks.size(), 10u);
  ASSERT_TRUE(windows.setTimer(window, 1, 0xFFFFFFFFu));
  EXPECT_EQ(windows.timerInterval(window, 1), kTimerMaximumMs);
}

TEST_F(WindowTimerTest, ATickMayKillOrReplaceItsOwnTimer) {
  RecordingWindowSink sink;
  const WindowHandle window = makeWindow(sink);
  std::vector<std::int64_t> at;
  sink.onTick = [&](WindowHandle w, std::uint32_t id) {
    at.push_back(clock.nowMs());
    // As the add-in's tick does: kill, then set again at a new interval.
    windows.killTimer(w, id);
    if (at.size() < 3) windows.setTimer(w, id, 3000);
  };
  windows.setTimer(window, 1, 1000);
  clock.advance(20000);
  EXPECT_EQ(at, (std::vector<std::int64_t>{1000, 4000, 7000}));
}

TEST_F(WindowTimerTest, TimersDieWithTheirWindowAndItsChildren) {
  RecordingWindowSink parentSink, childSink, otherSink;
  const WindowHandle parent = makeWindow(parentSink);
  WindowHandle child = kNoWindow;
  ASSERT_EQ(windows.createWindow(parent, qx::win::kWsChild, childSink, child), qx::win::kSuccess);
  const WindowHandle other = makeWindow(otherSink);
  windows.setTimer(parent, 1, 1000);
  windows.setTimer(child, 1, 1000);
  windows.setTimer(other, 1, 1000);
  clock.advance(1000);
  ASSERT_TRUE(windows.destroyWindow(parent));
  clock.advance(5000);
  EXPECT_EQ(parentSink.ticks.size(), 1u);
  EXPECT_EQ(childSink.ticks.size(), 1u);
  EXPECT_EQ(otherSink.ticks.size(), 6u);
  EXPECT_FALSE(windows.isWindow(parent));
  EXPECT_FALSE(windows.isWindow(child));
  EXPECT_FALSE(windows.timerInterval(child, 1).has_value());
  EXPECT_FALSE(windows.setTimer(parent, 1, 1000));
  EXPECT_FALSE(windows.updateWindow(parent));
  EXPECT_FALSE(windows.destroyWindow(parent));
  EXPECT_TRUE(windows.updateWindow(other));
}

TEST_F(WindowTimerTest, TheEndOfTheProcessTakesEveryWindowAndTimer) {
  RecordingWindowSink sink;
  const WindowHandle first = makeWindow(sink);
  const WindowHandle second = makeWindow(sink);
  windows.setTimer(first, 1, 1000);
  windows.setTimer(second, 1, 1000);
  windows.answerNextBox(qx::win::kIdNo);
  windows.destroyAll();
  clock.advance(5000);
  EXPECT_TRUE(sink.ticks.empty());
  EXPECT_EQ(windows.windowCount(), 0u);
  EXPECT_FALSE(windows.isWindow(first));
  EXPECT_TRUE(windows.isWindow(windows.desktopWindow()));
  EXPECT_EQ(windows.messageBoxes().pending(), 1u);
}

TEST_F(WindowTimerTest, AWindowDestroyedByOneTickGetsNoFurtherTick) {
  RecordingWindowSink sink;
  const WindowHandle window = makeWindow(sink);
  sink.onTick = [&](WindowHandle w, std::uint32_t) { windows.destroyWindow(w); };
  windows.setTimer(window, 1, 1000);
  windows.setTimer(window, 2, 1000);  // due at the same moment
  clock.advance(5000);
  EXPECT_EQ(sink.ticks, (std::vector<Tick>{{window, 1}}));
}

TEST_F(WindowTimerTest, NoTickOutlivesTheWindowSystem) {
  RecordingWindowSink sink;
  {
    WindowSystemSim shortLived(thread, faults);
    WindowHandle window = kNoWindow;
    ASSERT_EQ(shortLived.createWindow(kNoWindow, 0, sink, window), qx::win::kSuccess);
    shortLived.setTimer(window, 1, 1000);
  }
  clock.advance(5000);
  EXPECT_TRUE(sink.ticks.empty());
}

TEST_F(WindowTimerTest, WindowsNeedAValidParentAndKeepTheirVisibility) {
  RecordingWindowSink sink;
  WindowHandle window = 99;
  EXPECT_EQ(windows.createWindow(0x7777, 0, sink, window), kErrorInvalidWindowHandle);
  EXPECT_EQ(window, kNoWindow);
  EXPECT_EQ(windows.createWindow(kNoWindow, qx::win::kWsChild, sink, window), kErrorTopLevelChild);
  const WindowHandle desktop = windows.desktopWindow();
  EXPECT_NE(desktop, kNoWindow);
  EXPECT_TRUE(windows.isWindow(desktop));
  EXPECT_FALSE(windows.destroyWindow(desktop));

  const WindowHandle hidden = makeWindow(sink);
  EXPECT_NE(hidden, desktop);
  EXPECT_EQ(windows.parentOf(hidden), desktop);
  EXPECT_TRUE(windows.isVisible(hidden));  // WS_VISIBLE in its styles
  EXPECT_TRUE(windows.showWindow(hidden, qx::win::kSwHide));
  EXPECT_FALSE(windows.isVisible(hidden));
  EXPECT_FALSE(windows.showWindow(hidden, qx::win::kSwShow));
  EXPECT_TRUE(windows.isVisible(hidden));
  EXPECT_TRUE(windows.updateWindow(hidden));
  EXPECT_EQ(windows.repaintCount(hidden), 1);
  // Handles are not used twice.
  windows.destroyWindow(hidden);
  EXPECT_NE(makeWindow(sink), hidden);
}

TEST_F(WindowTimerTest, FaultsFailTheWindowAndTimerCalls) {
  RecordingWindowSink sink;
  faults.fail("windows.createWindow", qx::win::kNotEnoughMemory);
  WindowHandle window = 99;
  EXPECT_EQ(windows.createWindow(kNoWindow, 0, sink, window), qx::win::kNotEnoughMemory);
  EXPECT_EQ(window, kNoWindow);
  EXPECT_EQ(windows.windowCount(), 0u);
  window = makeWindow(sink);

  faults.fail("windows.setTimer", 0);
  EXPECT_FALSE(windows.setTimer(window, 1, 1000));
  EXPECT_FALSE(windows.timerInterval(window, 1).has_value());
  faults.clear("windows.setTimer");
  ASSERT_TRUE(windows.setTimer(window, 1, 1000));

  const char* calls[] = {"windows.killTimer", "windows.updateWindow", "windows.showWindow",
                         "windows.isWindow", "windows.destroyWindow"};
  for (const char* call : calls) faults.fail(call, qx::win::kAccessDenied);
  EXPECT_FALSE(windows.killTimer(window, 1));
  EXPECT_FALSE(windows.updateWindow(window));
  EXPECT_FALSE(windows.showWindow(window, qx::win::kSwHide));
  EXPECT_FALSE(windows.isWindow(window));
  EXPECT_FALSE(windows.destroyWindow(window));
  // Nothing of it happened: the window lives, visible, with its timer.
  EXPECT_TRUE(windows.isVisible(window));
  EXPECT_EQ(windows.repaintCount(window), 0);
  clock.advance(1000);
  EXPECT_EQ(sink.ticks.size(), 1u);

  faults.fail("windows.desktopWindow", hr::kFail);
  EXPECT_EQ(windows.desktopWindow(), kNoWindow);
}

}  // namespace
}  // namespace qx::sim

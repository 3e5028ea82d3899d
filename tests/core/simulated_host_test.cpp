// The spine against the full stand-in host: real timers on the virtual clock,
// message boxes whose modal loops deliver ticks and posted events, the mail
// client's connection points and the add-in record that disconnects us.
#include <gtest/gtest.h>

#include "support/host_fixture.h"

namespace qx::testsupport {
namespace {

class SimulatedHost : public HostTest {
 protected:
  void startHost() {
    ASSERT_EQ(connectAndStart(), hr::kOk);
    pump();
  }
};

TEST_F(SimulatedHost, TimerRunsThroughCatchUpIntoTheSteadyPhase) {
  startHost();
  EXPECT_EQ(timerInterval(), 10000u);
  clock.advance(9999);
  EXPECT_EQ(module->counters().ticks, 0);
  clock.advance(1);
  EXPECT_EQ(module->counters().ticks, 1);
  EXPECT_EQ(timerInterval(), 3000u);
  clock.advance(3000);
  EXPECT_EQ(module->counters().inboxScans, 1);
  EXPECT_EQ(timerInterval(), 60000u);
  clock.advance(4 * 60000);
  EXPECT_EQ(module->counters().inboxScans, 3);
  raiseNewMail();
  EXPECT_EQ(module->counters().inboxScans, 4);
}

TEST_F(SimulatedHost, DebugSwitchStartsTheLogWithTheHostVersion) {
  mail().setVersion(u"11.0.0.5510");
  locale().setLanguage(lang::kGerman);
  setDebug(1);
  startHost();
  const std::string log = debugLog();
  const std::size_t first = log.find(" -> Debugger started\n");
  const std::size_t second = log.find(" -> 11.0.0.5510\n");
  ASSERT_NE(first, std::string::npos) << log;
  ASSERT_NE(second, std::string::npos) << log;
  EXPECT_LT(first, second);
  // A German stamp: day.month.year hours:minutes:seconds.
  EXPECT_EQ(log.substr(0, 20).find_first_of('.'), 2u) << log;
}

TEST_F(SimulatedHost, TicksAndNewMailInsideAnOpenBoxAreSkipped) {
  mail().setLibraryState(sim::mail::LibraryState::kClassNotRegistered);
  startHost();
  onDisconnectRequest = [] {};
  clock.advance(10000);  // catch-up tick: done, 3 s
  ASSERT_EQ(timerInterval(), 3000u);
  // The first steady tick's scan shows the library box, which stays open for
  // ten virtual seconds; the timer at 3 s and a new mail come in meanwhile.
  host.queueAnswer(win::kIdOk, 10000);
  host.onMessageBox([this](const sim::ShownBox&) { host.raiseNewMail(); });
  clock.advance(3000);
  EXPECT_EQ(boxes().size(), 1u);
  EXPECT_EQ(module->counters().inboxScans, 1);
  EXPECT_EQ(module->counters().skippedTicks, 3);
  EXPECT_EQ(selfDisconnections, 1);
  EXPECT_EQ(timerInterval(), 60000u);
  EXPECT_FALSE(module->engineBusy());
}

TEST_F(SimulatedHost, MissingLibraryDisconnectsTheAddInFromInsideItsTick) {
  mail().setLibraryState(sim::mail::LibraryState::kClassNotRegistered);
  startHost();
  clock.advance(13000);
  EXPECT_EQ(selfDisconnections, 1);
  EXPECT_EQ(module->engine(), nullptr);
  EXPECT_FALSE(timerInterval());
  const auto shown = boxes();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].caption, u"Hessaplex is not right registered");
  EXPECT_EQ(shown[0].text, u"Quendrilax");
  EXPECT_EQ(errorLog(), "Hessaplex may be not registered\n");
  // Time goes on without the add-in.
  clock.advance(120000);
  EXPECT_EQ(module->counters().inboxScans, 1);
}

}  // namespace
}  // namespace qx::testsupport

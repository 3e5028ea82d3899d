#include <gtest/gtest.h>

#include "sim/clock_sim.h"

namespace qx::sim {
namespace {

TEST(ClockSimTest, NowCountsWholeSecondsFromTheStartInstant) {
  VirtualClock clock;
  Faults faults;
  ClockSim sim(clock, faults);
  EXPECT_EQ(sim.now(), kDefaultStartSeconds);
  clock.advance(1999);
  EXPECT_EQ(sim.now(), kDefaultStartSeconds + 1);
  clock.advance(1);
  EXPECT_EQ(sim.now(), kDefaultStartSeconds + 2);

  ClockSim later(clock, faults, 1000);
  EXPECT_EQ(later.now(), 1002);
}

TEST(ClockSimTest, LocalDateIsDaysSinceTheHostsDayZeroInLocalTime) {
  struct Case {
    std::int64_t seconds;
    int offsetMinutes;
    double expected;
  };
  const Case cases[] = {
      {kDefaultStartSeconds, 0, 46363.0 + 8.0 / 24},      // 2026-12-07 08:00
      {kDefaultStartSeconds, 60, 46363.0 + 9.0 / 24},     // Central Europe
      {kDefaultStartSeconds, -600, 46362.0 + 22.0 / 24},  // the day before
      {kDefaultStartSeconds + 16 * 3600, 0, 46364.0},     // midnight: no fraction
      {0, 0, 25569.0},                                    // 1970-01-01
      {0, -60, 25568.0 + 23.0 / 24},                      // local time before 1970
      {kDefaultStartSeconds + 59, 0, 46363.0 + (8 * 3600 + 59) / 86400.0},
  };
  VirtualClock clock;
  Faults faults;
  for (const Case& c : cases) {
    ClockSim sim(clock, faults, kDefaultStartSeconds, c.offsetMinutes);
    auto date = sim.toLocalDate(c.seconds);
    ASSERT_TRUE(date.has_value()) << c.seconds;
    EXPECT_NEAR(*date, c.expected, 1e-9) << c.seconds << " at " << c.offsetMinutes;
  }
}

TEST(ClockSimTest, TimesTheRuntimeCannotConvertFail) {
  VirtualClock clock;
  Faults faults;
  ClockSim sim(clock, faults);
  EXPECT_FALSE(sim.toLocalDate(-1).has_value());
  EXPECT_FALSE(sim.toLocalDate(32535216000).has_value());
  EXPECT_TRUE(sim.toLocalDate(32535215999).has_value());
}

TEST(ClockSimTest, FaultsFailTheScheduledCallOnly) {
  VirtualClock clock;
  Faults faults;
  ClockSim sim(clock, faults);
  faults.fail("clock.now", hr::kFail);
  faults.fail("clock.toLocalDate", hr::kUnexpected, 2);
  EXPECT_EQ(sim.now(), -1);
  EXPECT_EQ(sim.now(), kDefaultStartSeconds);
  EXPECT_TRUE(sim.toLocalDate(0).has_value());
  EXPECT_EQ(sim.toLocalDate(0).error(), hr::kUnexpected);
  EXPECT_TRUE(sim.toLocalDate(0).has_value());
}

}  // namespace
}  // namespace qx::sim

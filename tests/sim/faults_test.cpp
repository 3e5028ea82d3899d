#include "sim/faults.h"

#include <gtest/gtest.h>

namespace qx::sim {
namespace {

TEST(FaultsTest, FailsTheChosenOccurrenceOnly) {
  Faults faults;
  faults.check("op");
  faults.fail("op", -5, 2);  // the second call from now
  EXPECT_FALSE(faults.check("op").has_value());
  EXPECT_EQ(faults.check("op"), -5);
  EXPECT_FALSE(faults.check("op").has_value());
  EXPECT_EQ(faults.calls("op"), 4);
}

TEST(FaultsTest, OccurrenceZeroFailsEveryCallUntilCleared) {
  Faults faults;
  faults.fail("op", 7, 0);
  EXPECT_EQ(faults.check("op"), 7);
  EXPECT_EQ(faults.check("op"), 7);
  EXPECT_FALSE(faults.check("other").has_value());
  faults.clear("op");
  EXPECT_FALSE(faults.check("op").has_value());
}

}  // namespace
}  // namespace qx::sim

#include <gtest/gtest.h>

#include <set>

#include "sim/guid_sim.h"

namespace qx::sim {
namespace {

TEST(GuidSimTest, WritesTheBracedUpperCaseForm) {
  Faults faults;
  GuidSim guids(faults);
  const Guid guid{0x0006307E, 0x00AB, 0xC0DE, {0xC0, 0x00, 0x00, 0x00, 0x00, 0xfa, 0xce, 0x46}};
  char16_t buffer[40];
  std::fill(std::begin(buffer), std::end(buffer), u'#');
  ASSERT_EQ(guids.toString(guid, std::span(buffer, 39)), 39);
  EXPECT_EQ(std::u16string_view(buffer), u"{0006307E-00AB-C0DE-C000-000000FACE46}");
  EXPECT_EQ(buffer[39], u'#') << "wrote past the terminator";
}

TEST(GuidSimTest, ABufferWithoutRoomForTheTerminatorGetsNothing) {
  Faults faults;
  GuidSim guids(faults);
  char16_t buffer[38];
  std::fill(std::begin(buffer), std::end(buffer), u'#');
  EXPECT_EQ(guids.toString(Guid{}, buffer), 0);
  EXPECT_EQ(buffer[0], u'#');
}

TEST(GuidSimTest, SeededSeriesRepeatAndDifferBySeed) {
  Faults faults;
  GuidSim first(faults, 42);
  GuidSim again(faults, 42);
  GuidSim other(faults, 43);
  std::set<std::u16string> seen;
  for (int i = 0; i < 100; ++i) {
    Guid a, b, c;
    ASSERT_EQ(first.create(a), hr::kOk);
    again.create(b);
    other.create(c);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    // Version 4, variant 1.
    EXPECT_EQ(a.data3 >> 12, 4);
    EXPECT_EQ(a.data4[0] >> 6, 2);
    seen.insert(GuidSim::format(a));
  }
  EXPECT_EQ(seen.size(), 100u);
}

TEST(GuidSimTest, FaultsFailCreationAndFormatting) {
  Faults faults;
  GuidSim guids(faults, 1);
  Guid guid;
  faults.fail("guid.create", hr::kOutOfMemory);
  EXPECT_EQ(guids.create(guid), hr::kOutOfMemory);
  EXPECT_EQ(guids.create(guid), hr::kOk);
  char16_t buffer[39];
  faults.fail("guid.toString", hr::kFail);
  EXPECT_EQ(guids.toString(guid, buffer), 0);
  EXPECT_EQ(guids.toString(guid, buffer), 39);
}

}  // namespace
}  // namespace qx::sim

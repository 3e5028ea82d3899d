// The progress window over the stand-in's window system.
#include "basicsync/progress_dialog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sim/faults.h"
#include "sim/ui_thread.h"
#include "sim/window_system_sim.h"

namespace qx::test {
namespace {

class ProgressDialog : public ::testing::Test {
 protected:
  const sim::ControlState* bar() const {
    return windows.control(progress.handle(), progress_dialog::kBarId);
  }

  sim::VirtualClock clock;
  sim::UiThread thread{clock};
  sim::Faults faults;
  sim::WindowSystemSim windows{thread, faults};
  CProgress progress{windows};
};

TEST_F(ProgressDialog, ShowsTheTextAndTheBarUntilDestroyed) {
  ASSERT_TRUE(progress.create(windows.desktopWindow()));
  EXPECT_FALSE(windows.isVisible(progress.handle()));
  progress.show();
  EXPECT_TRUE(windows.isVisible(progress.handle()));
  EXPECT_EQ(windows.caption(progress.handle()), u"Grundabgleich");
  progress.setRange(50);
  progress.setPos(21);
  progress.setText(u"Tasks 42%");
  EXPECT_TRUE(progress.repaint());
  EXPECT_EQ(bar()->progress.high(), 50);
  EXPECT_EQ(bar()->progress.position(), 21);
  EXPECT_EQ(windows.control(progress.handle(), progress_dialog::kTextId)->text, u"Tasks 42%");
  const WindowHandle handle = progress.handle();
  progress.destroy();
  EXPECT_FALSE(windows.isWindow(handle));
  EXPECT_FALSE(progress.repaint());
}

TEST_F(ProgressDialog, LargeCountsAreScaledSoTheBarFillsAtTheLastItem) {
  ASSERT_TRUE(progress.create(windows.desktopWindow()));
  struct Case {
    std::int64_t count, position;
    int high, bar;
  };
  for (const Case& c : {Case{4, 4, 4, 4}, Case{65535, 65535, 65535, 65535},
                        Case{70000, 35000, 65535, 32767}, Case{70000, 70000, 65535, 65535},
                        Case{200000, 1, 65535, 0}, Case{200000, 199999, 65535, 65534}}) {
    SCOPED_TRACE(c.count);
    progress.setRange(c.count);
    progress.setPos(c.position);
    EXPECT_EQ(bar()->progress.high(), c.high);
    EXPECT_EQ(bar()->progress.position(), c.bar);
  }
}

TEST_F(ProgressDialog, WithoutAWindowTheSettersDoNothing) {
  faults.fail("windows.createDialog", 1400);
  EXPECT_FALSE(progress.create(windows.desktopWindow()));
  progress.show();
  progress.setRange(10);
  progress.setPos(3);
  progress.setText(u"x");
  EXPECT_FALSE(progress.repaint());
  EXPECT_EQ(faults.calls("windows.progressSetRange"), 0);
  EXPECT_EQ(faults.calls("windows.progressSetPos"), 0);
  EXPECT_EQ(faults.calls("windows.setItemText"), 0);
  EXPECT_EQ(windows.windowCount(), 0u);
}

}  // namespace
}  // namespace qx::test

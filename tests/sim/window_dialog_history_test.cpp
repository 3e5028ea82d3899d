#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "sim/window_system_sim.h"
#include "sim/window_test_support.h"

namespace qx::sim {
namespace {

using testing::makeControl;
using testing::RecordingDialogSink;
using Texts = std::vector<std::u16string>;

constexpr std::uint32_t kChild = 0x50000000u;
constexpr int kBar = 245;
constexpr int kText = 246;
constexpr int kEdit = 219;

DialogTemplate progressWindow() {
  DialogTemplate dialog;
  dialog.id = 244;
  dialog.caption = u"Progress";
  dialog.style = 0x80C808C0u;
  dialog.controls = {
      makeControl(kBar, u"msctls_progress32", kChild | 0x00800000u),
      makeControl(kText, u"STATIC", kChild),
      makeControl(kEdit, u"EDIT", kChild),
  };
  return dialog;
}

class DialogHistoryTest : public ::testing::Test {
 protected:
  WindowHandle open(RecordingDialogSink& sink) {
    WindowHandle dialog = kNoWindow;
    EXPECT_EQ(windows.createDialog(progressWindow(), windows.desktopWindow(), sink, dialog),
              qx::win::kSuccess);
    return dialog;
  }

  VirtualClock clock;
  UiThread thread{clock};
  Faults faults;
  WindowSystemSim windows{thread, faults};
  RecordingDialogSink sink;
};

TEST_F(DialogHistoryTest, KeepsEveryTextRangeAndPositionAfterTheDialogCloses) {
  // Texts set while the dialog initialises count as well.
  sink.onInit = [&](WindowHandle dialog) { windows.setItemText(dialog, kText, u"init"); };
  const WindowHandle dialog = open(sink);
  windows.showWindow(dialog, qx::win::kSwShow);
  ASSERT_TRUE(windows.progressSetRange(dialog, kBar, 0, 4));
  ASSERT_TRUE(windows.setItemText(dialog, kText, u"Tasks"));
  for (int i = 1; i <= 4; ++i) {
    ASSERT_TRUE(windows.progressSetPos(dialog, kBar, i));
    ASSERT_TRUE(windows.setItemText(dialog, kText, u"Tasks " + std::u16string(1, u'0' + i)));
  }
  ASSERT_TRUE(windows.setItemText(dialog, kEdit, u"typed by the add-in"));
  ASSERT_TRUE(windows.destroyWindow(dialog));

  ASSERT_EQ(windows.dialogHistory().size(), 1u);
  const DialogRecord& record = windows.dialogHistory().front();
  EXPECT_EQ(record.handle, dialog);
  EXPECT_EQ(record.templateId, 244);
  EXPECT_EQ(record.caption, u"Progress");
  EXPECT_TRUE(record.shown);
  EXPECT_FALSE(record.open);
  const ControlHistory* text = record.control(kText);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->texts,
            (Texts{u"init", u"Tasks", u"Tasks 1", u"Tasks 2", u"Tasks 3", u"Tasks 4"}));
  EXPECT_EQ(record.control(kEdit)->texts, Texts{u"typed by the add-in"});
  const ControlHistory* bar = record.control(kBar);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->kind, ControlKind::kProgress);
  EXPECT_EQ(bar->ranges, (std::vector<std::pair<std::uint16_t, std::uint16_t>>{{0, 4}}));
  EXPECT_EQ(bar->positions, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(bar->lastPosition, 4);
  EXPECT_EQ(record.control(999), nullptr);
}

TEST_F(DialogHistoryTest, LastPositionIsWhereTheBarStoodWithinItsRange) {
  const WindowHandle dialog = open(sink);
  windows.progressSetRange(dialog, kBar, 0, 3);
  windows.progressSetPos(dialog, kBar, 9);
  const ControlHistory* bar = windows.dialogHistory().front().control(kBar);
  EXPECT_EQ(bar->positions, std::vector<int>{9});
  EXPECT_EQ(bar->lastPosition, 3);
  // A narrower range pulls the bar back.
  windows.progressSetRange(dialog, kBar, 0, 2);
  EXPECT_EQ(bar->lastPosition, 2);
  // A dialog that was never shown says so.
  EXPECT_FALSE(windows.dialogHistory().front().shown);
  EXPECT_TRUE(windows.dialogHistory().front().open);
}

TEST_F(DialogHistoryTest, FailedCallsLeaveNoTrace) {
  const WindowHandle dialog = open(sink);
  faults.fail("windows.setItemText", static_cast<std::int32_t>(0x80004005u));
  faults.fail("windows.progressSetPos", static_cast<std::int32_t>(0x80004005u));
  faults.fail("windows.progressSetRange", static_cast<std::int32_t>(0x80004005u));
  EXPECT_FALSE(windows.setItemText(dialog, kText, u"lost"));
  EXPECT_FALSE(windows.progressSetPos(dialog, kBar, 1));
  EXPECT_FALSE(windows.progressSetRange(dialog, kBar, 0, 5));
  // Calls on a control of another kind fail too.
  EXPECT_FALSE(windows.progressSetPos(dialog, kText, 1));
  const DialogRecord& record = windows.dialogHistory().front();
  EXPECT_TRUE(record.control(kText)->texts.empty());
  EXPECT_TRUE(record.control(kBar)->positions.empty());
  EXPECT_TRUE(record.control(kBar)->ranges.empty());
}

TEST_F(DialogHistoryTest, EachDialogHasItsOwnRecordAndTheEndOfTheHostKeepsThem) {
  RecordingDialogSink second;
  const WindowHandle first = open(sink);
  windows.setItemText(first, kText, u"first");
  ASSERT_TRUE(windows.destroyWindow(first));
  const WindowHandle other = open(second);
  windows.setItemText(other, kText, u"second");
  // The stale handle reaches nothing, and nothing is written into the old record.
  EXPECT_FALSE(windows.setItemText(first, kText, u"stale"));
  windows.destroyAll();

  const auto& history = windows.dialogHistory();
  ASSERT_EQ(history.size(), 2u);
  EXPECT_EQ(history[0].control(kText)->texts, Texts{u"first"});
  EXPECT_EQ(history[1].control(kText)->texts, Texts{u"second"});
  EXPECT_FALSE(history[1].open);
}

}  // namespace
}  // namespace qx::sim

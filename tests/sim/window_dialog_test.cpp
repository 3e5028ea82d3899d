#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/window_system_sim.h"
#include "sim/window_test_support.h"

namespace qx::sim {
namespace {

using testing::makeControl;
using testing::RecordingDialogSink;
using Events = std::vector<std::string>;

constexpr std::uint32_t kChild = 0x50000000u;
constexpr std::uint32_t kDisabled = 0x08000000u;
constexpr int kEnChange = qx::win::kEnChange;  // 768

DialogTemplate pageTemplate() {
  DialogTemplate page;
  page.id = 300;
  page.caption = u"Page";
  page.style = 0x40000040u;
  page.controls = {
      makeControl(221, u"BUTTON", kChild | 0x00010003u, u"Synchronize"),
      makeControl(215, u"EDIT", kChild | 0x00010080u),
      makeControl(216, u"BUTTON", kChild | kDisabled, u">>"),
      makeControl(217, u"LISTBOX", kChild | 0x00A00103u),
      makeControl(219, u"EDIT", kChild),
      makeControl(-1, u"BUTTON", kChild | 0x7u),
      makeControl(247, u"STATIC", kChild, u"Sharename:"),
      makeControl(-1, u"STATIC", kChild | 0x3u),
      makeControl(245, u"msctls_progress32", kChild | 0x00800000u),
      makeControl(250, u"LISTBOX", kChild | 0x2u),  // sorted, no notifications
  };
  return page;
}

class DialogTest : public ::testing::Test {
 protected:
  WindowHandle open(RecordingDialogSink& sink, const DialogTemplate& page = pageTemplate()) {
    WindowHandle dialog = kNoWindow;
    EXPECT_EQ(windows.createDialog(page, windows.desktopWindow(), sink, dialog), qx::win::kSuccess);
    return dialog;
  }

  VirtualClock clock;
  UiThread thread{clock};
  Faults faults;
  WindowSystemSim windows{thread, faults};
  RecordingDialogSink sink;
};

TEST_F(DialogTest, InitialisationRunsBeforeCreateReturnsWithTheControlsInPlace) {
  std::u16string labelSeen;
  sink.onInit = [&](WindowHandle dialog) {
    labelSeen = windows.itemText(dialog, 247).value_or(u"?");
    // Setting an edit control's text raises its change notification at once.
    windows.setItemText(dialog, 219, u"Tasks_sync");
    windows.setItemText(dialog, 247, u"Freigabename:");
  };
  const WindowHandle dialog = open(sink);
  EXPECT_EQ(labelSeen, u"Sharename:");
  EXPECT_EQ(sink.events, (Events{"init", "command 219/768"}));
  EXPECT_EQ(windows.itemText(dialog, 219), u"Tasks_sync");
  EXPECT_EQ(windows.itemText(dialog, 247), u"Freigabename:");
  EXPECT_FALSE(windows.isVisible(dialog));  // until shown
  EXPECT_EQ(windows.findDialog(300), dialog);
  EXPECT_EQ(windows.caption(dialog), u"Page");
  EXPECT_EQ(windows.dialogs(), std::vector<WindowHandle>{dialog});
}

TEST_F(DialogTest, ControlsKeepTextEnabledStateAndChecks) {
  const WindowHandle dialog = open(sink);
  EXPECT_TRUE(windows.isItemEnabled(dialog, 215));
  EXPECT_FALSE(windows.isItemEnabled(dialog, 216));  // WS_DISABLED in the template
  EXPECT_TRUE(windows.enableItem(dialog, 216, true));
  EXPECT_TRUE(windows.isItemEnabled(dialog, 216));
  EXPECT_TRUE(windows.enableItem(dialog, 215, false));
  EXPECT_FALSE(windows.isItemEnabled(dialog, 215));

  EXPECT_TRUE(windows.checkButton(dialog, 221, true));
  EXPECT_TRUE(windows.isButtonChecked(dialog, 221));
  EXPECT_TRUE(windows.checkButton(dialog, 216, true));  // a push button keeps no check
  EXPECT_FALSE(windows.isButtonChecked(dialog, 216));
  EXPECT_EQ(sink.events, Events{"init"});  // none of this notifies

  // Controls that do not exist, and the template's own id, which no control bears.
  EXPECT_FALSE(windows.setItemText(dialog, 300, u"Basicsynchronisation"));
  EXPECT_EQ(windows.itemText(dialog, 999).error(), kHrControlIdNotFound);
  EXPECT_EQ(windows.itemText(0x7777, 215).error(), kHrInvalidWindowHandle);
  EXPECT_FALSE(windows.enableItem(dialog, 999, true));
  EXPECT_FALSE(windows.isItemEnabled(dialog, 999));
  EXPECT_FALSE(windows.checkButton(dialog, 999, true));
}

TEST_F(DialogTest, ListBoxMessagesWorkOnListBoxesOnly) {
  const WindowHandle dialog = open(sink);
  EXPECT_EQ(windows.listAddString(dialog, 217, u"carol@x.de"), 0);
  EXPECT_EQ(windows.listAddString(dialog, 217, u"Bob@x.de"), 0);
  EXPECT_EQ(windows.listAddString(dialog, 217, u"alice@x.de"), 0);
  EXPECT_EQ(windows.listCount(dialog, 217), 3);
  EXPECT_EQ(windows.listText(dialog, 217, 1), u"Bob@x.de");
  EXPECT_EQ(windows.listFindExact(dialog, 217, -1, u"BOB@X.DE"), 1);
  EXPECT_EQ(windows.listFindExact(dialog, 217, 1, u"bob@x.de"), 1);  // wraps round to itself
  EXPECT_EQ(windows.listFindExact(dialog, 217, -1, u"bob"), qx::win::kLbErr);
  EXPECT_EQ(windows.listSetSelection(dialog, 217, 2), 2);
  EXPECT_EQ(windows.listSelection(dialog, 217), 2);
  EXPECT_EQ(windows.listDeleteString(dialog, 217, 0), 2);
  EXPECT_EQ(windows.listSelection(dialog, 217), 1);
  EXPECT_FALSE(windows.listText(dialog, 217, 2).has_value());
  EXPECT_EQ(windows.listResetContent(dialog, 217), 0);
  EXPECT_EQ(windows.listCount(dialog, 217), 0);
  EXPECT_EQ(windows.listSelection(dialog, 217), qx::win::kLbErr);

  // An edit control or a missing control is no list.
  EXPECT_EQ(windows.listAddString(dialog, 215, u"x"), qx::win::kLbErr);
  EXPECT_EQ(windows.listCount(dialog, 999), qx::win::kLbErr);
  EXPECT_EQ(windows.listText(dialog, 215, 0).error(), kHrControlIdNotFound);
  EXPECT_EQ(windows.itemText(dialog, 215), u"");
}

TEST_F(DialogTest, TheProgressBarTakesSixteenBitRangesAndClampsItsPosition) {
  const WindowHandle dialog = open(sink);
  const int items = 70000;
  ASSERT_TRUE(windows.progressSetRange(dialog, 245, 0, static_cast<std::uint16_t>(items)));
  ASSERT_TRUE(windows.progressSetPos(dialog, 245, 5000));
  EXPECT_EQ(windows.control(dialog, 245)->progress.high(), 4464);
  EXPECT_EQ(windows.control(dialog, 245)->progress.position(), 4464);
  EXPECT_FALSE(windows.progressSetPos(dialog, 246, 1));       // no such control
  EXPECT_FALSE(windows.progressSetRange(dialog, 217, 0, 1));  // not a progress bar
}

TEST_F(DialogTest, TheUsersActionsSendTheNotificationsOfTheRealControls) {
  const WindowHandle dialog = open(sink);
  windows.listAddString(dialog, 217, u"b@x.de");
  windows.listAddString(dialog, 217, u"a@x.de");
  windows.listAddString(dialog, 250, u"quiet");
  bool checkedWhenClicked = false;
  int selectionWhenDoubleClicked = -2;
  sink.onCommandHook = [&](WindowHandle d, int id, int code) {
    if (id == 221) checkedWhenClicked = windows.isButtonChecked(d, 221);
    if (code == qx::win::kLbnDblClk) selectionWhenDoubleClicked = windows.listSelection(d, 217);
  };
  sink.events.clear();
  EXPECT_TRUE(windows.typeText(dialog, 215, u"carol@x.de"));
  EXPECT_EQ(windows.itemText(dialog, 215), u"carol@x.de");
  EXPECT_TRUE(windows.click(dialog, 221));
  EXPECT_TRUE(checkedWhenClicked);  // the automatic check box toggles first
  EXPECT_TRUE(windows.click(dialog, 221));
  EXPECT_FALSE(windows.isButtonChecked(dialog, 221));
  EXPECT_TRUE(windows.doubleClickListEntry(dialog, 217, 1));
  EXPECT_EQ(selectionWhenDoubleClicked, 1);
  EXPECT_TRUE(windows.doubleClickListEntry(dialog, 217, 1));  // selection unchanged
  EXPECT_TRUE(windows.doubleClickListEntry(dialog, 250, 0));  // no notify style
  EXPECT_TRUE(windows.pressHelp(dialog));
  EXPECT_EQ(sink.events, (Events{"command 215/768", "command 221/0", "command 221/0",
                                 "command 217/1", "command 217/2", "command 217/2", "help"}));
  EXPECT_EQ(windows.listSelection(dialog, 250), 0);
}

TEST_F(DialogTest, TheUserCannotUseDisabledMissingOrWrongControls) {
  const WindowHandle dialog = open(sink);
  sink.events.clear();
  EXPECT_FALSE(windows.click(dialog, 216));  // disabled
  windows.enableItem(dialog, 215, false);
  EXPECT_FALSE(windows.typeText(dialog, 215, u"x"));
  EXPECT_EQ(windows.itemText(dialog, 215), u"");
  EXPECT_FALSE(windows.typeText(dialog, 221, u"x"));           // a button
  EXPECT_FALSE(windows.click(dialog, 219));                    // an edit control
  EXPECT_FALSE(windows.doubleClickListEntry(dialog, 217, 0));  // empty list
  EXPECT_FALSE(windows.click(0x7777, 221));
  EXPECT_FALSE(windows.pressHelp(0x7777));
  EXPECT_TRUE(sink.events.empty());
}

TEST_F(DialogTest, ADialogMayCloseItselfFromItsOwnHandlers) {
  const WindowHandle dialog = open(sink);
  windows.listAddString(dialog, 217, u"a@x.de");
  sink.onCommandHook = [&](WindowHandle d, int, int code) {
    if (code == qx::win::kLbnSelChange) windows.destroyWindow(d);
  };
  EXPECT_TRUE(windows.doubleClickListEntry(dialog, 217, 0));
  EXPECT_FALSE(windows.isWindow(dialog));
  EXPECT_EQ(sink.events.back(), "command 217/1");  // no double-click after the close
  EXPECT_FALSE(windows.updateWindow(dialog));      // a repaint fails once it is gone
  EXPECT_FALSE(windows.setItemText(dialog, 215, u"x"));
  EXPECT_FALSE(windows.progressSetPos(dialog, 245, 1));
  EXPECT_TRUE(windows.dialogs().empty());

  RecordingDialogSink selfClosing;
  selfClosing.onInit = [&](WindowHandle d) { windows.destroyWindow(d); };
  WindowHandle created = 99;
  EXPECT_EQ(windows.createDialog(pageTemplate(), windows.desktopWindow(), selfClosing, created),
            kErrorInvalidWindowHandle);
  EXPECT_EQ(created, kNoWindow);
}

TEST_F(DialogTest, FaultsFailDialogCallsWithTheirUsualFailureValue) {
  faults.fail("windows.createDialog", win::kNotEnoughMemory);
  WindowHandle created = 99;
  EXPECT_EQ(windows.createDialog(pageTemplate(), kNoWindow, sink, created), win::kNotEnoughMemory);
  EXPECT_EQ(created, kNoWindow);
  EXPECT_TRUE(sink.events.empty());
  EXPECT_EQ(windows.createDialog(pageTemplate(), 0x7777, sink, created), kErrorInvalidWindowHandle);
  // The page is a child window: it needs a parent.
  EXPECT_EQ(windows.createDialog(pageTemplate(), kNoWindow, sink, created), kErrorTopLevelChild);

  const WindowHandle dialog = open(sink);
  windows.listAddString(dialog, 217, u"a");
  const char* listCalls[] = {"windows.listAddString",    "windows.listDeleteString",
                             "windows.listCount",        "windows.listSelection",
                             "windows.listSetSelection", "windows.listFindExact",
                             "windows.listResetContent"};
  for (const char* call : listCalls) faults.fail(call, hr::kFail);
  EXPECT_EQ(windows.listAddString(dialog, 217, u"b"), qx::win::kLbErr);
  EXPECT_EQ(windows.listDeleteString(dialog, 217, 0), qx::win::kLbErr);
  EXPECT_EQ(windows.listCount(dialog, 217), qx::win::kLbErr);
  EXPECT_EQ(windows.listSelection(dialog, 217), qx::win::kLbErr);
  EXPECT_EQ(windows.listSetSelection(dialog, 217, 0), qx::win::kLbErr);
  EXPECT_EQ(windows.listFindExact(dialog, 217, -1, u"a"), qx::win::kLbErr);
  EXPECT_EQ(windows.listResetContent(dialog, 217), qx::win::kLbErr);
  EXPECT_EQ(windows.listEntries(dialog, 217), std::vector<std::u16string>{u"a"});

  faults.fail("windows.setItemText", hr::kFail);
  faults.fail("windows.itemText", hr::kUnexpected);
  faults.fail("windows.listText", hr::kUnexpected);
  faults.fail("windows.progressSetRange", hr::kFail);
  EXPECT_FALSE(windows.setItemText(dialog, 219, u"x"));
  EXPECT_EQ(windows.itemText(dialog, 219).error(), hr::kUnexpected);
  EXPECT_EQ(windows.listText(dialog, 217, 0).error(), hr::kUnexpected);
  EXPECT_FALSE(windows.progressSetRange(dialog, 245, 0, 5));
  EXPECT_EQ(windows.control(dialog, 245)->progress.high(), 100);
  EXPECT_EQ(sink.events, (Events{"init"}));  // the failed text set raised no change
}

}  // namespace
}  // namespace qx::sim

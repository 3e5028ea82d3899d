#pragma once
// The window system port's contract: the add-in's plain window and its timer,
// message boxes, and a modeless dialog with the controls of the pages.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/window_system.h"

namespace qx::contract {

class NotingWindowSink : public WindowSink {
 public:
  void onTimer(WindowHandle, std::uint32_t timerId) override { ticks.push_back(timerId); }
  std::vector<std::uint32_t> ticks;
};

class NotingDialogSink : public DialogSink {
 public:
  void onInitDialog(WindowHandle dialog) override {
    events.push_back("init");
    if (onInit) onInit(dialog);
  }
  void onCommand(WindowHandle, int controlId, int notifyCode) override {
    events.push_back("command " + std::to_string(controlId) + "/" + std::to_string(notifyCode));
  }
  std::vector<std::string> events;
  std::function<void(WindowHandle)> onInit;
};

inline DialogControl contractControl(int id, std::u16string windowClass, std::uint32_t style, int x,
                                     int y, int width, int height) {
  DialogControl control;
  control.id = id;
  control.windowClass = std::move(windowClass);
  control.style = style;
  control.x = x;
  control.y = y;
  control.width = width;
  control.height = height;
  return control;
}

// A page-like template whose id names no resource of the module.
inline DialogTemplate contractTemplate() {
  DialogTemplate t;
  t.id = 4711;
  t.caption = u"Contract";
  t.width = 200;
  t.height = 120;
  t.fontName = u"MS Sans Serif";
  t.fontSize = 8;
  t.style = 0x80C808C0u;  // popup, caption, system menu, frame, centred, set font
  t.controls = {
      contractControl(221, u"BUTTON", 0x50010003u, 10, 10, 100, 10),  // automatic check box
      contractControl(215, u"EDIT", 0x50830080u, 10, 25, 80, 14),
      contractControl(217, u"LISTBOX", 0x50A10103u, 100, 25, 90, 60),  // sorted, notify
      contractControl(216, u"BUTTON", 0x58010000u, 10, 45, 20, 14),    // disabled push button
      contractControl(246, u"STATIC", 0x50020001u, 10, 90, 100, 8),
      contractControl(245, u"msctls_progress32", 0x50800000u, 10, 100, 180, 6),
  };
  return t;
}

template <class Env>
class WindowContract : public ::testing::Test {
 protected:
  WindowSystem& windows() { return env.windows(); }
  WindowHandle makeWindow(WindowSink& sink) {
    WindowHandle window = kNoWindow;
    EXPECT_EQ(windows().createWindow(windows().desktopWindow(), 0x56000000u, sink, window),
              win::kSuccess);
    return window;
  }
  WindowHandle makeDialog(NotingDialogSink& sink) {
    WindowHandle dialog = kNoWindow;
    EXPECT_EQ(windows().createDialog(contractTemplate(), kNoWindow, sink, dialog), win::kSuccess);
    return dialog;
  }
  Env env;
};

TYPED_TEST_SUITE_P(WindowContract);

TYPED_TEST_P(WindowContract, TheHiddenWindowLivesUntilDestroyed) {
  WindowSystem& windows = this->windows();
  NotingWindowSink sink;
  WindowHandle window = this->makeWindow(sink);
  ASSERT_NE(window, kNoWindow);
  EXPECT_TRUE(windows.isWindow(window));
  EXPECT_TRUE(windows.showWindow(window, win::kSwHide)) << "it was visible before";
  EXPECT_FALSE(windows.showWindow(window, win::kSwHide)) << "and hidden now";
  EXPECT_TRUE(windows.destroyWindow(window));
  EXPECT_FALSE(windows.isWindow(window));
  EXPECT_FALSE(windows.destroyWindow(window));
}

TYPED_TEST_P(WindowContract, TimerOneTicksUntilKilled) {
  WindowSystem& windows = this->windows();
  NotingWindowSink sink;
  WindowHandle window = this->makeWindow(sink);
  EXPECT_FALSE(windows.killTimer(window, 1)) << "no timer runs yet";
  ASSERT_TRUE(windows.setTimer(window, 1, 100));
  // Setting it again replaces it.
  ASSERT_TRUE(windows.setTimer(window, 1, 50));
  this->env.pump(400);
  ASSERT_GE(sink.ticks.size(), 2u);
  EXPECT_EQ(sink.ticks.front(), 1u);
  EXPECT_TRUE(windows.killTimer(window, 1));
  EXPECT_FALSE(windows.killTimer(window, 1));
  const std::size_t seen = sink.ticks.size();
  this->env.pump(200);
  EXPECT_EQ(sink.ticks.size(), seen);
  windows.destroyWindow(window);
}

TYPED_TEST_P(WindowContract, AMessageBoxReturnsTheAnswer) {
  WindowSystem& windows = this->windows();
  this->env.answerNextBox(u"Contract question", win::kIdNo);
  EXPECT_EQ(windows.messageBox(kNoWindow, u"Proceed?", u"Contract question", win::kMbYesNo),
            win::kIdNo);
  this->env.answerNextBox(u"Contract notice", win::kIdOk);
  EXPECT_EQ(windows.messageBox(kNoWindow, u"Done.", u"Contract notice", win::kMbOk), win::kIdOk);
}

TYPED_TEST_P(WindowContract, DialogsInitialiseBeforeCreationReturns) {
  WindowSystem& windows = this->windows();
  NotingDialogSink sink;
  bool controlsThere = false;
  sink.onInit = [&](WindowHandle dialog) {
    controlsThere = windows.setItemText(dialog, 246, u"Tasks 0%");
  };
  WindowHandle dialog = this->makeDialog(sink);
  ASSERT_NE(dialog, kNoWindow);
  ASSERT_FALSE(sink.events.empty());
  EXPECT_EQ(sink.events.front(), "init");
  EXPECT_TRUE(controlsThere);
  EXPECT_EQ(windows.itemText(dialog, 246), std::u16string(u"Tasks 0%"));
  EXPECT_FALSE(windows.itemText(dialog, 999).has_value());
  EXPECT_FALSE(windows.setItemText(dialog, 999, u"x"));
  EXPECT_TRUE(windows.destroyWindow(dialog));
  EXPECT_FALSE(windows.isWindow(dialog));
}

TYPED_TEST_P(WindowContract, EditsReportEveryTextSetOnThem) {
  WindowSystem& windows = this->windows();
  NotingDialogSink sink;
  WindowHandle dialog = this->makeDialog(sink);
  sink.events.clear();
  ASSERT_TRUE(windows.setItemText(dialog, 215, u"a@x.de"));
  // One EN_CHANGE; the system may announce the update (EN_UPDATE) first.
  std::erase(sink.events, "command 215/1024");
  EXPECT_EQ(sink.events, std::vector<std::string>{"command 215/768"});
  EXPECT_EQ(windows.itemText(dialog, 215), std::u16string(u"a@x.de"));
  windows.destroyWindow(dialog);
}

TYPED_TEST_P(WindowContract, ButtonsEnableAndCheck) {
  WindowSystem& windows = this->windows();
  NotingDialogSink sink;
  WindowHandle dialog = this->makeDialog(sink);
  EXPECT_FALSE(windows.isItemEnabled(dialog, 216));
  EXPECT_TRUE(windows.enableItem(dialog, 216, true));
  EXPECT_TRUE(windows.isItemEnabled(dialog, 216));
  EXPECT_FALSE(windows.isButtonChecked(dialog, 221));
  EXPECT_TRUE(windows.checkButton(dialog, 221, true));
  EXPECT_TRUE(windows.isButtonChecked(dialog, 221));
  EXPECT_TRUE(windows.checkButton(dialog, 221, false));
  EXPECT_FALSE(windows.isButtonChecked(dialog, 221));
  EXPECT_FALSE(windows.enableItem(dialog, 999, true));
  EXPECT_FALSE(windows.isItemEnabled(dialog, 999));
  windows.destroyWindow(dialog);
}

TYPED_TEST_P(WindowContract, SortedListsFindWholeEntriesWithoutRegardToCase) {
  WindowSystem& windows = this->windows();
  NotingDialogSink sink;
  WindowHandle dialog = this->makeDialog(sink);
  EXPECT_EQ(windows.listAddString(dialog, 217, u"zoe@x.de"), 0);
  EXPECT_EQ(windows.listAddString(dialog, 217, u"Bob@x.de"), 0);
  EXPECT_EQ(windows.listAddString(dialog, 217, u"anna@x.de"), 0);
  EXPECT_EQ(windows.listCount(dialog, 217), 3);
  EXPECT_EQ(windows.listText(dialog, 217, 1), std::u16string(u"Bob@x.de"));
  EXPECT_EQ(windows.listFindExact(dialog, 217, -1, u"BOB@X.DE"), 1);
  EXPECT_EQ(windows.listFindExact(dialog, 217, -1, u"bob@x"), win::kLbErr);
  EXPECT_EQ(windows.listFindExact(dialog, 217, 1, u"anna@x.de"), 0) << "the search wraps";
  EXPECT_EQ(windows.listSelection(dialog, 217), win::kLbErr);
  EXPECT_EQ(windows.listSetSelection(dialog, 217, 2), 2);
  EXPECT_EQ(windows.listSelection(dialog, 217), 2);
  EXPECT_EQ(windows.listDeleteString(dialog, 217, 0), 2);
  EXPECT_EQ(windows.listDeleteString(dialog, 217, 5), win::kLbErr);
  EXPECT_FALSE(windows.listText(dialog, 217, 5).has_value());
  windows.listResetContent(dialog, 217);
  EXPECT_EQ(windows.listCount(dialog, 217), 0);
  EXPECT_EQ(windows.listCount(dialog, 999), win::kLbErr);
  windows.destroyWindow(dialog);
}

TYPED_TEST_P(WindowContract, TheProgressBarTakesRangeAndPosition) {
  WindowSystem& windows = this->windows();
  NotingDialogSink sink;
  WindowHandle dialog = this->makeDialog(sink);
  EXPECT_TRUE(windows.progressSetRange(dialog, 245, 0, 4464));
  EXPECT_TRUE(windows.progressSetPos(dialog, 245, 17));
  EXPECT_FALSE(windows.progressSetPos(dialog, 999, 17));
  EXPECT_TRUE(windows.showWindow(dialog, win::kSwShow) == false) << "dialogs start hidden";
  EXPECT_TRUE(windows.updateWindow(dialog));
  windows.destroyWindow(dialog);
  EXPECT_FALSE(windows.updateWindow(dialog));
}

REGISTER_TYPED_TEST_SUITE_P(WindowContract, TheHiddenWindowLivesUntilDestroyed,
                            TimerOneTicksUntilKilled, AMessageBoxReturnsTheAnswer,
                            DialogsInitialiseBeforeCreationReturns, EditsReportEveryTextSetOnThem,
                            ButtonsEnableAndCheck, SortedListsFindWholeEntriesWithoutRegardToCase,
                            TheProgressBarTakesRangeAndPosition);

}  // namespace qx::contract

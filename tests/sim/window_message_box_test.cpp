#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/window_system_sim.h"
#include "sim/window_test_support.h"

namespace qx::sim {
namespace {

using testing::RecordingWindowSink;

class MessageBoxTest : public testing::WindowSystemFixture {};

TEST_F(MessageBoxTest, BoxesAreLoggedAndAnsweredByScriptOrDefault) {
  RecordingWindowSink sink;
  const WindowHandle page = makeWindow(sink);
  windows.answerNextBox(qx::win::kIdNo);
  windows.answerNextBox(qx::win::kIdYes);
  EXPECT_EQ(windows.messageBox(page, u"Question?", u"!!!", qx::win::kMbYesNo), qx::win::kIdNo);
  EXPECT_EQ(windows.messageBox(kNoWindow, u"Again?", u"!!!", qx::win::kMbYesNo), qx::win::kIdYes);
  // With the script used up: the first button.
  EXPECT_EQ(windows.messageBox(kNoWindow, u"Info", u"Quendrilax", qx::win::kMbOk), qx::win::kIdOk);
  EXPECT_EQ(windows.messageBox(kNoWindow, u"Sure?", u"", qx::win::kMbYesNo), qx::win::kIdYes);

  const auto& shown = windows.shownBoxes();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0].owner, page);
  EXPECT_EQ(shown[0].text, u"Question?");
  EXPECT_EQ(shown[0].caption, u"!!!");
  EXPECT_EQ(shown[0].type, qx::win::kMbYesNo);
  EXPECT_EQ(shown[0].answer, qx::win::kIdNo);
  EXPECT_TRUE(shown[0].scripted);
  EXPECT_EQ(shown[1].owner, kNoWindow);
  EXPECT_FALSE(shown[2].scripted);
  EXPECT_EQ(shown[2].caption, u"Quendrilax");
  EXPECT_EQ(shown[3].answer, qx::win::kIdYes);
}

TEST_F(MessageBoxTest, AnAnswerTheBoxDoesNotOfferIsFlaggedAndTheDefaultTaken) {
  windows.answerNextBox(qx::win::kIdYes);
  EXPECT_EQ(windows.messageBox(kNoWindow, u"text", u"caption", qx::win::kMbOk), qx::win::kIdOk);
  EXPECT_TRUE(windows.shownBoxes().back().scriptMismatch);
  EXPECT_EQ(windows.messageBoxes().pending(), 0u);
}

TEST_F(MessageBoxTest, ButtonsOfEachBoxType) {
  struct Case {
    std::uint32_t type;
    int defaultAnswer;
    std::vector<int> offered, notOffered;
  };
  const Case cases[] = {
      {qx::win::kMbOk, qx::win::kIdOk, {qx::win::kIdOk}, {qx::win::kIdYes, qx::win::kIdCancel}},
      {qx::win::kMbYesNo, qx::win::kIdYes, {qx::win::kIdYes, qx::win::kIdNo}, {qx::win::kIdOk}},
      {kMbOkCancel, qx::win::kIdOk, {qx::win::kIdOk, qx::win::kIdCancel}, {qx::win::kIdNo}},
      {kMbYesNoCancel, qx::win::kIdYes, {qx::win::kIdCancel}, {qx::win::kIdOk}},
      {kMbRetryCancel, kIdRetry, {kIdRetry, qx::win::kIdCancel}, {kIdAbort}},
      {kMbAbortRetryIgnore | 0x30 /* icon */, kIdAbort, {kIdIgnore}, {qx::win::kIdCancel}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(defaultButton(c.type), c.defaultAnswer) << c.type;
    for (int button : c.offered) EXPECT_TRUE(offersButton(c.type, button)) << c.type;
    for (int button : c.notOffered) EXPECT_FALSE(offersButton(c.type, button)) << c.type;
  }
}

TEST_F(MessageBoxTest, AnOpenBoxDeliversTicksAndPostedMessagesThatFallDue) {
  RecordingWindowSink sink;
  const WindowHandle window = makeWindow(sink);
  std::vector<std::int64_t> tickTimes;
  std::vector<int> tickDepths;
  sink.onTick = [&](WindowHandle, std::uint32_t) {
    tickTimes.push_back(clock.nowMs());
    tickDepths.push_back(thread.modalDepth());
  };
  windows.setTimer(window, 1, 3000);
  bool posted = false;
  thread.post([&] { posted = true; });
  windows.answerNextBox(qx::win::kIdOk, 7000);
  EXPECT_EQ(windows.messageBox(kNoWindow, u"wait", u"", qx::win::kMbOk), qx::win::kIdOk);
  EXPECT_TRUE(posted);
  EXPECT_EQ(tickTimes, (std::vector<std::int64_t>{3000, 6000}));
  EXPECT_EQ(tickDepths, (std::vector<int>{1, 1}));
  EXPECT_EQ(clock.nowMs(), 7000);
  EXPECT_EQ(windows.shownBoxes().back().openMs, 7000);
  EXPECT_EQ(thread.modalDepth(), 0);
  // A box answered at once delivers nothing.
  windows.messageBox(kNoWindow, u"quick", u"", qx::win::kMbOk);
  EXPECT_EQ(tickTimes.size(), 2u);
}

TEST_F(MessageBoxTest, ATickInsideABoxOfAnEarlierTickSeesTheNesting) {
  // The add-in's tick may show a box; while it is open the next tick arrives
  // inside its modal loop and may show a box of its own.
  RecordingWindowSink sink;
  const WindowHandle window = makeWindow(sink);
  int ticks = 0;
  sink.onTick = [&](WindowHandle, std::uint32_t) {
    ++ticks;
    if (ticks <= 2) windows.messageBox(kNoWindow, ticks == 1 ? u"outer" : u"inner", u"", 0);
  };
  windows.answerNextBox(qx::win::kIdOk, 5000);
  windows.answerNextBox(qx::win::kIdOk, 1000);
  windows.setTimer(window, 1, 3000);
  clock.advance(3000);
  const auto& shown = windows.shownBoxes();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, u"outer");
  EXPECT_EQ(shown[0].modalDepth, 0);
  EXPECT_EQ(shown[0].shownAtMs, 3000);
  EXPECT_EQ(shown[1].text, u"inner");
  EXPECT_EQ(shown[1].modalDepth, 1);
  EXPECT_EQ(shown[1].shownAtMs, 6000);
  EXPECT_EQ(clock.nowMs(), 8000);
}

TEST_F(MessageBoxTest, BoxesThatCannotBeShownAnswerZeroAndKeepTheScript) {
  windows.answerNextBox(qx::win::kIdNo);
  faults.fail("windows.messageBox", hr::kFail);
  EXPECT_EQ(windows.messageBox(kNoWindow, u"t", u"c", qx::win::kMbYesNo), 0);
  EXPECT_EQ(windows.messageBox(0x7777, u"t", u"c", qx::win::kMbYesNo), 0);  // no such owner
  EXPECT_TRUE(windows.shownBoxes().empty());
  EXPECT_EQ(windows.messageBoxes().pending(), 1u);
  EXPECT_EQ(windows.messageBox(kNoWindow, u"t", u"c", qx::win::kMbYesNo), qx::win::kIdNo);
}

TEST_F(MessageBoxTest, TheObserverSeesEachBoxAsItComesUp) {
  std::vector<std::u16string> seen;
  windows.messageBoxes().setObserver([&](const MessageBoxRecord& box) {
    seen.push_back(box.caption + u":" + box.text);
    EXPECT_EQ(thread.modalDepth(), 0);  // before its loop runs
  });
  windows.messageBox(kNoWindow, u"Sorry", u"Quendrilax Outlook Version:10.0.0.4024", 0);
  EXPECT_EQ(seen, std::vector<std::u16string>{u"Quendrilax Outlook Version:10.0.0.4024:Sorry"});
}

}  // namespace
}  // namespace qx::sim

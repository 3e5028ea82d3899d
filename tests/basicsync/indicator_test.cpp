// The indicator toolbar: put up once in the first catch-up phase of a run,
// on a bar of ours that is visible or on a new one, and taken down when the
// basic synchronization is done.
#include "basic_sync_fixture.h"

namespace qx::test {
namespace {

using ::testing::IsEmpty;
using ::testing::SizeIs;

class Indicator : public BasicSyncTest {
 protected:
  std::vector<const sim::mail::BarState*> bars(std::u16string_view name) {
    std::vector<const sim::mail::BarState*> found;
    for (const auto& b : mail().commandBars())
      if (b.name == name) found.push_back(&b);
    return found;
  }
};

TEST_F(Indicator, ANewTemporaryBarCarriesTheButton) {
  connect();
  engine()->showIndicator();
  const auto* added = bar(u"Vantrosse");
  ASSERT_NE(added, nullptr);
  EXPECT_TRUE(added->visible);
  EXPECT_TRUE(added->temporary);
  ASSERT_THAT(added->buttons, SizeIs(1));
  const auto& button = added->buttons[0];
  EXPECT_EQ(button.style, 3);
  EXPECT_EQ(button.faceId, 790);
  EXPECT_TRUE(button.visible);
  EXPECT_TRUE(button.enabled);
  EXPECT_TRUE(button.temporary);
  EXPECT_EQ(button.caption, u"Quendrilax");
  EXPECT_EQ(button.tooltipText, u"Quendrilax");
  EXPECT_EQ(button.tag, u"Quendrilax");
  // Once is enough.
  engine()->showIndicator();
  EXPECT_THAT(bars(u"Vantrosse"), SizeIs(1));
  EXPECT_THAT(bar(u"Vantrosse")->buttons, SizeIs(1));
}

TEST_F(Indicator, AVisibleBarWhoseNameBeginsWithOursIsAdopted) {
  mail().addCommandBar(u"Vantrosse Werkzeuge", true);
  connect();
  engine()->showIndicator();
  EXPECT_EQ(bar(u"Vantrosse"), nullptr);
  EXPECT_THAT(bar(u"Vantrosse Werkzeuge")->buttons, SizeIs(1));
}

TEST_F(Indicator, AHiddenBarOfOursIsNotUsedAndAnotherIsAdded) {
  mail().addCommandBar(u"Vantrosse", false);
  connect();
  engine()->showIndicator();
  const auto found = bars(u"Vantrosse");
  ASSERT_THAT(found, SizeIs(2));
  EXPECT_THAT(found[0]->buttons, IsEmpty());
  EXPECT_FALSE(found[0]->visible);
  EXPECT_THAT(found[1]->buttons, SizeIs(1));
  EXPECT_TRUE(found[1]->visible);
}

TEST_F(Indicator, TheFirstBarOfOursDecidesEvenWhenHidden) {
  mail().addCommandBar(u"Vantrosse A", false);
  mail().addCommandBar(u"Vantrosse B", true);
  connect();
  engine()->showIndicator();
  EXPECT_THAT(bar(u"Vantrosse A")->buttons, IsEmpty());
  EXPECT_THAT(bar(u"Vantrosse B")->buttons, IsEmpty());
  ASSERT_NE(bar(u"Vantrosse"), nullptr);
  EXPECT_THAT(bar(u"Vantrosse")->buttons, SizeIs(1));
}

TEST_F(Indicator, WithoutAnExplorerNothingIsShownUntilOneIsThere) {
  connect();
  mail().setExplorerPresent(false);
  engine()->showIndicator();
  EXPECT_EQ(bar(u"Vantrosse"), nullptr);
  mail().setExplorerPresent(true);
  engine()->showIndicator();
  EXPECT_NE(bar(u"Vantrosse"), nullptr);
}

TEST_F(Indicator, AFailedAttemptLeavesNothingBehindAndTheNextOneShows) {
  connect();
  for (const char* call : {"mail.CommandBars.Add", "mail.CommandBarControls.Add",
                           "mail.CommandBarButton.SetFaceId", "mail.CommandBar.SetVisible"}) {
    SCOPED_TRACE(call);
    host.faults().fail(call, hr::kFail);
    engine()->showIndicator();
    EXPECT_EQ(bar(u"Vantrosse"), nullptr);
  }
  engine()->showIndicator();
  ASSERT_NE(bar(u"Vantrosse"), nullptr);
  EXPECT_THAT(bar(u"Vantrosse")->buttons, SizeIs(1));
}

TEST_F(Indicator, OnceRemovedItIsNotShownAgainInTheSameRun) {
  connect();
  engine()->showIndicator();
  engine()->removeIndicator();
  EXPECT_EQ(bar(u"Vantrosse"), nullptr);
  engine()->showIndicator();
  EXPECT_EQ(bar(u"Vantrosse"), nullptr);
  // Writing into the removed button does no harm.
  engine()->setIndicatorText(u"caption", u"tooltip");
}

TEST_F(Indicator, TheTimerShowsItDuringTheFirstCatchUpPhaseOnly) {
  const auto a = shareFolder(u"A", {"bob@office.test"});
  addTask(a, u"A1");
  addTask(a, u"A2");
  connect();
  clock.advance(10000);  // A1 goes
  ASSERT_NE(bar(u"Vantrosse"), nullptr);
  clock.advance(3000);  // A2 goes: done
  EXPECT_EQ(bar(u"Vantrosse"), nullptr);
  EXPECT_TRUE(engine()->basicSyncDone());
  EXPECT_EQ(mailsSent(), 2u);

  // A second catch-up phase from the property page shows nothing.
  engine()->processFolders(true);
  clock.advance(1000);
  EXPECT_EQ(bar(u"Vantrosse"), nullptr);
  EXPECT_EQ(mailsSent(), 3u);
}

}  // namespace
}  // namespace qx::test

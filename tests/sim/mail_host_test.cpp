// The simulated host's application-level objects: version, explorer and
// command bars, the add-in record.
#include <algorithm>

#include "sim/mail_fixture.h"

namespace qx::sim::mailtest {
namespace {

class MailHostTest : public MailFixture {};

TEST_F(MailHostTest, NamespaceAndDefaultFolders) {
  EXPECT_EQ(app()->getNamespace(u"OTHER").error(), hr::kInvalidArg);
  EXPECT_EQ(ok(app()->version()), u"10.0.0.6626");
  client.setVersion(u"10.0.0.4024");
  EXPECT_EQ(ok(app()->version()), u"10.0.0.4024");
  struct Case {
    std::int32_t which;
    const char16_t* name;
    const char16_t* messageClass;
  };
  const Case cases[] = {{default_folder::kDeletedItems, u"Deleted Items", u"IPM.Note"},
                        {default_folder::kOutbox, u"Outbox", u"IPM.Note"},
                        {default_folder::kSentMail, u"Sent Items", u"IPM.Note"},
                        {default_folder::kInbox, u"Inbox", u"IPM.Note"},
                        {default_folder::kTasks, u"Tasks", u"IPM.Task"}};
  for (const Case& c : cases) {
    auto f = folder(c.which);
    EXPECT_EQ(ok(f->name()), c.name);
    EXPECT_EQ(ok(f->defaultMessageClass()), c.messageClass);
    EXPECT_EQ(ok(f->storeId()), client.defaultStoreId());
  }
  EXPECT_EQ(ns()->getDefaultFolder(99).error(), hr::kInvalidArg);
  EXPECT_EQ(ok(ok(ns()->application())->version()), u"10.0.0.4024");
}

TEST_F(MailHostTest, CommandBarsOfTheActiveExplorer) {
  auto bars = ok(ok(app()->activeExplorer())->commandBars());
  std::int32_t before = ok(bars->count());
  auto bar = ok(bars->add(u"Vantrosse", 1, true));
  EXPECT_FALSE(ok(bar->visible())) << "a new bar is hidden until shown";
  auto control = ok(ok(bar->controls())->add(control_type::kButton, true));
  auto button = ok(control->queryCommandBarButton());
  ASSERT_EQ(button->setCaption(u"Quendrilax"), hr::kOk);
  ASSERT_EQ(button->setFaceId(790), hr::kOk);
  ASSERT_EQ(bar->setVisible(true), hr::kOk);
  EXPECT_EQ(ok(ok(bars->item(before + 1))->name()), u"Vantrosse");
  const mail::BarState& state = client.commandBars().back();
  ASSERT_EQ(state.buttons.size(), 1u);
  EXPECT_EQ(state.buttons[0].caption, u"Quendrilax");
  EXPECT_EQ(state.buttons[0].faceId, 790);

  ASSERT_EQ(button->deleteControl(), hr::kOk);
  EXPECT_FALSE(button->caption().has_value()) << "a deleted button answers no more";
  ASSERT_EQ(bar->deleteBar(), hr::kOk);
  EXPECT_EQ(ok(bars->count()), before);
  EXPECT_FALSE(bar->name().has_value());

  client.setExplorerPresent(false);
  EXPECT_EQ(ok(app()->activeExplorer()), nullptr);
}

// Temporary bars and controls live as long as the host's session: after a
// stop and a start only the lasting ones are there.
TEST_F(MailHostTest, TemporaryBarsAndControlsGoWhenTheHostStops) {
  client.addCommandBar(u"Lasting", true);
  auto bars = ok(ok(app()->activeExplorer())->commandBars());
  const std::int32_t lasting = ok(bars->count());
  ok(ok(ok(bars->item(lasting))->controls())->add(control_type::kButton, true));
  ok(ok(ok(bars->item(lasting))->controls())->add(control_type::kButton, false));
  auto temporary = ok(bars->add(u"Vantrosse", 1, true));
  ok(ok(temporary->controls())->add(control_type::kButton, false));
  ok(bars->add(u"Kept", 1, false));
  client.setRunning(false);
  client.setRunning(true);
  std::vector<std::u16string> names;
  for (const mail::BarState& bar : client.commandBars()) names.push_back(bar.name);
  EXPECT_EQ(std::count(names.begin(), names.end(), u"Vantrosse"), 0);
  EXPECT_EQ(std::count(names.begin(), names.end(), u"Kept"), 1);
  ASSERT_EQ(ok(bars->count()), lasting + 1);
  const mail::BarState& kept = client.commandBars()[static_cast<std::size_t>(lasting - 1)];
  EXPECT_EQ(kept.name, u"Lasting");
  ASSERT_EQ(kept.buttons.size(), 1u);
  EXPECT_FALSE(kept.buttons[0].temporary);
  EXPECT_FALSE(temporary->visible().has_value()) << "a bar that went fails every call";
}

TEST_F(MailHostTest, ABarOfATakenNameIsAddedBesideTheOtherAndEachHasItsIndex) {
  client.addCommandBar(u"Vantrosse", false);  // hidden, left from an earlier run
  auto bars = ok(ok(app()->activeExplorer())->commandBars());
  const std::int32_t before = ok(bars->count());
  auto added = ok(bars->add(u"Vantrosse", 1, true));
  ASSERT_EQ(added->setVisible(true), hr::kOk);
  ASSERT_EQ(ok(bars->count()), before + 1);

  struct Seen {
    std::u16string name;
    bool visible;
  };
  std::vector<Seen> named;
  for (std::int32_t i = 1; i <= before + 1; ++i) {
    auto bar = ok(bars->item(i));
    if (ok(bar->name()) == u"Vantrosse") named.push_back({ok(bar->name()), ok(bar->visible())});
  }
  ASSERT_EQ(named.size(), 2u);
  EXPECT_FALSE(named[0].visible) << "the old hidden bar comes first";
  EXPECT_TRUE(named[1].visible) << "the new one last";
  EXPECT_EQ(bars->item(0).error(), hr::kBadIndex);
  EXPECT_EQ(bars->item(before + 2).error(), hr::kBadIndex);

  // Each bar is its own: deleting the new one leaves the hidden one.
  ASSERT_EQ(added->deleteBar(), hr::kOk);
  EXPECT_EQ(ok(bars->count()), before);
  EXPECT_EQ(ok(ok(bars->item(before))->name()), u"Vantrosse");
  EXPECT_FALSE(ok(ok(bars->item(before))->visible()));
}

TEST_F(MailHostTest, SettingConnectToFalseDisconnectsBeforeTheCallReturns) {
  auto addIn = ok(client.comAddInObject()->queryComAddIn());
  int disconnects = 0;
  client.onAddInDisconnect([&] {
    ++disconnects;
    EXPECT_FALSE(client.addInConnected());
  });
  EXPECT_TRUE(ok(addIn->connect()));
  ASSERT_EQ(addIn->setConnect(false), hr::kOk);
  EXPECT_EQ(disconnects, 1);
  ASSERT_EQ(addIn->setConnect(false), hr::kOk);
  EXPECT_EQ(disconnects, 1) << "already disconnected";
}

TEST_F(MailHostTest, ParentOfAnItemIsItsFolder) {
  std::u16string id = client.addItem(tasksId(), task(u"t"));
  auto parent = ok(openTask(id)->parent());
  EXPECT_EQ(ok(ok(parent->queryFolder())->entryId()), tasksId());
  EXPECT_FALSE(parent->queryTask().has_value());
}

}  // namespace
}  // namespace qx::sim::mailtest

// Which item events of the watched folders become mails: the don't-touch list,
// the burst window, added items that lose their sync id, and the events that
// are no business of the sink.
#include "outgoing_fixture.h"

namespace qx::test {
namespace {

constexpr std::string_view kSent = "changed or new item detected";
constexpr std::string_view kMerged = "change event:MultipleChanges detected";
constexpr std::string_view kDontTouch = "change event:DontTouchItem";
constexpr std::string_view kOwnWrite = "change event:own write not sent again";

class ItemEvents : public OutgoingTest {
 protected:
  void SetUp() override {
    OutgoingTest::SetUp();
    share(team, "team", {"bob@example.org"});
    connect();
  }
  // A task that has been sent once and whose own save has been swallowed,
  // with the burst window of its events long over.
  std::u16string sentTask(std::u16string subject) {
    std::u16string id = addTask(team, std::move(subject));
    wait(5000);
    return id;
  }
  void setSubject(const std::u16string& id, std::u16string subject) {
    edit(id, [&](sim::mail::ItemData& d) { d.subject = std::move(subject); });
  }
};

TEST_F(ItemEvents, ANewTaskIsSentOnceAndItsOwnSaveIsSwallowed) {
  const std::u16string id = addTask(team, u"Plan");
  EXPECT_EQ(debugCount(kSent), 1);
  EXPECT_EQ(debugCount(kDontTouch), 1);
  EXPECT_TRUE(engine().dontTouchList().ids().empty());
  ASSERT_EQ(outbox().size(), 1u);
  EXPECT_EQ(carried(outbox()[0].data).subject, u"Plan");
  EXPECT_EQ(property(stored(id), u"lastsharename"), u"team");
}

// The list holds an id once, however often it was written, and for a minute:
// an entry that no event consumed must not swallow a real edit later on. And
// when the add-in knows what it wrote, an entry never swallows an event of
// other content: that is the user's edit.
TEST_F(ItemEvents, AnEntryOnTheDontTouchListSwallowsOneEventWithinAMinute) {
  struct Case {
    int registrations;
    std::int64_t ageMs;  // between the last registration and the first edit
    bool writeKnown;     // the add-in remembers what it wrote
    int swallowed;       // of two edits three seconds apart
  };
  int n = 0;
  for (const Case c : {Case{1, 0, false, 1}, Case{2, 0, false, 1}, Case{1, 60000, false, 1},
                       Case{1, 61000, false, 0}, Case{2, 61000, false, 0}, Case{1, 0, true, 0},
                       Case{2, 0, true, 0}}) {
    SCOPED_TRACE(testing::Message() << c.registrations << " " << c.ageMs << " " << c.writeKnown);
    const std::u16string id =
        sentTask(u"Task " + std::u16string(1, static_cast<char16_t>(u'a' + n++)));
    const int sentBefore = debugCount(kSent);
    if (!c.writeKnown) engine().noteOwnWrite(id, std::nullopt);
    for (int i = 0; i < c.registrations; ++i) engine().dontTouchList().add(id);
    wait(c.ageMs);
    setSubject(id, u"first");
    wait(3000);
    setSubject(id, u"second");
    EXPECT_EQ(debugCount(kSent), sentBefore + 2 - c.swallowed);
    EXPECT_TRUE(engine().dontTouchList().ids().empty());
    wait(3000);
  }
}

TEST_F(ItemEvents, EditsLessThanThreeSecondsApartAreMerged) {
  struct Case {
    std::int64_t gapMs;
    int sends;
  };
  for (const Case& c :
       {Case{0, 1}, Case{1000, 1}, Case{2000, 1}, Case{2999, 1}, Case{3000, 2}, Case{4000, 2}}) {
    SCOPED_TRACE(c.gapMs);
    const std::u16string id = sentTask(u"Gap " + std::u16string(1, u'a' + c.gapMs / 1000));
    const int sentBefore = debugCount(kSent);
    setSubject(id, u"first");
    wait(c.gapMs);
    setSubject(id, u"second");
    EXPECT_EQ(debugCount(kSent) - sentBefore, c.sends);
    wait(5000);
  }
}

// Hosts may raise several changed events for one save, the add-in's own
// save included: every event of the add-in's own save shows what it wrote and
// is neither sent nor held back (the first takes the don't-touch entry). The
// user's own extra events show what was just sent with the same content.
TEST_F(ItemEvents, SeveralChangedEventsOfOneSaveSendOnce) {
  mail().setChangeEventsPerSave(3);
  const std::u16string id = addTask(team, u"Echo");
  EXPECT_EQ(debugCount(kSent), 1);
  EXPECT_EQ(debugCount(kDontTouch), 1);
  EXPECT_EQ(debugCount(kOwnWrite), 2);
  wait(3000);
  setSubject(id, u"Echo again");
  EXPECT_EQ(debugCount(kSent), 2);
  EXPECT_EQ(debugCount(kDontTouch), 2);
  EXPECT_EQ(debugCount(kOwnWrite), 6);
  EXPECT_EQ(debugCount(kMerged), 0);
  EXPECT_TRUE(engine().pendingChanges().waiting.empty());
  EXPECT_EQ(outbox().size(), 1u);
  wait(3000);
  ASSERT_TRUE(engine().sendPendingChanges(false));
  EXPECT_EQ(debugCount(kSent), 2);
}

// A host may raise the change event of the add-in's own save while Save is
// still running: the entry must be on the list before the save, or the echo
// goes by and the entry is left to swallow a real edit later.
TEST_F(ItemEvents, AnOwnSaveWhoseEventComesDuringSaveIsSwallowed) {
  mail().setChangeEventsInSave(true);
  addTask(team, u"Early echo");
  EXPECT_EQ(debugCount(kSent), 1);
  EXPECT_EQ(debugCount(kDontTouch), 1);
  EXPECT_TRUE(engine().dontTouchList().ids().empty());
}

TEST_F(ItemEvents, TwoTasksChangedWithinASecondAreBothSent) {
  const std::u16string first = sentTask(u"One");
  const std::u16string second = sentTask(u"Two");
  const int sentBefore = debugCount(kSent);
  setSubject(first, u"One changed");
  setSubject(second, u"Two changed");
  EXPECT_EQ(debugCount(kSent) - sentBefore, 2);
}

TEST_F(ItemEvents, AnItemCopiedInLosesEverySyncIdAndGoesOutUnderANewOne) {
  const std::u16string id = addTask(team, u"Copy", [](sim::mail::ItemData& d) {
    d.userProperties.push_back({u"quendrilaxid", 1, Variant(u"{OLD}")});
    d.userProperties.push_back({u"other", 1, Variant(u"kept")});
    d.userProperties.push_back({u"quendrilaxid", 1, Variant(u"{OLDER}")});
  });
  const sim::mail::ItemData task = stored(id);
  EXPECT_EQ(propertyCount(task, u"quendrilaxid"), 1);
  EXPECT_EQ(property(task, u"other"), u"kept");
  const std::u16string syncId = property(task, u"quendrilaxid");
  EXPECT_EQ(syncId.size(), 38u);
  ASSERT_EQ(outbox().size(), 1u);
  EXPECT_EQ(fields(outbox()[0].data).syncId, narrow(syncId));
}

// An added task whose old ids cannot be cleared is not sent under them, and
// an entry the add-in put on the list for it is still taken off.
TEST_F(ItemEvents, AnAddedTaskThatCannotBeClearedIsNotSent) {
  sim::mail::ItemData data = sim::mail::ItemData::newTask();
  data.subject = u"Stuck";
  data.userProperties.push_back({u"quendrilaxid", 1, Variant(u"{OLD}")});
  for (bool listed : {false, true}) {
    SCOPED_TRACE(listed);
    faults().fail("mail.UserProperties.Remove", hr::kFail);
    const std::u16string id = mail().addItem(team, data);
    if (listed) engine().dontTouchList().add(id);
    pump();
    EXPECT_EQ(debugCount(kSent), 0);
    EXPECT_EQ(debugCount(kDontTouch), listed ? 1 : 0);
    EXPECT_TRUE(engine().dontTouchList().ids().empty());
    EXPECT_TRUE(outbox().empty());
  }
}

TEST_F(ItemEvents, ItemsThatAreNotTasksAreIgnored) {
  sim::mail::ItemData note = sim::mail::ItemData::newMail();
  note.subject = u"a mail";
  mail().addItem(team, note);
  mail().addItem(folderOf(default_folder::kDeletedItems), note);
  pump();
  EXPECT_EQ(debugCount(kSent), 0);
  EXPECT_EQ(debugCount("deleted item detected"), 0);
  EXPECT_TRUE(outbox().empty());
}

TEST_F(ItemEvents, OnlyAddedAndChangedEventsWithOneItemAreHandled) {
  const std::u16string id = sentTask(u"Shapes");
  engine().noteOwnWrite(id, std::nullopt);  // a task the add-in did not just write
  const std::shared_ptr<CItemsEvents>& sink = engine().folderWatches().at(0)->sink();
  auto item = alice->mail().core().openItem(alice->mail().core().defaultStore(), id);
  const int sentBefore = debugCount(kSent);
  const Variant one[] = {Variant(item)};
  const Variant two[] = {Variant(item), Variant(item)};
  const Variant text[] = {Variant(u"not an item")};
  EXPECT_EQ(sink->invoke(dispid::kItemRemove, {}), hr::kOk);
  EXPECT_EQ(sink->invoke(dispid::kItemRemove, one), hr::kOk);
  EXPECT_EQ(sink->invoke(0xF004, one), hr::kOk);
  EXPECT_EQ(sink->invoke(dispid::kItemChange, two), hr::kOk);
  EXPECT_EQ(sink->invoke(dispid::kItemChange, text), hr::kOk);
  EXPECT_EQ(sink->invoke(dispid::kItemChange, {}), hr::kOk);
  EXPECT_EQ(debugCount(kSent), sentBefore);
  EXPECT_EQ(sink->invoke(dispid::kItemChange, one), hr::kOk);
  EXPECT_EQ(debugCount(kSent), sentBefore + 1);
}

TEST_F(ItemEvents, OnlyAFailedFolderQueryIsReportedToTheHost) {
  const std::u16string id = sentTask(u"Parent");
  engine().noteOwnWrite(id, std::nullopt);  // a task the add-in did not just write
  const std::shared_ptr<CItemsEvents>& sink = engine().folderWatches().at(0)->sink();
  const Variant one[] = {
      Variant(alice->mail().core().openItem(alice->mail().core().defaultStore(), id))};
  faults().fail("mail.QueryInterface.Folder", hr::kNoInterface);
  EXPECT_EQ(sink->invoke(dispid::kItemChange, one), hr::kFail);
  for (const char* operation :
       {"mail.QueryInterface.TaskItem", "mail.TaskItem.EntryID", "clock.toLocalDate"}) {
    SCOPED_TRACE(operation);
    wait(3000);
    faults().fail(operation, hr::kFail);
    EXPECT_EQ(sink->invoke(dispid::kItemChange, one), hr::kOk);
  }
  EXPECT_EQ(debugCount(kSent), 1);
}

TEST_F(ItemEvents, AChangeInsideDeletedItemsFindsNoRecipients) {
  const std::u16string id = sentTask(u"Binned");
  const std::u16string binned = remove(id);
  transport();
  wait(5000);
  const int sentBefore = debugCount(kSent);
  edit(binned, [](sim::mail::ItemData& d) { d.subject = u"changed in the bin"; });
  EXPECT_EQ(debugCount("fillUserList::no Users"), 1);
  EXPECT_EQ(debugCount(kSent), sentBefore);
  EXPECT_TRUE(outbox().empty());
}

TEST_F(ItemEvents, ReloadingTheFoldersRewatchesThemAndEmptiesTheDontTouchList) {
  const std::u16string other = mail().createFolder(u"Other", u"IPM.Task");
  const std::u16string id = sentTask(u"Before");
  engine().dontTouchList().add(id);
  share(other, "other", {"carol@example.org"});
  unshare(team);
  ASSERT_TRUE(engine().reloadFolders());
  EXPECT_TRUE(engine().dontTouchList().ids().empty());
  ASSERT_EQ(engine().folderWatches().size(), 1u);
  EXPECT_EQ(mail().itemSubscriptions(team), 0u);
  EXPECT_EQ(mail().itemSubscriptions(other), 1u);
  const int sentBefore = debugCount(kSent);
  setSubject(id, u"no longer shared");
  addTask(other, u"In the other folder");
  EXPECT_EQ(debugCount(kSent), sentBefore + 1);
}

// Every event of the item, merged or swallowed, starts the window again: a
// run of edits two seconds apart goes out once, and an edit right after the
// add-in wrote a task is merged into that write.
TEST_F(ItemEvents, EveryEventOfTheItemStartsTheWindowAgain) {
  const std::u16string id = sentTask(u"Run");
  const int sentBefore = debugCount(kSent);
  for (const char16_t* subject : {u"Run 1", u"Run 2", u"Run 3"}) {
    setSubject(id, subject);
    wait(2000);
  }
  EXPECT_EQ(debugCount(kSent) - sentBefore, 1);

  wait(5000);
  sim::mail::ItemData data = sim::mail::ItemData::newTask();
  data.subject = u"Written";
  const std::u16string written = mail().addItem(team, data);
  engine().dontTouchList().add(written);
  pump();
  wait(1000);
  setSubject(written, u"Written and edited");
  EXPECT_EQ(debugCount(kSent) - sentBefore, 1);
  EXPECT_EQ(debugCount(kMerged), 3);
}

}  // namespace
}  // namespace qx::test

namespace qx::test {
namespace {

// A save the burst window held back goes out when the add-in is disconnected
// before the next tick: no tick comes any more to send it.
TEST_F(ItemEvents, AHeldBackSaveGoesOutAtDisconnection) {
  const std::u16string id = sentTask(u"Draft");
  wait(3000);
  setSubject(id, u"Draft 1");
  wait(1000);
  setSubject(id, u"Draft 2");
  EXPECT_EQ(debugCount(kMerged), 1);
  ASSERT_EQ(outbox().size(), 1u);
  EXPECT_EQ(carried(outbox()[0].data).subject, u"Draft 1");
  connection->onDisconnection(1);
  ASSERT_EQ(outbox().size(), 1u);
  EXPECT_EQ(carried(outbox()[0].data).subject, u"Draft 2");
}

}  // namespace
}  // namespace qx::test

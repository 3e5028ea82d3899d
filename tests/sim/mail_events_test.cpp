// The simulated mail client's events: which ones, in which order, when they
// arrive, and which are dropped.
#include "sim/mail_fixture.h"

namespace qx::sim::mailtest {
namespace {

using dispid::kItemAdd;
using dispid::kItemChange;
using dispid::kItemRemove;

class MailEventsTest : public MailFixture {};

TEST_F(MailEventsTest, EventsWaitForTheUiThreadAndArriveInOrder) {
  auto tasks = items(folder(default_folder::kTasks));
  auto sink = watch(tasks);

  auto created = ok(ok(app()->createItem(item_kind::kTask))->queryTask());
  ASSERT_EQ(created->setSubject(u"one"), hr::kOk);
  ASSERT_EQ(created->save(), hr::kOk);  // first save: arrives in Tasks
  ASSERT_EQ(created->setSubject(u"two"), hr::kOk);
  ASSERT_EQ(created->save(), hr::kOk);  // changed in Tasks
  EXPECT_TRUE(sink->events.empty()) << "events run only when the thread pumps";

  thread.pump();
  ASSERT_EQ(sink->ids(), (std::vector<std::int32_t>{kItemAdd, kItemChange}));
  // The item argument is opened at delivery and shows the state then.
  auto delivered = ok(sink->events[0].args.at(0).asDispatch()->queryTask());
  EXPECT_EQ(ok(delivered->subject()), u"two");
  EXPECT_EQ(ok(delivered->entryId()), ok(created->entryId()));
}

TEST_F(MailEventsTest, MoveAndDeleteRaiseRemoveAndAddOnBothFolders) {
  std::u16string shared = client.createFolder(u"Shared", u"IPM.Task", tasksId());
  std::u16string id = client.addItem(tasksId(), task(u"walk"));
  thread.pump();
  auto tasksSink = watch(items(folder(default_folder::kTasks)));
  auto sharedSink = watch(items(folderById(shared)));
  auto deletedSink = watch(items(folder(default_folder::kDeletedItems)));

  auto moved = ok(openTask(id)->move(folderById(shared)));
  thread.pump();
  ASSERT_EQ(ok(moved->queryTask())->deleteItem(), hr::kOk);
  thread.pump();
  EXPECT_EQ(tasksSink->ids(), (std::vector<std::int32_t>{kItemRemove}));
  EXPECT_EQ(sharedSink->ids(), (std::vector<std::int32_t>{kItemAdd, kItemRemove}));
  ASSERT_EQ(deletedSink->ids(), (std::vector<std::int32_t>{kItemAdd}));
  EXPECT_TRUE(tasksSink->events[0].args.empty()) << "ItemRemove passes no item";

  // Delete inside Deleted Items removes the item for good.
  auto inDeleted = ok(deletedSink->events[0].args[0].asDispatch()->queryTask());
  ASSERT_EQ(inDeleted->deleteItem(), hr::kOk);
  thread.pump();
  EXPECT_EQ(deletedSink->ids(), (std::vector<std::int32_t>{kItemAdd, kItemRemove}));
  EXPECT_TRUE(client.folderItems(deletedId()).empty());
}

TEST_F(MailEventsTest, AddedOrChangedItemsThatCannotBeOpenedAtDeliveryAreDropped) {
  std::u16string other = client.createFolder(u"Other", u"IPM.Task");
  auto sink = watch(items(folder(default_folder::kTasks)));

  struct Case {
    const char* name;
    std::function<void()> act;
    std::vector<std::int32_t> expected;
  };
  std::vector<Case> cases = {
      {"added then moved away",
       [&] { client.moveItem(client.addItem(tasksId(), task(u"a")), other); },
       {kItemRemove}},
      {"added then hard-deleted",
       [&] { client.hardDelete(client.addItem(tasksId(), task(u"b"))); },
       {kItemRemove}},
      {"changed then deleted",
       [&] {
         std::u16string id = client.addItem(tasksId(), task(u"c"));
         thread.pump();
         sink->events.clear();
         client.changeItem(id, [](mail::ItemData& d) { d.subject = u"c2"; });
         client.deleteItem(id);
       },
       {kItemRemove}},
      {"added and kept", [&] { client.addItem(tasksId(), task(u"d")); }, {kItemAdd}},
  };
  for (Case& c : cases) {
    sink->events.clear();
    c.act();
    thread.pump();
    EXPECT_EQ(sink->ids(), c.expected) << c.name;
  }
}

TEST_F(MailEventsTest, UnadvisedSinksHearNothingAndKeepNoReference) {
  auto collection = items(folder(default_folder::kTasks));
  auto point = ok(collection->findConnectionPoint(iid::kItemsEvents));
  auto sink = std::make_shared<RecordingSink>();
  std::uint32_t cookie = ok(point->advise(sink));
  EXPECT_NE(cookie, 0u);
  EXPECT_EQ(client.itemSubscriptions(tasksId()), 1u);
  EXPECT_EQ(point->unadvise(cookie), hr::kOk);
  EXPECT_EQ(point->unadvise(cookie), hr::kNoConnection);
  EXPECT_EQ(sink.use_count(), 1);
  client.addItem(tasksId(), task(u"x"));
  thread.pump();
  EXPECT_TRUE(sink->events.empty());
}

TEST_F(MailEventsTest, SinksHearEventsOnlyWhileTheirCollectionIsHeld) {
  struct Case {
    const char* name;
    bool keepCollection;
    bool keepPoint;
    std::size_t expected;
  };
  const Case cases[] = {
      {"collection held", true, false, 1},
      {"only the connection point held", false, true, 1},
      {"both dropped", false, false, 0},
  };
  for (const Case& c : cases) {
    auto collection = items(folder(default_folder::kTasks));
    auto point = ok(collection->findConnectionPoint(iid::kItemsEvents));
    auto sink = std::make_shared<RecordingSink>();
    ok(point->advise(sink));
    if (!c.keepCollection) collection.reset();
    if (!c.keepPoint) point.reset();
    client.addItem(tasksId(), task(u"x"));
    thread.pump();
    EXPECT_EQ(sink->events.size(), c.expected) << c.name;
    EXPECT_EQ(client.itemSubscriptions(tasksId()), c.expected) << c.name;
    EXPECT_EQ(sink.use_count(), c.expected == 0 ? 1 : 2)
        << c.name << ": the host lets go of the sink with the collection";
    collection.reset();
    point.reset();
    EXPECT_EQ(client.itemSubscriptions(tasksId()), 0u) << c.name;
  }
}

TEST_F(MailEventsTest, AnEventReachesOnlyTheSinksListeningWhenItWasRaised) {
  auto collection = items(folder(default_folder::kTasks));
  auto early = watch(collection);
  std::u16string id = client.addItem(tasksId(), task(u"before the late sink"));
  auto late = watch(collection);  // advised after the change, before delivery
  thread.pump();
  EXPECT_EQ(early->ids(), (std::vector<std::int32_t>{kItemAdd}));
  EXPECT_TRUE(late->events.empty());

  client.changeItem(id, [](mail::ItemData& d) { d.subject = u"after"; });
  thread.pump();
  EXPECT_EQ(early->ids(), (std::vector<std::int32_t>{kItemAdd, kItemChange}));
  EXPECT_EQ(late->ids(), (std::vector<std::int32_t>{kItemChange}));
}

TEST_F(MailEventsTest, AHostThatIsNotRunningRaisesNoEvents) {
  auto appSink = std::make_shared<RecordingSink>();
  ok(ok(app()->findConnectionPoint(iid::kApplicationEvents))->advise(appSink));
  auto nsSink = std::make_shared<RecordingSink>();
  ok(ok(ns()->findConnectionPoint(iid::kNamespaceEvents))->advise(nsSink));
  auto tasks = watch(items(folder(default_folder::kTasks)));

  client.setRunning(false);
  std::u16string id = client.addItem(tasksId(), task(u"added while stopped"));
  client.changeItem(id, [](mail::ItemData& d) { d.percentComplete = 10; });
  client.deliver({mailTo(u"alice@example.org", u"hello")});
  client.openFolderProperties(tasksId());
  thread.pump();
  client.setRunning(true);
  // A sink advised after the start hears nothing of what happened before.
  auto afterStart = watch(items(folder(default_folder::kTasks)));
  thread.pump();
  EXPECT_TRUE(appSink->events.empty());
  EXPECT_TRUE(nsSink->events.empty());
  EXPECT_TRUE(tasks->events.empty());
  EXPECT_TRUE(afterStart->events.empty());
  EXPECT_EQ(client.folderItems(tasksId()).size(), 1u) << "the store changed all the same";

  client.changeItem(id, [](mail::ItemData& d) { d.percentComplete = 20; });
  thread.pump();
  EXPECT_EQ(afterStart->ids(), (std::vector<std::int32_t>{kItemChange}));
}

TEST_F(MailEventsTest, OneSaveMayRaiseSeveralChangeEvents) {
  std::u16string id = client.addItem(tasksId(), task(u"t"));
  thread.pump();
  auto sink = watch(items(folder(default_folder::kTasks)));
  for (int perSave : {1, 2, 3}) {
    sink->events.clear();
    client.setChangeEventsPerSave(perSave);
    auto edited = openTask(id);
    ASSERT_EQ(edited->setPercentComplete(perSave * 10), hr::kOk);
    ASSERT_EQ(edited->save(), hr::kOk);
    client.changeItem(id, [](mail::ItemData& d) { d.body += u"x"; });
    thread.pump();
    EXPECT_EQ(sink->ids(),
              std::vector<std::int32_t>(static_cast<std::size_t>(2 * perSave), kItemChange))
        << perSave << " per save, for the add-in's save and the user's";
  }
  // Adding an item still raises one ItemAdd.
  sink->events.clear();
  client.addItem(tasksId(), task(u"u"));
  thread.pump();
  EXPECT_EQ(sink->ids(), (std::vector<std::int32_t>{kItemAdd}));
}

// A host may raise a save's change events while Save is still running; the
// user's own edits and added items still wait for the thread.
TEST_F(MailEventsTest, ASaveMayRaiseItsChangeEventsBeforeItReturns) {
  std::u16string id = client.addItem(tasksId(), task(u"t"));
  thread.pump();
  auto sink = watch(items(folder(default_folder::kTasks)));
  client.setChangeEventsInSave(true);
  client.setChangeEventsPerSave(2);
  auto edited = openTask(id);
  ASSERT_EQ(edited->setSubject(u"saved"), hr::kOk);
  ASSERT_EQ(edited->save(), hr::kOk);
  ASSERT_EQ(sink->ids(), (std::vector<std::int32_t>{kItemChange, kItemChange}))
      << "raised before Save returned";
  EXPECT_EQ(ok(ok(sink->events[0].args.at(0).asDispatch()->queryTask())->subject()), u"saved");

  sink->events.clear();
  client.changeItem(id, [](mail::ItemData& d) { d.body += u"x"; });
  client.addItem(tasksId(), task(u"u"));
  EXPECT_TRUE(sink->events.empty());
  thread.pump();
  EXPECT_EQ(sink->ids(), (std::vector<std::int32_t>{kItemChange, kItemChange, kItemAdd}));
}

TEST_F(MailEventsTest, TheUsersCopyIsANewItemWithTheSameContent) {
  std::u16string shared = client.createFolder(u"Shared", u"IPM.Task", tasksId());
  auto sharedSink = watch(items(folderById(shared)));
  auto tasksSink = watch(items(folder(default_folder::kTasks)));
  auto data = task(u"copied");
  data.body = u"body";
  data.userProperties.push_back({u"quendrilaxid", user_property_type::kText, Variant(u"{ID}")});
  data.userProperties.push_back({u"quendrilaxid", user_property_type::kText, Variant(u"{ID2}")});
  std::u16string id = client.addItem(tasksId(), data);
  thread.pump();
  tasksSink->events.clear();

  auto copy = client.copyItem(id, shared);
  ASSERT_TRUE(copy);
  EXPECT_NE(*copy, id);
  EXPECT_EQ(client.item(*copy)->folderId, shared);
  EXPECT_EQ(client.item(*copy)->data, client.item(id)->data);
  EXPECT_EQ(ok(ok(openTask(*copy)->userProperties())->count()), 2);
  thread.pump();
  ASSERT_EQ(sharedSink->ids(), (std::vector<std::int32_t>{kItemAdd}));
  EXPECT_EQ(entryIdOf(sharedSink->events[0].args.at(0).asDispatch()), *copy);
  EXPECT_TRUE(tasksSink->events.empty()) << "the original stays untouched";
  EXPECT_FALSE(client.copyItem(id, u"00000000"));
  EXPECT_FALSE(client.copyItem(u"00000000", shared));
}

TEST_F(MailEventsTest, ASinkMayUnadviseAnotherDuringDelivery) {
  auto collection = items(folder(default_folder::kTasks));
  auto point = ok(collection->findConnectionPoint(iid::kItemsEvents));
  auto first = std::make_shared<RecordingSink>();
  auto second = std::make_shared<RecordingSink>();
  ok(point->advise(first));
  std::uint32_t secondCookie = ok(point->advise(second));
  first->onEvent = [&](const Event&) { point->unadvise(secondCookie); };
  client.addItem(tasksId(), task(u"x"));
  thread.pump();
  EXPECT_EQ(first->events.size(), 1u);
  EXPECT_TRUE(second->events.empty());
}

TEST_F(MailEventsTest, EventInterfacesAreFoundOnlyWhereTheHostRaisesThem) {
  EXPECT_EQ(app()->findConnectionPoint(iid::kItemsEvents).error(), hr::kNoConnection);
  EXPECT_EQ(ns()->findConnectionPoint(iid::kApplicationEvents).error(), hr::kNoConnection);
  EXPECT_EQ(
      items(folder(default_folder::kInbox))->findConnectionPoint(iid::kNamespaceEvents).error(),
      hr::kNoConnection);
  EXPECT_TRUE(app()->findConnectionPoint(iid::kApplicationEvents).has_value());
  EXPECT_TRUE(ns()->findConnectionPoint(iid::kNamespaceEvents).has_value());
}

TEST_F(MailEventsTest, OptionsPagesAddPassesPagesAndFolderAsTheHostDoes) {
  auto appSink = std::make_shared<RecordingSink>();
  auto nsSink = std::make_shared<RecordingSink>();
  ok(ok(app()->findConnectionPoint(iid::kApplicationEvents))->advise(appSink));
  ok(ok(ns()->findConnectionPoint(iid::kNamespaceEvents))->advise(nsSink));
  nsSink->onEvent = [](const Event& e) {
    auto pages = ok(e.args.at(0).asDispatch()->queryPropertyPages());
    auto f = ok(e.args.at(1).asDispatch()->queryFolder());
    EXPECT_EQ(ok(f->defaultMessageClass()), u"IPM.Task");
    EXPECT_EQ(pages->add(Variant(u"Corvessa.Page"), u"Quendrilax"), hr::kOk);
  };

  auto offered = client.openFolderProperties(tasksId());
  ASSERT_EQ(nsSink->events.size(), 1u);
  EXPECT_EQ(nsSink->events[0].dispId, dispid::kOptionsPagesAdd);
  EXPECT_EQ(nsSink->events[0].args.size(), 2u);
  EXPECT_TRUE(appSink->events.empty());
  ASSERT_EQ(offered.size(), 1u);
  EXPECT_EQ(*offered[0].page.text(), u"Corvessa.Page");
  EXPECT_EQ(offered[0].title, u"Quendrilax");

  client.openOptions();
  ASSERT_EQ(appSink->events.size(), 1u);
  EXPECT_EQ(appSink->events[0].args.size(), 1u);
}

TEST_F(MailEventsTest, NewMailFollowsDeliveryToTheInbox) {
  auto appSink = std::make_shared<RecordingSink>();
  ok(ok(app()->findConnectionPoint(iid::kApplicationEvents))->advise(appSink));
  auto inboxSink = watch(items(folder(default_folder::kInbox)));
  client.deliver({mailTo(u"alice@example.org", u"hello"), mailTo(u"alice@example.org", u"again")});
  EXPECT_TRUE(appSink->events.empty());
  thread.pump();
  EXPECT_EQ(inboxSink->ids(), (std::vector<std::int32_t>{kItemAdd, kItemAdd}));
  ASSERT_EQ(appSink->ids(), (std::vector<std::int32_t>{dispid::kNewMail}));
  EXPECT_TRUE(appSink->events[0].args.empty());
}

TEST_F(MailEventsTest, EventsPostedDuringAModalLoopArriveInsideIt) {
  auto sink = watch(items(folder(default_folder::kTasks)));
  client.addItem(tasksId(), task(u"x"));
  thread.modalLoop(10);
  EXPECT_EQ(sink->ids(), (std::vector<std::int32_t>{kItemAdd}));
}

TEST_F(MailEventsTest, ShutDownClientDropsSinksAndRefusesCalls) {
  auto application = app();
  auto sink = std::make_shared<RecordingSink>();
  {
    VirtualClock otherClock;
    UiThread otherThread{otherClock};
    auto other = std::make_unique<MailClient>(otherThread, files, faults, u"bob@example.org");
    auto otherApp = ok(other->applicationObject()->queryApplication());
    ok(ok(otherApp->findConnectionPoint(iid::kApplicationEvents))->advise(sink));
    EXPECT_EQ(sink.use_count(), 2);
    other.reset();
    EXPECT_EQ(sink.use_count(), 1) << "the host let go of the add-in's sink";
    EXPECT_EQ(otherApp->version().error(), hr::kDisconnected);
  }
  EXPECT_TRUE(application->version().has_value());
}

}  // namespace
}  // namespace qx::sim::mailtest

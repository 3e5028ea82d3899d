#include "protocol/sync_identity.h"

#include <gtest/gtest.h>

#include "protocol/sync_id.h"
#include "protocol/sync_mail_fixture.h"

namespace qx {
namespace {

using testing::SyncMailFixture;

class SyncIdAssign : public SyncMailFixture {};

TEST_F(SyncIdAssign, NewTaskGetsAWellFormedIdOnceAndKeepsIt) {
  const std::u16string entry = addTask(teamId, u"Report");
  auto task = openTask(entry);
  ASSERT_TRUE(task);
  const Result<TaskSyncId> first = getOrAssignSyncId(*task, guids);
  ASSERT_TRUE(first.has_value());
  EXPECT_TRUE(first->assigned);
  EXPECT_TRUE(hasSyncIdForm(first->id));
  ASSERT_EQ(task->save(), hr::kOk);

  auto again = openTask(entry);
  const Result<TaskSyncId> second = getOrAssignSyncId(*again, guids);
  ASSERT_TRUE(second.has_value());
  EXPECT_FALSE(second->assigned);
  EXPECT_EQ(second->id, first->id);
  EXPECT_EQ(client.item(entry)->data.userProperties.size(), 1u);
}

TEST_F(SyncIdAssign, ExistingPropertiesDecide) {
  struct Case {
    const char* label;
    std::vector<sim::mail::UserProp> properties;
    bool assigned;
    std::u16string id;  // expected when not assigned
    std::size_t propertiesAfter;
  };
  const Case cases[] = {
      {"text id reused", {idProperty(u"{A}")}, false, u"{A}", 1},
      {"first of two wins", {idProperty(u"{A}"), idProperty(u"{B}")}, false, u"{A}", 2},
      {"other properties before it",
       {idProperty(u"x", u"lastsharename"), idProperty(u"{A}")},
       false,
       u"{A}",
       2},
      {"non-text value gives an empty id and no new one",
       {{u"quendrilaxid", user_property_type::kNumber, Variant(std::int32_t{5})}},
       false,
       u"",
       1},
      {"name in another case is not the id", {idProperty(u"{A}", u"QuendrilaxID")}, true, u"", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::u16string entry = addTask(teamId, u"T", c.properties);
    auto task = openTask(entry);
    const Result<TaskSyncId> got = getOrAssignSyncId(*task, guids);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->assigned, c.assigned);
    if (c.assigned) {
      EXPECT_TRUE(hasSyncIdForm(got->id));
    } else {
      EXPECT_EQ(got->id, c.id);
    }
    ASSERT_EQ(task->save(), hr::kOk);
    EXPECT_EQ(client.item(entry)->data.userProperties.size(), c.propertiesAfter);
  }
}

// A failed assignment must leave no empty id property behind: saved later, it
// would read as an id that is never replaced.
TEST_F(SyncIdAssign, FailuresLeaveNoPropertyBehind) {
  struct Case {
    const char* operation;
  };
  const Case cases[] = {{"guid.create"},
                        {"guid.toString"},
                        {"mail.UserProperties.Add"},
                        {"mail.UserProperty.SetValue"},
                        {"mail.UserProperties.Count"},
                        {"mail.UserProperties.Item"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.operation);
    const std::u16string entry = addTask(teamId, u"T", {idProperty(u"v", u"other")});
    auto task = openTask(entry);
    faults.fail(c.operation, hr::kFail);
    EXPECT_FALSE(getOrAssignSyncId(*task, guids).has_value());
    faults.clearAll();
    ASSERT_EQ(task->save(), hr::kOk);
    const auto stored = client.item(entry);
    ASSERT_EQ(stored->data.userProperties.size(), 1u);
    EXPECT_EQ(stored->data.userProperties[0].name, u"other");
  }
}

class SyncIdLookup : public SyncMailFixture {
 protected:
  // Events of the watched folders, delivered as the host delivers them while
  // the collection is held, as a folder watch holds it.
  void watch(const std::u16string& folderId, const std::shared_ptr<testing::RecordingSink>& sink) {
    auto items = folder(folderId)->items();
    ASSERT_TRUE(items.has_value());
    auto point = (*items)->findConnectionPoint(iid::kItemsEvents);
    ASSERT_TRUE(point.has_value());
    ASSERT_TRUE((*point)->advise(sink).has_value());
    watched.push_back(*items);
  }
  std::vector<std::shared_ptr<Items>> watched;
  // No delivered event may hand a sink a task that the sender would mail.
  void expectNothingSendable(const testing::RecordingSink& sink) {
    for (const auto& event : sink.events) {
      if (!event.item()) continue;
      auto task = event.item()->queryTask();
      if (!task) continue;
      auto sensitivity = (*task)->sensitivity();
      if (!sensitivity) continue;
      EXPECT_EQ(*sensitivity, sensitivity::kPrivate) << "event " << event.dispId;
    }
  }
};

TEST_F(SyncIdLookup, FolderThatNeverHadTheFieldIsSearchedAndKeepsEveryTask) {
  const std::u16string a = addTask(teamId, u"A");
  const std::u16string b = addTask(teamId, u"B");
  const std::u16string mine = addTask(tasksId(), u"Mine");
  thread.pump();
  const auto before = client.folderItems(teamId);
  const std::size_t deletedBefore = client.folderItems(deletedId()).size();
  auto teamSink = std::make_shared<testing::RecordingSink>();
  auto tasksSink = std::make_shared<testing::RecordingSink>();
  auto deletedSink = std::make_shared<testing::RecordingSink>();
  watch(teamId, teamSink);
  watch(tasksId(), tasksSink);
  watch(deletedId(), deletedSink);

  EXPECT_EQ(findTaskBySyncId(*session, team(), u"{NOT-THERE}"), nullptr);
  thread.pump();

  const auto after = client.folderItems(teamId);
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t i = 0; i < after.size(); ++i) {
    EXPECT_EQ(after[i].entryId, before[i].entryId);
    EXPECT_EQ(after[i].data, before[i].data);
  }
  EXPECT_EQ(subjects(tasksId()), std::vector<std::u16string>{u"Mine"});
  EXPECT_EQ(client.folderItems(deletedId()).size(), deletedBefore);
  // The definer came and went through the watched folders.
  EXPECT_FALSE(teamSink->events.empty());
  expectNothingSendable(*teamSink);
  expectNothingSendable(*tasksSink);
  expectNothingSendable(*deletedSink);

  // The field is known now: the folder sorts by it without another definer.
  auto items = team()->items();
  EXPECT_EQ((*items)->sort(u"[quendrilaxid]", false), hr::kOk);
  (void)a;
  (void)b;
  (void)mine;
}

TEST_F(SyncIdLookup, FindsTheTaskWithThatIdAndTheFirstOfDuplicates) {
  addTask(teamId, u"Other", {idProperty(u"{B}")});
  const std::u16string first = addTask(teamId, u"First", {idProperty(u"{A}")});
  const std::u16string second = addTask(teamId, u"Second", {idProperty(u"{A}")});
  addTask(teamId, u"No id");

  // Among duplicates the first in the host's order of the sorted collection,
  // which need not be the first to arrive.
  const std::u16string found = entryIdOf(findTaskBySyncId(*session, team(), u"{A}"));
  auto items = *team()->items();
  ASSERT_EQ(items->sort(u"[quendrilaxid]", false), hr::kOk);
  std::u16string firstListed;
  for (std::int32_t i = 1; i <= *items->count() && firstListed.empty(); ++i) {
    const std::u16string id = entryIdOf(*items->item(i));
    if (id == first || id == second) firstListed = id;
  }
  EXPECT_EQ(found, firstListed);
  EXPECT_NE(findTaskBySyncId(*session, team(), u"{B}"), nullptr);
  EXPECT_EQ(findTaskBySyncId(*session, team(), u"{C}"), nullptr);
}

// Ids come from received mails: an empty one, or one that could rewrite the
// filter, must not name a task.
TEST_F(SyncIdLookup, EmptyOrQuotedIdsNameNoTask) {
  addTask(teamId, u"Empty id", {idProperty(u"")});
  addTask(teamId, u"Quoted id", {idProperty(u"it's")});
  EXPECT_EQ(findTaskBySyncId(*session, team(), u""), nullptr);
  EXPECT_EQ(findTaskBySyncId(*session, team(), u"it''s"), nullptr);
  EXPECT_EQ(findTaskBySyncId(*session, team(), u"it's"), nullptr);
  EXPECT_EQ(findTaskBySyncId(*session, nullptr, u"{A}"), nullptr);
}

TEST_F(SyncIdLookup, FailuresYieldNone) {
  addTask(teamId, u"A", {idProperty(u"{A}")});
  for (const char* operation : {"mail.Folder.Items", "mail.Items.Find"}) {
    SCOPED_TRACE(operation);
    faults.fail(operation, hr::kFail, 0);
    EXPECT_EQ(findTaskBySyncId(*session, team(), u"{A}"), nullptr);
    faults.clearAll();
  }
  faults.fail("mail.Items.Sort", hr::kFail, 0);
  EXPECT_EQ(findTaskBySyncId(*session, team(), u"{A}"), nullptr);
  faults.clearAll();
  EXPECT_EQ(subjects(teamId), std::vector<std::u16string>{u"A"});
  EXPECT_NE(findTaskBySyncId(*session, team(), u"{A}"), nullptr);
}

TEST_F(SyncIdLookup, FieldDefinerIsDiscardedWhateverFails) {
  addTask(teamId, u"A");
  struct Case {
    const char* operation;
    bool defined;
    // Only when Deleted Items cannot be reached may the definer stay there.
    std::size_t leftInDeletedItems;
    int occurrence = 0;  // 0: every call
  };
  const Case cases[] = {
      {"mail.UserProperties.Add", false, 0},
      {"mail.TaskItem.Save", false, 0},
      {"mail.Application.CreateItem", false, 0},
      {"mail.Namespace.Application", false, 0},
      {"mail.TaskItem.Move", false, 1},
      {"mail.Namespace.GetDefaultFolder", true, 1},
      // Without its privacy the definer could be mailed: it is never saved.
      {"mail.TaskItem.SetSensitivity", false, 0},
      {"mail.TaskItem.SetSubject", false, 0},
      // The moved definer cannot be asked for its task interface: it is found
      // again in the folder and discarded all the same.
      {"mail.QueryInterface.TaskItem", false, 0, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.operation);
    const std::size_t deletedBefore = client.folderItems(deletedId()).size();
    faults.fail(c.operation, hr::kFail, c.occurrence);
    EXPECT_EQ(succeeded(ensureSyncIdField(*session, team())), c.defined);
    faults.clearAll();
    EXPECT_EQ(subjects(teamId), std::vector<std::u16string>{u"A"});
    EXPECT_TRUE(subjects(tasksId()).empty());
    const auto deleted = client.folderItems(deletedId());
    ASSERT_EQ(deleted.size(), deletedBefore + c.leftInDeletedItems);
    for (const auto& item : deleted) EXPECT_EQ(item.data.sensitivity, sensitivity::kPrivate);
  }
}

class SyncCounterpart : public SyncMailFixture {
 protected:
  // The task as a receiver gets it: saved by the sender's safe task item and
  // read back from the message file.
  std::shared_ptr<Dispatch> received(std::vector<sim::mail::UserProp> properties) {
    const std::u16string entry = addTask(tasksId(), u"Sent", std::move(properties));
    auto safeTask = createSafeTaskItem(client.library());
    if (!safeTask) return nullptr;
    if (failed((*safeTask)->putItem(openTask(entry)))) return nullptr;
    if (failed((*safeTask)->saveAs(u"C:\\share.syn"))) return nullptr;
    auto utilities = createMapiUtilities(client.library());
    if (!utilities) return nullptr;
    auto item = (*utilities)->getItemFromMsgFile(u"C:\\share.syn", false);
    return item ? *item : nullptr;
  }
};

TEST_F(SyncCounterpart, ReceivedIdFindsTheLocalTask) {
  const std::u16string local = addTask(teamId, u"Local", {idProperty(u"{A}")});
  auto item = received({idProperty(u"{A}")});
  ASSERT_TRUE(item);
  const auto found = findCounterpart(*session, client.library(), diagnostics, item, team());
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(entryIdOf(*found), local);
}

TEST_F(SyncCounterpart, ReceivedTaskWithoutAUsableIdHasNone) {
  addTask(teamId, u"Local", {idProperty(u"{A}")});
  addTask(teamId, u"Empty", {idProperty(u"")});
  struct Case {
    const char* label;
    std::vector<sim::mail::UserProp> properties;
  };
  const Case cases[] = {
      {"no property", {}},
      {"name in another case", {idProperty(u"{A}", u"QUENDRILAXID")}},
      {"number value", {{u"quendrilaxid", user_property_type::kNumber, Variant(std::int32_t{7})}}},
      {"empty value", {idProperty(u"")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    auto item = received(c.properties);
    ASSERT_TRUE(item);
    const auto found = findCounterpart(*session, client.library(), diagnostics, item, team());
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(*found, nullptr);
  }
  EXPECT_EQ(diagnostics.libraryMissing, 0);
}

TEST_F(SyncCounterpart, MissingLibraryIsReportedAndEndsTheCaller) {
  addTask(teamId, u"Local", {idProperty(u"{A}")});
  auto item = received({idProperty(u"{A}")});
  client.setLibraryState(sim::mail::LibraryState::kClassNotRegistered);
  const auto found = findCounterpart(*session, client.library(), diagnostics, item, team());
  EXPECT_FALSE(found.has_value());
  EXPECT_EQ(diagnostics.libraryMissing, 1);
}

TEST_F(SyncCounterpart, FailedPropertyReadsYieldNone) {
  addTask(teamId, u"Local", {idProperty(u"{A}")});
  auto item = received({idProperty(u"{A}")});
  for (const char* operation : {"safe.MapiUtilities.GetIDsFromNames", "safe.Message.Fields"}) {
    SCOPED_TRACE(operation);
    faults.fail(operation, hr::kFail);
    const auto found = findCounterpart(*session, client.library(), diagnostics, item, team());
    faults.clearAll();
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(*found, nullptr);
  }
}

}  // namespace
}  // namespace qx

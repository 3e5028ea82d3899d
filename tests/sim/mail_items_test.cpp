// Items of the simulated mail client: ids, working copies, user properties,
// sorting and finding.
#include <algorithm>

#include "sim/mail/mail_text.h"
#include "sim/mail_fixture.h"

namespace qx::sim::mailtest {
namespace {

class MailItemsTest : public MailFixture {
 protected:
  // Reads the value and checks it is `expected`.
  static Hresult statusOfValue(UserProperty& p, std::u16string_view expected) {
    auto value = p.value();
    if (!value) return value.error();
    return value->text() && *value->text() == expected ? hr::kOk : hr::kFail;
  }
  // Subjects met by walking Find and FindNext.
  std::vector<std::u16string> walk(const std::shared_ptr<Items>& collection,
                                   std::u16string_view filter) {
    std::vector<std::u16string> seen;
    for (auto item = ok(collection->find(filter)); item; item = ok(collection->findNext())) {
      seen.push_back(subjectOf(item));
    }
    return seen;
  }
  std::u16string subjectOf(const std::shared_ptr<Dispatch>& item) {
    if (auto t = item->queryTask()) return ok((*t)->subject());
    return ok(ok(item->queryMail())->subject());
  }
  std::u16string addTaskWithId(const std::u16string& folderId, std::u16string subject,
                               std::u16string syncId) {
    auto data = task(std::move(subject));
    data.userProperties.push_back({u"quendrilaxid", user_property_type::kText, Variant(syncId)});
    return client.addItem(folderId, std::move(data));
  }
};

TEST_F(MailItemsTest, EntryIdsAreUpperHexAndChangeWithEveryMove) {
  std::u16string other = client.createFolder(u"Other", u"IPM.Task");
  std::u16string id = client.addItem(tasksId(), task(u"t"));
  EXPECT_TRUE(mail::isUpperHex(id));
  EXPECT_TRUE(mail::isUpperHex(client.defaultStoreId()));
  EXPECT_TRUE(mail::isUpperHex(other));

  auto moved = ok(openTask(id)->move(folderById(other)));
  std::u16string newId = entryIdOf(moved);
  EXPECT_NE(newId, id);
  EXPECT_EQ(ns()->getItemFromId(id, Variant(client.defaultStoreId())).error(), hr::kMapiNotFound);
  EXPECT_EQ(ok(openTask(newId)->subject()), u"t");
  auto parent = ok(ok(ok(moved->queryTask())->parent())->queryFolder());
  EXPECT_EQ(ok(parent->entryId()), other);
}

TEST_F(MailItemsTest, MovingIntoItsOwnFolderSavesAndGivesNoItem) {
  auto created = ok(ok(app()->createItem(item_kind::kTask))->queryTask());
  ASSERT_EQ(created->save(), hr::kOk);
  std::u16string id = ok(created->entryId());
  thread.pump();
  auto sink = watch(items(folder(default_folder::kTasks)));
  ASSERT_EQ(created->setSubject(u"changed"), hr::kOk);
  auto moved = ok(created->move(folder(default_folder::kTasks)));
  EXPECT_EQ(moved, nullptr);
  EXPECT_EQ(ok(created->entryId()), id);
  EXPECT_EQ(client.item(id)->data.subject, u"changed");
  thread.pump();
  EXPECT_EQ(sink->ids(), (std::vector<std::int32_t>{dispid::kItemChange}));
}

TEST_F(MailItemsTest, OpeningByIdFailsForUnknownMalformedOrMisplacedIds) {
  std::u16string id = client.addItem(tasksId(), task(u"t"));
  std::u16string secondStore = client.addStore(u"Server", store_kind::kServer);
  struct Case {
    std::u16string entryId;
    Variant storeId;
    Hresult expected;
  };
  std::u16string unknown = id;
  unknown.back() = unknown.back() == u'F' ? u'E' : u'F';
  const Case cases[] = {
      {unknown, Variant::missing(), hr::kMapiNotFound},
      {u"not hex", Variant::missing(), hr::kMapiInvalidEntryId},
      {u"", Variant::missing(), hr::kMapiInvalidEntryId},
      {id, Variant(secondStore), hr::kMapiNotFound},
      {id, Variant(u"00FF"), hr::kMapiInvalidEntryId},
      {id, Variant(std::int32_t{5}), hr::kInvalidArg},
  };
  for (const Case& c : cases) {
    auto result = ns()->getItemFromId(c.entryId, c.storeId);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error(), c.expected);
  }
  // A folder id is no item id and the other way round; either letter case works.
  EXPECT_FALSE(ns()->getItemFromId(tasksId(), Variant::missing()).has_value());
  EXPECT_FALSE(ns()->getFolderFromId(id, Variant::missing()).has_value());
  EXPECT_TRUE(ns()->getItemFromId(mail::foldCase(id), Variant(client.defaultStoreId())));
}

TEST_F(MailItemsTest, AnItemObjectIsAWorkingCopyUntilSaved) {
  std::u16string id = client.addItem(tasksId(), task(u"stored"));
  auto editor = openTask(id);
  auto reader = openTask(id);
  ASSERT_EQ(editor->setSubject(u"edited"), hr::kOk);
  ASSERT_EQ(editor->setPercentComplete(50), hr::kOk);
  auto props = ok(editor->userProperties());
  ok(props->add(u"note", user_property_type::kText));

  EXPECT_EQ(ok(editor->subject()), u"edited");
  EXPECT_EQ(ok(reader->subject()), u"stored");
  EXPECT_EQ(ok(ok(reader->userProperties())->count()), 0);
  EXPECT_EQ(client.item(id)->data.subject, u"stored");

  ASSERT_EQ(editor->save(), hr::kOk);
  EXPECT_EQ(ok(reader->subject()), u"edited");
  EXPECT_EQ(ok(reader->percentComplete()), 50);
  EXPECT_EQ(ok(ok(reader->userProperties())->count()), 1);
}

TEST_F(MailItemsTest, NewItemsLandInTheDefaultFolderOfTheirKind) {
  auto newTask = ok(ok(app()->createItem(item_kind::kTask))->queryTask());
  EXPECT_EQ(ok(newTask->entryId()), u"") << "unsaved items have no id yet";
  ASSERT_EQ(newTask->save(), hr::kOk);
  EXPECT_EQ(client.item(ok(newTask->entryId()))->folderId, tasksId());

  auto newMail = ok(ok(app()->createItem(item_kind::kMail))->queryMail());
  EXPECT_FALSE(ok(app()->createItem(item_kind::kMail))->queryTask().has_value());
  ASSERT_EQ(newMail->save(), hr::kOk);
  EXPECT_EQ(client.item(ok(newMail->entryId()))->folderId,
            client.defaultFolderId(default_folder::kDrafts));
  EXPECT_EQ(app()->createItem(7).error(), hr::kInvalidArg);
}

TEST_F(MailItemsTest, MovedOrDeletedObjectsAreStale) {
  std::u16string id = client.addItem(tasksId(), task(u"t"));
  auto original = openTask(id);
  ok(original->move(folder(default_folder::kDeletedItems)));
  EXPECT_EQ(original->subject().error(), hr::kMapiObjectDeleted);
  EXPECT_EQ(original->save(), hr::kMapiObjectDeleted);

  std::u16string other = client.addItem(tasksId(), task(u"u"));
  auto held = openTask(other);
  client.hardDelete(other);
  EXPECT_EQ(held->setSubject(u"x"), hr::kMapiObjectDeleted);
  EXPECT_EQ(held->deleteItem(), hr::kMapiObjectDeleted);
}

TEST_F(MailItemsTest, DeleteMovesToDeletedItemsAndDeletesForGoodFromThere) {
  std::u16string id = client.addItem(tasksId(), task(u"t"));
  ASSERT_EQ(openTask(id)->deleteItem(), hr::kOk);
  auto inDeleted = client.folderItems(deletedId());
  ASSERT_EQ(inDeleted.size(), 1u);
  EXPECT_NE(inDeleted[0].entryId, id);
  EXPECT_TRUE(client.folderItems(tasksId()).empty());

  ASSERT_EQ(openTask(inDeleted[0].entryId)->deleteItem(), hr::kOk);
  EXPECT_TRUE(client.folderItems(deletedId()).empty());

  // An item of a second store goes to that store's own Deleted Items, which
  // the store names by its property.
  for (std::int32_t kind : {store_kind::kServer, store_kind::kPersonalFolders}) {
    std::u16string other =
        client.addStore(kind == store_kind::kServer ? u"Server" : u"Archive", kind);
    std::u16string otherTasks = client.createFolder(u"Team", u"IPM.Task", {}, other);
    std::u16string remote = client.addItem(otherTasks, task(u"r"));
    ASSERT_EQ(openTask(remote)->deleteItem(), hr::kOk);
    auto session = ok(createSafeSession(client.library()));
    ASSERT_EQ(session->logon(Variant(), Variant(), Variant(), Variant(), Variant()), hr::kOk);
    auto store = ok(session->getStoreFromId(Variant(other), Variant()));
    const std::u16string bin = *ok(store->field(store_prop::kDeletedItemsEntryId)).text();
    EXPECT_EQ(client.folder(bin)->name, u"Deleted Items");
    EXPECT_EQ(client.folder(bin)->storeId, other);
    ASSERT_EQ(client.folderItems(bin).size(), 1u);
    EXPECT_EQ(client.folderItems(bin)[0].data.subject, u"r");
    EXPECT_EQ(store->field(0x0E080003).error(), hr::kMapiNotFound);
  }
}

TEST_F(MailItemsTest, UserPropertiesKeepTypesAndCompareNamesExactly) {
  std::u16string id = client.addItem(tasksId(), task(u"t"));
  auto item = openTask(id);
  auto props = ok(item->userProperties());
  auto text = ok(props->add(u"quendrilaxid", user_property_type::kText));
  EXPECT_EQ(*ok(text->value()).text(), u"");
  EXPECT_EQ(text->setValue(Variant(u"{ID}")), hr::kOk);
  auto yes = ok(props->add(u"Flag", user_property_type::kYesNo));
  EXPECT_EQ(yes->setValue(Variant(u"text")), hr::kTypeMismatch);
  EXPECT_EQ(yes->setValue(Variant(true)), hr::kOk);
  EXPECT_EQ(*ok(ok(props->add(u"quendrilaxid", user_property_type::kText))->value()).text(),
            u"{ID}")
      << "the existing property comes back";
  EXPECT_EQ(props->add(u"quendrilaxid", user_property_type::kYesNo).error(), hr::kDispException);
  EXPECT_TRUE(props->add(u"QuendrilaxID", user_property_type::kText).has_value());
  EXPECT_EQ(props->add(u"bad", 99).error(), hr::kInvalidArg);
  ASSERT_EQ(item->save(), hr::kOk);

  auto stored = client.item(id)->data;
  ASSERT_EQ(stored.userProperties.size(), 3u);
  EXPECT_EQ(*stored.findUserProperty(u"quendrilaxid")->value.text(), u"{ID}");
  EXPECT_EQ(stored.findUserProperty(u"Flag")->value.asBool(), true);

  auto again = ok(openTask(id)->userProperties());
  EXPECT_EQ(ok(ok(again->item(2))->name()), u"Flag");
  EXPECT_EQ(again->item(4).error(), hr::kBadIndex);
  EXPECT_EQ(again->remove(3), hr::kOk);
  EXPECT_EQ(ok(again->count()), 2);
}

TEST_F(MailItemsTest, PropertiesOfOneNameAreEachAddressedByTheirOwnIndex) {
  auto data = task(u"t");
  for (const char16_t* value : {u"{A}", u"{B}", u"{C}"}) {
    data.userProperties.push_back(
        {u"quendrilaxid", user_property_type::kText, Variant(std::u16string(value))});
  }
  struct Case {
    const char* name;
    std::function<Hresult(UserProperty&)> act;
    std::vector<std::u16string> expected;  // the values afterwards, in order
  };
  const Case cases[] = {
      {"value", [](UserProperty& p) { return statusOfValue(p, u"{B}"); }, {u"{A}", u"{B}", u"{C}"}},
      {"set",
       [](UserProperty& p) { return p.setValue(Variant(u"{X}")); },
       {u"{A}", u"{X}", u"{C}"}},
      {"delete", [](UserProperty& p) { return p.deleteProperty(); }, {u"{A}", u"{C}"}},
  };
  for (const Case& c : cases) {
    std::u16string id = client.addItem(tasksId(), data);
    auto item = openTask(id);
    auto second = ok(ok(item->userProperties())->item(2));
    EXPECT_EQ(c.act(*second), hr::kOk) << c.name;
    ASSERT_EQ(item->save(), hr::kOk);
    std::vector<std::u16string> values;
    const auto stored = client.item(id);
    for (const auto& p : stored->data.userProperties) values.push_back(*p.value.text());
    EXPECT_EQ(values, c.expected) << c.name;
  }

  // The object stays with its property when others before it go.
  std::u16string id = client.addItem(tasksId(), data);
  auto props = ok(openTask(id)->userProperties());
  auto third = ok(props->item(3));
  ASSERT_EQ(ok(props->item(1))->deleteProperty(), hr::kOk);
  EXPECT_EQ(*ok(third->value()).text(), u"{C}");
  ASSERT_EQ(third->deleteProperty(), hr::kOk);
  EXPECT_EQ(third->value().error(), hr::kMapiObjectDeleted);
  EXPECT_EQ(ok(props->count()), 1);
  EXPECT_EQ(*ok(ok(props->item(1))->value()).text(), u"{B}");
}

TEST_F(MailItemsTest, SortingByAUserFieldNeedsTheFolderToKnowIt) {
  std::u16string shared = client.createFolder(u"Shared", u"IPM.Task");
  addTaskWithId(shared, u"b", u"{2}");
  addTaskWithId(shared, u"a", u"{1}");
  auto collection = items(folderById(shared));
  EXPECT_EQ(collection->sort(u"[quendrilaxid]", false), hr::kDispException);
  EXPECT_EQ(collection->find(u"[quendrilaxid] = '{1}'").error(), hr::kDispException);

  // Adding the property with its default settings teaches the folder the field,
  // even when the item is then deleted without being saved.
  auto scratch = ok(ok(collection->item(1))->queryTask());
  ok(ok(scratch->userProperties())->add(u"quendrilaxid2", user_property_type::kText));
  ok(ok(scratch->userProperties())->add(u"other", user_property_type::kText));
  EXPECT_EQ(collection->sort(u"[quendrilaxid]", false), hr::kDispException);
  EXPECT_EQ(collection->sort(u"[other]", false), hr::kOk);

  auto fresh = ok(ok(collection->item(1))->queryTask());
  ok(ok(fresh->userProperties())->add(u"quendrilaxid", user_property_type::kText));
  EXPECT_EQ(collection->sort(u"[quendrilaxid]", false), hr::kOk);
  auto found = ok(collection->find(u"[quendrilaxid] = '{1}'"));
  ASSERT_TRUE(found);
  EXPECT_EQ(subjectOf(found), u"a");
  EXPECT_FALSE(ok(collection->findNext()));
}

TEST_F(MailItemsTest, SortOrdersItemAndFindFollowsTheOrder) {
  std::u16string inbox = client.defaultFolderId(default_folder::kInbox);
  for (const char16_t* s : {u"TaskSynchronisation", u"hello", u"tasksynchronisation", u"Alpha",
                            u"TaskSynchronisation"}) {
    client.addItem(inbox, mailTo(u"alice@example.org", s));
  }
  auto collection = items(folder(default_folder::kInbox));
  EXPECT_EQ(subjectOf(ok(collection->item(2))), u"hello") << "arrival order before sorting";
  ASSERT_EQ(collection->sort(u"[Subject]", false), hr::kOk);
  std::vector<std::u16string> sorted;
  for (int i = 1; i <= ok(collection->count()); ++i)
    sorted.push_back(subjectOf(ok(collection->item(i))));
  // Equal keys (letter case aside) come in an order of the host's own.
  std::sort(sorted.begin() + 2, sorted.end());
  EXPECT_EQ(sorted, (std::vector<std::u16string>{u"Alpha", u"hello", u"TaskSynchronisation",
                                                 u"TaskSynchronisation", u"tasksynchronisation"}));
  EXPECT_EQ(walk(collection, u"[Subject] = 'TaskSynchronisation'").size(), 3u)
      << "the comparison ignores letter case";

  ASSERT_EQ(collection->sort(u"[Subject]", true), hr::kOk);
  EXPECT_EQ(subjectOf(ok(collection->item(1))), u"TaskSynchronisation");
  EXPECT_EQ(subjectOf(ok(collection->item(5))), u"Alpha");
  EXPECT_EQ(walk(collection, u"[Subject] = 'alpha'"), (std::vector<std::u16string>{u"Alpha"}));
}

// Every sync mail has the same subject: among equal sort keys the host picks
// the order, and nothing may rely on it being the order of arrival. Item and
// Find agree on it; an unsorted collection keeps the order of arrival.
TEST_F(MailItemsTest, EqualSortKeysComeInAnOrderOfTheHostsOwnNotOfArrival) {
  std::u16string inbox = client.defaultFolderId(default_folder::kInbox);
  std::vector<std::u16string> arrival;
  for (int i = 0; i < 8; ++i) {
    auto m = mailTo(u"alice@example.org", u"TaskSynchronisation");
    m.body = mail::decimalText(i);
    arrival.push_back(m.body);
    client.addItem(inbox, std::move(m));
  }
  const auto bodies = [&](const std::shared_ptr<Items>& collection, bool byFind) {
    std::vector<std::u16string> out;
    if (byFind) {
      for (auto item = ok(collection->find(u"[Subject] = 'TaskSynchronisation'")); item;
           item = ok(collection->findNext()))
        out.push_back(ok(ok(item->queryMail())->body()));
    } else {
      for (int i = 1; i <= ok(collection->count()); ++i)
        out.push_back(ok(ok(ok(collection->item(i))->queryMail())->body()));
    }
    return out;
  };
  auto collection = items(folder(default_folder::kInbox));
  EXPECT_EQ(bodies(collection, true), arrival) << "unsorted: the order of arrival";
  ASSERT_EQ(collection->sort(u"[Subject]", false), hr::kOk);
  const std::vector<std::u16string> sorted = bodies(collection, false);
  EXPECT_NE(sorted, arrival);
  EXPECT_EQ(bodies(collection, true), sorted);
  std::vector<std::u16string> same = sorted;
  std::sort(same.begin(), same.end());
  EXPECT_EQ(same, arrival);
  ASSERT_EQ(collection->sort(u"[Subject]", true), hr::kOk);
  EXPECT_EQ(bodies(collection, true), std::vector<std::u16string>(sorted.rbegin(), sorted.rend()));
}

TEST_F(MailItemsTest, FiltersThatCannotBeParsedFail) {
  auto collection = items(folder(default_folder::kInbox));
  for (const char16_t* filter :
       {u"", u"[Subject]", u"[Subject] = TaskSynchronisation", u"[Subject] = 'open",
        u"[Subject] == 'x'", u"Subject = 'x'", u"[Subject] = 'x' trailing", u"[] = 'x'"}) {
    EXPECT_EQ(collection->find(filter).error(), hr::kDispException);
  }
  EXPECT_EQ(collection->sort(u"Subject", false), hr::kDispException);
  EXPECT_EQ(collection->findNext().error(), hr::kUnexpected) << "FindNext needs a Find first";
  EXPECT_TRUE(collection->find(u"  [ Subject ]='it''s'  ").has_value());
  EXPECT_TRUE(collection->find(u"[Subject] = \"double\"").has_value());
}

TEST_F(MailItemsTest, WalkingGoesOnWhenTheCurrentItemIsDeletedOrMoved) {
  std::u16string inbox = client.defaultFolderId(default_folder::kInbox);
  std::u16string archive = client.createFolder(u"Archive", u"IPM.Note");
  for (bool sorted : {true, false}) {
    SCOPED_TRACE(sorted ? "sorted" : "unsorted");
    for (int i = 0; i < 6; ++i) {
      auto m = mailTo(u"alice@example.org", i % 2 ? u"other" : u"TaskSynchronisation");
      m.body = mail::decimalText(i);
      client.addItem(inbox, std::move(m));
    }
    auto collection = items(folder(default_folder::kInbox));
    if (sorted) {
      ASSERT_EQ(collection->sort(u"[Subject]", false), hr::kOk);
    }
    std::vector<std::u16string> bodies;
    int n = 0;
    for (auto item = ok(collection->find(u"[Subject] = 'TaskSynchronisation'")); item;
         item = ok(collection->findNext())) {
      auto m = ok(item->queryMail());
      bodies.push_back(ok(m->body()));
      // Alternately delete and move the current item away.
      if (n++ % 2 == 0) {
        ASSERT_EQ(m->deleteItem(), hr::kOk);
      } else {
        ok(m->move(folderById(archive)));
      }
    }
    // Sorted, equal subjects come in an order of the host's own.
    std::sort(bodies.begin(), bodies.end());
    EXPECT_EQ(bodies, (std::vector<std::u16string>{u"0", u"2", u"4"}));
  }
  EXPECT_EQ(client.folderItems(inbox).size(), 6u);
  EXPECT_EQ(client.folderItems(archive).size(), 2u);
}

TEST_F(MailItemsTest, FindOnAUserFieldFollowsAnotherSortOrder) {
  std::u16string shared = client.createFolder(u"Shared", u"IPM.Task");
  addTaskWithId(shared, u"c", u"{same}");
  addTaskWithId(shared, u"a", u"{same}");
  addTaskWithId(shared, u"b", u"{other}");
  auto collection = items(folderById(shared));
  ok(ok(ok(ok(collection->item(1))->queryTask())->userProperties())
         ->add(u"quendrilaxid2", user_property_type::kText));
  client.core().addField(*client.core().storeById(client.folder(shared)->storeId), shared,
                         u"quendrilaxid");
  ASSERT_EQ(collection->sort(u"[Subject]", false), hr::kOk);
  EXPECT_EQ(walk(collection, u"[quendrilaxid] = '{SAME}'"),
            (std::vector<std::u16string>{u"a", u"c"}));
}

TEST_F(MailItemsTest, AttachmentsComeFromFilesAndGoBackToFiles) {
  files.files["C:\\data\\sync.huf"] = {1, 2, 3, 0, 255};
  auto m = ok(ok(app()->createItem(item_kind::kMail))->queryMail());
  auto list = ok(m->attachments());
  EXPECT_EQ(list->add(u"C:\\data\\missing.huf", attachment_type::kByValue, 1, u"x").error(),
            static_cast<Hresult>(0x80070002u));
  auto a =
      ok(list->add(u"C:\\data\\sync.huf", attachment_type::kByValue, 1, u"C:\\data\\sync.huf"));
  EXPECT_EQ(ok(a->fileName()), u"sync.huf");
  ok(list->add(u"C:\\data\\sync.huf", attachment_type::kByValue, 1, u"first"));
  EXPECT_EQ(ok(ok(list->item(1))->displayName()), u"first") << "position 1 goes in front";
  ASSERT_EQ(m->save(), hr::kOk);
  ASSERT_EQ(a->saveAsFile(u"C:\\out\\copy.huf"), hr::kOk);
  EXPECT_EQ(files.files["C:\\out\\copy.huf"], files.files["C:\\data\\sync.huf"]);
  ASSERT_EQ(a->deleteAttachment(), hr::kOk);
  EXPECT_EQ(a->displayName().error(), hr::kMapiObjectDeleted);
  EXPECT_EQ(ok(list->count()), 1);
}

TEST_F(MailItemsTest, ScheduledFaultsFailTheNamedCallOnly) {
  auto collection = items(folder(default_folder::kInbox));
  faults.fail("mail.Items.Find", hr::kOutOfMemory);
  EXPECT_EQ(collection->find(u"[Subject] = 'x'").error(), hr::kOutOfMemory);
  EXPECT_TRUE(collection->find(u"[Subject] = 'x'").has_value());
  faults.fail("mail.TaskItem.Save", hr::kFail);
  auto t = ok(ok(app()->createItem(item_kind::kTask))->queryTask());
  EXPECT_EQ(t->save(), hr::kFail);
  EXPECT_TRUE(client.folderItems(tasksId()).empty());
  EXPECT_EQ(t->save(), hr::kOk);
}

}  // namespace
}  // namespace qx::sim::mailtest

// The pieces under the simulated mail client: filters, addresses, the store's
// indexes and the views built on them.
#include "sim/mail/mail_store.h"

#include "sim/mail/mail_filter.h"
#include "sim/mail/mail_text.h"
#include "sim/mail_fixture.h"

namespace qx::sim::mailtest {
namespace {

TEST(MailFilterTest, FieldReferencesAndFilters) {
  struct Case {
    const char16_t* text;
    bool parses;
    bool subject;
    const char16_t* field;
    const char16_t* value;
  };
  const Case cases[] = {
      {u"[Subject] = 'TaskSynchronisation'", true, true, u"", u"tasksynchronisation"},
      {u"[SUBJECT]='x'", true, true, u"", u"x"},
      {u"[quendrilaxid] = '{ABC}'", true, false, u"quendrilaxid", u"{abc}"},
      {u"[Quendrilaxid] = ''", true, false, u"quendrilaxid", u""},
      {u"[a b] = 'it''s'", true, false, u"a b", u"it's"},
      {u"[x] = \"say \"\"hi\"\"\"", true, false, u"x", u"say \"hi\""},
      {u"[x] = 'unterminated", false, false, u"", u""},
      {u"[x] = 'a' AND [y] = 'b'", false, false, u"", u""},
      {u"[x] <> 'a'", false, false, u"", u""},
      {u"[x] = 5", false, false, u"", u""},
      {u"[[x]] = 'a'", false, false, u"", u""},
      {u"[x = 'a'", false, false, u"", u""},
  };
  for (const Case& c : cases) {
    auto filter = mail::parseFilter(c.text);
    ASSERT_EQ(filter.has_value(), c.parses) << testing::PrintToString(std::u16string(c.text));
    if (!filter) continue;
    EXPECT_EQ(filter->field.isSubject, c.subject);
    EXPECT_EQ(filter->field.folded, c.field);
    EXPECT_EQ(filter->foldedValue, c.value);
  }
  EXPECT_TRUE(mail::parseFieldRef(u" [Subject] ").has_value());
  EXPECT_FALSE(mail::parseFieldRef(u"[Subject] x").has_value());
  EXPECT_FALSE(mail::parseFieldRef(u"[ ]").has_value());
}

TEST(MailTextTest, AddressesGuidsAndCase) {
  EXPECT_EQ(mail::splitAddresses(u"a@x.org; b@x.org;,;  c@x.org  ;"),
            (std::vector<std::u16string>{u"a@x.org", u"b@x.org", u"c@x.org"}));
  EXPECT_TRUE(mail::splitAddresses(u" ; ").empty());
  EXPECT_EQ(mail::canonicalGuidText(u"{00020386-0000-0000-c000-000000000046}"),
            u"{00020386-0000-0000-C000-000000000046}");
  for (const char16_t* bad :
       {u"00020386-0000-0000-C000-000000000046", u"{00020386-0000-0000-C000-00000000004}",
        u"{00020386+0000-0000-C000-000000000046}", u"{0002038G-0000-0000-C000-000000000046}"}) {
    EXPECT_FALSE(mail::canonicalGuidText(bad).has_value());
  }
  EXPECT_TRUE(mail::equalsIgnoreCase(u"ÄRGER@Example.ORG", u"ärger@example.org"));
  EXPECT_FALSE(mail::equalsIgnoreCase(u"a", u"ab"));
  EXPECT_EQ(mail::toAnsiPath(u"C:\\Büro\\日.syn"), "C:\\B\xFCro\\?.syn");
}

TEST(MailStoreTest, IndexesFollowChangesAndRemovals) {
  mail::Store store(u"S", 0x1234ABCD, 1, u"Personal Folders");
  auto& folder = store.addFolder(u"Tasks", u"IPM.Task", u"");
  std::u16string folderId = folder.entryId;
  EXPECT_TRUE(store.ownsEntryId(folderId));
  EXPECT_FALSE(store.ownsEntryId(u"00000000DEADBEEF0000000000000001"));

  std::u16string a = store.insert(folderId, task(u"b"));
  std::u16string b = store.insert(folderId, task(u"a"));
  store.addField(folderId, u"QuendrilaxID");
  EXPECT_TRUE(store.knowsField(folderId, u"quendrilaxid"));

  auto keys = [&](const mail::FieldIndex& index) {
    std::vector<std::optional<std::u16string>> out;
    for (const auto& e : index) out.push_back(e.key);
    return out;
  };
  const mail::FolderData& f = *store.folder(folderId);
  EXPECT_EQ(keys(f.subjectIndex), (std::vector<std::optional<std::u16string>>{u"a", u"b"}));
  EXPECT_EQ(keys(f.userFieldIndexes.at(u"quendrilaxid")),
            (std::vector<std::optional<std::u16string>>{std::nullopt, std::nullopt}));

  auto changed = store.item(a)->data;
  changed.subject = u"C";
  changed.userProperties.push_back({u"quendrilaxid", 1, Variant(u"{X}")});
  std::uint64_t version = f.version;
  store.update(a, changed);
  EXPECT_GT(f.version, version);
  EXPECT_EQ(keys(f.subjectIndex), (std::vector<std::optional<std::u16string>>{u"a", u"c"}));
  EXPECT_EQ(keys(f.userFieldIndexes.at(u"quendrilaxid")),
            (std::vector<std::optional<std::u16string>>{std::nullopt, u"{x}"}));
  EXPECT_TRUE(store.namedId({std::u16string(prop_set::kPublicStrings), u"quendrilaxid"}))
      << "saving a user property maps its name";

  store.remove(b);
  EXPECT_EQ(f.order.size(), 1u);
  EXPECT_EQ(f.subjectIndex.size(), 1u);
  EXPECT_EQ(f.userFieldIndexes.at(u"quendrilaxid").size(), 1u);
  EXPECT_EQ(store.item(b), nullptr);
}

// The scenario runner picks "the n-th task of a folder" from this index on
// every edit of a soak, so it must follow kinds through changes and removals.
TEST(MailStoreTest, ChangeCountersMoveWithEveryChangeOfContents) {
  mail::Store store(u"S", 0x1234ABCD, 1, u"Personal Folders");
  const std::u16string tasks = store.addFolder(u"Tasks", u"IPM.Task", u"").entryId;
  const std::u16string other = store.addFolder(u"Other", u"IPM.Task", u"").entryId;
  std::uint64_t changes = store.changes();
  const std::uint64_t otherVersion = store.folder(other)->version;
  auto moved = [&] {
    const bool did = store.changes() != changes;
    changes = store.changes();
    return did;
  };
  const std::u16string id = store.insert(tasks, task(u"a"));
  EXPECT_TRUE(moved());
  store.update(id, task(u"b"));
  EXPECT_TRUE(moved());
  store.remove(id);
  EXPECT_TRUE(moved());
  EXPECT_FALSE(moved()) << "looking changes nothing";
  EXPECT_EQ(store.folder(other)->version, otherVersion);
}

TEST(MailStoreTest, TaskRanksFollowInsertsChangesAndRemovals) {
  mail::Store store(u"S", 0x1234ABCD, 1, u"Personal Folders");
  const std::u16string folderId = store.addFolder(u"Mixed", u"IPM.Task", u"").entryId;
  const std::u16string t1 = store.insert(folderId, task(u"one"));
  const std::u16string m1 = store.insert(folderId, mail::ItemData::newMail());
  const std::u16string t2 = store.insert(folderId, task(u"two"));
  const std::u16string t3 = store.insert(folderId, task(u"three"));
  const mail::FolderData& f = *store.folder(folderId);
  auto tasks = [&] {
    std::vector<std::u16string> ids;
    for (std::size_t i = 0; i < f.taskArrival.size(); ++i)
      ids.push_back(f.order.at(*f.taskArrival.find_by_order(i)));
    return ids;
  };
  EXPECT_EQ(tasks(), (std::vector<std::u16string>{t1, t2, t3})) << "mails are not ranked";

  auto changed = store.item(t2)->data;
  changed.subject = u"two, later";
  store.update(t2, changed);
  EXPECT_EQ(tasks(), (std::vector<std::u16string>{t1, t2, t3})) << "a change keeps its place";

  auto asMail = store.item(t1)->data;
  asMail.kind = mail::ItemKind::kMail;
  store.update(t1, asMail);
  EXPECT_EQ(tasks(), (std::vector<std::u16string>{t2, t3}));

  store.remove(t3);
  store.remove(m1);
  EXPECT_EQ(tasks(), (std::vector<std::u16string>{t2}));
  EXPECT_EQ(f.arrival.size(), 2u);
}

TEST(MailStoreTest, NamedIdsAreStableAndDistinctPerName) {
  mail::Store store(u"S", 1, 1, u"P");
  mail::NamedKey headers{std::u16string(prop_set::kInternetHeaders), u"x-quensyncxxxsyncid"};
  mail::NamedKey strings{std::u16string(prop_set::kPublicStrings), u"x-quensyncxxxsyncid"};
  EXPECT_FALSE(store.namedId(headers));
  auto first = store.mapName(headers);
  auto second = store.mapName(strings);
  ASSERT_TRUE(first && second);
  EXPECT_GE(*first, 0x8000);
  EXPECT_NE(*first, *second);
  EXPECT_EQ(store.mapName(headers), first);
  EXPECT_EQ(*store.nameOfId(*second), strings);
  EXPECT_EQ(store.nameOfId(0x7FFF), nullptr);
}

class MailViewTest : public MailFixture {};

TEST_F(MailViewTest, ASortedCollectionSeesChangesMadeAfterItWasSorted) {
  std::u16string a = client.addItem(tasksId(), task(u"b"));
  client.addItem(tasksId(), task(u"c"));
  auto collection = items(folder(default_folder::kTasks));
  ASSERT_EQ(collection->sort(u"[Subject]", false), hr::kOk);
  auto subjectAt = [&](int i) { return ok(ok(ok(collection->item(i))->queryTask())->subject()); };
  EXPECT_EQ(subjectAt(1), u"b");
  client.changeItem(a, [](mail::ItemData& d) { d.subject = u"d"; });
  client.addItem(tasksId(), task(u"a"));
  EXPECT_EQ(ok(collection->count()), 3);
  EXPECT_EQ(subjectAt(1), u"a");
  EXPECT_EQ(subjectAt(3), u"d");
  EXPECT_EQ(collection->item(4).error(), hr::kBadIndex);
  EXPECT_EQ(collection->item(0).error(), hr::kBadIndex);
  auto found = ok(collection->find(u"[Subject] = 'd'"));
  ASSERT_TRUE(found);
  EXPECT_EQ(entryIdOf(found), a);
}

TEST_F(MailViewTest, FindSeesItemsArrivingBehindTheCursor) {
  std::u16string inbox = client.defaultFolderId(default_folder::kInbox);
  client.addItem(inbox, mailTo(u"a", u"TaskSynchronisation"));
  // Unsorted, so that the collection's order is arrival: sorted, an equal
  // subject may take its place before the cursor as well as after it.
  auto collection = items(folder(default_folder::kInbox));
  ASSERT_TRUE(ok(collection->find(u"[Subject] = 'TaskSynchronisation'")));
  client.addItem(inbox, mailTo(u"a", u"TaskSynchronisation"));
  EXPECT_TRUE(ok(collection->findNext())) << "a later arrival comes after the cursor";
  EXPECT_FALSE(ok(collection->findNext()));
  EXPECT_FALSE(ok(collection->findNext())) << "the end stays the end";
}

// Every walk meets the matches in the collection's order, whatever the sort,
// and goes on past items deleted, moved, changed or added during the walk.
TEST_F(MailViewTest, FindWalksFollowTheOrderOfEverySortWhileTheFolderChanges) {
  // Subject and sync id of each task; "m" tasks match the filter.
  const std::vector<std::pair<std::u16string, std::u16string>> tasks = {
      {u"m", u"{5}"}, {u"x", u"{1}"}, {u"M", u"{3}"}, {u"m", u"{9}"},
      {u"y", u"{2}"}, {u"m", u"{3}"}, {u"m", u"{0}"},
  };
  struct Case {
    const char* name;
    const char16_t* sort;  // none: arrival order
    bool descending;
    std::vector<std::u16string> expected;  // sync ids of the matches met
  };
  // Sorted on the filtered field, every match has the same key and the order
  // is the host's own: the walk must meet them as Item lists them.
  const Case cases[] = {
      {"arrival", nullptr, false, {u"{5}", u"{3}", u"{9}", u"{3}", u"{0}"}},
      {"on the filtered field", u"[Subject]", false, {}},
      {"on the filtered field, descending", u"[Subject]", true, {}},
      {"on another field", u"[quendrilaxid]", false, {u"{0}", u"{3}", u"{3}", u"{5}", u"{9}"}},
      {"on another field, descending",
       u"[quendrilaxid]",
       true,
       {u"{9}", u"{5}", u"{3}", u"{3}", u"{0}"}},
  };
  auto syncIdOf = [&](const std::shared_ptr<Dispatch>& item) {
    auto props = ok(ok(item->queryTask())->userProperties());
    return *ok(ok(props->item(1))->value()).text();
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::u16string folderId = client.createFolder(u"F", u"IPM.Task");
    for (const auto& [subject, id] : tasks) {
      auto data = task(subject);
      data.userProperties.push_back({u"quendrilaxid", user_property_type::kText, Variant(id)});
      client.addItem(folderId, data);
    }
    client.core().addField(client.core().defaultStore(), folderId, u"quendrilaxid");
    auto collection = items(folderById(folderId));
    if (c.sort) {
      ASSERT_EQ(collection->sort(c.sort, c.descending), hr::kOk);
    }
    std::vector<std::u16string> listed;
    for (std::int32_t i = 1; i <= ok(collection->count()); ++i) {
      auto item = ok(collection->item(i));
      if (mail::foldCase(ok(ok(item->queryTask())->subject())) == u"m")
        listed.push_back(syncIdOf(item));
    }

    std::vector<std::u16string> met;
    bool changed = false;
    for (auto item = ok(collection->find(u"[Subject] = 'm'")); item;
         item = ok(collection->findNext())) {
      met.push_back(syncIdOf(item));
      if (!changed) {
        // The item just found goes, a non-match arrives and another changes:
        // the walk goes on from its place.
        changed = true;
        ASSERT_EQ(ok(item->queryTask())->deleteItem(), hr::kOk);
        client.addItem(folderId, task(u"z"));
        client.changeItem(client.folderItems(folderId).front().entryId,
                          [](mail::ItemData& d) { d.body = u"changed"; });
      }
    }
    EXPECT_EQ(met, listed);
    if (!c.expected.empty()) {
      EXPECT_EQ(met, c.expected);
    }
  }
}

TEST_F(MailViewTest, ItemFollowsTheSortInBothDirectionsAfterChanges) {
  std::u16string a = client.addItem(tasksId(), task(u"b"));
  client.addItem(tasksId(), task(u"d"));
  client.addItem(tasksId(), task(u"c"));
  auto collection = items(folder(default_folder::kTasks));
  auto subjects = [&] {
    std::vector<std::u16string> out;
    for (std::int32_t i = 1; i <= ok(collection->count()); ++i) {
      out.push_back(ok(ok(ok(collection->item(i))->queryTask())->subject()));
    }
    return out;
  };
  EXPECT_EQ(subjects(), (std::vector<std::u16string>{u"b", u"d", u"c"}));
  ASSERT_EQ(collection->sort(u"[Subject]", true), hr::kOk);
  EXPECT_EQ(subjects(), (std::vector<std::u16string>{u"d", u"c", u"b"}));
  client.changeItem(a, [](mail::ItemData& d) { d.subject = u"e"; });
  client.addItem(tasksId(), task(u"a"));
  EXPECT_EQ(subjects(), (std::vector<std::u16string>{u"e", u"d", u"c", u"a"}));
  client.hardDelete(a);
  EXPECT_EQ(subjects(), (std::vector<std::u16string>{u"d", u"c", u"a"}));
}

TEST_F(MailViewTest, TasksMoveBetweenStoresUnderNewIds) {
  std::u16string server = client.addStore(u"Server", store_kind::kServer);
  std::u16string team = client.createFolder(u"Team", u"IPM.Task", {}, server);
  std::u16string id = client.addItem(tasksId(), task(u"t"));
  auto moved = ok(openTask(id)->move(folderById(team)));
  std::u16string newId = entryIdOf(moved);
  EXPECT_EQ(client.folder(client.item(newId)->folderId)->storeId, server);
  EXPECT_TRUE(ns()->getItemFromId(newId, Variant(server)).has_value());
  EXPECT_EQ(ns()->getItemFromId(newId, Variant(client.defaultStoreId())).error(),
            hr::kMapiNotFound);
  EXPECT_EQ(ok(folderById(team)->storeId()), server);
}

}  // namespace
}  // namespace qx::sim::mailtest

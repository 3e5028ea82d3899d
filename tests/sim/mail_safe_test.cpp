// The simulated safe-item library: creation by ProgID (and its absence), raw
// and named properties, sending, stores and the address book.
#include "sim/mail_fixture.h"

namespace qx::sim::mailtest {
namespace {

class MailSafeLibraryTest : public MailFixture {
 protected:
  std::shared_ptr<SafeMailItem> safeMail() { return ok(createSafeMailItem(client.library())); }
  std::shared_ptr<MapiUtilities> utilities() { return ok(createMapiUtilities(client.library())); }
  std::shared_ptr<MailItem> savedMail(std::u16string subject) {
    auto m = ok(ok(app()->createItem(item_kind::kMail))->queryMail());
    EXPECT_EQ(m->setSubject(subject), hr::kOk);
    EXPECT_EQ(m->setTo(u"bob@example.org;"), hr::kOk);
    EXPECT_EQ(m->save(), hr::kOk);
    return m;
  }
  std::u16string outboxId() { return client.defaultFolderId(default_folder::kOutbox); }
};

TEST_F(MailSafeLibraryTest, EveryClassIsMadeByProgIdUnlessTheLibraryIsMissing) {
  struct Case {
    mail::LibraryState state;
    Hresult expected;
  };
  const Case cases[] = {
      {mail::LibraryState::kInstalled, hr::kOk},
      {mail::LibraryState::kProgIdUnknown, hr::kInvalidClassString},
      {mail::LibraryState::kClassNotRegistered, hr::kClassNotRegistered},
  };
  for (const Case& c : cases) {
    client.setLibraryState(c.state);
    auto status = [](auto result) { return result ? hr::kOk : result.error(); };
    EXPECT_EQ(status(createSafeMailItem(client.library())), c.expected);
    EXPECT_EQ(status(createSafeTaskItem(client.library())), c.expected);
    EXPECT_EQ(status(createMapiUtilities(client.library())), c.expected);
    EXPECT_EQ(status(createSafeSession(client.library())), c.expected);
  }
  client.setLibraryState(mail::LibraryState::kInstalled);
  EXPECT_EQ(client.library().classIdFromProgId(u"Hessaplex.Unknown").error(),
            hr::kInvalidClassString);
  faults.fail("safe.CreateInstance", hr::kOutOfMemory);
  EXPECT_EQ(createSafeMailItem(client.library()).error(), hr::kOutOfMemory);
  // An object answers only its own interface.
  auto object = ok(client.library().createInstance(
      ok(client.library().classIdFromProgId(progid::kSafeTaskItem))));
  EXPECT_EQ(object->querySafeMailItem().error(), hr::kNoInterface);
}

TEST_F(MailSafeLibraryTest, FieldsByTagReachRawAndMappedNamedProperties) {
  auto m = savedMail(u"TaskSynchronisation");
  auto safe = safeMail();
  auto util = utilities();
  ASSERT_EQ(safe->putItem(m), hr::kOk);

  EXPECT_EQ(safe->field(prop_tag::kIconIndex).error(), hr::kMapiNotFound);
  ASSERT_EQ(safe->setField(prop_tag::kIconIndex, Variant(std::int32_t{514})), hr::kOk);
  EXPECT_EQ(ok(safe->field(prop_tag::kIconIndex)).asLong(), 514);
  EXPECT_EQ(safe->setField(prop_tag::kIconIndex, Variant(u"text")), hr::kTypeMismatch);
  EXPECT_EQ(*ok(safe->field(0x0037001E)).text(), u"TaskSynchronisation") << "the subject by tag";

  // A name the store never mapped has no id without create.
  EXPECT_EQ(util->getIdsFromNames(safe, prop_set::kInternetHeaders, u"x-quensyncxxxsyncid", false)
                .error(),
            hr::kMapiNotFound);
  std::int32_t tag =
      ok(util->getIdsFromNames(safe, prop_set::kInternetHeaders, u"x-quensyncxxxsyncid", true));
  EXPECT_EQ(
      ok(util->getIdsFromNames(safe, prop_set::kInternetHeaders, u"x-quensyncxxxsyncid", false)),
      tag);
  EXPECT_NE(ok(util->getIdsFromNames(safe, prop_set::kPublicStrings, u"x-quensyncxxxsyncid", true)),
            tag)
      << "the same name in another set is another property";
  EXPECT_EQ(safe->field(tag | prop_type::kString8).error(), hr::kMapiNotFound);
  ASSERT_EQ(safe->setField(tag | prop_type::kString8, Variant(u"{ID}")), hr::kOk);
  EXPECT_EQ(*ok(safe->field(tag | prop_type::kString8)).text(), u"{ID}");
  EXPECT_EQ(util->getIdsFromNames(safe, u"not a guid", u"x", true).error(), hr::kInvalidArg);

  // The safe item writes into the host item's working copy: Save keeps it.
  ASSERT_EQ(m->save(), hr::kOk);
  auto again = safeMail();
  ASSERT_EQ(again->putItem(openMail(ok(m->entryId()))), hr::kOk);
  EXPECT_EQ(*ok(again->field(tag | prop_type::kString8)).text(), u"{ID}");
  EXPECT_EQ(ok(again->field(prop_tag::kIconIndex)).asLong(), 514);
}

TEST_F(MailSafeLibraryTest, AReceivedMailTellsItsSendersAddressByTag) {
  mail::ItemData received = mail::ItemData::newMail();
  received.subject = u"TaskSynchronisation";
  received.senderAddress = u"Bob@Example.org";
  client.deliver({received});
  const auto inbox = client.folderItems(client.defaultFolderId(default_folder::kInbox));
  ASSERT_EQ(inbox.size(), 1u);
  auto safe = safeMail();
  ASSERT_EQ(safe->putItem(openMail(inbox[0].entryId)), hr::kOk);
  EXPECT_EQ(*ok(safe->field(prop_tag::kSenderEmailAddress)).text(), u"Bob@Example.org");
  EXPECT_EQ(*ok(safe->field(0x0C1F001F)).text(), u"Bob@Example.org") << "and in UTF-16";

  // A mail being written has no sender yet.
  mail::ItemData draft = mail::ItemData::newMail();
  const std::u16string id = client.core().insertItem(client.core().defaultStore(), outboxId(), draft);
  ASSERT_EQ(safe->putItem(openMail(id)), hr::kOk);
  EXPECT_EQ(safe->field(prop_tag::kSenderEmailAddress).error(), hr::kMapiNotFound);
}

TEST_F(MailSafeLibraryTest, NameMappingsBelongToTheirStore) {
  auto m = savedMail(u"a");
  std::u16string server = client.addStore(u"Server", store_kind::kServer);
  std::u16string team = client.createFolder(u"Team", u"IPM.Task", {}, server);
  std::u16string remote = client.addItem(team, task(u"r"));
  auto util = utilities();
  ok(util->getIdsFromNames(m, prop_set::kPublicStrings, u"quendrilaxid", true));
  EXPECT_EQ(util->getIdsFromNames(ok(ns()->getItemFromId(remote, Variant(server))),
                                  prop_set::kPublicStrings, u"quendrilaxid", false)
                .error(),
            hr::kMapiNotFound);
  // Saving an item with a user property maps its name in the item's store.
  std::u16string withProp = client.addItem(team, [] {
    auto d = task(u"p");
    d.userProperties.push_back({u"quendrilaxid", user_property_type::kText, Variant(u"{X}")});
    return d;
  }());
  auto item = ok(ns()->getItemFromId(withProp, Variant(server)));
  ok(util->getIdsFromNames(item, prop_set::kPublicStrings, u"quendrilaxid", false));
}

TEST_F(MailSafeLibraryTest, SendSubmitsToTheOutboxAndSendingAgainIsHarmless) {
  auto m = ok(ok(savedMail(u"TaskSynchronisation")->move(folder(default_folder::kOutbox)))
                  ->queryMail());
  auto safe = safeMail();
  ASSERT_EQ(safe->putItem(m), hr::kOk);
  ASSERT_EQ(safe->setBody(u"body text"), hr::kOk);
  ASSERT_EQ(m->setDeleteAfterSubmit(true), hr::kOk);
  ASSERT_EQ(safe->send(), hr::kOk);
  ASSERT_EQ(safe->send(), hr::kOk);
  auto waiting = client.folderItems(outboxId());
  ASSERT_EQ(waiting.size(), 1u);
  EXPECT_TRUE(waiting[0].submitted);
  EXPECT_EQ(waiting[0].data.body, u"body text") << "pending changes are saved by Send";
  EXPECT_TRUE(waiting[0].data.deleteAfterSubmit);
  EXPECT_TRUE(client.folderItems(client.defaultFolderId(default_folder::kDrafts)).empty());

  // A moved-in mail that was not sent waits unsubmitted.
  auto unsent = savedMail(u"other");
  ok(unsent->move(folder(default_folder::kOutbox)));
  EXPECT_EQ(client.folderItems(outboxId()).size(), 2u);
  EXPECT_EQ(client.takeSubmitted().size(), 1u);
  EXPECT_EQ(client.folderItems(outboxId()).size(), 1u);

  auto task = ok(ok(app()->createItem(item_kind::kTask))->queryTask());
  ASSERT_EQ(task->save(), hr::kOk);
  ASSERT_EQ(safe->putItem(task), hr::kOk);
  EXPECT_EQ(safe->send(), hr::kMapiNoSupport);
  EXPECT_EQ(safeMail()->send(), hr::kUnexpected);
}

TEST_F(MailSafeLibraryTest, TheLibrarySeesTheStoredItemNotAHostObjectsUnsavedChanges) {
  // A task: the message file carries what is stored.
  std::u16string taskId = client.addItem(tasksId(), task(u"stored"));
  auto host = openTask(taskId);
  auto safeTask = ok(createSafeTaskItem(client.library()));
  ASSERT_EQ(safeTask->putItem(host), hr::kOk);
  ASSERT_EQ(host->setSubject(u"edited"), hr::kOk);
  ok(ok(host->userProperties())->add(u"quendrilaxid", user_property_type::kText));
  auto fileSubject = [&] {
    EXPECT_EQ(safeTask->saveAs(u"C:\\d\\share.syn"), hr::kOk);
    auto item = ok(
        ok(createMapiUtilities(client.library()))->getItemFromMsgFile(u"C:\\d\\share.syn", false));
    return *ok(ok(item->querySafeMessage())->field(0x0037001E)).text();
  };
  EXPECT_EQ(fileSubject(), u"stored") << "unsaved: invisible to the library";
  ASSERT_EQ(host->save(), hr::kOk);
  EXPECT_EQ(fileSubject(), u"edited");

  // A mail: reads through the safe item see the stored state and the
  // library's own writes; the host object's save stores both.
  auto m = savedMail(u"subject");
  auto safe = safeMail();
  ASSERT_EQ(safe->putItem(m), hr::kOk);
  ASSERT_EQ(m->setBody(u"host body"), hr::kOk);
  ASSERT_EQ(m->setTo(u"carol@example.org;"), hr::kOk);
  EXPECT_EQ(ok(safe->body()), u"");
  EXPECT_EQ(ok(ok(safe->recipients())->count()), 1);
  ASSERT_EQ(safe->setBody(u"library body"), hr::kOk);
  ASSERT_EQ(safe->setField(prop_tag::kIconIndex, Variant(std::int32_t{514})), hr::kOk);
  EXPECT_EQ(ok(safe->body()), u"library body");
  EXPECT_EQ(ok(safe->field(prop_tag::kIconIndex)).asLong(), 514);
  EXPECT_EQ(ok(ok(ok(safe->recipients())->item(1))->address()), u"bob@example.org")
      << "the host's unsaved To stays unseen";
  EXPECT_EQ(client.item(ok(m->entryId()))->data.body, u"") << "nothing stored yet";
  ASSERT_EQ(m->save(), hr::kOk);
  auto stored = client.item(ok(m->entryId()))->data;
  EXPECT_EQ(stored.body, u"library body") << "the library's write came last";
  EXPECT_EQ(stored.to, u"carol@example.org;");
  EXPECT_EQ(ok(ok(ok(safe->recipients())->item(1))->address()), u"carol@example.org");

  // A new item has nothing stored: the library sees what it holds.
  auto fresh = ok(ok(app()->createItem(item_kind::kMail))->queryMail());
  ASSERT_EQ(fresh->setSubject(u"new"), hr::kOk);
  ASSERT_EQ(safe->putItem(fresh), hr::kOk);
  EXPECT_EQ(*ok(safe->field(0x0037001E)).text(), u"new");
}

TEST_F(MailSafeLibraryTest, AttachmentsSaveToFilesAndRecipientsResolve) {
  files.files["C:\\d\\sync.huf"] = {9, 8, 7};
  auto m = savedMail(u"s");
  ok(ok(m->attachments())->add(u"C:\\d\\sync.huf", attachment_type::kByValue, 1, u"sync.huf"));
  ASSERT_EQ(m->setTo(u"bob@example.org;carol@example.org;nobody;"), hr::kOk);
  ASSERT_EQ(m->save(), hr::kOk);
  auto safe = safeMail();
  ASSERT_EQ(safe->putItem(openMail(ok(m->entryId()))), hr::kOk);
  auto list = ok(safe->attachments());
  ASSERT_EQ(ok(list->count()), 1);
  ASSERT_EQ(ok(list->item(1))->saveAsFile(u"C:\\e\\sync.huf"), hr::kOk);
  EXPECT_EQ(files.files["C:\\e\\sync.huf"], (std::vector<std::uint8_t>{9, 8, 7}));
  EXPECT_EQ(list->item(2).error(), hr::kBadIndex);

  auto recipients = ok(safe->recipients());
  EXPECT_EQ(ok(recipients->count()), 3);
  std::int32_t unresolved = -1;
  ASSERT_EQ(recipients->resolveAll(unresolved), hr::kOk);
  EXPECT_EQ(unresolved, 1);
}

TEST_F(MailSafeLibraryTest, SessionTellsTheKindOfEachStore) {
  std::u16string server = client.addStore(u"Server", store_kind::kServer);
  auto session = ok(createSafeSession(client.library()));
  EXPECT_EQ(session->getStoreFromId(Variant(client.defaultStoreId()), Variant()).error(),
            hr::kUnexpected)
      << "logon comes first";
  ASSERT_EQ(session->logon(Variant(), Variant(), Variant(), Variant(), Variant()), hr::kOk);
  auto kindOf = [&](const std::u16string& id) {
    return ok(ok(session->getStoreFromId(Variant(id), Variant()))->kind());
  };
  EXPECT_EQ(kindOf(client.defaultStoreId()), store_kind::kPersonalFolders);
  EXPECT_EQ(kindOf(server), store_kind::kServer);
  EXPECT_EQ(session->getStoreFromId(Variant(u"0000ABCD"), Variant()).error(), hr::kMapiNotFound);
}

TEST_F(MailSafeLibraryTest, AddressBookGivesTheScriptedChoiceAndRecordsItsArguments) {
  auto util = utilities();
  client.scriptAddressBook(std::vector<mail::AddressChoice>{{u"bob@example.org", true}});
  client.scriptAddressBook(std::vector<mail::AddressChoice>{});
  auto book = [&] {
    return ok(util->addressBook(
        Variant::missing(), Variant(u"Bitte einen Synchronisationsempfänger wählen!"),
        Variant(true), Variant(true), Variant(std::int32_t{1}), Variant(u"SyncEmpfänger"),
        Variant::missing(), Variant::missing(), Variant(false)));
  };
  auto first = book();
  ASSERT_TRUE(first);
  EXPECT_EQ(ok(ok(first->item(1))->address()), u"bob@example.org");
  EXPECT_TRUE(ok(ok(first->item(1))->resolved()));
  EXPECT_EQ(ok(book()->count()), 0);
  // The dialog is modal: the thread's messages run while it is open.
  bool delivered = false;
  thread.post([&] { delivered = true; });
  EXPECT_FALSE(book()) << "no answer left: the user cancels";
  EXPECT_TRUE(delivered);
  ASSERT_EQ(client.addressBookCalls().size(), 3u);
  EXPECT_EQ(client.addressBookCalls()[0].size(), 9u);
  EXPECT_TRUE(client.addressBookCalls()[0][0].isMissing());
  EXPECT_EQ(*client.addressBookCalls()[0][5].text(), u"SyncEmpfänger");
}

}  // namespace
}  // namespace qx::sim::mailtest

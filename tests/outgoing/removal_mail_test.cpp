// A shared task that the user deletes becomes a removal mail to the folder it
// was last sent from; every other way of losing a task sends nothing.
#include "outgoing_fixture.h"

namespace qx::test {
namespace {

class RemovalMail : public OutgoingTest {
 protected:
  void SetUp() override {
    OutgoingTest::SetUp();
    share(team, "team", {"bob@example.org", "carol@example.org"});
    connect();
  }
  // A task that went out from Team and whose mail has left.
  std::u16string sentTask(std::u16string subject) {
    std::u16string id = addTask(team, std::move(subject));
    transport();
    wait(5000);
    return id;
  }
};

TEST_F(RemovalMail, ADeletedTaskIsAnnouncedToTheFoldersRecipients) {
  const std::u16string id = sentTask(u"Doomed");
  const std::u16string syncId = property(stored(id), u"quendrilaxid");
  remove(id);
  ASSERT_EQ(outbox().size(), 1u);
  const sim::mail::ItemData sent = outbox()[0].data;
  EXPECT_TRUE(outbox()[0].submitted);
  EXPECT_EQ(sent.to, u"carol@example.org;bob@example.org;");
  EXPECT_TRUE(sent.attachments.empty());
  EXPECT_TRUE(sent.namedProperties.empty());
  EXPECT_TRUE(sent.deleteAfterSubmit);
  EXPECT_EQ(sent.sensitivity, sensitivity::kConfidential);
  const SyncBodyFields body = fields(sent);
  EXPECT_TRUE(body.valid);
  EXPECT_TRUE(body.removal);
  EXPECT_EQ(body.syncId, narrow(syncId));
  EXPECT_EQ(shareOf(sent), "team");
  EXPECT_EQ(lastEntry("DeleteMessage "), "DeleteMessage OK");
  transport();
  EXPECT_EQ(inbox(*bob).size(), 2u);
  EXPECT_EQ(inbox(*carol).size(), 2u);
}

TEST_F(RemovalMail, ADeletedCopyOfATaskThatStillStandsInTheShareSendsNothing) {
  const std::u16string original = sentTask(u"Original");
  const std::u16string own = mail().createFolder(u"Mine", u"IPM.Task");
  const std::optional<std::u16string> copy = mail().copyItem(original, own);
  ASSERT_TRUE(copy.has_value());
  pump();
  remove(*copy);
  EXPECT_TRUE(outbox().empty());
  EXPECT_EQ(lastEntry("DeleteMessage"), "DeleteMessage OK");
  EXPECT_EQ(debugCount("DeleteMessage:the task still stands in the shared folder"), 1);
  // Once the original goes, its removal travels.
  wait(5000);
  remove(original);
  ASSERT_EQ(outbox().size(), 1u);
  EXPECT_TRUE(fields(outbox()[0].data).removal);
}

// A task deleted in a shared folder of a second personal-folders file lands in
// that file's own Deleted Items, which is watched as well, once.
TEST_F(RemovalMail, ADeletionInASharedFolderOfASecondStoreTravels) {
  const std::u16string archive = mail().addStore(u"Archive", store_kind::kPersonalFolders);
  const std::u16string folder = mail().createFolder(u"Projects", u"IPM.Task", {}, archive);
  const std::string key = "Software\\Vantrosse\\Quendrilax\\Folders\\" + narrow(folder);
  alice->registry().putDword(reg::kCurrentUser, key, "used", 1);
  alice->registry().putString(reg::kCurrentUser, key, "SID", narrow(archive));
  alice->registry().putString(reg::kCurrentUser, key, "ShareName", "projects");
  alice->registry().putKey(reg::kCurrentUser, key + "\\Users\\bob@example.org");
  // A second shared folder of the same store is watched through the same bin.
  const std::u16string other = mail().createFolder(u"Other", u"IPM.Task", {}, archive);
  const std::string otherKey = "Software\\Vantrosse\\Quendrilax\\Folders\\" + narrow(other);
  alice->registry().putDword(reg::kCurrentUser, otherKey, "used", 1);
  alice->registry().putString(reg::kCurrentUser, otherKey, "SID", narrow(archive));
  alice->registry().putString(reg::kCurrentUser, otherKey, "ShareName", "other");
  ASSERT_TRUE(engine().reloadFolders());
  const std::u16string id = addTask(folder, u"Filed");
  transport();
  wait(5000);
  const std::u16string binned = remove(id);
  ASSERT_FALSE(binned.empty());
  EXPECT_EQ(mail().folder(mail().item(binned)->folderId)->storeId, archive);
  ASSERT_EQ(outbox().size(), 1u);
  EXPECT_TRUE(fields(outbox()[0].data).removal);
  EXPECT_EQ(shareOf(outbox()[0].data), "projects");
  EXPECT_EQ(debugCount("deleted item detected"), 1);
}

// A store whose Deleted Items cannot be read leaves its deletions unnoticed:
// that is said in the error log, not passed over.
TEST_F(RemovalMail, ASecondStoreWhoseDeletedItemsCannotBeFoundIsReported) {
  const std::u16string archive = mail().addStore(u"Archive", store_kind::kPersonalFolders);
  const std::u16string folder = mail().createFolder(u"Projects", u"IPM.Task", {}, archive);
  const std::string key = "Software\\Vantrosse\\Quendrilax\\Folders\\" + narrow(folder);
  alice->registry().putDword(reg::kCurrentUser, key, "used", 1);
  alice->registry().putString(reg::kCurrentUser, key, "SID", narrow(archive));
  alice->registry().putString(reg::kCurrentUser, key, "ShareName", "projects");
  const std::size_t logBefore = errorLog().size();
  faults().fail("safe.Store.Fields", hr::kMapiNotFound);
  ASSERT_TRUE(engine().reloadFolders());
  EXPECT_EQ(errorLog().substr(logBefore), "\nFields(DeletedItemsEntryID)\n");
}

TEST_F(RemovalMail, AFolderNoLongerSharedUnderThatNameGetsNoMail) {
  const std::u16string id = sentTask(u"Orphan");
  alice->registry().putString(reg::kCurrentUser,
                              "Software\\Vantrosse\\Quendrilax\\Folders\\" + narrow(team),
                              "ShareName", "Team");
  ASSERT_TRUE(engine().reloadFolders());
  remove(id);
  EXPECT_TRUE(outbox().empty());
  EXPECT_EQ(lastEntry("DeleteMessage "), "DeleteMessage OK");
}

TEST_F(RemovalMail, AFolderWithoutRecipientsIsAnError) {
  const std::u16string id = sentTask(u"Unheard");
  alice->registry().removeKey(
      reg::kCurrentUser, "Software\\Vantrosse\\Quendrilax\\Folders\\" + narrow(team) + "\\Users");
  ASSERT_TRUE(engine().reloadFolders());
  remove(id);
  EXPECT_TRUE(unsentMails().empty());
  EXPECT_EQ(errorLog(), "\nfillUserList::no Users\n");
}

TEST_F(RemovalMail, ATaskWithoutASyncIdGoesOutWithAnEmptyOne) {
  const std::u16string plain = mail().createFolder(u"Private", u"IPM.Task");
  const std::u16string id = addTask(plain, u"Half", [](sim::mail::ItemData& d) {
    d.userProperties.push_back({u"lastsharename", 1, Variant(u"team")});
  });
  remove(id);
  ASSERT_EQ(outbox().size(), 1u);
  const SyncBodyFields body = fields(outbox()[0].data);
  EXPECT_TRUE(body.valid);
  EXPECT_TRUE(body.removal);
  EXPECT_EQ(body.syncId, "");
}

TEST_F(RemovalMail, AFailedStepLeavesNothingOrASavedUnsentMail) {
  struct Case {
    std::string operation;
    std::string errorLog;
    bool mailLeft;
  };
  const Case cases[] = {
      {"mail.Namespace.Application", "\nget_Application\n", false},
      {"mail.Application.CreateItem", "\napp->CreateItem(olMailItem, &dispItem)\n", false},
      {"mail.QueryInterface.MailItem",
       "\nQueryInterface(Outlook::IID__MailItem,reinterpret_cast<void**>(&mailItem))\n", false},
      {"safe.SafeMailItem.SetItem", "\nput_Item(mailItem)\n", false},
      {"mail.TaskItem.UserProperties", "", false},
      {"mail.MailItem.SetTo", "\nput_To()\n", false},
      {"mail.MailItem.Save", "\nmailItem->Save()\n", false},
      {"mail.MailItem.SetSubject", "", true},
      {"safe.SafeMailItem.Send", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.operation);
    const std::u16string id = sentTask(u"Fragile");
    const std::size_t logBefore = errorLog().size();
    faults().fail(c.operation, hr::kFail);
    remove(id);
    faults().clearAll();
    EXPECT_EQ(errorLog().substr(logBefore), c.errorLog);
    EXPECT_EQ(lastEntry("DeleteMessage "), "DeleteMessage failed");
    const std::vector<sim::MailItemInfo> left = unsentMails();
    EXPECT_EQ(left.size(), c.mailLeft ? 1u : 0u);
    for (const sim::MailItemInfo& mailLeft : left) {
      EXPECT_FALSE(mailLeft.submitted);
      mail().hardDelete(mailLeft.entryId);
    }
    pump();
  }
}

// The second put names the mail once more after it was saved.
TEST_F(RemovalMail, TheSecondPutHasItsOwnText) {
  const std::u16string id = sentTask(u"Second put");
  faults().fail("safe.SafeMailItem.SetItem", hr::kFail, 2);
  remove(id);
  EXPECT_EQ(errorLog(), "\nput_Item((IDispatch*)mailItem\n");
  ASSERT_EQ(unsentMails().size(), 1u);
  EXPECT_FALSE(unsentMails()[0].submitted);
}

// A task never sent names no folder, not even one shared under an empty name.
TEST_F(RemovalMail, ATaskNeverSentIsNotAnnouncedToAFolderSharedWithoutAName) {
  const std::u16string nameless = mail().createFolder(u"Nameless", u"IPM.Task");
  share(nameless, "", {"dave@example.org"});
  ASSERT_TRUE(engine().reloadFolders());
  const std::u16string plain = mail().createFolder(u"Plain", u"IPM.Task");
  remove(addTask(plain, u"Never sent"));
  EXPECT_TRUE(unsentMails().empty());
  EXPECT_TRUE(outbox().empty());
  EXPECT_EQ(lastEntry("DeleteMessage "), "DeleteMessage OK");
}

}  // namespace
}  // namespace qx::test

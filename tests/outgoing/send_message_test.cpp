// A change of a shared task as the recipients receive it: the mail, the task
// it carries, what is kept on the task, what is never sent, and what a failed
// step leaves behind.
#include "outgoing_fixture.h"

namespace qx::test {
namespace {

class SendMessage : public OutgoingTest {
 protected:
  void SetUp() override {
    OutgoingTest::SetUp();
    share(team, "team", {"bob@example.org", "carol@example.org"});
    connect();
  }
};

TEST_F(SendMessage, AChangeMailCarriesTheTaskToEveryRecipient) {
  const std::u16string id = addTask(team, u"Quarterly report", [](sim::mail::ItemData& d) {
    d.body = u"numbers";
    d.percentComplete = 40;
  });
  const sim::mail::ItemData task = stored(id);
  const std::u16string syncId = property(task, u"quendrilaxid");
  ASSERT_EQ(outbox().size(), 1u);
  const sim::mail::ItemData sent = outbox()[0].data;
  EXPECT_TRUE(outbox()[0].submitted);
  EXPECT_EQ(sent.to, u"carol@example.org;bob@example.org;");
  EXPECT_EQ(sent.importance, importance::kLow);
  EXPECT_EQ(sent.sensitivity, sensitivity::kConfidential);
  EXPECT_FALSE(sent.readReceiptRequested);
  EXPECT_TRUE(sent.deleteAfterSubmit);
  EXPECT_EQ(sent.rawProperties.at(0x1080), Variant(514));
  EXPECT_EQ(
      sent.namedProperties.at({u"{00020386-0000-0000-C000-000000000046}", u"x-quensyncxxxsyncid"}),
      Variant(syncId));
  const SyncBodyFields body = fields(sent);
  EXPECT_TRUE(body.valid);
  EXPECT_FALSE(body.removal);
  EXPECT_EQ(body.syncId, narrow(syncId));
  EXPECT_EQ(shareOf(sent), "team");
  const sim::mail::ItemData inside = carried(sent);
  EXPECT_EQ(inside.subject, u"Quarterly report");
  EXPECT_EQ(inside.percentComplete, 40);
  EXPECT_EQ(property(inside, u"quendrilaxid"), syncId);
  EXPECT_EQ(property(inside, u"lastsharename"), u"team");

  transport();
  for (sim::HostProcess* user : {bob, carol}) {
    ASSERT_EQ(inbox(*user).size(), 1u) << user->setup().name;
    EXPECT_EQ(carried(inbox(*user)[0].data).subject, u"Quarterly report");
  }
  EXPECT_TRUE(outbox().empty());
  EXPECT_TRUE(syncMails(*alice, default_folder::kSentMail).empty());
}

TEST_F(SendMessage, HolidaysAndPrivateTasksAreNeverSent) {
  struct Case {
    std::u16string categories;
    std::int32_t sensitivity;
    bool sent;
  };
  const Case cases[] = {
      {u"Feiertag", sensitivity::kNormal, false},
      {u"Arbeit; Feiertage", sensitivity::kNormal, false},
      {u"BrueckenFeiertagsplan", sensitivity::kNormal, false},
      {u"feiertag", sensitivity::kNormal, true},
      {u"Arbeit", sensitivity::kPrivate, false},
      {u"Arbeit", sensitivity::kConfidential, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(narrow(c.categories) + " " + std::to_string(c.sensitivity));
    const std::size_t before = outbox().size();
    const std::u16string id = addTask(team, u"Day", [&](sim::mail::ItemData& d) {
      d.categories = c.categories;
      d.sensitivity = c.sensitivity;
    });
    EXPECT_EQ(outbox().size() - before, c.sent ? 1u : 0u);
    EXPECT_EQ(stored(id).userProperties.empty(), !c.sent);
    EXPECT_EQ(lastEntry("sendMessage "), "sendMessage seams to be OK");
    wait(3000);
  }
}

// The withdrawal of a task made private is the one thing that forgets its
// share name: a removal that could not be mailed is tried again at the next
// edit, and once mailed it is not mailed again.
TEST_F(SendMessage, AWithdrawalThatCannotBeMailedIsTriedAgainAtTheNextEdit) {
  const std::u16string id = addTask(team, u"Salary");
  const std::u16string syncId = property(stored(id), u"quendrilaxid");
  transport();
  wait(3000);
  faults().fail("mail.MailItem.SetTo", hr::kFail);
  edit(id, [](sim::mail::ItemData& d) { d.sensitivity = sensitivity::kPrivate; });
  EXPECT_EQ(errorLog(), "\nput_To()\n");
  EXPECT_TRUE(outbox().empty());
  EXPECT_EQ(property(stored(id), u"lastsharename"), u"team");

  wait(3000);
  edit(id, [](sim::mail::ItemData& d) { d.body = u"again"; });
  ASSERT_EQ(outbox().size(), 1u);
  EXPECT_TRUE(fields(outbox()[0].data).removal);
  EXPECT_EQ(fields(outbox()[0].data).syncId, narrow(syncId));
  EXPECT_EQ(propertyCount(stored(id), u"lastsharename"), 0);
  EXPECT_EQ(property(stored(id), u"quendrilaxid"), syncId);
  EXPECT_EQ(debugCount("change event:DontTouchItem"), 2) << "its own save is swallowed";

  wait(3000);
  edit(id, [](sim::mail::ItemData& d) { d.body = u"and again"; });
  EXPECT_EQ(outbox().size(), 1u);
}

// Every send saves the task once, for the version it carries; the id and the
// share name are written once and kept.
TEST_F(SendMessage, EverySendSavesTheTaskOnceKeepingIdAndShareName) {
  const std::u16string id = addTask(team, u"Once");
  const std::u16string syncId = property(stored(id), u"quendrilaxid");
  EXPECT_EQ(debugCount("change event:DontTouchItem"), 1);
  wait(3000);
  edit(id, [](sim::mail::ItemData& d) { d.subject = u"Twice"; });
  EXPECT_EQ(debugCount("change event:DontTouchItem"), 2);
  EXPECT_EQ(property(stored(id), u"quendrilaxid"), syncId);
  EXPECT_EQ(propertyCount(stored(id), u"quendrilaxid"), 1);
  EXPECT_EQ(propertyCount(stored(id), u"lastsharename"), 1);

  // The folder's share name changes: the next change records the new one.
  alice->registry().putString(reg::kCurrentUser,
                              "Software\\Vantrosse\\Quendrilax\\Folders\\" + narrow(team),
                              "ShareName", "renamed");
  ASSERT_TRUE(engine().reloadFolders());
  wait(3000);
  edit(id, [](sim::mail::ItemData& d) { d.subject = u"Thrice"; });
  EXPECT_EQ(debugCount("change event:DontTouchItem"), 3);
  EXPECT_EQ(property(stored(id), u"lastsharename"), u"renamed");
  EXPECT_EQ(property(stored(id), u"quendrilaxid"), syncId);
  ASSERT_EQ(outbox().size(), 1u);
  EXPECT_EQ(shareOf(outbox()[0].data), "renamed");
  EXPECT_EQ(property(carried(outbox()[0].data), u"lastsharename"), u"renamed");
}

TEST_F(SendMessage, AFolderWithoutRecipientsSendsNothing) {
  const std::u16string lonely = mail().createFolder(u"Lonely", u"IPM.Task");
  share(lonely, "lonely", {});
  ASSERT_TRUE(engine().reloadFolders());
  const std::u16string id = addTask(lonely, u"Alone");
  EXPECT_EQ(debugCount("fillUserList::no Users"), 1);
  EXPECT_TRUE(outbox().empty());
  EXPECT_TRUE(stored(id).userProperties.empty());
}

TEST_F(SendMessage, ALibraryThatCannotBeCreatedIsReported) {
  faults().fail("safe.CreateInstance", hr::kClassNotRegistered);
  addTask(team, u"No library");
  EXPECT_EQ(errorLog(), "Hessaplex may be not registered\n");
  EXPECT_EQ(module->engine(), nullptr);
  EXPECT_TRUE(outbox().empty());
}

// Each failing step: what the error log says and whether a saved but unsent
// mail stays behind. The task is never half-written: either it was not saved
// at all, or it holds its id and share name and the next edit sends it.
TEST_F(SendMessage, AFailedStepLeavesNothingOrASavedUnsentMail) {
  struct Case {
    std::string operation;
    int occurrence;
    std::string errorLog;
    bool mailLeft;
  };
  const Case cases[] = {
      {"safe.SafeTaskItem.SetItem", 1, "\nput_Item\n", false},
      // The sink reads the content, user properties included, and clears the
      // sync ids of an added task first.
      {"mail.TaskItem.UserProperties", 3, "\nget_UserProperties\n", false},
      // The sink reads the entry id first.
      {"mail.TaskItem.EntryID", 2, "\nget_EntryID\n", false},
      // The sink reads the content first, to tell its own writes.
      {"mail.TaskItem.Categories", 2, "", false},
      {"mail.UserProperties.Add", 1, "", false},
      {"mail.Namespace.Application", 1, "", false},
      {"mail.Application.CreateItem", 1, "", false},
      {"mail.QueryInterface.MailItem", 1, "", false},
      {"safe.SafeMailItem.SetItem", 1, "", false},
      {"mail.MailItem.SetTo", 1, "", false},
      {"mail.MailItem.Attachments", 1, "", false},
      {"mail.TaskItem.Save", 1, "", false},
      {"safe.SafeTaskItem.SaveAs", 1, "", false},
      {"mail.Attachments.Add", 1, "", false},
      {"mail.MailItem.Save", 1, "", false},
      {"safe.SafeMailItem.SetItem", 2, "", true},
      {"mail.MailItem.SetSubject", 1, "", true},
      {"safe.SafeMailItem.Send", 1, "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.operation + " #" + std::to_string(c.occurrence));
    faults().clearAll();
    const std::size_t logBefore = errorLog().size();
    faults().fail(c.operation, hr::kFail, c.occurrence);
    const std::u16string id = addTask(team, u"Fragile");
    faults().clearAll();
    EXPECT_EQ(errorLog().substr(logBefore), c.errorLog);
    EXPECT_EQ(lastEntry("sendMessage "), "sendMessage failed");
    const sim::mail::ItemData task = stored(id);
    EXPECT_EQ(task.subject, u"Fragile");
    const bool saved = !task.userProperties.empty();
    if (saved) {
      EXPECT_EQ(property(task, u"quendrilaxid").size(), 38u);
      EXPECT_EQ(property(task, u"lastsharename"), u"team");
    }
    EXPECT_TRUE(engine().dontTouchList().ids().empty());
    const std::vector<sim::MailItemInfo> left = unsentMails();
    EXPECT_EQ(left.size(), c.mailLeft ? 1u : 0u);
    for (const sim::MailItemInfo& mailLeft : left) {
      EXPECT_FALSE(mailLeft.submitted);
      mail().hardDelete(mailLeft.entryId);
    }
    pump();

    // The next edit sends the task whole.
    wait(3000);
    edit(id, [](sim::mail::ItemData& d) { d.subject = u"Mended"; });
    ASSERT_EQ(outbox().size(), 1u);
    EXPECT_TRUE(outbox()[0].submitted);
    EXPECT_EQ(carried(outbox()[0].data).subject, u"Mended");
    EXPECT_EQ(fields(outbox()[0].data).syncId, narrow(property(stored(id), u"quendrilaxid")));
    transport();
    wait(3000);
  }
}

TEST_F(SendMessage, ACompressionFailureStopsTheSend) {
  // The share file is written first, the compressed file second.
  faults().fail("files.writeFile", win::kAccessDenied, 2);
  addTask(team, u"Unwritable");
  EXPECT_NE(errorLog().find("sync.huf"), std::string::npos) << errorLog();
  EXPECT_EQ(lastEntry("sendMessage "), "sendMessage failed");
  EXPECT_TRUE(unsentMails().empty());
}

// A share name property without a text (added, never given a value) is
// written and the task saved with it.
TEST_F(SendMessage, AShareNameWithoutTextIsWrittenAndSaved) {
  const std::u16string id = addTask(team, u"Blank");
  transport();
  wait(3000);
  edit(id, [](sim::mail::ItemData& d) {
    d.subject = u"Blank again";
    for (sim::mail::UserProp& p : d.userProperties)
      if (p.name == u"lastsharename") p.value = Variant();
  });
  EXPECT_EQ(property(stored(id), u"lastsharename"), u"team");
  ASSERT_EQ(outbox().size(), 1u);
  EXPECT_EQ(property(carried(outbox()[0].data), u"lastsharename"), u"team");
}

}  // namespace
}  // namespace qx::test

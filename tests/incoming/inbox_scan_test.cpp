// Which Inbox mails the scan takes, applies, deletes or leaves, and how one
// mail that cannot be handled now no longer holds up the mails behind it.
#include <algorithm>
#include <functional>

#include "incoming/incoming_fixture.h"

namespace qx::test {
namespace {

mail::ItemData ordinaryMail(std::u16string subject) {
  mail::ItemData data = mail::ItemData::newMail();
  data.subject = std::move(subject);
  return data;
}

TEST_F(IncomingTest, InboxWithoutSyncMailsStillPurgesSyncMailsFromDeletedItems) {
  share(team, "Team");
  connect();
  deliver({ordinaryMail(u"Lunch")});
  mail::ItemData report = changeMail(sentTask(u"Bounced", kIdA));
  report.kind = mail::ItemKind::kReport;
  mail().addItem(deleted(), changeMail(sentTask(u"Old news", kIdA)));
  mail().addItem(deleted(), ordinaryMail(u"Kept"));
  mail().addItem(deleted(), report);
  scan();
  EXPECT_EQ(subjects(inbox()), std::vector<std::u16string>{u"Lunch"});
  EXPECT_EQ(subjects(deleted()), (std::vector<std::u16string>{u"Kept", u"TaskSynchronisation"}));
  EXPECT_FALSE(logged("Message found"));
  EXPECT_TRUE(logged(" -> delete items\n"));
  EXPECT_TRUE(in(team).empty());
}

TEST_F(IncomingTest, MailsThatAreNoSyncMailsStayUntouchedScanAfterScan) {
  share(team, "Team");
  connect();
  mail::ItemData rejected = ordinaryMail(u"TaskSynchronisation");
  rejected.body = u"is:TRUE:is lf:Team:lf but no id";
  mail::ItemData report = changeMail(sentTask(u"Bounced", kIdA));
  report.kind = mail::ItemKind::kReport;
  deliver({rejected, report});
  const auto before = in(inbox());
  scan();
  scan();
  const auto after = in(inbox());
  ASSERT_EQ(after.size(), 2u);
  for (std::size_t i = 0; i < after.size(); ++i) EXPECT_EQ(after[i].data, before[i].data);
  EXPECT_TRUE(in(team).empty());
  EXPECT_EQ(log("error.log"), "");
}

TEST_F(IncomingTest, MailsWithoutAttachmentOnlyARemovalIsApplied) {
  share(team, "Team");
  mail().addItem(team, sentTask(u"Old", kIdA));
  connect();
  // A change without its task, then the removal of the same task.
  deliver({syncMail(SyncKind::kChange, "Team", kIdA), syncMail(SyncKind::kRemoval, "Team", kIdA)});
  scan();
  EXPECT_TRUE(in(inbox()).empty());
  EXPECT_TRUE(in(team).empty());
  const auto binned = in(deleted());
  ASSERT_EQ(binned.size(), 1u);
  EXPECT_EQ(binned[0].data.subject, u"Old");
  EXPECT_TRUE(binned[0].data.userProperties.empty());
  EXPECT_TRUE(logged(" -> processInbox:must be a removemail\n"));
  EXPECT_TRUE(in(outbox()).empty());
}

TEST_F(IncomingTest, OnlyTheFirstOfTwoAttachmentsIsUsed) {
  share(team, "Team");
  connect();
  deliver({syncMail(SyncKind::kChange, "Team", kIdA,
                    {sentTask(u"First", kIdA), sentTask(u"Second", kIdB)})});
  scan();
  EXPECT_EQ(subjects(team), std::vector<std::u16string>{u"First"});
}

TEST_F(IncomingTest, ChangesOfOneTaskAreAppliedInTheOrderTheyWereSent) {
  share(team, "Team");
  connect();
  const auto sentAs = [](std::u16string state, int second) {
    mail::ItemData mail = changeMail(sentTask(std::move(state), kIdA));
    mail.sentOn = sentAt(1000 + second);
    return mail;
  };
  // One delivery to a host that was closed, in an order of the mail system's
  // choosing; the newest state must be the one that stays.
  deliver({sentAs(u"Third", 3), sentAs(u"First", 1), sentAs(u"Second", 2)});
  scan();
  EXPECT_EQ(subjects(team), std::vector<std::u16string>{u"Third"});
  EXPECT_TRUE(in(inbox()).empty());
}

TEST_F(IncomingTest, AMailForAnUnknownShareNameIsDeletedUnapplied) {
  share(team, "Team");
  connect();
  deliver({changeMail(sentTask(u"Elsewhere", kIdA), "team")});
  scan();
  EXPECT_TRUE(in(inbox()).empty());
  EXPECT_TRUE(in(team).empty());
  EXPECT_TRUE(in(tasks()).empty());
  EXPECT_TRUE(logged(" -> no target found\n"));
  EXPECT_TRUE(logged(" -> team\n"));
}

// A mail that cannot be handled now is kept, reported, and the mail behind it
// is still applied in the same scan.
struct HeldMail {
  const char* name;
  std::function<mail::ItemData(sim::Faults&)> arrange;
  const char* errors;
  bool appliedLater;
};

void PrintTo(const HeldMail& held, std::ostream* out) { *out << held.name; }

class HeldMailTest : public IncomingTest, public ::testing::WithParamInterface<HeldMail> {};

TEST_P(HeldMailTest, IsKeptReportedAndHoldsUpNothing) {
  share(team, "Team");
  connect();
  mail().addItem(deleted(), changeMail(sentTask(u"Purged", kIdB)));
  deliver({GetParam().arrange(faults()), changeMail(sentTask(u"Behind", kIdB))});
  scan(false);
  ASSERT_EQ(in(inbox()).size(), 1u);
  EXPECT_EQ(log("error.log"), GetParam().errors);
  EXPECT_EQ(subjects(deleted()), std::vector<std::u16string>{}) << "purged after the scan";
  EXPECT_EQ(subjects(team), std::vector<std::u16string>{u"Behind"});
  EXPECT_EQ(engine().dontTouchList().ids().size(), 1u);
  EXPECT_TRUE(in(tasks()).empty()) << "no half-made task is left";

  scan();
  EXPECT_EQ(in(inbox()).size(), GetParam().appliedLater ? 0u : 1u);
  EXPECT_EQ(in(team).size(), GetParam().appliedLater ? 2u : 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, HeldMailTest,
    ::testing::Values(
        // A corrupt message file is refused (scenarios/hostile_mail_refused.scn);
        // one the host cannot open now is not.
        HeldMail{"MessageFileHeld",
                 [](sim::Faults& faults) {
                   faults.fail("safe.MapiUtilities.GetItemFromMsgFile",
                               static_cast<Hresult>(0x80070020u));  // sharing violation
                   return changeMail(sentTask(u"Waiting", kIdA));
                 },
                 "\nGetItemFromMsgFile(ImportFile)\nFehler:80070020\n", true},
        HeldMail{"FailedSave",
                 [](sim::Faults& faults) {
                   faults.fail("safe.Attachment.SaveAsFile",
                               static_cast<Hresult>(0x80070070u));  // disk full
                   return changeMail(sentTask(u"Waiting", kIdA));
                 },
                 "Fehler:SaveAsFile(ZipFilename)\n", true},
        // S_FALSE: nothing written, the file there is not this mail's.
        HeldMail{"NothingSaved",
                 [](sim::Faults& faults) {
                   faults.fail("safe.Attachment.SaveAsFile", static_cast<Hresult>(1));
                   return changeMail(sentTask(u"Waiting", kIdA));
                 },
                 "Fehler:SaveAsFile(ZipFilename)\n", true},
        HeldMail{"FailedCopyOfANewTask",
                 [](sim::Faults& faults) {
                   faults.fail("safe.SafeTaskItem.CopyTo", hr::kFail);
                   return changeMail(sentTask(u"Waiting", kIdA));
                 },
                 "\nCopyTo\n", true},
        HeldMail{"UnreadableAttachments",
                 [](sim::Faults& faults) {
                   faults.fail("safe.SafeMailItem.Attachments", hr::kFail);
                   return changeMail(sentTask(u"Waiting", kIdA));
                 },
                 "\net_Attachments()\n", true},
        HeldMail{"NoNewTaskFromTheHost",
                 [](sim::Faults& faults) {
                   faults.fail("mail.Application.CreateItem", hr::kOutOfMemory);
                   return changeMail(sentTask(u"Waiting", kIdA));
                 },
                 "", true},
        HeldMail{"FailedSaveOfANewTask",
                 [](sim::Faults& faults) {
                   faults.fail("mail.TaskItem.Save", hr::kFail, 2);
                   return changeMail(sentTask(u"Waiting", kIdA));
                 },
                 "", true},
        HeldMail{"FailedMoveIntoTheSharedFolder",
                 [](sim::Faults& faults) {
                   faults.fail("mail.TaskItem.Move", hr::kFail);
                   return changeMail(sentTask(u"Waiting", kIdA));
                 },
                 "", true}),
    [](const auto& info) { return std::string(info.param.name); });

// A change that could not be copied or saved leaves the local task as it was,
// registers nothing and is applied by the next scan.
TEST_F(IncomingTest, AFailedCopyOrSaveLeavesTheLocalTaskAsItWasUntilTheNextScan) {
  for (const char* fault : {"safe.SafeTaskItem.CopyTo", "mail.TaskItem.Save"}) {
    SCOPED_TRACE(fault);
    share(team, "Team");
    const std::u16string local = mail().addItem(team, sentTask(u"Old", kIdA));
    connect();
    faults().fail(fault, hr::kFail);
    deliver({changeMail(sentTask(u"New", kIdA))});
    scan(false);
    EXPECT_EQ(mail().item(local)->data.subject, u"Old");
    EXPECT_EQ(in(inbox()).size(), 1u);
    EXPECT_TRUE(engine().dontTouchList().ids().empty());
    scan();
    EXPECT_EQ(mail().item(local)->data.subject, u"New");
    EXPECT_TRUE(in(inbox()).empty());
    connection->onDisconnection(1);
    connection.reset();
    module.reset();
    host->stopRun();
    mail().hardDelete(local);
  }
}

}  // namespace
}  // namespace qx::test

namespace qx::test {
namespace {

TEST_F(IncomingTest, ARemovalWhosePropertiesCannotBeClearedWaitsForTheNextScan) {
  share(team, "Team");
  const std::u16string local = mail().addItem(team, sentTask(u"Done", kIdA));
  connect();
  faults().fail("mail.UserProperties.Remove", hr::kFail);
  deliver({syncMail(SyncKind::kRemoval, "Team", kIdA)});
  scan();
  EXPECT_EQ(mail().item(local)->data.userProperties.size(), 2u);
  EXPECT_EQ(in(inbox()).size(), 1u);
  scan();
  EXPECT_TRUE(in(team).empty());
  EXPECT_TRUE(in(inbox()).empty());
  EXPECT_TRUE(in(outbox()).empty());
}

TEST_F(IncomingTest, AMissingLibraryEndsTheScanAtOnceAndKeepsTheMail) {
  share(team, "Team");
  connect();
  mail().addItem(deleted(), changeMail(sentTask(u"Old news", kIdB)));
  deliver({changeMail(sentTask(u"Plan", kIdA))});
  // The safe mail item is made; the utilities that read the task back are not.
  faults().fail("safe.CLSIDFromProgID", hr::kInvalidClassString, 2);
  scan();
  EXPECT_EQ(in(inbox()).size(), 1u);
  EXPECT_EQ(in(deleted()).size(), 1u) << "no purge after the scan ended";
  EXPECT_EQ(log("error.log"), "Hessaplex may be not registered\n");
  EXPECT_EQ(module->engine(), nullptr) << "the host disconnected the add-in";
}

// Left pointing at the mail before, the safe item would apply that mail's
// task once more and the mail it failed to take would be deleted unread.
TEST_F(IncomingTest, AMailTheSafeItemCannotTakeWaitsForTheNextScan) {
  share(team, "Team");
  connect();
  deliver({changeMail(sentTask(u"One", kIdA)), changeMail(sentTask(u"Two", kIdB))});
  // The first mail is applied and stays (its deletion fails); the safe item
  // does not take the second.
  faults().fail("mail.MailItem.Delete", hr::kFail);
  faults().fail("safe.SafeMailItem.SetItem", hr::kFail, 2);
  scan();
  faults().clearAll();
  EXPECT_EQ(in(inbox()).size(), 2u);
  EXPECT_EQ(in(team).size(), 1u);
  scan();
  EXPECT_TRUE(in(inbox()).empty());
  std::vector<std::u16string> applied = subjects(team);
  std::sort(applied.begin(), applied.end());
  EXPECT_EQ(applied, (std::vector<std::u16string>{u"One", u"Two"}));
}

// The library objects of applying a change: the lookup of the local task and
// the copy onto it (the version is read from the body, the mail read once). Any one missing ends the scan
// with the task untouched.
TEST_F(IncomingTest, ALibraryObjectMissingWhileApplyingEndsTheScan) {
  share(team, "Team");
  const std::u16string local = mail().addItem(team, sentTask(u"Old", kIdA));
  connect();
  deliver({changeMail(sentTask(u"Counted", kIdA))});
  const int before = faults().calls("safe.CreateInstance");
  scan();
  // The scan's safe mail item, the message-file reader, then those two.
  ASSERT_EQ(faults().calls("safe.CreateInstance") - before, 4);
  for (const int missing : {3, 4}) {
    SCOPED_TRACE(missing);
    if (!module->engine()) {
      connection.reset();
      module.reset();
      host->stopRun();
      connect();
    }
    mail().addItem(deleted(), changeMail(sentTask(u"Old news", kIdB)));
    deliver({changeMail(sentTask(u"New", kIdA))});
    const std::size_t logged = log("error.log").size();
    faults().fail("safe.CreateInstance", hr::kClassNotRegistered, missing);
    scan();
    faults().clearAll();
    EXPECT_EQ(log("error.log").substr(logged), "Hessaplex may be not registered\n");
    EXPECT_EQ(in(inbox()).size(), 1u);
    EXPECT_EQ(in(deleted()).size(), 1u) << "no purge after the scan ended";
    ASSERT_EQ(in(team).size(), 1u);
    EXPECT_EQ(mail().item(local)->data.subject, u"Counted");
    for (const auto& left : in(inbox())) mail().hardDelete(left.entryId);
    for (const auto& left : in(deleted())) mail().hardDelete(left.entryId);
  }
}

}  // namespace
}  // namespace qx::test

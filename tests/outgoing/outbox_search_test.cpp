// A change mail still waiting in the Outbox is rewritten by the next change
// of its task; every other sync mail the search opens on the way is sent
// again, so that none stays stopped.
#include "outgoing_fixture.h"

namespace qx::test {
namespace {

constexpr std::string_view kChecked = "check if this mail was a secound time modified";
constexpr std::string_view kReused = "mail was stopped and can be modified in outbox";

class OutboxSearch : public OutgoingTest {
 protected:
  void SetUp() override {
    OutgoingTest::SetUp();
    share(team, "team", {"bob@example.org"});
    connect();
  }
  // A submitted mail in alice's Outbox, as the user or the add-in left it.
  std::u16string waitingMail(std::u16string subject, std::u16string body,
                             std::optional<std::u16string> header = std::nullopt) {
    sim::mail::ItemData data = sim::mail::ItemData::newMail();
    data.subject = std::move(subject);
    data.body = std::move(body);
    data.to = u"bob@example.org";
    data.deleteAfterSubmit = true;
    std::u16string id = mail().addItem(folderOf(default_folder::kOutbox), std::move(data));
    pump();
    sim::MailClient& client = mail();
    auto object = client.core().openItem(client.core().defaultStore(), id);
    auto safe = createSafeMailItem(client.library());
    EXPECT_TRUE(safe.has_value());
    EXPECT_EQ((*safe)->putItem(object), hr::kOk);
    if (header) {
      auto utilities = createMapiUtilities(client.library());
      auto tag = (*utilities)
                     ->getIdsFromNames(*safe, u"{00020386-0000-0000-C000-000000000046}",
                                       u"x-quensyncxxxsyncid", true);
      EXPECT_TRUE(tag.has_value());
      EXPECT_EQ((*safe)->setField(*tag | 0x1E, Variant(*header)), hr::kOk);
    }
    EXPECT_EQ((*safe)->send(), hr::kOk);
    return id;
  }
};

TEST_F(OutboxSearch, TwoChangesBeforeTheTransportGiveOneMailWithTheSecondState) {
  const std::u16string id = addTask(team, u"First state");
  wait(3000);
  edit(id, [](sim::mail::ItemData& d) { d.subject = u"Second state"; });
  EXPECT_EQ(debugCount(kReused), 1);
  ASSERT_EQ(outbox().size(), 1u);
  EXPECT_EQ(outbox()[0].data.attachments.size(), 1u);
  transport();
  ASSERT_EQ(inbox(*bob).size(), 1u);
  EXPECT_EQ(carried(inbox(*bob)[0].data).subject, u"Second state");
  EXPECT_EQ(fields(inbox(*bob)[0].data).syncId, narrow(property(stored(id), u"quendrilaxid")));
}

// The search stopped the waiting mail to rewrite it; when the rewrite fails
// the mail leaves as it was instead of staying stopped.
TEST_F(OutboxSearch, AWaitingMailWhoseRewriteFailsLeavesWithItsOldState) {
  const std::u16string id = addTask(team, u"First state");
  wait(3000);
  faults().fail("safe.SafeTaskItem.SaveAs", hr::kFail);
  edit(id, [](sim::mail::ItemData& d) { d.subject = u"Second state"; });
  EXPECT_EQ(debugCount(kReused), 1);
  ASSERT_EQ(outbox().size(), 1u);
  EXPECT_TRUE(outbox()[0].submitted);
  transport();
  ASSERT_EQ(inbox(*bob).size(), 1u);
  EXPECT_EQ(carried(inbox(*bob)[0].data).subject, u"First state");
}

TEST_F(OutboxSearch, AnEmptyOutboxIsSearchedWithoutSending) {
  addTask(team, u"Alone");
  EXPECT_EQ(debugCount(kChecked), 0);
  EXPECT_EQ(faults().calls("safe.SafeMailItem.Send"), 1);
}

TEST_F(OutboxSearch, OtherSyncMailsOnTheWayAreSentAgain) {
  // A removal mail (no header) and the user's own mail of that subject.
  waitingMail(u"TaskSynchronisation", u"is:FALSE:is\nlf:team:lf\nid::id\n");
  waitingMail(u"TaskSynchronisation", u"my own words");
  waitingMail(u"Lunch?", u"at noon");
  addTask(team, u"New");
  EXPECT_EQ(debugCount(kChecked), 2);
  EXPECT_EQ(debugCount(kReused), 0);
  transport();
  EXPECT_EQ(inbox(*bob).size(), 3u);
  EXPECT_TRUE(mail().folderItems(folderOf(default_folder::kOutbox)).empty());
}

TEST_F(OutboxSearch, AHeaderDifferingOnlyInCaseDoesNotMatch) {
  const std::u16string id = addTask(team, u"Cased");
  std::u16string lower = property(stored(id), u"quendrilaxid");
  for (char16_t& c : lower) c = (c >= u'A' && c <= u'F') ? static_cast<char16_t>(c + 32) : c;
  transport();
  waitingMail(u"TaskSynchronisation", u"is:TRUE:is\nlf:team:lf\nid:" + lower + u":id\n", lower);
  wait(3000);
  edit(id, [](sim::mail::ItemData& d) { d.subject = u"Cased again"; });
  EXPECT_EQ(debugCount(kReused), 0);
  EXPECT_EQ(outbox().size(), 2u);
}

// A mail the transport is transmitting cannot be read or stopped: the change
// goes out in a mail of its own, after it.
TEST_F(OutboxSearch, AMailBeingTransmittedCountsAsNoMatch) {
  const std::u16string id = addTask(team, u"Busy");
  ASSERT_EQ(mail().holdOutboxInTransmission(), 1u);
  wait(3000);
  edit(id, [](sim::mail::ItemData& d) { d.subject = u"Busy again"; });
  EXPECT_EQ(debugCount("findMailInOutBox:GetIDsFromNames or get_Fields failed (evtl. wird Mail "
                       "gerade von OL verschickt)"),
            1);
  EXPECT_EQ(debugCount(kReused), 0);
  transport();
  ASSERT_EQ(inbox(*bob).size(), 2u);
  EXPECT_EQ(carried(inbox(*bob)[0].data).subject, u"Busy");
  EXPECT_EQ(carried(inbox(*bob)[1].data).subject, u"Busy again");
}

// The search creates library objects of its own; when one of them cannot be
// made the send ends as when the library is missing, with no mail made.
TEST_F(OutboxSearch, ALibraryObjectTheSearchCannotCreateEndsTheSend) {
  const int made = faults().calls("safe.CreateInstance");
  addTask(team, u"Counted");
  // The sender's two objects, the search's safe mail and utilities, then the
  // utilities that write the mail's header.
  ASSERT_EQ(faults().calls("safe.CreateInstance") - made, 5);
  transport();
  for (const int searchObject : {3, 4}) {
    SCOPED_TRACE(searchObject);
    if (!module->engine()) {
      connection.reset();
      module.reset();
      alice->stopRun();
      connect();
    }
    faults().fail("safe.CreateInstance", hr::kClassNotRegistered, searchObject);
    addTask(team, u"No library");
    faults().clearAll();
    EXPECT_TRUE(outbox().empty());
    EXPECT_EQ(module->engine(), nullptr);
  }
}

TEST_F(OutboxSearch, AMatchWithoutAMailInterfaceIsSentAgain) {
  const std::u16string id = addTask(team, u"First");
  wait(3000);
  faults().fail("mail.QueryInterface.MailItem", hr::kNoInterface);
  edit(id, [](sim::mail::ItemData& d) { d.subject = u"Second"; });
  faults().clearAll();
  // The first mail was opened, found and then let go: it leaves all the same,
  // beside the new one.
  const std::vector<sim::MailItemInfo> waiting = unsentMails();
  ASSERT_EQ(waiting.size(), 2u);
  for (const sim::MailItemInfo& m : waiting) EXPECT_TRUE(m.submitted);
}

TEST_F(OutboxSearch, ACandidateTheSafeItemRefusedIsNotSentOnItsBehalf) {
  waitingMail(u"TaskSynchronisation", u"my own words");
  waitingMail(u"TaskSynchronisation", u"more of my words");
  const int sends = faults().calls("safe.SafeMailItem.Send");
  faults().fail("safe.SafeMailItem.SetItem", hr::kFail, 2);
  addTask(team, u"New");
  faults().clearAll();
  // The first candidate went again after its check and the new mail went;
  // the second candidate was never opened, and the safe item, still holding
  // the first, must not send that once more in its place.
  EXPECT_EQ(faults().calls("safe.SafeMailItem.Send") - sends, 2);
  transport();
  EXPECT_EQ(inbox(*bob).size(), 3u);
}

}  // namespace
}  // namespace qx::test

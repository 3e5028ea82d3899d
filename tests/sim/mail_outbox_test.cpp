// Mails waiting in the Outbox: opening one through the safe-item library stops
// it until it is sent again, and a mail the transport is transmitting cannot
// be stopped or read.
#include "sim/mail_fixture.h"

namespace qx::sim::mailtest {
namespace {

class MailOutboxTest : public MailFixture {
 protected:
  std::shared_ptr<SafeMailItem> safeMail() { return ok(createSafeMailItem(client.library())); }
  std::u16string outboxId() { return client.defaultFolderId(default_folder::kOutbox); }

  // A mail submitted as the add-in does it: saved, moved, sent by the library.
  std::u16string submitted(std::u16string subject) {
    auto m = ok(ok(app()->createItem(item_kind::kMail))->queryMail());
    EXPECT_EQ(m->setTo(u"bob@example.org;"), hr::kOk);
    EXPECT_EQ(m->setSubject(subject), hr::kOk);
    EXPECT_EQ(m->save(), hr::kOk);
    auto moved = ok(ok(m->move(folder(default_folder::kOutbox)))->queryMail());
    auto safe = safeMail();
    EXPECT_EQ(safe->putItem(moved), hr::kOk);
    EXPECT_EQ(safe->send(), hr::kOk);
    return ok(moved->entryId());
  }
  std::vector<std::u16string> carriedSubjects() {
    std::vector<std::u16string> out;
    for (const auto& m : client.takeSubmitted()) out.push_back(m.subject);
    return out;
  }
};

TEST_F(MailOutboxTest, AMailOpenedByTheLibraryWaitsUntilItIsSentAgain) {
  struct Case {
    const char* name;
    // What the add-in does after putting the waiting mail into a safe item.
    std::function<void(SafeMailItem&, MailItem&)> after;
    bool carried;
  };
  const Case cases[] = {
      {"nothing: the mail is lost to the transport", [](SafeMailItem&, MailItem&) {}, false},
      {"send through the safe item",
       [](SafeMailItem& s, MailItem&) { EXPECT_EQ(s.send(), hr::kOk); }, true},
      {"send through the host item",
       [](SafeMailItem&, MailItem& m) { EXPECT_EQ(m.send(), hr::kOk); }, true},
      {"rewritten, then sent",
       [](SafeMailItem& s, MailItem& m) {
         EXPECT_EQ(s.setBody(u"second state"), hr::kOk);
         EXPECT_EQ(m.save(), hr::kOk);
         EXPECT_EQ(s.send(), hr::kOk);
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::u16string id = submitted(u"TaskSynchronisation");
    EXPECT_TRUE(client.item(id)->submitted);
    auto host = openMail(id);
    auto safe = safeMail();
    ASSERT_EQ(safe->putItem(host), hr::kOk);
    EXPECT_FALSE(client.item(id)->submitted) << "stopped by the library";
    c.after(*safe, *host);
    auto carried = carriedSubjects();
    EXPECT_EQ(carried.size(), c.carried ? 1u : 0u);
    EXPECT_EQ(client.folderItems(outboxId()).size(), c.carried ? 0u : 1u);
    for (const auto& m : client.folderItems(outboxId())) client.hardDelete(m.entryId);
  }
}

TEST_F(MailOutboxTest, OnlyTheMailsPutIntoTheLibraryAreStopped) {
  std::u16string first = submitted(u"first");
  std::u16string second = submitted(u"second");
  auto safe = safeMail();
  ASSERT_EQ(safe->putItem(openMail(first)), hr::kOk);
  // Opening it through the host or reading it by Find does not stop it.
  auto outbox = items(folder(default_folder::kOutbox));
  ASSERT_TRUE(ok(outbox->find(u"[Subject] = 'second'")));
  EXPECT_EQ(ok(openMail(second)->subject()), u"second");
  EXPECT_EQ(carriedSubjects(), (std::vector<std::u16string>{u"second"}));
  EXPECT_FALSE(client.item(first)->submitted);
}

TEST_F(MailOutboxTest, AMailBeingTransmittedCannotBeStoppedOrRead) {
  std::u16string id = submitted(u"TaskSynchronisation");
  auto util = ok(createMapiUtilities(client.library()));
  {
    auto safe = safeMail();
    ASSERT_EQ(safe->putItem(openMail(id)), hr::kOk);
    std::int32_t tag =
        ok(util->getIdsFromNames(safe, prop_set::kInternetHeaders, u"x-quensyncxxxsyncid", true));
    ASSERT_EQ(safe->setField(tag | prop_type::kString8, Variant(u"{ID}")), hr::kOk);
    ASSERT_EQ(openMail(id)->save(), hr::kOk);
    ASSERT_EQ(safe->send(), hr::kOk);
  }
  EXPECT_FALSE(client.holdInTransmission(client.defaultFolderId(default_folder::kDrafts)));
  ASSERT_TRUE(client.holdInTransmission(id));

  auto safe = safeMail();
  ASSERT_EQ(safe->putItem(openMail(id)), hr::kOk);
  EXPECT_TRUE(client.item(id)->submitted) << "the transport has it already";
  std::int32_t tag =
      ok(util->getIdsFromNames(safe, prop_set::kInternetHeaders, u"x-quensyncxxxsyncid", false));
  EXPECT_EQ(safe->field(tag | prop_type::kString8).error(), hr::kMapiBusy);
  EXPECT_EQ(safe->field(prop_tag::kIconIndex).error(), hr::kMapiBusy);
  EXPECT_EQ(safe->send(), hr::kOk) << "sending it again is harmless";
  EXPECT_EQ(carriedSubjects(), (std::vector<std::u16string>{u"TaskSynchronisation"}));
  EXPECT_TRUE(client.folderItems(outboxId()).empty());

  // Holding every waiting mail at once; stopped mails are not held.
  std::u16string waiting = submitted(u"a");
  std::u16string stopped = submitted(u"b");
  ASSERT_EQ(safeMail()->putItem(openMail(stopped)), hr::kOk);
  EXPECT_EQ(client.holdOutboxInTransmission(), 1u);
  EXPECT_TRUE(client.item(waiting)->submitted);
  EXPECT_EQ(carriedSubjects(), (std::vector<std::u16string>{u"a"}));
}

TEST_F(MailOutboxTest, TheLibrarySubmitsAMailWhereItLiesAndTheTransportTakesItThere) {
  auto m = ok(ok(app()->createItem(item_kind::kMail))->queryMail());
  ASSERT_EQ(m->setTo(u"bob@example.org;"), hr::kOk);
  ASSERT_EQ(m->setSubject(u"From the drafts"), hr::kOk);
  ASSERT_EQ(m->save(), hr::kOk);
  const std::u16string id = ok(m->entryId());
  auto safe = safeMail();
  ASSERT_EQ(safe->putItem(m), hr::kOk);
  ASSERT_EQ(safe->send(), hr::kOk);
  ASSERT_TRUE(client.item(id));
  EXPECT_NE(client.item(id)->folderId, outboxId());
  EXPECT_TRUE(client.item(id)->submitted);
  EXPECT_TRUE(client.folderItems(outboxId()).empty());
  EXPECT_EQ(carriedSubjects(), std::vector<std::u16string>{u"From the drafts"});
}

}  // namespace
}  // namespace qx::sim::mailtest

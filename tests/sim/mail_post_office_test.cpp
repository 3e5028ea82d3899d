// Mail delivery between simulated users.
#include "sim/post_office_fixture.h"

namespace qx::sim::mailtest {
namespace {

using MailPostOfficeTest = PostOfficeFixture;

TEST_F(MailPostOfficeTest, DeliversToEachRecipientAndReportsUnknownAddresses) {
  files.files["C:\\d\\sync.huf"] = {1, 2, 3};
  send(alice, u"BOB@example.org;carol@example.org;dave@example.org;", u"TaskSynchronisation", true);
  EXPECT_TRUE(bob.inbox().empty()) << "nothing moves before the transport runs";
  office.runTransport();

  EXPECT_TRUE(alice.box(default_folder::kOutbox).empty());
  EXPECT_TRUE(alice.box(default_folder::kSentMail).empty()) << "delete after submit";
  for (User* u : {&bob, &carol}) {
    auto inbox = u->inbox();
    ASSERT_EQ(inbox.size(), 1u);
    const mail::ItemData& got = inbox[0].data;
    EXPECT_EQ(got.kind, mail::ItemKind::kMail);
    EXPECT_EQ(got.subject, u"TaskSynchronisation");
    EXPECT_EQ(got.body, u"body\nline");
    EXPECT_EQ(got.senderAddress, u"alice@example.org");
    EXPECT_FALSE(got.deleteAfterSubmit);
    EXPECT_TRUE(got.rawProperties.empty()) << "local properties stay behind";
    ASSERT_EQ(got.namedProperties.size(), 1u);
    EXPECT_EQ(*got.namedProperties.begin()->second.text(), u"{SYNC}");
  }
  // The report comes back to the sender and is no mail item to the add-in.
  auto reports = alice.inbox();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].data.kind, mail::ItemKind::kReport);
  EXPECT_NE(reports[0].data.body.find(u"dave@example.org"), std::u16string::npos);
  auto app = ok(alice.client.applicationObject()->queryApplication());
  auto item = ok(ok(app->getNamespace(u"MAPI"))->getItemFromId(reports[0].entryId, Variant()));
  EXPECT_FALSE(item->queryMail().has_value());
}

TEST_F(MailPostOfficeTest, ARecipientReadsTheHeaderUnderItsOwnStoresMapping) {
  send(alice, u"bob@example.org", u"s", true);
  office.runTransport();
  auto app = ok(bob.client.applicationObject()->queryApplication());
  auto got = ok(ok(app->getNamespace(u"MAPI"))->getItemFromId(bob.inbox()[0].entryId, Variant()));
  auto safe = ok(createSafeMailItem(bob.client.library()));
  ASSERT_EQ(safe->putItem(got), hr::kOk);
  auto util = ok(createMapiUtilities(bob.client.library()));
  std::int32_t tag =
      ok(util->getIdsFromNames(safe, prop_set::kInternetHeaders, u"x-quensyncxxxsyncid", false));
  EXPECT_EQ(*ok(safe->field(tag | prop_type::kString8)).text(), u"{SYNC}");
}

TEST_F(MailPostOfficeTest, MailsCarryWhenTheyLeftAndArrivedInTheReadersTimeZone) {
  office.setQuirks({.delayMs = 60000});
  send(alice, u"bob@example.org", u"s", true);
  clock.advance(2500);
  office.runTransport();  // leaves now, 2 s after the start
  clock.advance(60000);
  office.runTransport();  // arrives a minute later
  bob.client.core().utcOffsetMinutes = 90;
  const auto inbox = bob.inbox();
  ASSERT_EQ(inbox.size(), 1u);
  constexpr double kStart = 46363.0 + 8.0 / 24;  // 2026-12-07 08:00 UTC
  constexpr double kSecond = 1.0 / 86400;
  EXPECT_DOUBLE_EQ(inbox[0].data.sentOn.days, kStart + 2 * kSecond);
  EXPECT_DOUBLE_EQ(inbox[0].data.receivedTime.days, kStart + 62 * kSecond);
  auto app = ok(bob.client.applicationObject()->queryApplication());
  auto got = ok(
      ok(ok(app->getNamespace(u"MAPI"))->getItemFromId(inbox[0].entryId, Variant()))->queryMail());
  EXPECT_DOUBLE_EQ(ok(got->sentOn()).days, kStart + 2 * kSecond + 90.0 / 1440);
  // A mail that never travelled has no time.
  auto draft = ok(ok(app->createItem(item_kind::kMail))->queryMail());
  EXPECT_EQ(ok(draft->sentOn()), kNoDate);
}

TEST_F(MailPostOfficeTest, WithoutDeleteAfterSubmitACopyStaysInSentItems) {
  send(alice, u"bob@example.org", u"keep", false);
  office.runTransport();
  ASSERT_EQ(alice.box(default_folder::kSentMail).size(), 1u);
  EXPECT_EQ(bob.inbox().size(), 1u);
}

TEST_F(MailPostOfficeTest, NewMailArrivesOncePerRunAfterTheMails) {
  auto sink = std::make_shared<RecordingSink>();
  auto app = ok(bob.client.applicationObject()->queryApplication());
  ok(ok(app->findConnectionPoint(iid::kApplicationEvents))->advise(sink));
  std::size_t inboxWhenNotified = 0;
  sink->onEvent = [&](const Event&) { inboxWhenNotified = bob.inbox().size(); };
  send(alice, u"bob@example.org", u"1", true);
  send(carol, u"bob@example.org", u"2", true);
  office.runTransport();
  bob.thread.pump();
  EXPECT_EQ(sink->ids(), (std::vector<std::int32_t>{dispid::kNewMail}));
  EXPECT_EQ(inboxWhenNotified, 2u);
}

TEST_F(MailPostOfficeTest, QuirksDelayReorderDuplicateAndRewriteLineEnds) {
  PostOffice::Quirks quirks;
  quirks.delayMs = 5000;
  quirks.copies = 2;
  quirks.reorder = true;
  quirks.crlfLineEnds = true;
  office.setQuirks(quirks);
  send(alice, u"bob@example.org", u"first", true, u"a\nb\r\nc");
  send(alice, u"bob@example.org", u"second", true);
  office.runTransport();
  EXPECT_TRUE(bob.inbox().empty());
  EXPECT_EQ(office.inTransit(), 4u);
  clock.advance(5000);
  office.runTransport();
  auto inbox = bob.inbox();
  ASSERT_EQ(inbox.size(), 4u);
  EXPECT_EQ(inbox[0].data.subject, u"second");
  EXPECT_EQ(inbox[3].data.subject, u"first");
  EXPECT_EQ(inbox[3].data.body, u"a\r\nb\r\nc");
}

TEST_F(MailPostOfficeTest, TheTransportRunsOnTheVirtualClock) {
  office.runEvery(60000);
  send(alice, u"carol@example.org", u"timed", true);
  clock.advance(59999);
  EXPECT_TRUE(carol.inbox().empty());
  clock.advance(1);
  EXPECT_EQ(carol.inbox().size(), 1u);
}

TEST_F(MailPostOfficeTest, AStoppedHostsOutboxWaitsForItsNextRunWhileMailForItArrives) {
  send(alice, u"bob@example.org", u"held", true);
  send(bob, u"alice@example.org", u"for a stopped host", true);
  alice.client.setRunning(false);
  office.runTransport();
  EXPECT_TRUE(bob.inbox().empty());
  const auto outbox = alice.box(default_folder::kOutbox);
  ASSERT_EQ(outbox.size(), 1u);
  EXPECT_TRUE(outbox[0].submitted) << "still submitted, to leave at the next run";
  ASSERT_EQ(alice.inbox().size(), 1u) << "the mail store takes mail in without the host";

  alice.client.setRunning(true);
  office.runTransport();
  ASSERT_EQ(bob.inbox().size(), 1u);
  EXPECT_EQ(bob.inbox()[0].data.subject, u"held");
  EXPECT_TRUE(alice.box(default_folder::kOutbox).empty());
}

TEST_F(MailPostOfficeTest, AMailWithoutRecipientsComesBackAsAReport) {
  send(alice, u" ; ", u"nobody", true);
  office.runTransport();
  ASSERT_EQ(alice.inbox().size(), 1u);
  EXPECT_EQ(alice.inbox()[0].data.kind, mail::ItemKind::kReport);
}

}  // namespace
}  // namespace qx::sim::mailtest

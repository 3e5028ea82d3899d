// The mail system over the real server that scripts/mail-server started in
// $QX_MAIL_SERVER (the mailserver test label starts one for the run): what
// the stand-in renders goes through Postfix and Dovecot and the raw message
// taken from the mailbox reads back as the mail that was sent.
#include "sim/mail/server_mail_system.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/safe_utilities.h"
#include "sim/clock_sim.h"
#include "sim/mail/mime_message.h"

namespace qx::sim {
namespace {

using mail::ItemData;

class ServerMailSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* dir = std::getenv("QX_MAIL_SERVER");
    if (!dir) GTEST_SKIP() << "QX_MAIL_SERVER names no running mail server";
    auto connected = connectMailServer(dir);
    ASSERT_TRUE(connected) << connected.error();
    system = std::move(*connected);
    for (const char* box : {"user1@office.test", "user2@office.test"}) {
      auto emptied = system->take(box, kMark);
      ASSERT_TRUE(emptied) << emptied.error();
    }
  }

  // What arrives in `mailbox` within ten seconds (at least `count` of this
  // test's messages), with any foreign mail.
  std::vector<std::string> arrived(const char* mailbox, std::size_t count) {
    for (int i = 0; i < 1000; ++i) {
      auto waiting = system->waiting(mailbox, kMark);
      if (!waiting || *waiting >= count) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    auto taken = system->take(mailbox, kMark);
    EXPECT_TRUE(taken) << taken.error();
    return taken ? *taken : std::vector<std::string>{};
  }

  // This test's messages, as an office marks its own.
  static std::string message(const ItemData& mail, std::string_view mark = kMark) {
    static int next = 0;
    return mail::renderMessage(mail, u"user1@office.test",
                               {"t." + std::to_string(++next) + std::string(mark), std::nullopt});
  }

  static constexpr std::string_view kMark = ".server-test@office.test";
  std::unique_ptr<MailSystem> system;
};

ItemData syncMail() {
  ItemData mail = ItemData::newMail();
  mail.subject = u"TaskSynchronisation — Grüße ✓ 𝄞";
  mail.to = u"user2@office.test;";
  mail.importance = 0;
  mail.sensitivity = 3;
  mail.body =
      u"Diese Nachricht wurde automatisch erstellt. Straße ñ\n\n\n"
      u"is:TRUE:is\nlf:Büro-Team:lf\nid:{6B29FC40-CA47-1067-B31D-00DD010662DA}:id\n";
  mail.namedProperties[mail::NamedKey{std::u16string(prop_set::kInternetHeaders),
                                      u"x-quensyncxxxsyncid"}] =
      Variant(u"{6B29FC40-CA47-1067-B31D-00DD010662DA}");
  mail::AttachmentData attachment;
  attachment.id = 1;
  attachment.displayName = u"C:\\Users\\Zoë\\AppData\\Roaming\\Vantrosse\\sync.huf";
  attachment.fileName = attachment.displayName;
  for (int i = 0; i < 5000; ++i) attachment.content.push_back(static_cast<std::uint8_t>(i * 31));
  mail.attachments.push_back(attachment);
  return mail;
}

TEST_F(ServerMailSystemTest, ARawMessageFromTheMailboxReadsBackAsSent) {
  const ItemData sent = syncMail();
  const std::string message =
      mail::renderMessage(sent, u"user1@office.test", {"raw.1" + std::string(kMark), kDefaultStartSeconds});
  auto accepted = system->submit("user1@office.test", {"user2@office.test"}, message, false);
  ASSERT_TRUE(accepted) << accepted.error().detail;
  EXPECT_TRUE(accepted->refused.empty());
  const auto raw = arrived("user2@office.test", 1);
  ASSERT_EQ(raw.size(), 1u);
  // The server's own marks: trace lines, the envelope sender, CR LF lines.
  EXPECT_NE(raw[0].find("Received: from"), std::string::npos);
  EXPECT_NE(raw[0].find("Return-Path: <user1@office.test>"), std::string::npos);
  auto received = mail::parseMessage(raw[0]);
  ASSERT_TRUE(received);
  EXPECT_EQ(received->subject, sent.subject);
  EXPECT_EQ(received->body, sent.body);
  EXPECT_EQ(received->to, sent.to);
  EXPECT_EQ(received->senderAddress, u"user1@office.test");
  EXPECT_EQ(received->importance, sent.importance);
  EXPECT_EQ(received->sensitivity, sent.sensitivity);
  EXPECT_EQ(received->attachments, sent.attachments);
  EXPECT_EQ(received->namedProperties, sent.namedProperties);
  EXPECT_EQ(received->sentOn, DateValue{hostDateOf(kDefaultStartSeconds, 0)});
  EXPECT_NE(received->receivedTime, kNoDate);
  EXPECT_EQ(mail::messageIdOf(raw[0]), "raw.1" + std::string(kMark));
}

TEST_F(ServerMailSystemTest, UnknownRecipientsAreRefusedAndHeldMailWaitsForItsRelease) {
  const std::string message = ServerMailSystemTest::message(syncMail());
  // The unknown recipients are named, the known one gets the mail.
  auto mixed = system->submit("user1@office.test",
                              {"nobody@office.test", "user1@office.test", "someone@elsewhere.test"},
                              message, false);
  ASSERT_TRUE(mixed) << mixed.error().detail;
  ASSERT_EQ(mixed->refused.size(), 2u);
  EXPECT_EQ(mixed->refused[0].first, "nobody@office.test");
  EXPECT_EQ(mixed->refused[1].first, "someone@elsewhere.test");
  EXPECT_TRUE(mixed->refused[0].second.starts_with("5")) << mixed->refused[0].second;
  EXPECT_EQ(arrived("user1@office.test", 1).size(), 1u);
  auto nobody = system->submit("user1@office.test", {"nobody@office.test"}, message, false);
  ASSERT_TRUE(nobody) << nobody.error().detail;
  EXPECT_TRUE(nobody->queueId.empty());
  EXPECT_EQ(nobody->refused.size(), 1u);
  auto held = system->submit("user1@office.test", {"user2@office.test"}, message, true);
  ASSERT_TRUE(held) << held.error().detail;
  ASSERT_FALSE(held->queueId.empty());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(system->waiting("user2@office.test", kMark).value_or(99), 0u);
  EXPECT_GE(system->queued().value_or(0), 1u);
  ASSERT_TRUE(system->release({held->queueId}));
  EXPECT_EQ(arrived("user2@office.test", 1).size(), 1u);
}

TEST_F(ServerMailSystemTest, APileOfMailIsTakenWholeAndOnlyOnce) {
  // More than libcurl takes in one custom FETCH once it has piled up.
  const std::string message = ServerMailSystemTest::message(syncMail());
  for (int i = 0; i < 40; ++i) {
    auto accepted = system->submit("user1@office.test", {"user2@office.test"}, message, false);
    ASSERT_TRUE(accepted) << accepted.error().detail;
  }
  const auto pile = arrived("user2@office.test", 40);
  EXPECT_EQ(pile.size(), 40u);
  for (const std::string& raw : pile) EXPECT_TRUE(mail::parseMessage(raw)) << raw.substr(0, 200);
  EXPECT_EQ(system->waiting("user2@office.test", kMark).value_or(99), 0u);
}

// What the scenario forms do to the server, as the post office meets it.
TEST_F(ServerMailSystemTest, RefusalsAndStoppedSidesAreFailuresOfTheirKind) {
  using Kind = MailSystem::Failure::Kind;
  const std::string text = message(syncMail());
  const std::vector<std::string> to = {"user2@office.test"};
  system->refuseNext(450, 1);
  auto later = system->submit("user1@office.test", to, text, false);
  ASSERT_FALSE(later);
  EXPECT_EQ(later.error().kind, Kind::kTemporary);
  EXPECT_TRUE(later.error().reply.starts_with("450 4.3.2")) << later.error().reply;
  system->refuseNext(552, 1);
  auto never = system->submit("user1@office.test", to, text, false);
  ASSERT_FALSE(never);
  EXPECT_EQ(never.error().kind, Kind::kPermanent);
  EXPECT_TRUE(never.error().reply.starts_with("552 5.3.4")) << never.error().reply;
  EXPECT_TRUE(system->submit("user1@office.test", to, text, false)) << "two refusals only";
  EXPECT_EQ(arrived("user2@office.test", 1).size(), 1u);

  ASSERT_TRUE(system->setSmtpRunning(false));
  auto stopped = system->submit("user1@office.test", to, text, false);
  EXPECT_TRUE(system->setSmtpRunning(true));
  ASSERT_FALSE(stopped);
  EXPECT_EQ(stopped.error().kind, Kind::kUnreachable) << stopped.error().detail;
  ASSERT_TRUE(system->setImapRunning(false));
  EXPECT_FALSE(system->waiting("user2@office.test", kMark));
  ASSERT_TRUE(system->setImapRunning(true));
  EXPECT_TRUE(system->waiting("user2@office.test", kMark));
  EXPECT_TRUE(system->submit("user1@office.test", to, text, false)) << "SMTP runs again";
  EXPECT_EQ(arrived("user2@office.test", 1).size(), 1u);
}

TEST_F(ServerMailSystemTest, AnOfficeTakesItsOwnAndForeignMailAndLeavesAnothersRun) {
  constexpr std::string_view kOther = ".other-run@office.test";
  const std::vector<std::string> to = {"user2@office.test"};
  ItemData foreign = ItemData::newMail();
  foreign.subject = u"Spring sale";
  const std::string foreignText = mail::renderMessage(foreign, u"news@example.org", {});
  ASSERT_TRUE(system->submit("user1@office.test", to, message(syncMail(), kOther), false));
  ASSERT_TRUE(system->submit("news@example.org", to, foreignText, false));
  ASSERT_TRUE(system->submit("user1@office.test", to, message(syncMail()), false));
  const auto taken = arrived("user2@office.test", 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto late = system->take("user2@office.test", kMark);  // the foreign one, if it was late
  ASSERT_TRUE(late);
  std::vector<std::string> all = taken;
  all.insert(all.end(), late->begin(), late->end());
  ASSERT_EQ(all.size(), 2u);
  EXPECT_TRUE(mail::messageIdOf(all[0]).ends_with(kMark) ||
              mail::messageIdOf(all[1]).ends_with(kMark));
  EXPECT_TRUE(all[0].find("Spring sale") != std::string::npos ||
              all[1].find("Spring sale") != std::string::npos);
  ASSERT_TRUE(system->clearLeftovers("user2@office.test"));
  EXPECT_EQ(system->waiting("user2@office.test", kOther).value_or(0), 1u)
      << "another run's mail stays, even past a new office's start";
  EXPECT_EQ(system->take("user2@office.test", kOther).value_or(std::vector<std::string>{}).size(),
            1u);
}

}  // namespace
}  // namespace qx::sim

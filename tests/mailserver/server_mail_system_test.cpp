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
      auto emptied = system->take(box);
      ASSERT_TRUE(emptied) << emptied.error();
    }
  }

  // What arrives in `mailbox` within ten seconds (at least `count`).
  std::vector<std::string> arrived(const char* mailbox, std::size_t count) {
    for (int i = 0; i < 1000; ++i) {
      auto waiting = system->waiting(mailbox);
      if (!waiting || *waiting >= count) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    auto taken = system->take(mailbox);
    EXPECT_TRUE(taken) << taken.error();
    return taken ? *taken : std::vector<std::string>{};
  }

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
      mail::renderMessage(sent, u"user1@office.test", {"raw.1@office.test", kDefaultStartSeconds});
  auto accepted = system->submit("user1@office.test", {"user2@office.test"}, message, false);
  ASSERT_TRUE(accepted) << accepted.error();
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
  EXPECT_EQ(mail::messageIdOf(raw[0]), "raw.1@office.test");
}

TEST_F(ServerMailSystemTest, UnknownRecipientsAreRefusedAndHeldMailWaitsForItsRelease) {
  const std::string message = mail::renderMessage(syncMail(), u"user1@office.test");
  // The unknown recipients are named, the known one gets the mail.
  auto mixed = system->submit("user1@office.test",
                              {"nobody@office.test", "user1@office.test", "someone@elsewhere.test"},
                              message, false);
  ASSERT_TRUE(mixed) << mixed.error();
  ASSERT_EQ(mixed->refused.size(), 2u);
  EXPECT_EQ(mixed->refused[0].first, "nobody@office.test");
  EXPECT_EQ(mixed->refused[1].first, "someone@elsewhere.test");
  EXPECT_TRUE(mixed->refused[0].second.starts_with("5")) << mixed->refused[0].second;
  EXPECT_EQ(arrived("user1@office.test", 1).size(), 1u);
  auto nobody = system->submit("user1@office.test", {"nobody@office.test"}, message, false);
  ASSERT_TRUE(nobody) << nobody.error();
  EXPECT_TRUE(nobody->queueId.empty());
  EXPECT_EQ(nobody->refused.size(), 1u);
  auto held = system->submit("user1@office.test", {"user2@office.test"}, message, true);
  ASSERT_TRUE(held) << held.error();
  ASSERT_FALSE(held->queueId.empty());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(system->waiting("user2@office.test").value_or(99), 0u);
  EXPECT_GE(system->queued().value_or(0), 1u);
  ASSERT_TRUE(system->release({held->queueId}));
  EXPECT_EQ(arrived("user2@office.test", 1).size(), 1u);
}

TEST_F(ServerMailSystemTest, APileOfMailIsTakenWholeAndOnlyOnce) {
  // More than libcurl takes in one custom FETCH once it has piled up.
  const std::string message = mail::renderMessage(syncMail(), u"user1@office.test");
  for (int i = 0; i < 40; ++i) {
    auto accepted = system->submit("user1@office.test", {"user2@office.test"}, message, false);
    ASSERT_TRUE(accepted) << accepted.error();
  }
  const auto pile = arrived("user2@office.test", 40);
  EXPECT_EQ(pile.size(), 40u);
  for (const std::string& raw : pile) EXPECT_TRUE(mail::parseMessage(raw)) << raw.substr(0, 200);
  EXPECT_EQ(system->waiting("user2@office.test").value_or(99), 0u);
}

}  // namespace
}  // namespace qx::sim

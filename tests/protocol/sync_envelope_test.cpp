#include "protocol/sync_envelope.h"

#include <gtest/gtest.h>

#include "common/messages.h"
#include "protocol/sync_mail_fixture.h"
#include "protocol/sync_mail_reader.h"

namespace qx {
namespace {

const std::u16string kId = u"{0A1B2C3D-4E5F-6789-ABCD-EF0123456789}";
const std::string kIdAnsi = "{0A1B2C3D-4E5F-6789-ABCD-EF0123456789}";

class SyncEnvelope : public testing::SyncMailFixture {
 protected:
  void SetUp() override {
    auto item = app->createItem(item_kind::kMail);
    ASSERT_TRUE(item.has_value());
    mailObject = *item;
    auto asMail = mailObject->queryMail();
    ASSERT_TRUE(asMail.has_value());
    mail = *asMail;
    auto safe = createSafeMailItem(client.library());
    ASSERT_TRUE(safe.has_value());
    safeMail = *safe;
    ASSERT_EQ(safeMail->putItem(mailObject), hr::kOk);
  }

  // The change sender's order: flags and recipients, save, put again, raw
  // fields, subject, body, finishing touches, send.
  void buildChangeMail(const std::optional<std::u16string>& sender, LangId language) {
    setSyncMailFlags(*mail);
    ASSERT_EQ(setSyncMailRecipients(*mail, u"b@example.org;c@example.org;", sender), hr::kOk);
    ASSERT_EQ(mail->save(), hr::kOk);
    ASSERT_EQ(safeMail->putItem(mailObject), hr::kOk);
    EXPECT_EQ(setSyncIconIndex(*safeMail), hr::kOk);
    EXPECT_EQ(setSyncHeaderId(client.library(), safeMail, kId), hr::kOk);
    ASSERT_EQ(setSyncSubject(*mail), hr::kOk);
    ASSERT_EQ(writeSyncBody(*safeMail, codePage, language, SyncKind::kChange, "Team", kIdAnsi),
              hr::kOk);
    finishSyncMail(*mail, *safeMail);
  }

  // The removal sender's order: flags first, then recipients, save, raw field
  // and subject, body, finishing touches.
  void buildRemovalMail() {
    setSyncMailFlags(*mail);
    ASSERT_EQ(setSyncMailRecipients(*mail, u"b@example.org;", std::nullopt), hr::kOk);
    ASSERT_EQ(mail->save(), hr::kOk);
    ASSERT_EQ(safeMail->putItem(mailObject), hr::kOk);
    EXPECT_EQ(setSyncIconIndex(*safeMail), hr::kOk);
    ASSERT_EQ(setSyncSubject(*mail), hr::kOk);
    ASSERT_EQ(writeSyncBody(*safeMail, codePage, lang::kGerman, SyncKind::kRemoval, "Team", ""),
              hr::kOk);
    finishSyncMail(*mail, *safeMail);
  }

  // The mail as it waits for the transport after the send.
  sim::mail::ItemData sent() {
    EXPECT_EQ(safeMail->send(), hr::kOk);
    const auto id = mail->entryId();
    const auto waiting = id ? client.item(*id) : std::nullopt;
    EXPECT_TRUE(waiting && waiting->submitted);
    return waiting ? waiting->data : sim::mail::ItemData();
  }

  static std::optional<Variant> header(const sim::mail::ItemData& data) {
    const auto it = data.namedProperties.find(
        {std::u16string(prop_set::kInternetHeaders), std::u16string(syncmail::kHeaderIdName)});
    if (it == data.namedProperties.end()) return std::nullopt;
    return it->second;
  }

  std::shared_ptr<Dispatch> mailObject;
  std::shared_ptr<MailItem> mail;
  std::shared_ptr<SafeMailItem> safeMail;
};

TEST_F(SyncEnvelope, ChangeMailCarriesTheWholeEnvelope) {
  buildChangeMail(u"team@example.org", lang::kEnglishUs);
  const sim::mail::ItemData data = sent();
  EXPECT_EQ(data.subject, u"TaskSynchronisation");
  EXPECT_EQ(data.to, u"b@example.org;c@example.org;");
  EXPECT_EQ(data.sentOnBehalfOfName, u"team@example.org");
  EXPECT_EQ(data.importance, importance::kLow);
  EXPECT_FALSE(data.readReceiptRequested);
  EXPECT_EQ(data.sensitivity, sensitivity::kConfidential);
  EXPECT_TRUE(data.deleteAfterSubmit);
  EXPECT_TRUE(data.attachments.empty());
  EXPECT_EQ(data.rawProperties.at(0x1080), Variant(std::int32_t{514}));
  EXPECT_EQ(header(data), Variant(kId));
  const std::u16string notice(loadMessage(lang::kEnglishUs, msg::kMailNotice));
  EXPECT_EQ(data.body,
            notice + std::u16string(40, u'\n') + u"is:TRUE:is\nlf:Team:lf\nid:" + kId + u":id\n");
}

TEST_F(SyncEnvelope, RemovalMailHasNoHeaderIdAndReadsAsRemoval) {
  buildRemovalMail();
  EXPECT_EQ(safeMail->putItem(mailObject), hr::kOk);
  const SyncMailReading reading = parseSyncBody(*safeMail, codePage, diagnostics);
  EXPECT_TRUE(reading.valid);
  EXPECT_TRUE(reading.removal);
  EXPECT_TRUE(reading.syncId.empty());
  EXPECT_EQ(reading.shareName, "Team");

  const sim::mail::ItemData data = sent();
  EXPECT_EQ(header(data), std::nullopt);
  EXPECT_EQ(data.sentOnBehalfOfName, u"");
  EXPECT_EQ(data.sensitivity, sensitivity::kConfidential);
  EXPECT_TRUE(data.deleteAfterSubmit);
  // The German notice survives the trip through the ANSI code page.
  EXPECT_EQ(data.body.substr(0, loadMessage(lang::kGerman, msg::kMailNotice).size()),
            loadMessage(lang::kGerman, msg::kMailNotice));
}

TEST_F(SyncEnvelope, SenderNameOnlyWhenConfigured) {
  struct Case {
    const char* label;
    std::optional<std::u16string> sender;
    std::u16string expected;
  };
  const Case cases[] = {{"none", std::nullopt, u""},
                        {"empty", std::u16string(), u""},
                        {"configured", u"boss@example.org", u"boss@example.org"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_EQ(mail->setSentOnBehalfOfName(u""), hr::kOk);
    ASSERT_EQ(setSyncMailRecipients(*mail, u"b@example.org;", c.sender), hr::kOk);
    EXPECT_EQ(*mail->sentOnBehalfOfName(), c.expected);
  }
}

TEST_F(SyncEnvelope, FailedToEndsBeforeTheSender) {
  faults.fail("mail.MailItem.SetTo", hr::kFail);
  EXPECT_EQ(setSyncMailRecipients(*mail, u"b@example.org;", u"boss@example.org"), hr::kFail);
  EXPECT_EQ(*mail->sentOnBehalfOfName(), u"");
}

TEST_F(SyncEnvelope, HeaderIdReadsBackOnlyFromChangeMails) {
  buildChangeMail(std::nullopt, lang::kEnglishUs);
  auto utilities = createMapiUtilities(client.library());
  ASSERT_TRUE(utilities.has_value());
  EXPECT_EQ(readSyncHeaderId(**utilities, safeMail), kId);

  auto other = app->createItem(item_kind::kMail);
  ASSERT_TRUE(other.has_value());
  ASSERT_EQ((*(*other)->queryMail())->save(), hr::kOk);
  auto otherSafe = createSafeMailItem(client.library());
  ASSERT_EQ((*otherSafe)->putItem(*other), hr::kOk);
  EXPECT_FALSE(readSyncHeaderId(**utilities, *otherSafe).has_value());
}

TEST_F(SyncEnvelope, StoreThatNeverSawTheHeaderNameHasNoHeaderId) {
  ASSERT_EQ(mail->save(), hr::kOk);
  auto utilities = createMapiUtilities(client.library());
  ASSERT_TRUE(utilities.has_value());
  EXPECT_FALSE(readSyncHeaderId(**utilities, safeMail).has_value());
}

TEST_F(SyncEnvelope, FailuresOfTheExaminedStepsAreReturned) {
  ASSERT_EQ(mail->save(), hr::kOk);
  client.setLibraryState(sim::mail::LibraryState::kClassNotRegistered);
  EXPECT_EQ(setSyncHeaderId(client.library(), safeMail, kId), hr::kClassNotRegistered);
  client.setLibraryState(sim::mail::LibraryState::kInstalled);

  faults.fail("safe.SafeMailItem.SetBody", hr::kFail);
  EXPECT_EQ(writeSyncBody(*safeMail, codePage, lang::kEnglishUs, SyncKind::kChange, "T", kIdAnsi),
            hr::kFail);
  faults.fail("codepage.toAnsi", hr::kFail);
  EXPECT_TRUE(failed(
      writeSyncBody(*safeMail, codePage, lang::kEnglishUs, SyncKind::kChange, "T", kIdAnsi)));
  faults.fail("mail.MailItem.SetSubject", hr::kFail);
  EXPECT_EQ(setSyncSubject(*mail), hr::kFail);
}

}  // namespace
}  // namespace qx

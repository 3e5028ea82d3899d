// The mail file of the end-to-end run: what one host writes, the other reads
// back as the same mail, whatever its texts and attachment hold.
#include "mail_file.h"

#include <gtest/gtest.h>

#include "platform/safe_utilities.h"

namespace qx::e2e {
namespace {

using sim::mail::AttachmentData;
using sim::mail::ItemData;
using sim::mail::NamedKey;

ItemData syncMail() {
  ItemData mail = ItemData::newMail();
  mail.subject = u"TaskSynchronisation";
  mail.to = u"ben@example.org;carla@example.org;";
  mail.importance = 0;
  mail.sensitivity = 3;
  mail.body = u"\"notice\"\n\n\n\nis:TRUE:is\nlf:team:lf\nid:{0000}:id\n";
  mail.namedProperties[NamedKey{std::u16string(prop_set::kInternetHeaders),
                                u"x-quensyncxxxsyncid"}] = Variant(u"{0000}");
  AttachmentData attachment;
  attachment.id = 1;
  attachment.displayName = u"C:\\users\\anna\\Application Data\\Vantrosse\\sync.huf";
  attachment.fileName = u"sync.huf";
  for (int i = 0; i < 1000; ++i) attachment.content.push_back(static_cast<std::uint8_t>(i * 7));
  mail.attachments.push_back(attachment);
  return mail;
}

TEST(MailFileTest, WhatTravelsComesBackAsSent) {
  struct Case {
    const char* name;
    void (*change)(ItemData&);
  };
  const Case cases[] = {
      {"sync mail", [](ItemData&) {}},
      {"removal mail without attachment", [](ItemData& m) { m.attachments.clear(); }},
      {"texts beyond ASCII",
       [](ItemData& m) {
         m.subject = u"Überprüfung ✓ 𝄞";
         m.body = u"Grüße\r\nañadir\n";
         m.attachments[0].displayName = u"große Datei";
       }},
      {"attachment of every length mod 3",
       [](ItemData& m) { m.attachments[0].content.resize(998); }},
      {"empty attachment", [](ItemData& m) { m.attachments[0].content.clear(); }},
      {"high importance, read receipt, private",
       [](ItemData& m) {
         m.importance = 2;
         m.sensitivity = 2;
         m.readReceiptRequested = true;
         m.sentOnBehalfOfName = u"Team office";
       }},
  };
  for (const Case& c : cases) {
    ItemData sent = syncMail();
    c.change(sent);
    auto received = readMailFile(writeMailFile(sent, u"anna@example.org"));
    ASSERT_TRUE(received) << c.name;
    EXPECT_EQ(received->subject, sent.subject) << c.name;
    EXPECT_EQ(received->to, sent.to) << c.name;
    EXPECT_EQ(received->body, sent.body) << c.name;
    EXPECT_EQ(received->importance, sent.importance) << c.name;
    EXPECT_EQ(received->sensitivity, sent.sensitivity) << c.name;
    EXPECT_EQ(received->readReceiptRequested, sent.readReceiptRequested) << c.name;
    EXPECT_EQ(received->sentOnBehalfOfName, sent.sentOnBehalfOfName) << c.name;
    EXPECT_EQ(received->senderAddress, u"anna@example.org") << c.name;
    EXPECT_EQ(received->namedProperties, sent.namedProperties) << c.name;
    EXPECT_EQ(received->attachments, sent.attachments) << c.name;
  }
}

TEST(MailFileTest, TextThatIsNoMessageIsRefused) {
  for (const char* text : {"", "hello", "From: a\r\n\r\nbody",
                           "From: a\r\nContent-Type: "
                           "multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n\r\n!!!\r\n--b--\r\n"}) {
    EXPECT_FALSE(readMailFile(text)) << text;
  }
}

}  // namespace
}  // namespace qx::e2e

// Internet messages: what one host writes, the other reads back as the same
// mail, whatever its texts and attachment hold and whatever a mail system
// legally did to the message on the way.
#include "sim/mail/mime_message.h"

#include <gtest/gtest.h>

#include "platform/safe_utilities.h"
#include "sim/clock_sim.h"
#include "sim/mail/mail_habits.h"
#include "sim/mail/mail_text.h"
#include "sim/mail/mime_text.h"

namespace qx::sim::mail {
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

TEST(MimeMessageTest, WhatTravelsComesBackAsSent) {
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
      {"long subject, many recipients, path with quotes",
       [](ItemData& m) {
         m.subject = std::u16string(40, u'ä') + u" and " + std::u16string(90, u'x');
         for (int i = 0; i < 20; ++i) m.to += u"user" + decimalText(i) + u"@office.test;";
         m.attachments[0].displayName = u"C:\\a \"b\"\\=?not-a-word?=";
       }},
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
    auto received = parseMessage(
        renderMessage(sent, u"anna@example.org", {"id.1@example.org", kDefaultStartSeconds}));
    ASSERT_TRUE(received) << c.name;
    EXPECT_EQ(received->subject, sent.subject) << c.name;
    EXPECT_EQ(received->to, sent.to) << c.name;
    // Text travels with CR LF line ends; the host reads them as its own.
    std::u16string lines = sent.body;
    std::erase(lines, u'\r');
    EXPECT_EQ(received->body, lines) << c.name;
    EXPECT_EQ(received->importance, sent.importance) << c.name;
    EXPECT_EQ(received->sensitivity, sent.sensitivity) << c.name;
    EXPECT_EQ(received->readReceiptRequested, sent.readReceiptRequested) << c.name;
    EXPECT_EQ(received->sentOnBehalfOfName, sent.sentOnBehalfOfName) << c.name;
    EXPECT_EQ(received->senderAddress, u"anna@example.org") << c.name;
    EXPECT_EQ(received->namedProperties, sent.namedProperties) << c.name;
    EXPECT_EQ(received->attachments, sent.attachments) << c.name;
    EXPECT_EQ(received->sentOn, DateValue{hostDateOf(kDefaultStartSeconds, 0)}) << c.name;
  }
}

// A message needs a header block with a sender, and parts that decode; a
// plain single-part message is a message all the same.
TEST(MimeMessageTest, TextThatIsNoMessageIsRefused) {
  for (const char* text :
       {"", "hello", "Subject: x\r\n\r\nbody", "From: a\r\nbody without header end",
        "From: a\r\nContent-Type: multipart/mixed\r\n\r\n--b\r\n\r\nx\r\n--b--\r\n",
        "From: a\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\n!!!\r\n--b--\r\n"}) {
    EXPECT_FALSE(parseMessage(text)) << text;
  }
  auto plain = parseMessage("From: a@b\nSubject: s\n\nline\n");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->body, u"line\n");
  EXPECT_TRUE(plain->attachments.empty());
}

// What mail systems legally do to a message: each variant of one message
// reads back as the same mail.
TEST(MimeMessageTest, ReadsWhatMailSystemsMakeOfAMessage) {
  const std::string body =
      "Return-Path: <anna@office.test>\r\n"
      "Received: from mail.office.test by mx with LMTP; Mon, 07 Dec 2026 08:00:05 +0000\r\n"
      "Received: from client by mail.office.test; Mon,  7 Dec 2026 08:00:01 +0000 (UTC)\r\n"
      "From: \"Anna A.\" <anna@office.test>\r\n"
      "To: ben@office.test,\r\n  \"Carla, C.\" <carla@office.test>\r\n"
      "Subject: =?iso-8859-1?Q?Gr=FC=DFe?= =?utf-8?B?IOKckw==?=\r\n"
      "Date: Mon, 7 Dec 2026 09:00:00 +0100 (CET)\r\n"
      "X-Quensyncxxxsyncid: {0000}\r\n"
      "MIME-Version: 1.0\r\n"
      "Content-Type: multipart/mixed;\r\n boundary=outer\r\n\r\n"
      "preamble\r\n--outer\r\n"
      "Content-Type: application/octet-stream;\r\n"
      " name*0*=utf-8''gro%C3%9Fe%20;\r\n name*1=\"Datei.huf\"\r\n"
      "Content-Transfer-Encoding: base64\r\n\r\nAQID\r\n"
      "--outer\r\n"
      "Content-Type: multipart/alternative; boundary=\"inner\"\r\n\r\n"
      "--inner\r\nContent-Type: text/plain; charset=\"ISO-8859-1\"\r\n"
      "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
      "Stra=DFe=\r\n und Weg\r\nis:TRUE:is\r\n"
      "--inner\r\nContent-Type: text/html\r\n\r\n<p>Stra&szlig;e</p>\r\n--inner--\r\n"
      "--outer\r\nContent-Type: text/plain\r\n\r\n-- \r\nDisclaimer\r\n--outer--\r\n";
  const auto lfOnly = [](std::string text) {
    std::string out;
    for (char c : text)
      if (c != '\r') out += c;
    return out;
  };
  for (const std::string& text : {body, lfOnly(body)}) {
    auto mail = parseMessage(text);
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->senderAddress, u"anna@office.test");
    EXPECT_EQ(mail->to, u"ben@office.test;carla@office.test;");
    EXPECT_EQ(mail->subject, u"Grüße ✓");
    EXPECT_TRUE(mail->body.starts_with(u"Straße und Weg"));
    EXPECT_NE(mail->body.find(u"is:TRUE:is"), std::u16string::npos);
    ASSERT_EQ(mail->attachments.size(), 1u);
    EXPECT_EQ(mail->attachments[0].displayName, u"große Datei.huf");
    EXPECT_EQ(mail->attachments[0].content, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(mail->sentOn, DateValue{hostDateOf(kDefaultStartSeconds, 0)});
    EXPECT_EQ(mail->receivedTime, DateValue{hostDateOf(kDefaultStartSeconds + 5, 0)});
    EXPECT_EQ(mail->namedProperties.size(), 1u);
  }
}

// The gateway habits change what they should and nothing else.
TEST(MimeMessageTest, GatewayHabitsKeepTheMailReadable) {
  ItemData sent = syncMail();
  sent.subject = u"TaskSynchronisation";
  sent.attachments[0].displayName = u"C:\\Dokumente und Einstellungen\\Zoë\\sync.huf";
  const std::string message = renderMessage(sent, u"anna@office.test");
  struct Case {
    const char* name;
    MailHabits habits;
    std::u16string subject;
    std::u16string bodyEnd;
  };
  const Case cases[] = {
      {"footer",
       {.footer = u"-- \nVertraulich ✓"},
       u"TaskSynchronisation",
       u"\n\n-- \nVertraulich ✓\n"},
      {"subject tag", {.subjectPrefix = u"[EXT] "}, u"[EXT] TaskSynchronisation", u":id\n"},
      {"parts reversed", {.partsReversed = true}, u"TaskSynchronisation", u":id\n"},
      {"RFC 2231 names", {.rfc2231Names = true}, u"TaskSynchronisation", u":id\n"},
      {"subject rewritten", {.subject = u"Wöchentlich ✓"}, u"Wöchentlich ✓", u":id\n"},
      {"all at once", {u"F", u"[EXT] ", u"Digest", true, true}, u"[EXT] Digest", u"\n\nF\n"},
  };
  for (const Case& c : cases) {
    const std::string passed = applyHabits(message, c.habits);
    auto mail = parseMessage(passed);
    ASSERT_TRUE(mail) << c.name;
    EXPECT_EQ(mail->subject, c.subject) << c.name;
    EXPECT_TRUE(mail->body.starts_with(sent.body)) << c.name;
    EXPECT_TRUE(mail->body.ends_with(c.bodyEnd)) << c.name;
    EXPECT_EQ(mail->attachments, sent.attachments) << c.name;
    if (c.habits.rfc2231Names) {
      EXPECT_NE(passed.find("name*0*=utf-8''"), std::string::npos) << c.name;
    }
    if (c.habits.partsReversed) {
      EXPECT_LT(passed.find("application/octet-stream"), passed.find("text/plain")) << c.name;
    }
  }
}

// What the standards ask of the text itself, whether or not a server minds.
TEST(MimeMessageTest, TheRenderedTextKeepsTheLimitsOfInternetMail) {
  ItemData sent = syncMail();
  sent.subject = std::u16string(1200, u'x');  // no blank to fold at
  sent.body = u"one\ntwo\n";
  sent.attachments[0].displayName = u"Übersicht für Zoë.huf";
  sent.attachments[0].fileName = sent.attachments[0].displayName;
  sent.namedProperties[NamedKey{std::u16string(prop_set::kInternetHeaders), u"x-quensyncnote"}] =
      Variant(std::u16string(30, u'é'));
  const std::string text = renderMessage(sent, u"anna@example.org", {"id.1@example.org", 0});
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find("\r\n", at), text.size());
    const std::string_view line(text.data() + at, end - at);
    EXPECT_LE(line.size(), 998u) << line.substr(0, 40);
    if (line.find("=?") != std::string_view::npos) {
      EXPECT_LE(line.size(), 76u) << line;
    }
    at = end + 2;
  }
  // Non-ASCII names as RFC 2231 parameters, never an encoded word in quotes.
  EXPECT_NE(text.find("filename*0*=utf-8''%C3%9Cbersicht"), std::string::npos);
  EXPECT_NE(text.find("name*0*=utf-8''"), std::string::npos);
  EXPECT_EQ(text.find("name=\"=?"), std::string::npos);
  // The text is encoded in its canonical form: CR LF line ends.
  const std::size_t bodyAt = text.find("Content-Transfer-Encoding: base64\r\n\r\n") + 37;
  const auto body = base64Decode(text.substr(bodyAt, text.find("\r\n--", bodyAt) - bodyAt));
  ASSERT_TRUE(body);
  EXPECT_EQ(*body, "one\r\ntwo\r\n");
  auto received = parseMessage(text);
  ASSERT_TRUE(received);
  EXPECT_EQ(received->subject, sent.subject);
  EXPECT_EQ(received->body, sent.body);
  EXPECT_EQ(received->attachments, sent.attachments);
}

TEST(MimeMessageTest, DatesReadInAnyZoneAndForm) {
  const std::int64_t t = kDefaultStartSeconds;  // 2026-12-07 08:00:00 UTC
  EXPECT_EQ(rfc5322Date(t), "Mon, 7 Dec 2026 08:00:00 +0000");
  for (const char* text : {"Mon, 7 Dec 2026 08:00:00 +0000", "7 Dec 2026 09:00:00 +0100",
                           "Mon,  7 Dec 2026 03:00:00 -0500 (EST)", "Mon, 07 Dec 26 08:00:00 GMT",
                           "mon, 7 dec 2026 08:00 +0000"}) {
    EXPECT_EQ(parseRfc5322Date(text), t) << text;
  }
  for (const char* text : {"", "yesterday", "Mon, 7 Foo 2026 08:00:00 +0000", "7 Dec 2026"})
    EXPECT_FALSE(parseRfc5322Date(text)) << text;
}

}  // namespace
}  // namespace qx::sim::mail

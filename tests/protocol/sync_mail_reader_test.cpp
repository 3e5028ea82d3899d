#include "protocol/sync_mail_reader.h"

#include <gtest/gtest.h>

#include "protocol/sync_mail_fixture.h"

namespace qx {
namespace {

// A received mail in the Inbox, read through the safe-item library.
class Reader : public testing::SyncMailFixture {
 protected:
  SafeMailItem& received(std::u16string body) {
    sim::mail::ItemData data = sim::mail::ItemData::newMail();
    data.subject = u"TaskSynchronisation";
    data.body = std::move(body);
    const std::u16string entry =
        client.addItem(client.defaultFolderId(default_folder::kInbox), std::move(data));
    auto item = session->getItemFromId(entry, Variant::missing());
    EXPECT_TRUE(item.has_value());
    auto safe = createSafeMailItem(client.library());
    EXPECT_TRUE(safe.has_value());
    EXPECT_EQ((*safe)->putItem(*item), hr::kOk);
    safeMail = *safe;
    return *safeMail;
  }
  std::shared_ptr<SafeMailItem> safeMail;
};

TEST_F(Reader, ChangeMailReadsWithShareNameAndTracesTheId) {
  SafeMailItem& mail = received(u"Notice\r\n\r\nis:TRUE:is\r\nlf:B\u00FCro:lf\r\nid:{ID}:id\r\n");
  const SyncMailReading reading = parseSyncBody(mail, codePage, diagnostics);
  EXPECT_TRUE(reading.valid);
  EXPECT_FALSE(reading.removal);
  EXPECT_EQ(reading.syncId, u"{ID}");
  EXPECT_EQ(reading.shareName, "B\xFCro");
  EXPECT_EQ(reading.version, std::nullopt);
  EXPECT_EQ(diagnostics.debugEntries, (std::vector<std::string>{"got:", "{ID}"}));
}

TEST_F(Reader, NoTraceWithDebugOff) {
  diagnostics.debug = false;
  SafeMailItem& mail = received(u"is:FALSE:is lf:T:lf id::id");
  const SyncMailReading reading = parseSyncBody(mail, codePage, diagnostics);
  EXPECT_TRUE(reading.valid);
  EXPECT_TRUE(reading.removal);
  EXPECT_TRUE(reading.syncId.empty());
  EXPECT_TRUE(diagnostics.debugEntries.empty());
}

TEST_F(Reader, UnreadableBodyIsNoSyncMail) {
  SafeMailItem& mail = received(u"is:TRUE:is lf:T:lf id:X:id");
  faults.fail("safe.SafeMailItem.Body", hr::kMapiNotFound, 0);
  EXPECT_FALSE(parseSyncBody(mail, codePage, diagnostics).valid);
  EXPECT_EQ(parseSyncBody(mail, codePage, diagnostics).shareName, "");
  faults.clearAll();

  faults.fail("codepage.toAnsi", hr::kFail, 0);
  EXPECT_FALSE(parseSyncBody(mail, codePage, diagnostics).valid);
  EXPECT_EQ(parseSyncBody(mail, codePage, diagnostics).shareName, "");
}

TEST_F(Reader, IdThatCannotBeConvertedBackIsNoSyncMail) {
  SafeMailItem& mail = received(u"is:TRUE:is lf:T:lf id:X:id");
  faults.fail("codepage.toWide", hr::kFail, 0);
  const SyncMailReading reading = parseSyncBody(mail, codePage, diagnostics);
  EXPECT_FALSE(reading.valid);
  EXPECT_TRUE(reading.syncId.empty());
}

// Both kinds carry their version in the same line after the id.
TEST_F(Reader, ChangesAndRemovalsCarryTheirVersionLine) {
  for (const char16_t* kind : {u"is:TRUE:is", u"is:FALSE:is"}) {
    SafeMailItem& mail = received(std::u16string(kind) + u"\nlf:T:lf\nid:X:id\nver:17-AB:ver\n");
    EXPECT_EQ(parseSyncBody(mail, codePage, diagnostics).version, (ChangeVersion{17, "AB"}));
  }
}

TEST_F(Reader, InvalidMailStillHandsBackTheId) {
  SafeMailItem& mail = received(u"lf:T:lf id:X:id");
  const SyncMailReading reading = parseSyncBody(mail, codePage, diagnostics);
  EXPECT_FALSE(reading.valid);
  EXPECT_EQ(reading.syncId, u"X");
}

}  // namespace
}  // namespace qx

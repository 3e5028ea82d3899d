#include "protocol/sync_mail_reader.h"

#include <gtest/gtest.h>

#include "protocol/sync_test_fakes.h"

namespace qx {
namespace {

struct Reader : ::testing::Test {
  testing::BodyOnlySafeMail mail;
  testing::Latin1CodePage codePage;
  testing::RecordingDiagnostics diagnostics;
};

TEST_F(Reader, ChangeMailReadsWithShareNameAndTracesTheId) {
  mail.storedBody = u"Notice\r\n\r\nis:TRUE:is\r\nlf:B\u00FCro:lf\r\nid:{ID}:id\r\n";
  const SyncMailReading reading = parseSyncBody(mail, codePage, diagnostics);
  EXPECT_TRUE(reading.valid);
  EXPECT_FALSE(reading.removal);
  EXPECT_EQ(reading.syncId, u"{ID}");
  EXPECT_EQ(readShareName(mail, codePage), u"B\u00FCro");
  EXPECT_EQ(diagnostics.debugEntries, (std::vector<std::string>{"got:", "{ID}"}));
}

TEST_F(Reader, NoTraceWithDebugOff) {
  diagnostics.debug = false;
  mail.storedBody = u"is:FALSE:is lf:T:lf id::id";
  const SyncMailReading reading = parseSyncBody(mail, codePage, diagnostics);
  EXPECT_TRUE(reading.valid);
  EXPECT_TRUE(reading.removal);
  EXPECT_TRUE(reading.syncId.empty());
  EXPECT_TRUE(diagnostics.debugEntries.empty());
}

TEST_F(Reader, UnreadableBodyIsNoSyncMail) {
  mail.storedBody = failure(hr::kMapiNotFound);
  EXPECT_FALSE(parseSyncBody(mail, codePage, diagnostics).valid);
  EXPECT_EQ(readShareName(mail, codePage), u"");

  mail.storedBody = u"is:TRUE:is lf:T:lf id:X:id";
  codePage.failToAnsi = true;
  EXPECT_FALSE(parseSyncBody(mail, codePage, diagnostics).valid);
  EXPECT_EQ(readShareName(mail, codePage), u"");
}

TEST_F(Reader, IdThatCannotBeConvertedBackIsNoSyncMail) {
  mail.storedBody = u"is:TRUE:is lf:T:lf id:X:id";
  codePage.failToWide = true;
  const SyncMailReading reading = parseSyncBody(mail, codePage, diagnostics);
  EXPECT_FALSE(reading.valid);
  EXPECT_TRUE(reading.syncId.empty());
}

TEST_F(Reader, InvalidMailStillHandsBackTheId) {
  mail.storedBody = u"lf:T:lf id:X:id";
  const SyncMailReading reading = parseSyncBody(mail, codePage, diagnostics);
  EXPECT_FALSE(reading.valid);
  EXPECT_EQ(reading.syncId, u"X");
}

}  // namespace
}  // namespace qx

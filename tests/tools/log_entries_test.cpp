#include "quendrilax-sim/log_entries.h"

#include <gtest/gtest.h>

#include "quendrilax-sim/text_utf.h"

namespace qx::tools {
namespace {

TEST(LogEntriesTest, DebugEntriesKeepTextsThatSpanLines) {
  const std::string content =
      "07.12.2026 09:00:00 -> Debugger started\n"
      "07.12.2026 09:00:00 -> --ERROR--\n"
      "07.12.2026 09:00:01 -> \n"  // a text that begins with a line feed
      "put_To()\n"
      "12/7/2026 3:00:00 AM -> a -> b\n"
      "Invalid DateTime -> no stamp possible\n";
  const auto entries = readDebugLog(content);
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[0].stamp, "07.12.2026 09:00:00");
  EXPECT_EQ(entries[0].text, "Debugger started");
  EXPECT_EQ(entries[2].text, "\nput_To()");
  EXPECT_EQ(entries[3].stamp, "12/7/2026 3:00:00 AM");
  EXPECT_EQ(entries[3].text, "a -> b");
  EXPECT_EQ(entries[4].stamp, "Invalid DateTime");
}

TEST(LogEntriesTest, TextBeforeAnyStampIsStillAnEntry) {
  const auto entries = readDebugLog("left by someone else\n09.12.2026 10:00:00 -> x\n");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].text, "left by someone else");
  EXPECT_EQ(entries[1].text, "x");
}

TEST(LogEntriesTest, ErrorLogLinesAreEntriesIncludingEmptyOnes) {
  const auto entries = readErrorLog("Hessaplex may be not registered\n\nput_To()\n");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[1].text, "");
  EXPECT_EQ(entries[2].text, "put_To()");
  EXPECT_TRUE(readErrorLog("").empty());
  // A last line without line feed is kept.
  EXPECT_EQ(logLines("a\nb").size(), 2u);
}

TEST(LogEntriesTest, StampRecognition) {
  const std::pair<const char*, bool> cases[] = {
      {"07.12.2026 09:00:00", true},
      {"12/7/2026 3:00:00 PM", true},
      {"Invalid DateTime", true},
      {"", false},
      {"processInbox:1", false},
      {"--ERROR--", false},
      {"AM", false},
  };
  for (auto [text, stamp] : cases) EXPECT_EQ(looksLikeStamp(text), stamp) << text;
}

TEST(TextUtfTest, RoundTripsAndRepairs) {
  const std::string text = "Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x93\x8E";  // Grüß € 📎
  const std::u16string wide = utf8ToUtf16(text);
  EXPECT_EQ(wide.size(), 9u);  // the clip takes two units
  EXPECT_EQ(utf16ToUtf8(wide), text);
  // Malformed input becomes U+FFFD instead of vanishing.
  EXPECT_EQ(utf8ToUtf16("a\xFF"
                        "b"),
            u"a\uFFFDb");
  EXPECT_EQ(utf8ToUtf16("\xC3"), u"\uFFFD");
  EXPECT_EQ(utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
  // The code page: umlauts and the euro sign as single bytes.
  EXPECT_EQ(utf8ToAnsi("M\xC3\xBCller \xE2\x82\xAC"), "M\xFCller \x80");
  EXPECT_EQ(ansiToUtf8("M\xFCller \x80"), "M\xC3\xBCller \xE2\x82\xAC");
  EXPECT_EQ(printable("a\nb\x01"), "a\\nb\\x01");
}

}  // namespace
}  // namespace qx::tools

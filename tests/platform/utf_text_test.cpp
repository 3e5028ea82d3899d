// The one UTF-16/UTF-8 converter of every layer: well-formed text both ways
// unchanged, every ill-formed part one U+FFFD that swallows nothing after it.
#include "platform/utf_text.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

TEST(UtfTextTest, ConvertsBothWaysAndMarksEachIllFormedPart) {
  const struct {
    const char* name;
    std::string utf8;
    std::u16string utf16;
    bool roundTrips;  // utf16ToUtf8(utf16) == utf8
  } cases[] = {
      {"empty", "", u"", true},
      {"ASCII and controls", "a\tb\r\n\x7f", u"a\tb\r\n\x7f", true},
      {"two bytes", "Grüße ñ", u"Grüße ñ", true},
      {"three bytes, edges", "\xe0\xa0\x80 \xef\xbf\xbf \xe2\x9c\x93", u"\u0800 \uffff ✓", true},
      {"four bytes, edges", "\xf0\x90\x80\x80\xf4\x8f\xbf\xbf 𝄞", u"\U00010000\U0010ffff 𝄞", true},
      {"stray continuation bytes",
       "a\x80\xbf"
       "b",
       u"a\ufffd\ufffdb", false},
      {"lead without its continuation", "\xc3 x \xe2\x9c", u"\ufffd x \ufffd", false},
      {"overlong forms", "\xc0\xaf\xe0\x80\xaf", u"\ufffd\ufffd\ufffd\ufffd\ufffd", false},
      {"an encoded surrogate", "\xed\xa0\x80", u"\ufffd\ufffd\ufffd", false},
      {"beyond U+10FFFF", "\xf4\x90\x80\x80\xf8", u"\ufffd\ufffd\ufffd\ufffd\ufffd", false},
      {"a cut four-byte form keeps what follows", "\xf0\x9d\x84z", u"\ufffdz", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(utf8ToUtf16(c.utf8), c.utf16) << c.name;
    if (c.roundTrips) {
      EXPECT_EQ(utf16ToUtf8(c.utf16), c.utf8) << c.name;
    }
  }
  // Surrogates without partners have no UTF-8 form.
  const std::u16string lone = {u'a', char16_t(0xD834), u'b', char16_t(0xDD1E), char16_t(0xD834)};
  EXPECT_EQ(utf16ToUtf8(lone),
            "a\xef\xbf\xbd"
            "b\xef\xbf\xbd\xef\xbf\xbd");
}

}  // namespace
}  // namespace qx

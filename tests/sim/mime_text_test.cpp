// The encodings of internet mail, as mail systems write them.
#include "sim/mail/mime_text.h"

#include <gtest/gtest.h>

namespace qx::sim::mail {
namespace {

std::size_t longestLine(std::string_view text) {
  std::size_t longest = 0;
  for (std::size_t at = 0, end; at < text.size(); at = end + 2) {
    end = text.find("\r\n", at);
    if (end == std::string_view::npos) end = text.size();
    longest = std::max(longest, end - at);
  }
  return longest;
}

TEST(MimeTextTest, HeaderTextsDecodeAsWritten) {
  const std::pair<const char*, std::u16string> cases[] = {
      {"plain text", u"plain text"},
      {"=?utf-8?B?R3LDvMOfZQ==?=", u"Grüße"},
      {"=?ISO-8859-1?Q?Gr=FC=DFe_dich?=", u"Grüße dich"},
      {"=?windows-1252?q?=80_5?=", u"€ 5"},
      {"=?utf-8?B?R3LDvA==?= =?utf-8?B?w59l?=", u"Grüße"},  // blank between words vanishes
      {"[EXT] =?utf-8?B?w6Q=?= tail", u"[EXT] ä tail"},
      {"=?utf-8*de?Q?=C3=A4?=", u"ä"},  // with a language
      {"=?unknown?Q?x?= stays", u"=?unknown?Q?x?= stays"},
      {"=?utf-8?B?!!!?=", u"=?utf-8?B?!!!?="},
      {"raw Gr\xc3\xbc\xc3\x9f", u"raw Grüß"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(decodeHeaderText(text), expected) << text;
  // What the writer encodes reads back, however long.
  for (std::u16string text : {std::u16string(u"TaskSynchronisation"), std::u16string(200, u'ü'),
                              std::u16string(u"a =?b?= c"), std::u16string(u"𝄞✓ mixed")}) {
    const std::string encoded = encodeHeaderText(text);
    EXPECT_LE(longestLine(encoded), 76u) << "a header line stays short";
    EXPECT_EQ(decodeHeaderText(encoded), text);
  }
}

TEST(MimeTextTest, ParametersInEveryForm) {
  const std::pair<const char*, std::optional<std::u16string>> cases[] = {
      {"attachment; filename=sync.huf", u"sync.huf"},
      {"attachment; FILENAME=\"C:\\\\a \\\"b\\\".huf\"", u"C:\\a \"b\".huf"},
      {"attachment; filename*=utf-8''gro%C3%9Fe%20Datei", u"große Datei"},
      {"attachment; filename*=iso-8859-1'de'gro%DFe", u"große"},
      {"attachment; filename*1=\"2\"; filename*0*=utf-8''%C3%A4; filename*2*=%33", u"ä23"},
      {"attachment; filename=\"=?utf-8?B?w6Q=?=\"", u"ä"},
      {"attachment; name=other", std::nullopt},
      {"attachment", std::nullopt},
  };
  for (const auto& [value, expected] : cases)
    EXPECT_EQ(headerParameter(value, "filename"), expected) << value;
  EXPECT_EQ(headerMainValue(" Text/Plain ; charset=utf-8"), "text/plain");
}

TEST(MimeTextTest, TransferEncodingsRoundTripAndTolerateLineBreaks) {
  std::string bytes;
  for (int i = 0; i < 300; ++i) bytes += static_cast<char>(i * 7);
  bytes += "line end  \r\ntrailing blank \r\n=equals";
  EXPECT_EQ(base64Decode(base64Encode(bytes, 76)), bytes);
  EXPECT_EQ(quotedPrintableDecode(quotedPrintableEncode(bytes)), bytes);
  EXPECT_LE(longestLine(quotedPrintableEncode(bytes)), 76u);
  EXPECT_EQ(base64Decode("QU\r\nJD\n"), "ABC");
  EXPECT_FALSE(base64Decode("QUJD*"));
  EXPECT_EQ(quotedPrintableDecode("a=\r\nb=3D=41=zz= \nc"), "ab=A=zzc");
  EXPECT_EQ(fromUtf8("a\xff\xc3"), u"a\uFFFD\uFFFD");
}

}  // namespace
}  // namespace qx::sim::mail

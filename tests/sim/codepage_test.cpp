#include <gtest/gtest.h>

#include <string>

#include "sim/codepage_sim.h"

namespace qx::sim {
namespace {

// The upper half of Windows-1252 as published for the code page.
const char16_t kUpperHalf[128] = {
    0x20AC,
    0x0081,
    0x201A,
    0x0192,
    0x201E,
    0x2026,
    0x2020,
    0x2021,
    0x02C6,
    0x2030,
    0x0160,
    0x2039,
    0x0152,
    0x008D,
    0x017D,
    0x008F,
    0x0090,
    0x2018,
    0x2019,
    0x201C,
    0x201D,
    0x2022,
    0x2013,
    0x2014,
    0x02DC,
    0x2122,
    0x0161,
    0x203A,
    0x0153,
    0x009D,
    0x017E,
    0x0178,
    // 0xA0..0xFF are Latin-1.
    0xA0,
    0xA1,
    0xA2,
    0xA3,
    0xA4,
    0xA5,
    0xA6,
    0xA7,
    0xA8,
    0xA9,
    0xAA,
    0xAB,
    0xAC,
    0xAD,
    0xAE,
    0xAF,
    0xB0,
    0xB1,
    0xB2,
    0xB3,
    0xB4,
    0xB5,
    0xB6,
    0xB7,
    0xB8,
    0xB9,
    0xBA,
    0xBB,
    0xBC,
    0xBD,
    0xBE,
    0xBF,
    0xC0,
    0xC1,
    0xC2,
    0xC3,
    0xC4,
    0xC5,
    0xC6,
    0xC7,
    0xC8,
    0xC9,
    0xCA,
    0xCB,
    0xCC,
    0xCD,
    0xCE,
    0xCF,
    0xD0,
    0xD1,
    0xD2,
    0xD3,
    0xD4,
    0xD5,
    0xD6,
    0xD7,
    0xD8,
    0xD9,
    0xDA,
    0xDB,
    0xDC,
    0xDD,
    0xDE,
    0xDF,
    0xE0,
    0xE1,
    0xE2,
    0xE3,
    0xE4,
    0xE5,
    0xE6,
    0xE7,
    0xE8,
    0xE9,
    0xEA,
    0xEB,
    0xEC,
    0xED,
    0xEE,
    0xEF,
    0xF0,
    0xF1,
    0xF2,
    0xF3,
    0xF4,
    0xF5,
    0xF6,
    0xF7,
    0xF8,
    0xF9,
    0xFA,
    0xFB,
    0xFC,
    0xFD,
    0xFE,
    0xFF,
};

class CodePageTest : public ::testing::Test {
 protected:
  Faults faults;
  CodePageSim codePage{faults};
};

TEST_F(CodePageTest, EveryUpperByteMapsBothWays) {
  std::string bytes;
  for (int b = 0x80; b <= 0xFF; ++b) bytes += static_cast<char>(b);
  auto wide = codePage.toWide(bytes);
  ASSERT_TRUE(wide.has_value());
  ASSERT_EQ(wide->size(), 128u);
  for (int i = 0; i < 128; ++i) {
    EXPECT_EQ(static_cast<int>((*wide)[i]), static_cast<int>(kUpperHalf[i]))
        << "byte 0x" << std::hex << 0x80 + i;
  }
  auto back = codePage.toAnsi(*wide);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, bytes);
}

TEST_F(CodePageTest, AsciiAndNulPassUnchanged) {
  std::string bytes(std::string_view("\0A~\x7f", 4));
  auto wide = codePage.toWide(bytes);
  ASSERT_TRUE(wide.has_value());
  EXPECT_EQ(*wide, std::u16string(u"\0A~\x7f", 4));
  EXPECT_EQ(codePage.toAnsi(*wide).value(), bytes);
}

TEST_F(CodePageTest, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  struct Case {
    std::u16string_view wide;
    std::string_view ansi;
  };
  const Case cases[] = {
      {u"\u0100", "?"},           // Latin A with macron: not in the code page
      {u"\u20AC", "\x80"},        // euro sign
      {u"\u0080", "?"},           // C1 control whose byte holds the euro sign
      {u"\u0081", "\x81"},        // unassigned byte passes as its control
      {u"\u0430bc", "?bc"},       // Cyrillic a
      {u"x\U0001F600y", "x??y"},  // one '?' per UTF-16 unit
      {u"Gr\u00FC\u00DFe",
       "Gr\xFC\xDF"
       "e"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(codePage.toAnsi(c.wide).value(), c.ansi);
  }
}

TEST_F(CodePageTest, ScheduledFaultsFailTheChosenDirection) {
  faults.fail("codepage.toWide", hr::kOutOfMemory);
  EXPECT_EQ(codePage.toWide("a").error(), hr::kOutOfMemory);
  EXPECT_TRUE(codePage.toWide("a").has_value());
  faults.fail("codepage.toAnsi", hr::kFail);
  EXPECT_EQ(codePage.toAnsi(u"a").error(), hr::kFail);
}

}  // namespace
}  // namespace qx::sim

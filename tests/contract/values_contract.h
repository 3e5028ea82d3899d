#pragma once
// Contracts of the small value ports: clock, locale, code page and GUIDs.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/guid.h"
#include "platform/locale.h"

namespace qx::contract {

template <class Env>
class ValuesContract : public ::testing::Test {
 protected:
  Env env;
};

TYPED_TEST_SUITE_P(ValuesContract);

TYPED_TEST_P(ValuesContract, LocalDatesCountDaysFrom1899) {
  Clock& clock = this->env.clock();
  EXPECT_GT(clock.now(), 1700000000);    // after 2023
  // The millisecond clock is the same clock.
  const std::int64_t ms = clock.nowMs();
  EXPECT_NEAR(static_cast<double>(ms / 1000), static_cast<double>(clock.now()), 2.0);
  const std::int64_t noon = 1796644800;  // 2026-12-07 12:00:00 UTC
  auto date = clock.toLocalDate(noon);
  ASSERT_TRUE(date.has_value());
  // Within a day of 46363.5 whatever the time zone.
  EXPECT_NEAR(*date, 46363.5, 1.0);
  auto minuteLater = clock.toLocalDate(noon + 60);
  ASSERT_TRUE(minuteLater.has_value());
  EXPECT_NEAR(*minuteLater - *date, 60.0 / 86400.0, 1e-6);
  // The runtime converts neither times before 1970 nor after the year 3000.
  EXPECT_FALSE(clock.toLocalDate(-1).has_value());
  EXPECT_FALSE(clock.toLocalDate(32535215999 + 86400).has_value());
  EXPECT_TRUE(clock.toLocalDate(32535215999 - 86400).has_value());
}

TYPED_TEST_P(ValuesContract, UsEnglishWritesMonthFirstWithTwelveHours) {
  Locale& locale = this->env.locale();
  ASSERT_EQ(locale.threadLanguage(), lang::kEnglishUs) << "the test runs in a US English locale";
  // 2026-12-06 14:53:09
  const double date = 46362.0 + (14 * 3600 + 53 * 60 + 9) / 86400.0;
  EXPECT_EQ(locale.formatDate(date), std::u16string(u"12/6/2026 2:53:09 PM"));
  EXPECT_EQ(locale.formatDate(46362.0 + 0.25), std::u16string(u"12/6/2026 6:00:00 AM"));
  EXPECT_FALSE(locale.formatDate(1e10).has_value());
}

TYPED_TEST_P(ValuesContract, TheAnsiCodePageIsWestern) {
  CodePage& codePage = this->env.codePage();
  EXPECT_EQ(codePage.toAnsi(u"Gr\u00FC\u00DFe \u20AC"), std::string("Gr\xFC\xDF"
                                                                    "e \x80"));
  EXPECT_EQ(codePage.toWide("Gr\xFC\xDF"
                            "e \x80"),
            std::u16string(u"Gr\u00FC\u00DFe \u20AC"));
  EXPECT_EQ(codePage.toAnsi(u"\u4E2D"), std::string("?"));
  EXPECT_EQ(codePage.toAnsi(u""), std::string());
  EXPECT_EQ(codePage.toWide(""), std::u16string());
  // Embedded terminators are characters like any other.
  EXPECT_EQ(codePage.toWide(std::string_view("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TYPED_TEST_P(ValuesContract, GuidsAreRandomAndWrittenInUpperCase) {
  GuidSource& guids = this->env.guids();
  std::set<std::u16string> seen;
  for (int i = 0; i < 16; ++i) {
    Guid guid;
    ASSERT_EQ(guids.create(guid), hr::kOk);
    EXPECT_EQ(guid.data3 >> 12, 4) << "random GUIDs are version 4";
    EXPECT_EQ(guid.data4[0] & 0xC0, 0x80) << "and of the standard variant";
    char16_t buffer[39];
    ASSERT_EQ(guids.toString(guid, buffer), 39);
    seen.insert(std::u16string(buffer, 38));
  }
  EXPECT_EQ(seen.size(), 16u);
  const Guid known{0xB65AD801, 0xABAF, 0x11D0, {0xBB, 0x8B, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x44}};
  char16_t buffer[40];
  ASSERT_EQ(guids.toString(known, buffer), 39);
  EXPECT_EQ(std::u16string(buffer), u"{B65AD801-ABAF-11D0-BB8B-00A0C90F2744}");
  EXPECT_EQ(guids.toString(known, std::span<char16_t>(buffer, 38)), 0);
}

REGISTER_TYPED_TEST_SUITE_P(ValuesContract, LocalDatesCountDaysFrom1899,
                            UsEnglishWritesMonthFirstWithTwelveHours, TheAnsiCodePageIsWestern,
                            GuidsAreRandomAndWrittenInUpperCase);

}  // namespace qx::contract

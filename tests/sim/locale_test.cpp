#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "sim/locale_sim.h"

namespace qx::sim {
namespace {

std::string narrow(const std::u16string& text) { return {text.begin(), text.end()}; }

// 6 December 2026 is day 46362 after 30 December 1899.
constexpr double kDay = 46362.0;
constexpr double at(int hours, int minutes, int seconds) {
  return (hours * 3600 + minutes * 60 + seconds) / 86400.0;
}

TEST(LocaleSimTest, FormatsDateValuesAsEachLocaleDoes) {
  struct Case {
    LangId language;
    double date;
    const char* text;
  };
  const Case cases[] = {
      {lang::kGerman, kDay + at(14, 53, 9), "06.12.2026 14:53:09"},
      {lang::kEnglishUs, kDay + at(14, 53, 9), "12/6/2026 2:53:09 PM"},
      {lang::kSpanish, kDay + at(14, 53, 9), "06/12/2026 14:53:09"},
      {0x0807, kDay + at(14, 53, 9), "06.12.2026 14:53:09"},   // Swiss German
      {0x080A, kDay + at(14, 53, 9), "06/12/2026 14:53:09"},   // Mexican Spanish
      {0x040C, kDay + at(14, 53, 9), "12/6/2026 2:53:09 PM"},  // no format of its own
      // Leading zeros, midnight and noon.
      {lang::kGerman, kDay + at(9, 5, 3), "06.12.2026 09:05:03"},
      {lang::kSpanish, kDay + at(9, 5, 3), "06/12/2026 9:05:03"},
      {lang::kEnglishUs, kDay + at(0, 0, 1), "12/6/2026 12:00:01 AM"},
      {lang::kEnglishUs, kDay + at(12, 0, 0), "12/6/2026 12:00:00 PM"},
      {lang::kEnglishUs, 46024.0 + at(23, 59, 59), "1/2/2026 11:59:59 PM"},
      // No time part: only the date. Date part 0: only the time.
      {lang::kGerman, kDay, "06.12.2026"},
      {lang::kEnglishUs, kDay, "12/6/2026"},
      {lang::kGerman, at(14, 53, 9), "14:53:09"},
      {lang::kEnglishUs, 0.0, "12:00:00 AM"},
      // Calendar edges: leap day, the host's first and last day, days before 1900
      // with their time of day counted forward.
      {lang::kGerman, 36585.0, "29.02.2000"},
      {lang::kGerman, 1.0, "31.12.1899"},
      {lang::kGerman, -1.25, "29.12.1899 06:00:00"},
      {lang::kGerman, -657434.0, "01.01.0100"},
      {lang::kGerman, 2958465.0 + at(23, 59, 59), "31.12.9999 23:59:59"},
      // Rounding to the second, into the next day.
      {lang::kGerman, kDay + at(14, 53, 9) + 0.4 / 86400, "06.12.2026 14:53:09"},
      {lang::kGerman, kDay + at(14, 53, 9) + 0.6 / 86400, "06.12.2026 14:53:10"},
      {lang::kGerman, kDay + 0.9999999, "07.12.2026"},
  };
  Faults faults;
  for (const Case& c : cases) {
    LocaleSim locale(faults, c.language);
    auto text = locale.formatDate(c.date);
    ASSERT_TRUE(text.has_value()) << c.text;
    EXPECT_EQ(narrow(*text), c.text) << std::hex << c.language << " " << c.date;
  }
}

TEST(LocaleSimTest, DatesOutsideTheHostsRangeFail) {
  Faults faults;
  LocaleSim locale(faults, lang::kGerman);
  for (double date :
       {-657435.0, 2958466.0, 2958465.9999999, 1e300, std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::infinity()}) {
    EXPECT_FALSE(locale.formatDate(date).has_value()) << date;
  }
}

TEST(LocaleSimTest, LanguageIsAsConfiguredAndFormattingCanBeMadeToFail) {
  Faults faults;
  LocaleSim locale(faults, 0x0C07);
  EXPECT_EQ(locale.threadLanguage(), 0x0C07);
  locale.setLanguage(lang::kSpanish);
  EXPECT_EQ(locale.threadLanguage(), lang::kSpanish);
  faults.fail("locale.formatDate", hr::kFail);
  EXPECT_EQ(locale.formatDate(kDay).error(), hr::kFail);
  EXPECT_TRUE(locale.formatDate(kDay).has_value());
}

}  // namespace
}  // namespace qx::sim

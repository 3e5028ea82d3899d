#include "sim/locale_sim.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace qx::sim {
namespace {

// The host's date values cover 1 January 100 to 31 December 9999.
constexpr double kFirstDate = -657434.0;
constexpr double kLastDate = 2958466.0;  // exclusive: 1 January 10000
constexpr std::int64_t kDaysFrom1899To1970 = 25569;

struct Civil {
  std::int64_t year;
  unsigned month;
  unsigned day;
};

// Days since 1 January 1970 to a proleptic Gregorian date.
Civil civilFromDays(std::int64_t days) {
  days += 719468;
  std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  unsigned shifted = (5 * dayOfYear + 2) / 153;
  unsigned day = dayOfYear - (153 * shifted + 2) / 5 + 1;
  unsigned month = shifted < 10 ? shifted + 3 : shifted - 9;
  std::int64_t year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2);
  return {year, month, day};
}

enum class Style { kUs, kGerman, kSpanish };

Style styleOf(LangId language) {
  switch (lang::primary(language)) {
    case lang::kPrimaryGerman:
      return Style::kGerman;
    case lang::kPrimarySpanish:
      return Style::kSpanish;
    default:
      return Style::kUs;
  }
}

std::string dateText(Style style, const Civil& date) {
  char text[32];
  auto year = static_cast<long long>(date.year);
  switch (style) {
    case Style::kGerman:
      std::snprintf(text, sizeof text, "%02u.%02u.%04lld", date.day, date.month, year);
      break;
    case Style::kSpanish:
      std::snprintf(text, sizeof text, "%02u/%02u/%04lld", date.day, date.month, year);
      break;
    case Style::kUs:
      std::snprintf(text, sizeof text, "%u/%u/%04lld", date.month, date.day, year);
      break;
  }
  return text;
}

std::string timeText(Style style, unsigned seconds) {
  unsigned hour = seconds / 3600;
  unsigned minute = seconds / 60 % 60;
  unsigned second = seconds % 60;
  char text[32];
  switch (style) {
    case Style::kGerman:
      std::snprintf(text, sizeof text, "%02u:%02u:%02u", hour, minute, second);
      break;
    case Style::kSpanish:
      std::snprintf(text, sizeof text, "%u:%02u:%02u", hour, minute, second);
      break;
    case Style::kUs:
      std::snprintf(text, sizeof text, "%u:%02u:%02u %s", hour % 12 == 0 ? 12 : hour % 12, minute,
                    second, hour < 12 ? "AM" : "PM");
      break;
  }
  return text;
}

}  // namespace

Result<std::u16string> LocaleSim::formatDate(double hostDate) {
  if (auto status = faults_.check("locale.formatDate")) return failure(*status);
  if (!(hostDate >= kFirstDate && hostDate < kLastDate)) return failure(hr::kInvalidArg);

  // The whole part counts days from 30 December 1899, also below zero; the
  // fraction is the time of that day whatever the sign (-1.25 is 29 December,
  // 06:00). Times round to the second; the last half second of a day rounds
  // to midnight of the next calendar day.
  double whole = std::trunc(hostDate);
  auto days = static_cast<std::int64_t>(whole);
  auto seconds = static_cast<std::int64_t>(std::llround(std::fabs(hostDate - whole) * 86400.0));
  if (seconds == 86400) {
    seconds = 0;
    days += 1;  // the next calendar day, below zero as above
    if (days >= static_cast<std::int64_t>(kLastDate)) return failure(hr::kInvalidArg);
  }
  Style style = styleOf(language_);
  std::string text;
  if (days == 0) {
    text = timeText(style, static_cast<unsigned>(seconds));
  } else if (seconds == 0) {
    text = dateText(style, civilFromDays(days - kDaysFrom1899To1970));
  } else {
    text = dateText(style, civilFromDays(days - kDaysFrom1899To1970)) + ' ' +
           timeText(style, static_cast<unsigned>(seconds));
  }
  return std::u16string(text.begin(), text.end());
}

}  // namespace qx::sim

#include "quendrilax-sim/task_fields.h"

#include <array>
#include <cmath>
#include <cstdio>

#include "quendrilax-sim/scenario_args.h"
#include "quendrilax-sim/text_utf.h"
#include "sim/mail/mail_store.h"

namespace qx::tools {

namespace {

constexpr std::array<std::string_view, 5> kStatusNames = {"not-started", "in-progress", "complete",
                                                          "waiting", "deferred"};
constexpr std::array<std::string_view, 3> kImportanceNames = {"low", "normal", "high"};
constexpr std::int32_t kStatusComplete = 2;
constexpr std::int32_t kSensitivityPrivate = 2;

// Days between 1970-01-01 and the civil date.
long long daysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

constexpr long long kOleEpochFromUnix = 25569;  // 1899-12-30 to 1970-01-01

template <std::size_t N>
int indexOf(const std::array<std::string_view, N>& names, std::string_view word) {
  for (std::size_t i = 0; i < N; ++i)
    if (names[i] == word) return static_cast<int>(i);
  return -1;
}

}  // namespace

const std::vector<TaskField>& allTaskFields() {
  static const std::vector<TaskField> fields = {
      TaskField::kSubject,    TaskField::kBody,    TaskField::kDue,        TaskField::kStart,
      TaskField::kStatus,     TaskField::kPercent, TaskField::kImportance, TaskField::kPrivate,
      TaskField::kCategories, TaskField::kOwner};
  return fields;
}

std::string_view fieldName(TaskField field) {
  switch (field) {
    case TaskField::kSubject:
      return "subject";
    case TaskField::kBody:
      return "body";
    case TaskField::kDue:
      return "due";
    case TaskField::kStart:
      return "start";
    case TaskField::kStatus:
      return "status";
    case TaskField::kPercent:
      return "percent";
    case TaskField::kImportance:
      return "importance";
    case TaskField::kPrivate:
      return "private";
    case TaskField::kCategories:
      return "categories";
    case TaskField::kOwner:
      return "owner";
    case TaskField::kProperty:
      return "property";
  }
  return "?";
}

std::optional<TaskField> fieldByName(std::string_view name) {
  for (TaskField field : allTaskFields())
    if (fieldName(field) == name) return field;
  return std::nullopt;
}

std::optional<double> dateFromText(std::string_view text) {
  unsigned y = 0, m = 0, d = 0;
  char tail = 0;
  const std::string copy(text);
  if (text.size() != 10 || std::sscanf(copy.c_str(), "%4u-%2u-%2u%c", &y, &m, &d, &tail) != 3)
    return std::nullopt;
  if (y < 1601 || y > 4500 || m < 1 || m > 12 || d < 1) return std::nullopt;
  static constexpr unsigned kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (d > kDays[m - 1] || (m == 2 && d == 29 && !leap)) return std::nullopt;
  return static_cast<double>(daysFromCivil(y, m, d) + kOleEpochFromUnix);
}

std::string dateText(double days) {
  const long long z = static_cast<long long>(std::floor(days)) - kOleEpochFromUnix + 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  const long long y = static_cast<long long>(yoe) + era * 400 + (m <= 2);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02u", y, m, d);
  return buffer;
}

std::string canonicalFieldText(TaskField field, const std::string& text) {
  const std::string name(fieldName(field));
  switch (field) {
    case TaskField::kSubject:
    case TaskField::kBody:
    case TaskField::kCategories:
    case TaskField::kOwner:
      return text;
    case TaskField::kDue:
    case TaskField::kStart:
      if (text == "none" || dateFromText(text)) return text;
      bad(name + " must be a date such as 2026-12-24, or none, not '" + text + "'");
    case TaskField::kStatus:
      if (indexOf(kStatusNames, text) >= 0) return text;
      bad("unknown status '" + text + "' (not-started, in-progress, complete, waiting, deferred)");
    case TaskField::kPercent: {
      const auto n = parseNumber(text);
      if (!n || *n > 100 || text.starts_with("0x"))
        bad("percent must be a number from 0 to 100, not '" + text + "'");
      return std::to_string(*n);
    }
    case TaskField::kImportance:
      if (indexOf(kImportanceNames, text) >= 0) return text;
      bad("unknown importance '" + text + "' (low, normal, high)");
    case TaskField::kPrivate:
      if (text == "yes" || text == "no") return text;
      bad("private must be yes or no, not '" + text + "'");
    case TaskField::kProperty:
      return text;
  }
  bad("unknown field");
}

FieldValue readFieldValue(Args& args) {
  const std::string name = args.keyword("field");
  if (name == "property") {
    FieldValue value{TaskField::kProperty, {}, args.text("property name")};
    if (value.property.empty() || value.property.starts_with("quendrilax") ||
        value.property == "lastsharename")
      bad("property name '" + value.property +
          "' is not one a user gives (empty, or the add-in's own)");
    value.text = args.longText("property value or none");
    return value;
  }
  const auto field = fieldByName(name);
  if (!field)
    bad("unknown field '" + name +
        "' (subject, body, due, start, status, percent, importance, private, categories, owner, "
        "property)");
  const bool text = *field == TaskField::kSubject || *field == TaskField::kBody ||
                    *field == TaskField::kCategories || *field == TaskField::kOwner;
  const std::string value = text ? args.longText(name + " text") : args.keyword(name + " value");
  return {*field, canonicalFieldText(*field, value)};
}

void applyField(sim::mail::ItemData& task, const FieldValue& value) {
  const std::string& t = value.text;
  switch (value.field) {
    case TaskField::kSubject:
      task.subject = utf8ToUtf16(t);
      return;
    case TaskField::kBody:
      task.body = utf8ToUtf16(t);
      return;
    case TaskField::kCategories:
      task.categories = utf8ToUtf16(t);
      return;
    case TaskField::kOwner:
      task.owner = utf8ToUtf16(t);
      return;
    case TaskField::kDue:
    case TaskField::kStart: {
      const DateValue date = t == "none" ? kNoDate : DateValue{*dateFromText(t)};
      (value.field == TaskField::kDue ? task.dueDate : task.startDate) = date;
      return;
    }
    case TaskField::kStatus:
      task.status = indexOf(kStatusNames, t);
      task.complete = task.status == kStatusComplete;
      return;
    case TaskField::kPercent:
      task.percentComplete = static_cast<std::int32_t>(*parseNumber(t));
      return;
    case TaskField::kImportance:
      task.importance = indexOf(kImportanceNames, t);
      return;
    case TaskField::kPrivate:
      task.sensitivity = t == "yes" ? kSensitivityPrivate : 0;
      return;
    case TaskField::kProperty: {
      const std::u16string name = utf8ToUtf16(value.property);
      std::erase_if(task.userProperties,
                    [&](const sim::mail::UserProp& p) { return p.name == name; });
      if (t != kRemoved) task.userProperties.push_back({name, 1, Variant(utf8ToUtf16(t))});
      return;
    }
  }
}

std::string propertyText(const sim::mail::ItemData& task, const std::string& name) {
  const sim::mail::UserProp* property = task.findUserProperty(utf8ToUtf16(name));
  return property ? utf16ToUtf8(sim::mail::variantKeyText(property->value)) : std::string(kRemoved);
}

std::map<std::string, std::string> travellingProperties(const sim::mail::ItemData& task) {
  std::map<std::string, std::string> properties;
  for (const sim::mail::UserProp& p : task.userProperties) {
    if (p.name.empty() || p.name.starts_with(u"quendrilax") || p.name == u"lastsharename") continue;
    properties.emplace(utf16ToUtf8(p.name), utf16ToUtf8(sim::mail::variantKeyText(p.value)));
  }
  return properties;
}

bool sameTaskFields(const sim::mail::ItemData& a, const sim::mail::ItemData& b) {
  for (const TaskField field : allTaskFields())
    if (fieldText(a, field) != fieldText(b, field)) return false;
  return a.complete == b.complete && travellingProperties(a) == travellingProperties(b);
}

std::string fieldText(const sim::mail::ItemData& task, TaskField field) {
  auto named = [](const auto& names, std::int32_t value) {
    if (value >= 0 && static_cast<std::size_t>(value) < names.size())
      return std::string(names[static_cast<std::size_t>(value)]);
    return "(" + std::to_string(value) + ")";
  };
  switch (field) {
    case TaskField::kSubject:
      return utf16ToUtf8(task.subject);
    case TaskField::kBody:
      return utf16ToUtf8(task.body);
    case TaskField::kCategories:
      return utf16ToUtf8(task.categories);
    case TaskField::kOwner:
      return utf16ToUtf8(task.owner);
    case TaskField::kDue:
    case TaskField::kStart: {
      const DateValue date = field == TaskField::kDue ? task.dueDate : task.startDate;
      return date == kNoDate ? std::string("none") : dateText(date.days);
    }
    case TaskField::kStatus:
      return named(kStatusNames, task.status);
    case TaskField::kPercent:
      return std::to_string(task.percentComplete);
    case TaskField::kImportance:
      return named(kImportanceNames, task.importance);
    case TaskField::kPrivate:
      return task.sensitivity == kSensitivityPrivate ? "yes" : "no";
    case TaskField::kProperty:
      return {};
  }
  return {};
}

}  // namespace qx::tools

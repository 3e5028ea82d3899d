#pragma once
// The task fields of the scenario language (subject, body, due, start, status,
// percent, importance, private, categories, owner): read from a scenario,
// written into a task as the user's form saves them, and read back as the
// same words, so that a field is compared as text whichever way it came.
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/mail/item_data.h"

namespace qx::tools {

class Args;

enum class TaskField {
  kSubject,
  kBody,
  kDue,
  kStart,
  kStatus,
  kPercent,
  kImportance,
  kPrivate,
  kCategories,
  kOwner,
  // A user property of the task, named in FieldValue::property; not among
  // allTaskFields(), which are every task's.
  kProperty,
};

// Every field, in the order the language lists them.
const std::vector<TaskField>& allTaskFields();
std::string_view fieldName(TaskField field);
std::optional<TaskField> fieldByName(std::string_view name);

// A field with its value in the language's own words ("2026-12-24", "none",
// "in-progress", "yes"), checked when read.
struct FieldValue {
  TaskField field = TaskField::kSubject;
  std::string text;  // UTF-8
  // The user property's name (UTF-8) of a kProperty value, whose text
  // kRemoved removes it.
  std::string property = {};
  friend bool operator==(const FieldValue&, const FieldValue&) = default;
};
inline constexpr std::string_view kRemoved = "none";

// FIELD VALUE from the scenario's words; bad() for an unknown field or a
// value the field cannot take.
FieldValue readFieldValue(Args& args);
// The value for a field named already; bad() when it does not fit.
std::string canonicalFieldText(TaskField field, const std::string& text);

// Sets the field as the user's task form does (status "complete" also marks
// the task complete, any other status clears that).
void applyField(sim::mail::ItemData& task, const FieldValue& value);
// The field's value in the task, in the language's words.
std::string fieldText(const sim::mail::ItemData& task, TaskField field);
// A user property's value as text ("none" when the task has none), and the
// properties of the task that travel (neither the add-in's own nor empty).
std::string propertyText(const sim::mail::ItemData& task, const std::string& name);
std::map<std::string, std::string> travellingProperties(const sim::mail::ItemData& task);
// Every field of the two tasks reads the same.
bool sameTaskFields(const sim::mail::ItemData& a, const sim::mail::ItemData& b);

// Dates as the host stores them (days since 1899-12-30) and as scenarios
// write them (2026-12-24).
std::optional<double> dateFromText(std::string_view text);
std::string dateText(double days);

}  // namespace qx::tools

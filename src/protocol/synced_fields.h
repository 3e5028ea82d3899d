#pragma once
// The fields of a task that peers merge one by one: each has the version of
// the change that last set it, so two people who change different fields of
// one task at the same time both keep their change. A field is named by an id
// that the field-version line of a change mail and the per-task record both
// use: a fixed word for the task's own fields, "p." and the escaped name for a
// user property that travels with the task.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mail_task_item.h"
#include "platform/mail_user_properties.h"
#include "platform/variant.h"

namespace qx {

using FieldId = std::string;

namespace syncedfield {
inline constexpr std::string_view kSubject = "subject";
inline constexpr std::string_view kBody = "body";
inline constexpr std::string_view kStart = "start";
inline constexpr std::string_view kDue = "due";
inline constexpr std::string_view kStatus = "status";
inline constexpr std::string_view kPercent = "percent";
inline constexpr std::string_view kComplete = "complete";
inline constexpr std::string_view kImportance = "importance";
inline constexpr std::string_view kCategories = "categories";
inline constexpr std::string_view kOwner = "owner";
inline constexpr std::string_view kSensitivity = "sensitivity";
// A user property's id is this and its name, every character other than an
// ASCII letter, digit or underscore written as "%" and four upper-case hex
// digits: ids then hold none of the sync body's marker characters.
inline constexpr std::string_view kPropertyPrefix = "p.";
}  // namespace syncedfield

// The task's own fields, in the order they are read and written.
std::span<const std::string_view> fixedFieldIds();
bool isFixedFieldId(std::string_view id);

FieldId propertyFieldId(std::u16string_view propertyName);
// The property's name; none when `id` is no well-formed property id.
std::optional<std::u16string> propertyNameOf(std::string_view id);
// A fixed field or a well-formed property id.
bool isFieldId(std::string_view id);

// The add-in's own user properties (the sync id, the share name, the version,
// the field record): they say how the task travels and never travel as
// fields of their own.
bool isOwnProperty(std::u16string_view name);

// Status, percent complete and complete: a host keeps them consistent with
// each other (complete is status "complete" and 100 percent), so a merge that
// took one from each side would leave a state that hosts correct each in
// their own way. A change of one counts as a change of all three.
bool isProgressField(std::string_view id);
std::span<const std::string_view> progressFieldIds();
// The register a field is merged in: its own id, or for the progress fields
// the first of them, so that the three are taken or kept together.
std::string_view registerOf(std::string_view id);

// The hash a user property that was removed has in the field record and in a
// merge: a removal travels as a change of the property to "absent", with its
// version, so that it reaches the others and a later value still wins over it.
inline constexpr std::uint64_t kAbsentHash = 0;

// A field's value. A user property carries its type as well.
struct FieldValue {
  Variant value;
  std::int32_t propertyType = 0;
  friend bool operator==(const FieldValue&, const FieldValue&) = default;
};
using TaskFieldValues = std::map<FieldId, FieldValue, std::less<>>;

// The first user property of that name, with its type; none when there is
// none.
struct PropertyAt {
  std::shared_ptr<UserProperty> property;
  std::int32_t type = 0;
};
Result<std::optional<PropertyAt>> findProperty(UserProperties& properties,
                                               std::u16string_view name);

// Every fixed field and every user property that travels (the first of
// several with one name). None when one cannot be read: a change must not be
// judged on a part of the task.
std::optional<TaskFieldValues> readSyncedFields(TaskItem& task);
// Only the user properties that travel, added to `values`; false when one
// cannot be read.
bool readPropertyFields(TaskItem& task, TaskFieldValues& values);

// Writes one field into the task's working copy; a user property is set, or
// added when the task has none of that name (one of another type is replaced).
// The caller saves.
Hresult writeSyncedField(TaskItem& task, std::string_view id, const FieldValue& value);

// Removes every user property of the property field `id` from the task's
// working copy; a fixed field cannot be removed. The caller saves.
Hresult removeSyncedProperty(TaskItem& task, std::string_view id);

// Equal values hash equal on every machine: the hash is kept between runs.
std::uint64_t fieldValueHash(const FieldValue& value);

}  // namespace qx

#pragma once
// What this add-in last sent or applied of a task, field by field: each
// field's version and a hash of its value. A local change stamps only the
// fields whose values differ from it, so an edit made on a stale copy (right
// after a start, before the first scan) carries the old versions of every
// field it did not touch, and loses nothing of the others' newer changes. The
// record lives on the task itself, in a user property of the add-in's own,
// and names its sync id: a copy of the task under a new id starts afresh.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mail_task_item.h"
#include "protocol/field_merge.h"

namespace qx {

namespace fieldrecord {
inline constexpr std::u16string_view kPropertyName = u"quendrilaxfields";
}  // namespace fieldrecord

using FieldHashes = FieldSide;

// The hashes hold the fields of the task, and every user property it held
// once and no longer holds, as kAbsentHash: its removal is a change with a
// version like any other.
struct FieldRecord {
  std::string syncId;
  FieldVersions versions;
  FieldHashes hashes;
  FieldState state() const { return {versions, hashes}; }
  friend bool operator==(const FieldRecord&, const FieldRecord&) = default;
};

FieldHashes hashFields(const TaskFieldValues& values);

// "SYNCID|VERSIONS|id=HASH,id=HASH", versions as in the field-version line
// with the rest always written.
std::string formatFieldRecord(const FieldRecord& record);
// None for anything formatFieldRecord would not have written.
std::optional<FieldRecord> parseFieldRecord(std::string_view text);

// The fields of `now` whose values differ from the record's, and the user
// properties the record holds that `now` lacks (removed); every field when
// there is no record. A changed progress field brings the others along.
std::vector<FieldId> changedFields(const FieldRecord* record, const TaskFieldValues& now);

// The record after a local change sent at `version`: the changed fields and
// every field without a version get it, the others keep theirs. Sent without
// a version, the task has none: its next versioned change stamps every field.
// `record` of another sync id is no record of this task.
// The user properties it names as removed: a change mail names them.
FieldRecord recordLocalChange(const std::optional<FieldRecord>& record, std::string_view syncId,
                              const TaskFieldValues& now,
                              const std::optional<ChangeVersion>& version);

std::vector<FieldId> removedProperties(const FieldRecord& record);

// The record in the task's first "quendrilaxfields" property; none when it has
// none, cannot be read, or belongs to another sync id.
std::optional<FieldRecord> readFieldRecord(TaskItem& task, std::string_view syncId);
// Into the task's working copy; the caller saves.
Hresult writeFieldRecord(TaskItem& task, const FieldRecord& record);

}  // namespace qx

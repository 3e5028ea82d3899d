#pragma once
// A received change merged into the task held here, field by field. The
// library copies the received task whole onto the local one; the fields in
// which the local task holds the newer version are then written back, so
// that everything the copy carries beyond the synced fields still arrives as
// before.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mail_task_item.h"
#include "protocol/field_merge.h"
#include "protocol/field_record.h"

namespace qx {

// The local task as it was before the copy, and what its fields are measured
// by.
struct LocalFields {
  TaskFieldValues values;
  FieldVersions versions;
  std::optional<FieldRecord> record;
};

// Each field's version here: the record's, and for a field the user changed
// since (a save the burst window still holds back, `unsent`) that save's. A
// task without a record has `taskVersion` for every field. None when the task
// cannot be read.
std::optional<LocalFields> readLocalFields(TaskItem& task, std::string_view syncId,
                                           const std::optional<ChangeVersion>& taskVersion,
                                           const std::optional<ChangeVersion>& unsent);

struct MergedCopy {
  std::vector<FieldId> taken;  // the mail's values that differ from what was here
  std::vector<FieldId> kept;   // values here that differ from the mail's
  bool news = false;           // some field of the mail won
  // To be written onto the task before it is saved. A field kept with a
  // change of the user's not yet sent stays changed against the record, so
  // that the held-back save still sends it.
  FieldRecord record;
  std::optional<ChangeVersion> taskVersion;
};

// After the received task was copied onto `task` (its working copy): writes
// back every field in which `before` wins. `before` empty (no fields) is a
// task not held here: the copy stays whole. None when the task cannot be read
// or a field cannot be written back: the working copy must not be saved.
std::optional<MergedCopy> keepNewerLocalFields(TaskItem& task, const LocalFields& before,
                                               const FieldVersions& mail,
                                               std::string_view syncId);

// `merged "Plan": due from SENDER, status kept` (field names are the ids; a
// user property by its name, in the text the caller converts).
std::u16string mergeSummary(std::u16string_view subject, std::u16string_view sender,
                            const MergedCopy& merge);

}  // namespace qx

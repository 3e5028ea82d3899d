#pragma once
// A received change merged into the task held here, field by field.
//
// The task's field record is the state of the task the users share: what this
// add-in last sent or applied, each field with its version. A received change
// is merged into that record (field_merge.h), the same way at every user, so
// all end on the same record. What the user changed here and has not sent yet
// is whatever the task holds beyond its record; each such field stays when
// its version (the save's, fixed when it was made) is newer than the merged
// one, and is then still changed against the record, so it goes out.
//
// The library copies the received task whole onto the local one; the fields
// in which the merge keeps the local value are then written back, so that
// everything the copy carries beyond the synced fields still arrives as
// before.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mail_task_item.h"
#include "protocol/field_merge.h"
#include "protocol/field_record.h"

namespace qx {

// The local task as it was before the copy.
struct LocalFields {
  TaskFieldValues values;
  // A task without a record of its own is measured by its content at
  // `taskVersion`: nothing of it counts as unsent.
  FieldRecord record;
  // The fields the task holds beyond its record: the user's changes not sent.
  std::vector<FieldId> unsentFields;
};

// None when the task cannot be read. A task not held here is `LocalFields{}`.
std::optional<LocalFields> readLocalFields(TaskItem& task, std::string_view syncId,
                                           const std::optional<ChangeVersion>& taskVersion);

// What the mail says of each field: the fields its task carries, at their
// versions, and the user properties its field line names that the task
// lacks, removed at theirs. A field it neither carries nor names is none of
// its business.
struct MailFields {
  TaskFieldValues values;
  FieldState state;
};
// Whether the received task carries a user property of that name; fails when
// that cannot be told.
using CarriesProperty = std::function<Result<bool>(std::u16string_view name)>;
// Read off the working copy after the library's copy, which brings every
// field the mail carries and removes nothing: a user property the copy left
// as it was here is the mail's only when the received task carries it.
std::optional<MailFields> readMailFields(TaskItem& copy, const LocalFields& before,
                                         const CarriesProperty& carries,
                                         const ChangeVersion& version,
                                         const std::optional<FieldVersionLine>& line);

struct MergedCopy {
  std::vector<FieldId> taken;  // the mail's values that differ from what was here
  std::vector<FieldId> kept;   // values here that differ from the mail's
  // The record moved: a field taken, or a newer version of a value held.
  bool news = false;
  // The user's changes not sent that the merge kept: the task must go out.
  bool unsentKept = false;
  FieldRecord record;
  std::optional<ChangeVersion> taskVersion;
};

// After the received task was copied onto `task` (its working copy): writes
// each field the merge decides for, `unsent` being the version of the user's
// changes not yet sent. None when a field cannot be written: the working copy
// must not be saved.
std::optional<MergedCopy> mergeIntoCopy(TaskItem& task, const LocalFields& before,
                                        const MailFields& mail,
                                        const std::optional<ChangeVersion>& unsent,
                                        std::string_view syncId);

// `merged "Plan": due from SENDER, status kept` (field names are the ids; a
// user property by its name, in the text the caller converts).
std::u16string mergeSummary(std::u16string_view subject, std::u16string_view sender,
                            const MergedCopy& merge);

}  // namespace qx

#pragma once
// A task that outlived a removal: someone changed it after the removal was
// made, on a copy that had not seen the removal, so the change brought it
// back whole to the users who had deleted it, with the values that copy held.
// The users who still held it merged the changes made before the removal as
// well, field by field, and would hold other values than the rest for good.
// Such a user, told of the removal now, sends the task once more, at the
// version it has, with every field older than the removal stamped just after
// it: those fields then end the same everywhere, any change made after the
// removal still wins, and the task is no newer than before.
#include "core/sync_engine.h"
#include "protocol/change_version.h"

namespace qx {

// `task` is the copy here that the removal at `removal` did not delete.
// Nothing is sent for a task without a field record (its changes travel
// whole) or without fields older than the removal. False when the send ended
// in the library-missing report: the engine is retired.
bool resendFieldsOlderThan(SyncEngine& engine, TaskItem& task, std::string_view syncId,
                           const ChangeVersion& removal);

}  // namespace qx

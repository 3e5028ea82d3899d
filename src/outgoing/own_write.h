#pragma once
// A save of a task by the add-in itself, whose change event must not go out
// as a change of the user's.
#include <string_view>

#include "platform/status.h"

namespace qx {

class SyncEngine;
class TaskItem;

// Saves the task with its entry id on the don't-touch list; unsaved, the entry
// is taken back, since it would swallow the user's next edit instead.
Hresult saveAsOwnWrite(SyncEngine& engine, TaskItem& task, std::u16string_view entryId);

}  // namespace qx

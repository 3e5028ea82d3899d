#pragma once
// A save of a task by the add-in itself, whose change events must not go out
// as a change of the user's.
#include <string_view>

#include "platform/status.h"

namespace qx {

class SyncEngine;
class TaskItem;

// Saves the task with its entry id on the don't-touch list and its content
// noted as the add-in's own write, both before the save, since a host may
// raise the events inside it. Unsaved, both are taken back: the entry would
// swallow the user's next edit instead.
Hresult saveAsOwnWrite(SyncEngine& engine, TaskItem& task, std::u16string_view entryId);

}  // namespace qx

#pragma once
// A task's content as one number: every field a user edits and a sync mail
// carries. Equal numbers mean nothing was edited in between.
#include <cstdint>
#include <optional>

#include "platform/mail_task_item.h"

namespace qx {

// None when a field cannot be read.
std::optional<std::uint64_t> taskFingerprint(TaskItem& task);

}  // namespace qx

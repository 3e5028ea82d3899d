#pragma once
// What a sync mail carries, read as the add-in reads it: the task in its first
// attachment, decoded with the add-in's codec and read by the stand-in's
// library.
#include <optional>
#include <string>

#include "sim/mail/item_data.h"

namespace qx::tools {

// The task, or why the mail carries none.
struct Carried {
  std::optional<sim::mail::ItemData> task;
  std::string problem;
};

Carried carriedTask(const sim::mail::ItemData& mail);

}  // namespace qx::tools

#pragma once
// Whether several users' shared folders hold the same tasks: matched by sync
// id, none missing, none doubled, every field of the scenario language equal.
// Pure bookkeeping over the folders' contents, so that it can be tested
// without an office.
#include <string>
#include <vector>

#include "sim/mail/item_data.h"

namespace qx::tools {

struct FolderContents {
  std::string user;
  std::vector<sim::mail::ItemData> tasks;
};

// Private tasks and holidays (category "Feiertag") stay with their owner by
// design: they are no difference.
bool travels(const sim::mail::ItemData& task);

// The differences, user by user and field by field, among the tasks that
// travel; empty when in step. The first user that holds a task is the
// reference for its fields.
std::vector<std::string> inStepDifferences(const std::vector<FolderContents>& folders);

}  // namespace qx::tools

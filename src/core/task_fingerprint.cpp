#include "core/task_fingerprint.h"

#include <bit>
#include <string>

#include "protocol/content_hash.h"
#include "protocol/synced_fields.h"

namespace qx {

std::optional<std::uint64_t> taskFingerprint(TaskItem& task) {
  ContentHash hash;
  bool ok = true;
  auto text = [&](Result<std::u16string> value) {
    if (value)
      hash.add(*value);
    else
      ok = false;
  };
  auto number = [&](Result<std::int32_t> value) {
    if (value)
      hash.add(static_cast<std::uint64_t>(static_cast<std::uint32_t>(*value)));
    else
      ok = false;
  };
  auto date = [&](Result<DateValue> value) {
    if (value)
      hash.add(std::bit_cast<std::uint64_t>(value->days));
    else
      ok = false;
  };
  text(task.subject());
  text(task.body());
  text(task.categories());
  text(task.owner());
  number(task.sensitivity());
  number(task.importance());
  number(task.status());
  number(task.percentComplete());
  date(task.startDate());
  date(task.dueDate());
  if (const Result<bool> complete = task.complete())
    hash.add(*complete ? 1 : 0);
  else
    ok = false;
  if (!ok) return std::nullopt;
  // The user properties that travel, by name; a task without any hashes as
  // it did before they counted, so that the states stored then still match.
  TaskFieldValues properties;
  if (!readPropertyFields(task, properties)) return std::nullopt;
  for (const auto& [id, value] : properties) {
    hash.add(std::u16string(id.begin(), id.end()));
    hash.add(fieldValueHash(value));
  }
  return hash.value();
}

}  // namespace qx

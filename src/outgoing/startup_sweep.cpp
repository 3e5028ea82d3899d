// After a start, the tasks of the shared folders whose content differs from
// what was last sent or applied of them go out: a save the burst window held
// back when the host stopped, or an edit made while the add-in was not
// running. Each task carries that record itself, so nothing needs to have
// been written down before the stop. The sweep begins after the first Inbox
// scan, so that what the others sent meanwhile is merged first, and walks the
// folders a slice at a time on the timer's ticks: a start stays as quick with
// ten thousand tasks as with ten.
#include "common/diagnostics.h"
#include "core/addin_module.h"
#include "core/sync_engine.h"
#include "platform/mail_client.h"
#include "protocol/field_record.h"
#include "protocol/sync_identity.h"

namespace qx {
namespace {

// Tasks looked at per tick: each costs a few dozen host calls.
constexpr std::int32_t kSliceTasks = 25;

constexpr std::string_view kUnsent = "start: a change not sent before the stop goes out";

// The task's sync id as the record names it; none for a task never sent.
std::optional<std::string> recordedId(SyncEngine& engine, TaskItem& task) {
  const Result<std::shared_ptr<UserProperties>> properties = task.userProperties();
  if (!properties) return std::nullopt;
  const Result<std::optional<PropertyAt>> found = findProperty(**properties, syncid::kPropertyName);
  if (!found || !*found) return std::nullopt;
  const Result<Variant> value = (*found)->property->value();
  if (!value || value->text() == nullptr) return std::nullopt;
  const Result<std::string> ansi = engine.module().platform().codePage.toAnsi(*value->text());
  if (!ansi || ansi->empty()) return std::nullopt;
  return *ansi;
}

}  // namespace

void SyncEngine::startSweep() {
  if (sweep_.started) return;
  sweep_ = StartupSweep{true, 0, 1};
}

bool SyncEngine::sweepSlice() {
  if (!sweep_.started) return true;
  std::int32_t looked = 0;
  // A send may open a message box whose modal loop lets a saved property page
  // rebuild the watches: walk by position.
  while (sweep_.folder < watches_.size() && looked < kSliceTasks) {
    const std::shared_ptr<Folder> folder = watches_[sweep_.folder]->folder();
    const Result<std::shared_ptr<Items>> items =
        folder ? folder->items() : Result<std::shared_ptr<Items>>(failure(hr::kPointer));
    const Result<std::int32_t> count = items ? (*items)->count() : failure(items.error());
    if (!count || sweep_.index > *count) {
      ++sweep_.folder;
      sweep_.index = 1;
      continue;
    }
    for (; sweep_.index <= *count && looked < kSliceTasks; ++sweep_.index, ++looked) {
      const Result<std::shared_ptr<Dispatch>> item = (*items)->item(sweep_.index);
      if (!item || !*item) continue;
      const Result<std::shared_ptr<TaskItem>> task = (*item)->queryTask();
      if (!task) continue;
      const Result<std::u16string> entryId = (*task)->entryId();
      // One the burst window holds goes out anyway.
      if (!entryId || pending_.waiting.contains(*entryId)) continue;
      const std::optional<std::string> syncId = recordedId(*this, **task);
      if (!syncId) continue;
      const std::optional<FieldRecord> record = readFieldRecord(**task, *syncId);
      const std::optional<TaskFieldValues> values =
          record ? readSyncedFields(**task) : std::nullopt;
      if (!values || changedFields(&*record, *values).empty()) continue;
      const Result<std::u16string> folderId = folder->entryId();
      if (!folderId || !fillUserList(*folderId)) continue;
      debugEntry(diagnostics_, kUnsent);
      (void)sendMessage(**task, *folder);
      if (module_.engine() != this) return false;
    }
  }
  if (sweep_.folder >= watches_.size()) sweep_.started = false;
  return true;
}

}  // namespace qx

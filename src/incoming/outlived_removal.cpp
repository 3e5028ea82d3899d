#include "incoming/outlived_removal.h"

#include "common/diagnostics.h"
#include "core/addin_module.h"
#include "core/own_write.h"
#include "core/task_record.h"
#include "protocol/field_record.h"
#include "protocol/stays_home.h"

namespace qx {
namespace {

constexpr std::string_view kResent = "versions: fields older than an outlived removal sent again";

}  // namespace

bool resendFieldsOlderThan(SyncEngine& engine, TaskItem& task, std::string_view syncId,
                           const ChangeVersion& removal) {
  std::optional<FieldRecord> record = readFieldRecord(task, syncId);
  const std::optional<ChangeVersion> version = readTaskRecord(task).version;
  const Result<std::u16string> entryId = task.entryId();
  if (!record || !version || !entryId) return true;
  // A task that stays with its owner was withdrawn after this removal; the
  // owner's withdrawal is what the others get.
  if (staysHome(task)) return true;
  // Just after the removal: later than every field it removed, earlier than
  // any change made once it was known (even one stamped in the removal's
  // millisecond by a clock a little ahead), and no later than the task.
  ChangeVersion after = justAfter(removal);
  if (*version < after) after = *version;
  std::vector<FieldId> fields;
  bool older = false;
  for (const auto& [id, hash] : record->hashes) {
    fields.push_back(id);
    const std::optional<ChangeVersion> field = record->versions.of(id);
    if (field && !(*field < removal)) continue;
    record->versions.set(id, after);
    older = true;
  }
  if (!older) return true;
  record->versions.compact(fields);
  if (failed(writeFieldRecord(task, *record)) || failed(saveAsOwnWrite(engine, task, *entryId)))
    return true;
  const Result<std::shared_ptr<Dispatch>> parent = task.parent();
  if (!parent || !*parent) return true;
  const Result<std::shared_ptr<Folder>> folder = (*parent)->queryFolder();
  if (!folder) return true;
  const Result<std::u16string> folderId = (*folder)->entryId();
  if (!folderId || !engine.fillUserList(*folderId)) return true;
  debugEntry(engine.diagnostics(), kResent);
  // Sent again, the task keeps its version: only its fields' versions moved.
  (void)engine.sendMessage(task, **folder, SendReason::kResend);
  return engine.module().engine() == &engine;
}

}  // namespace qx

// A removal mail applied to the local folder.
#include "core/sync_engine.h"
#include "core/task_record.h"
#include "incoming/apply_received.h"
#include "incoming/outlived_removal.h"
#include "incoming/version_gate.h"
#include "protocol/field_record.h"
#include "protocol/sync_identity.h"

namespace qx {

// From the last to the first, so that the indexes still to come stay valid.
bool removeUserProperties(TaskItem& task) {
  const Result<std::shared_ptr<UserProperties>> properties = task.userProperties();
  if (!properties) return false;
  const Result<std::int32_t> count = (*properties)->count();
  if (!count) return false;
  for (std::int32_t index = *count; index >= 1; --index) {
    if (failed((*properties)->remove(index))) return false;
  }
  return true;
}

namespace {

// The version the removal must not be older than: the task's, or that of the
// user's changes not sent yet.
std::optional<ChangeVersion> versionHere(SyncEngine& engine, TaskItem& task,
                                         const ReceivedAbout& about) {
  std::optional<ChangeVersion> version = readTaskRecord(task).version;
  const std::optional<TaskFieldValues> values = readSyncedFields(task);
  const std::optional<FieldRecord> record = readFieldRecord(task, about.syncId);
  const Result<std::u16string> entryId = task.entryId();
  if (!values || !record || !entryId || changedFields(&*record, *values).empty()) return version;
  const std::optional<ChangeVersion> unsent =
      engine.unsentVersion(task, *entryId, about.shareName, about.syncId);
  if (unsent && (!version || *version < *unsent)) version = unsent;
  return version;
}

}  // namespace

InboxStep applyRemoval(SyncEngine& engine, std::shared_ptr<Folder> target,
                       const SyncMailReading& mail) {
  Diagnostics& diagnostics = engine.diagnostics();
  const ReceivedAbout about{mail.shareName, mail.syncIdText, versionOf(engine, mail), mail.sender};
  if (judgeRemoval(engine, about) == Verdict::kRefuse) return InboxStep::kDeleteMail;
  const std::shared_ptr<Dispatch> found =
      findTaskBySyncId(*engine.hostNamespace(), std::move(target), mail.syncId);
  if (!found) {
    (void)removalIsNews(engine, about, std::nullopt, false);
    return InboxStep::kDeleteMail;
  }
  const Result<std::shared_ptr<TaskItem>> task = found->queryTask();
  if (!task) {
    debugEntry(diagnostics, "got no interface");
    return InboxStep::kDeleteMail;
  }
  debugEntry(diagnostics, "ok have a interface to it");
  if (!removalIsNews(engine, about, versionHere(engine, **task, about), true)) {
    if (!resendFieldsOlderThan(engine, **task, about.syncId, about.version))
      return InboxStep::kEndScan;
    return InboxStep::kDeleteMail;
  }
  if (const Result<std::u16string> entryId = (*task)->entryId())
    engine.pendingChanges().waiting.erase(*entryId);
  if (!removeUserProperties(**task)) return InboxStep::kKeepMail;
  // Nothing goes on dontTouchList: without its share name the task raises no
  // removal mail when it reaches Deleted Items.
  (void)(*task)->save();
  (void)(*task)->deleteItem();
  return InboxStep::kDeleteMail;
}

}  // namespace qx

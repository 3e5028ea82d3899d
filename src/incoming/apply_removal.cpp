// A removal mail applied to the local folder.
#include "core/sync_engine.h"
#include "incoming/apply_received.h"
#include "incoming/outlived_removal.h"
#include "incoming/version_gate.h"
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

InboxStep applyRemoval(SyncEngine& engine, std::shared_ptr<Folder> target,
                       const SyncMailReading& mail) {
  Diagnostics& diagnostics = engine.diagnostics();
  const ReceivedAbout about{mail.shareName, mail.syncIdText, mail.version};
  const std::shared_ptr<Dispatch> found =
      findTaskBySyncId(*engine.hostNamespace(), std::move(target), mail.syncId);
  if (!found) {
    (void)removalIsNews(engine, about, nullptr);
    return InboxStep::kDeleteMail;
  }
  const Result<std::shared_ptr<TaskItem>> task = found->queryTask();
  if (!task) {
    debugEntry(diagnostics, "got no interface");
    return InboxStep::kDeleteMail;
  }
  debugEntry(diagnostics, "ok have a interface to it");
  if (!removalIsNews(engine, about, task->get())) {
    if (about.version && !resendFieldsOlderThan(engine, **task, about.syncId, *about.version))
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

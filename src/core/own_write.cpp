#include "core/own_write.h"

#include "core/sync_engine.h"
#include "core/task_fingerprint.h"
#include "platform/mail_client.h"

namespace qx {

Hresult saveAsOwnWrite(SyncEngine& engine, TaskItem& task, std::u16string_view entryId) {
  DontTouchList& dontTouch = engine.dontTouchList();
  const bool added = dontTouch.add(entryId);
  engine.noteOwnWrite(entryId, taskFingerprint(task));
  const Hresult status = task.save();
  if (failed(status)) {
    if (added) dontTouch.withdraw(entryId);
    engine.noteOwnWrite(entryId, std::nullopt);
  }
  return status;
}

}  // namespace qx

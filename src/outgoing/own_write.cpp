#include "outgoing/own_write.h"

#include "core/sync_engine.h"
#include "platform/mail_client.h"

namespace qx {

Hresult saveAsOwnWrite(SyncEngine& engine, TaskItem& task, std::u16string_view entryId) {
  DontTouchList& dontTouch = engine.dontTouchList();
  const bool added = dontTouch.add(entryId);
  const Hresult status = task.save();
  if (failed(status)) {
    if (added) dontTouch.withdraw(entryId);
  } else {
    engine.noteOwnWrite(task, entryId);
  }
  return status;
}

}  // namespace qx

#include "outgoing/own_write.h"

#include "core/sync_engine.h"
#include "platform/mail_client.h"

namespace qx {

Hresult saveAsOwnWrite(SyncEngine& engine, TaskItem& task, std::u16string_view entryId) {
  std::vector<std::u16string>& dontTouch = engine.dontTouchList();
  dontTouch.emplace_back(entryId);
  const Hresult status = task.save();
  if (failed(status)) {
    dontTouch.pop_back();
  } else {
    engine.noteOwnWrite(task, entryId);
  }
  return status;
}

}  // namespace qx

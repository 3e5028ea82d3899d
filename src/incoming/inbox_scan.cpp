// The Inbox scan, run by the steady phase's ticks and by NewMail.
#include "core/addin_module.h"
#include "core/sync_engine.h"
#include "platform/safe_library.h"

namespace qx {

void SyncEngine::processInbox() {
  ++module_.counters().inboxScans;
  module_.trace("inbox scan");
  auto safeMail = createSafeMailItem(module_.platform().safeLibrary);
  if (!safeMail) {
    // The host disconnects the add-in from inside this call: end here.
    diagnostics_.reportLibraryMissing();
    return;
  }
  // Reading sync mails out of the Inbox comes with the incoming side.
}

}  // namespace qx

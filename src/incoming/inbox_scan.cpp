// The Inbox scan, run by the steady phase's ticks and by NewMail: every sync
// mail in the Inbox is applied to the shared folder it names, then the sync
// mails in Deleted Items are purged.
#include "core/addin_module.h"
#include "core/sync_engine.h"
#include "incoming/deleted_items_purge.h"
#include "incoming/incoming_step.h"
#include "incoming/received_mail.h"
#include "incoming/sync_mail_walk.h"
#include "platform/safe_library.h"

namespace qx {
namespace {

// False when the scan must end at once.
bool scanInbox(SyncEngine& engine, SafeMailItem& safeMail) {
  Diagnostics& diagnostics = engine.diagnostics();
  const std::shared_ptr<Namespace>& session = engine.hostNamespace();
  const Result<std::shared_ptr<Folder>> inbox =
      session ? session->getDefaultFolder(default_folder::kInbox)
              : Result<std::shared_ptr<Folder>>(failure(hr::kPointer));
  if (!inbox) {
    diagnostics.reportError("\nGetDefaultFolder");
    return true;
  }
  const Result<std::shared_ptr<Application>> application = session->application();
  if (!application) {
    diagnostics.reportError("\nget_Application");
    return true;
  }
  const std::vector<std::shared_ptr<Dispatch>> mails = findSyncMails(**inbox);
  if (mails.empty()) return true;
  // The working files are named by full paths; the data directory is made
  // current as well for whatever resolves names relative to it.
  (void)engine.module().platform().shell.setCurrentDirectory(engine.dataDirectory());
  for (const std::shared_ptr<Dispatch>& mail : mails) {
    if (receiveSyncMail(engine, safeMail, mail, **application) == InboxStep::kEndScan) {
      return false;
    }
  }
  return true;
}

}  // namespace

void SyncEngine::processInbox() {
  ++module_.counters().inboxScans;
  module_.trace("inbox scan");
  const Result<std::shared_ptr<SafeMailItem>> safeMail =
      createSafeMailItem(module_.platform().safeLibrary);
  if (!safeMail) {
    // The host disconnects the add-in from inside this call: end here.
    diagnostics_.reportLibraryMissing();
    return;
  }
  if (!scanInbox(*this, **safeMail)) return;
  purgeDeletedSyncMails(*this);
}

}  // namespace qx

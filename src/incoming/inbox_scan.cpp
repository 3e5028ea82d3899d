// The Inbox scan, run by the steady phase's ticks and by NewMail: every sync
// mail in the Inbox is applied to the shared folder it names, then the sync
// mails in Deleted Items are purged.
#include <algorithm>
#include <optional>
#include <utility>

#include "core/addin_module.h"
#include "core/sync_engine.h"
#include "incoming/altered_sync_mail.h"
#include "incoming/deleted_items_purge.h"
#include "incoming/incoming_step.h"
#include "incoming/received_mail.h"
#include "incoming/sync_mail_walk.h"
#include "platform/safe_library.h"

namespace qx {
namespace {

// The host finds the sync mails in an order of its own; changes of one task
// that arrived together must be applied oldest first, or an older state ends
// up in the folder. Ties, and items with no readable time, keep the order
// found.
void orderBySentTime(std::vector<std::shared_ptr<Dispatch>>& mails) {
  std::vector<std::pair<std::optional<double>, std::shared_ptr<Dispatch>>> timed;
  timed.reserve(mails.size());
  for (std::shared_ptr<Dispatch>& item : mails) {
    std::optional<double> sent;
    if (const Result<std::shared_ptr<MailItem>> mail = item->queryMail(); mail && *mail) {
      if (const Result<DateValue> on = (*mail)->sentOn(); on) sent = on->days;
    }
    timed.emplace_back(sent, std::move(item));
  }
  std::stable_sort(timed.begin(), timed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t i = 0; i < mails.size(); ++i) mails[i] = std::move(timed[i].second);
}

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
  reportAlteredSyncMails(engine, safeMail, **inbox);
  std::vector<std::shared_ptr<Dispatch>> mails = findSyncMails(**inbox);
  if (mails.empty()) return true;
  orderBySentTime(mails);
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
  // What the others sent meanwhile is merged now: the changes left unsent
  // before the stop can go.
  if (!swept_) {
    swept_ = true;
    startSweep();
  }
}

}  // namespace qx

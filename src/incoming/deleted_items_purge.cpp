#include "incoming/deleted_items_purge.h"

#include "core/sync_engine.h"
#include "incoming/incoming_step.h"
#include "incoming/sync_mail_walk.h"

namespace qx {
namespace {

void removeAttachments(MailItem& mail) {
  const Result<std::shared_ptr<Attachments>> attachments = mail.attachments();
  if (!attachments) return;
  const Result<std::int32_t> count = (*attachments)->count();
  if (!count) return;
  for (std::int32_t index = *count; index >= 1; --index) {
    const Result<std::shared_ptr<Attachment>> attachment = (*attachments)->item(index);
    if (attachment) (void)(*attachment)->deleteAttachment();
  }
}

}  // namespace

void purgeDeletedSyncMails(SyncEngine& engine) {
  if (!engine.hostNamespace()) return;
  const Result<std::shared_ptr<Folder>> deletedItems =
      engine.hostNamespace()->getDefaultFolder(default_folder::kDeletedItems);
  if (!deletedItems) return;
  const std::vector<std::shared_ptr<Dispatch>> mails = findSyncMails(**deletedItems);
  if (mails.empty()) return;
  debugEntry(engine.diagnostics(), "delete items");
  for (const std::shared_ptr<Dispatch>& item : mails) {
    const Result<std::shared_ptr<MailItem>> mail = item->queryMail();
    if (!mail) continue;
    removeAttachments(**mail);
    // In Deleted Items the host's Delete removes the mail for good.
    (void)(*mail)->deleteItem();
  }
}

}  // namespace qx

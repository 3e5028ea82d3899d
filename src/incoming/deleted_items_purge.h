#pragma once
// Sync mails do not pile up in Deleted Items: after a scan they are removed
// from there for good.
namespace qx {

class SyncEngine;

// Every mail with the sync subject in Deleted Items loses its attachments and
// is removed for good; other items are left alone.
void purgeDeletedSyncMails(SyncEngine& engine);

}  // namespace qx

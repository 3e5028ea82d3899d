#pragma once
// Sync mails that a mail system changed on the way so that the Inbox scan
// cannot find them: a gateway that tags the subject ("[EXT] ...") or
// replaces it. Such a mail is never applied; the error log says so once per
// mail, with what arrived, so that the mail administrator can be asked to
// leave the subject alone. The same look at the newest mails finds the
// reports of sync mails that could not be delivered (delivery_report.h).
#include "platform/mail_folder.h"
#include "platform/safe_mail_item.h"

namespace qx {

class SyncEngine;

// Looks at the newest mails of the Inbox only (a scan must cost the same
// however much mail the Inbox holds): a subject that holds the sync subject
// without being it, or a low-importance confidential mail under another
// subject, is read through the safe item, and a sync body makes it an
// altered sync mail.
void reportAlteredSyncMails(SyncEngine& engine, SafeMailItem& safeMail, Folder& inbox);

}  // namespace qx

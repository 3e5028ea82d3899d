#pragma once
// One sync mail of the Inbox, from its body to the change it carries.
#include <memory>
#include <string>

#include "incoming/incoming_step.h"
#include "platform/codepage.h"
#include "platform/mail_client.h"
#include "platform/safe_mail_item.h"

namespace qx {

class SyncEngine;

// Reads the mail through the safe mail item: its body, its first attachment
// saved, decompressed and read back as a task, its share name; applies it to
// the shared folder of that name and deletes the mail. A mail that is no sync
// mail for this reader is left alone; one that cannot be read or applied now
// is kept for a later scan.
InboxStep receiveSyncMail(SyncEngine& engine, SafeMailItem& safeMail,
                          const std::shared_ptr<Dispatch>& item, Application& application);

// The sender's address of the mail the safe item holds, in the ANSI code
// page, for the error log; "an unknown sender" when it cannot be had.
std::string senderForLog(SafeMailItem& safeMail, CodePage& codePage);

}  // namespace qx

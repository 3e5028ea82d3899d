#pragma once
// Non-delivery reports of sync mails: the mail system returns a sync mail
// it could not deliver (an unknown recipient, a full mailbox) as a report in
// the sender's Inbox. The error log names each recipient and reason once,
// so that the user learns that a colleague no longer receives the changes.
// A report is never taken for a sync mail, altered or not.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dispatch.h"
#include "platform/safe_mail_item.h"

namespace qx {

class SyncEngine;

struct UndeliveredRecipient {
  std::u16string recipient;
  std::u16string reason;  // empty when the report gives none
};

// The recipients a report's text names, each with the reason under it: the
// lines after "The following recipient(s) could not (or cannot) be
// reached:", address then reason, to the end of the text.
std::vector<UndeliveredRecipient> undeliveredRecipients(std::u16string_view body);

// Whether `item` (put into `safeMail`) is a delivery report: its message
// class is a report's, or its subject a report's of a mail system that
// returns reports as ordinary mail.
bool isDeliveryReport(SafeMailItem& safeMail);

// When `item` is a delivery report about a sync mail, writes an error-log
// line for each recipient and reason not yet named in this session; true
// when it was a delivery report (of any mail).
bool reportUndeliveredSyncMail(SyncEngine& engine, SafeMailItem& safeMail,
                               const std::shared_ptr<Dispatch>& item);

}  // namespace qx

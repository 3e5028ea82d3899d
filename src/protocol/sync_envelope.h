#pragma once
// The envelope of a sync mail: every property that makes a mail item a sync
// mail, set through the host's mail item and the safe mail item. The change
// and the removal sender set the same properties in different orders and
// examine different results, so each group is its own call, made in the
// sender's order; every call returns the status of the one result a sender
// may examine.
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "platform/locale.h"
#include "platform/mail_mail_item.h"
#include "platform/safe_library.h"
#include "platform/safe_mail_item.h"
#include "protocol/sync_body.h"

namespace qx {

namespace syncmail {
// How readers pick candidates out of a folder: sorted by subject, then walked
// with find and find-next on this filter.
inline constexpr std::u16string_view kSubjectText = u"TaskSynchronisation";
inline constexpr std::u16string_view kSubjectSort = u"[Subject]";
inline constexpr std::u16string_view kSubjectFilter = u"[Subject] = 'TaskSynchronisation'";
// The named header property that carries a change mail's sync id, read by the
// Outbox search of the same user only.
inline constexpr std::u16string_view kHeaderIdName = u"x-quensyncxxxsyncid";
inline constexpr std::int32_t kIconIndex = 514;
}  // namespace syncmail

// Importance low, no read receipt, sensitivity confidential. The host's
// answers are not examined: a mail that keeps a default still travels.
void setSyncMailFlags(MailItem& mail);

// To := the recipient line; sent-on-behalf-of := the sender name only when
// one is configured. Returns the status of To.
Hresult setSyncMailRecipients(MailItem& mail, std::u16string_view recipientLine,
                              const std::optional<std::u16string>& senderName);

// The icon index field through the safe item; returns its status.
Hresult setSyncIconIndex(SafeMailItem& safeMail);

// The sync id in the named header property of the internet-headers set,
// registering the name in the store if needed. Returns the first failing
// status: of creating the library's utilities (the caller decides whether that
// is a missing library), of the name mapping or of the write.
Hresult setSyncHeaderId(SafeLibrary& library, const std::shared_ptr<SafeMailItem>& safeMail,
                        std::u16string_view syncId);

// The header sync id of the mail the safe item holds, without registering the
// name: a store that never saw the name has no such mail.
Result<std::u16string> readSyncHeaderId(MapiUtilities& utilities,
                                        const std::shared_ptr<SafeMailItem>& safeMail);

// Subject "TaskSynchronisation"; returns its status.
Hresult setSyncSubject(MailItem& mail);

// The body (notice of message 220 in `language`, then the fields, then the
// trailing line if any) in the ANSI code page, handed to the host through the
// safe item. Returns the status of the conversion or of the write.
Hresult writeSyncBody(SafeMailItem& safeMail, CodePage& codePage, LangId language, SyncKind kind,
                      std::string_view shareName, std::string_view syncId,
                      std::string_view trailingLine = {});

// Delete-after-submit and the safe item's resolving of the recipients; the
// results are not examined, the send tells.
void finishSyncMail(MailItem& mail, SafeMailItem& safeMail);

}  // namespace qx

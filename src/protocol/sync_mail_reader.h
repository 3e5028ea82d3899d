#pragma once
// Reading a sync mail's body through the safe mail item, as the Inbox scan
// does before it trusts a candidate.
#include <optional>
#include <string>

#include "common/diagnostics.h"
#include "platform/codepage.h"
#include "platform/safe_mail_item.h"
#include "protocol/change_version.h"

namespace qx {

struct SyncMailReading {
  bool valid = false;
  bool removal = false;
  // Filled in whether or not the mail is valid.
  std::u16string syncId;
  // A removal's version line; none from a peer that sends none.
  std::optional<ChangeVersion> removalVersion;
};

// The body of the mail the safe item holds, in the ANSI code page. A body that
// cannot be read or converted makes the mail invalid.
SyncMailReading parseSyncBody(SafeMailItem& mail, CodePage& codePage, Diagnostics& diagnostics);

// The share name by the same marker rule; empty when the body cannot be read.
std::u16string readShareName(SafeMailItem& mail, CodePage& codePage);

}  // namespace qx

#pragma once
// Reading a sync mail's body through the safe mail item, as the Inbox scan
// does before it trusts a candidate: once, for everything the scan needs.
#include <optional>
#include <cstddef>
#include <string>
#include <string_view>

#include "common/diagnostics.h"
#include "platform/codepage.h"
#include "platform/safe_mail_item.h"
#include "protocol/change_version.h"
#include "protocol/field_versions.h"

namespace qx {

struct SyncMailReading {
  bool valid = false;
  bool removal = false;
  // Filled in whether or not the mail is valid; the id as the body holds it
  // (ANSI) and as the host takes it.
  std::string syncIdText;
  std::u16string syncId;
  // The share name in the ANSI code page, by the marker rule of the body;
  // empty when the body cannot be read.
  std::string shareName;
  // The version of a change or a removal: its version line, or for a mail
  // without one (an add-in that stamps none) the version every receiver
  // derives from the mail itself (`derived`). None when neither can be had.
  std::optional<ChangeVersion> version;
  bool derived = false;
  // A change's field-version line; none when the mail has none: every field
  // it carries is then at `version`.
  std::optional<FieldVersionLine> fields;
  // The sender's address, for the log; empty when the mail does not say.
  std::u16string sender;
  // Why the mail can never be applied, in the words of its error-log line;
  // empty when nothing in the body stands against it. Set whether or not
  // the body reads as a sync mail: one that cannot be read at all is no more
  // use at the next scan.
  std::string_view refusal;
};

// Longer than any body a sync mail has, notice and a gateway's disclaimer
// included.
inline constexpr std::size_t kMaxSyncBodyLength = 256 * 1024;

namespace refusal {
inline constexpr std::string_view kUnreadableBody = "its body cannot be read";
inline constexpr std::string_view kOversizedBody = "its body is longer than any sync mail";
inline constexpr std::string_view kVersionLine = "its version line cannot be read";
inline constexpr std::string_view kFieldVersionLine = "its field-version line cannot be read";
}  // namespace refusal

// The body of the mail the safe item holds, in the ANSI code page. A body that
// cannot be read, converted or is too long makes the mail invalid and
// refused; a version or field-version line that is there (it starts a line
// after the id and is closed) but cannot be read exactly makes it refused.
SyncMailReading parseSyncBody(SafeMailItem& mail, CodePage& codePage, Diagnostics& diagnostics);

}  // namespace qx

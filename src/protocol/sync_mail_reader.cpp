#include "protocol/sync_mail_reader.h"

#include "protocol/derived_version.h"
#include "protocol/sync_body.h"

namespace qx {

SyncMailReading parseSyncBody(SafeMailItem& mail, CodePage& codePage, Diagnostics& diagnostics) {
  SyncMailReading reading;
  const Result<std::u16string> wide = mail.body();
  if (!wide) return reading;
  const Result<std::string> body = codePage.toAnsi(*wide);
  if (!body) return reading;
  SyncBodyFields fields = parseSyncBodyText(*body);
  if (diagnostics.debugOn()) {
    diagnostics.logDebug("got:");
    diagnostics.logDebug(fields.syncId);
  }
  Result<std::u16string> id = codePage.toWide(fields.syncId);
  // An id that cannot be carried back to the host could only name the wrong
  // task; the mail is then no sync mail for this reader.
  if (!id) return reading;
  reading.valid = fields.valid;
  reading.removal = fields.removal;
  reading.syncId = std::move(*id);
  reading.syncIdText = std::move(fields.syncId);
  reading.shareName = readShareNameText(*body);
  reading.version = readVersionLine(*body);
  if (const Result<Variant> address = mail.field(prop_tag::kSenderEmailAddress);
      address && address->text())
    reading.sender = *address->text();
  if (!reading.version) {
    if (const Result<Variant> submitted = mail.field(prop_tag::kClientSubmitTime); submitted) {
      if (const std::optional<DateValue> date = submitted->asDate()) {
        reading.version = derivedVersion(*date, reading.sender);
        reading.derived = reading.version.has_value();
      }
    }
  }
  if (reading.version && !reading.removal && !reading.derived)
    reading.fields = readFieldVersionLine(*body, *reading.version);
  return reading;
}

}  // namespace qx

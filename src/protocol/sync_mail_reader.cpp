#include "protocol/sync_mail_reader.h"

#include "protocol/sync_body.h"

namespace qx {
namespace {

Result<std::string> ansiBody(SafeMailItem& mail, CodePage& codePage) {
  const Result<std::u16string> wide = mail.body();
  if (!wide) return failure(wide.error());
  return codePage.toAnsi(*wide);
}

}  // namespace

SyncMailReading parseSyncBody(SafeMailItem& mail, CodePage& codePage, Diagnostics& diagnostics) {
  SyncMailReading reading;
  const Result<std::string> body = ansiBody(mail, codePage);
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
  if (reading.removal) reading.removalVersion = readRemovalVersionText(*body);
  return reading;
}

std::u16string readShareName(SafeMailItem& mail, CodePage& codePage) {
  const Result<std::string> body = ansiBody(mail, codePage);
  if (!body) return {};
  Result<std::u16string> name = codePage.toWide(readShareNameText(*body));
  return name ? std::move(*name) : std::u16string();
}

}  // namespace qx

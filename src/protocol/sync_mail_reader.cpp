#include "protocol/sync_mail_reader.h"

#include "common/log_value.h"
#include "protocol/derived_version.h"
#include "protocol/sync_body.h"

namespace qx {
namespace {

// A line that the body holds after its id field, opened by `open` at the
// start of a line and closed by `close` behind it. A marker inside other text
// (a disclaimer's "Server:") is no such line; such a line that the readers
// give nothing for cannot be read.
bool holdsLine(std::string_view body, std::string_view open, std::string_view close) {
  const std::size_t idClose = body.find(syncmail::kIdClose);
  if (idClose == std::string_view::npos) return false;
  const std::size_t at = body.find(open, idClose);
  if (at == std::string_view::npos || at == 0) return false;
  if (body[at - 1] != '\n' && body[at - 1] != '\r') return false;
  return body.find(close, at + open.size()) != std::string_view::npos;
}

}  // namespace

SyncMailReading parseSyncBody(SafeMailItem& mail, CodePage& codePage, Diagnostics& diagnostics) {
  SyncMailReading reading;
  const Result<std::u16string> wide = mail.body();
  if (!wide) {
    reading.refusal = refusal::kUnreadableBody;
    return reading;
  }
  if (wide->size() > kMaxSyncBodyLength) {
    reading.refusal = refusal::kOversizedBody;
    return reading;
  }
  const Result<std::string> body = codePage.toAnsi(*wide);
  if (!body) {
    reading.refusal = refusal::kUnreadableBody;
    return reading;
  }
  SyncBodyFields fields = parseSyncBodyText(*body);
  if (diagnostics.debugOn()) {
    diagnostics.logDebug("got:");
    diagnostics.logDebug(logValue(fields.syncId));
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
  if (!reading.version && holdsLine(*body, changeversion::kLineOpen, changeversion::kLineClose))
    reading.refusal = refusal::kVersionLine;
  if (!reading.version && reading.refusal.empty()) {
    if (const Result<Variant> submitted = mail.field(prop_tag::kClientSubmitTime); submitted) {
      if (const std::optional<DateValue> date = submitted->asDate()) {
        reading.version = derivedVersion(*date, reading.sender);
        reading.derived = reading.version.has_value();
      }
    }
  }
  if (reading.version && !reading.removal && !reading.derived) {
    reading.fields = readFieldVersionLine(*body, *reading.version);
    // An odd group is passed over, but a line of nothing readable is no line.
    if (reading.fields && reading.fields->unreadable) reading.refusal = refusal::kFieldVersionLine;
  }
  return reading;
}

}  // namespace qx

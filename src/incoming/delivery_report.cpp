#include "incoming/delivery_report.h"

#include <string>

#include "core/addin_module.h"
#include "core/sync_engine.h"
#include "protocol/sync_envelope.h"

namespace qx {
namespace {

// The raw properties a report is known by (type kString8: the host gives
// them as text).
constexpr std::int32_t kSubjectTag = 0x0037001E;
constexpr std::int32_t kMessageClassTag = 0x001A001E;

std::u16string foldAscii(std::u16string_view text) {
  std::u16string folded(text);
  for (char16_t& c : folded)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + (u'a' - u'A'));
  return folded;
}

std::u16string_view trimmed(std::u16string_view line) {
  const auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r'; };
  while (!line.empty() && blank(line.front())) line.remove_prefix(1);
  while (!line.empty() && blank(line.back())) line.remove_suffix(1);
  return line;
}

std::u16string textField(SafeMailItem& safeMail, std::int32_t tag) {
  const Result<Variant> value = safeMail.field(tag);
  const std::u16string* text = value ? value->text() : nullptr;
  return text ? *text : std::u16string();
}

std::string ansiOr(CodePage& codePage, std::u16string_view text, std::string_view otherwise) {
  const Result<std::string> ansi = codePage.toAnsi(std::u16string(text));
  return ansi ? *ansi : std::string(otherwise);
}

}  // namespace

std::vector<UndeliveredRecipient> undeliveredRecipients(std::u16string_view body) {
  std::vector<std::u16string_view> lines;
  for (std::size_t start = 0; start <= body.size();) {
    std::size_t end = body.find(u'\n', start);
    if (end == std::u16string_view::npos) end = body.size();
    lines.push_back(trimmed(body.substr(start, end - start)));
    start = end + 1;
  }
  std::vector<UndeliveredRecipient> found;
  std::size_t at = 0;
  while (at < lines.size()) {
    const std::u16string line = foldAscii(lines[at++]);
    if (line.find(u"could not be reached") != std::u16string::npos ||
        line.find(u"cannot be reached") != std::u16string::npos)
      break;
  }
  // Address, then its reason on the next line; blank lines between groups.
  while (at < lines.size()) {
    if (lines[at].empty()) {
      ++at;
      continue;
    }
    UndeliveredRecipient r{std::u16string(lines[at++]), {}};
    if (at < lines.size() && !lines[at].empty()) r.reason = std::u16string(lines[at++]);
    found.push_back(std::move(r));
  }
  return found;
}

bool isDeliveryReport(SafeMailItem& safeMail) {
  if (foldAscii(textField(safeMail, kMessageClassTag)).starts_with(u"report.")) return true;
  const std::u16string subject = foldAscii(textField(safeMail, kSubjectTag));
  return subject.starts_with(u"undeliverable:") ||
         subject.starts_with(u"undelivered mail returned to sender");
}

bool reportUndeliveredSyncMail(SyncEngine& engine, SafeMailItem& safeMail,
                               const std::shared_ptr<Dispatch>& item) {
  if (failed(safeMail.putItem(item)) || !isDeliveryReport(safeMail)) return false;
  // About a sync mail: the report repeats its subject (a gateway's tag
  // before it included).
  if (foldAscii(textField(safeMail, kSubjectTag)).find(foldAscii(syncmail::kSubjectText)) ==
      std::u16string::npos)
    return true;
  const Result<std::u16string> body = safeMail.body();
  if (!body) return true;
  CodePage& codePage = engine.module().platform().codePage;
  for (const UndeliveredRecipient& r : undeliveredRecipients(*body)) {
    // Once per recipient and reason in a session: each change brings its
    // own report, the user needs to hear it once. The set shares its keys
    // with the altered mails' entry ids, which never hold a line end.
    if (!engine.alteredMailsReported().insert(u"undelivered\n" + r.recipient + u"\n" + r.reason)
             .second)
      continue;
    const std::string recipient = ansiOr(codePage, r.recipient, "?");
    std::u16string_view reason = r.reason;
    while (!reason.empty() && reason.back() == u'.') reason.remove_suffix(1);
    engine.diagnostics().reportError(
        "Sync mail for " + recipient + " was returned as undeliverable" +
        (reason.empty() ? std::string() : ": " + ansiOr(codePage, reason, "?")) + "; " +
        recipient +
        " gets no changes: correct the address in the folder's list of recipients, or remove it");
  }
  return true;
}

}  // namespace qx

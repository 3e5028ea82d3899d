#include "incoming/altered_sync_mail.h"

#include <algorithm>
#include <string>

#include "core/addin_module.h"
#include "core/sync_engine.h"
#include "incoming/delivery_report.h"
#include "incoming/received_mail.h"
#include "platform/mail_ids.h"
#include "platform/mail_mail_item.h"
#include "protocol/sync_body.h"
#include "protocol/sync_envelope.h"

namespace qx {
namespace {

// How many of the newest Inbox items each scan looks at.
constexpr std::int32_t kNewestLooked = 20;

std::u16string foldAscii(std::u16string_view text) {
  std::u16string folded(text);
  for (char16_t& c : folded)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + (u'a' - u'A'));
  return folded;
}

// Worth reading the body of: the subject holds the sync subject but is not
// it (the scan finds that one, in any letter case), or the mail bears the
// sync mail's flags under another subject.
bool mayBeAltered(MailItem& mail, std::u16string_view subject) {
  const std::u16string folded = foldAscii(subject);
  const std::u16string sync = foldAscii(syncmail::kSubjectText);
  if (folded == sync) return false;
  if (folded.find(sync) != std::u16string::npos) return true;
  const Result<std::int32_t> importance = mail.importance();
  const Result<std::int32_t> sensitivity = mail.sensitivity();
  return importance && *importance == importance::kLow && sensitivity &&
         *sensitivity == sensitivity::kConfidential;
}

bool holdsSyncBody(SafeMailItem& safeMail, CodePage& codePage) {
  const Result<std::u16string> wide = safeMail.body();
  if (!wide) return false;
  const Result<std::string> body = codePage.toAnsi(*wide);
  return body && parseSyncBodyText(*body).valid;
}

std::string ansiOr(CodePage& codePage, const Result<std::u16string>& text,
                   std::string_view otherwise) {
  if (!text) return std::string(otherwise);
  const Result<std::string> ansi = codePage.toAnsi(*text);
  return ansi ? *ansi : std::string(otherwise);
}

// "Sync mail from ADDRESS not applied: its subject arrived as "SUBJECT"; ask
// the mail administrator to leave the subject "TaskSynchronisation" of sync
// mails untouched".
std::string alteredReport(SafeMailItem& safeMail, CodePage& codePage,
                          const std::u16string& subject) {
  const std::string syncSubject =
      ansiOr(codePage, std::u16string(syncmail::kSubjectText), "TaskSynchronisation");
  return "Sync mail from " + senderForLog(safeMail, codePage) +
         " not applied: its subject arrived as \"" + ansiOr(codePage, subject, "?") +
         "\"; ask the mail administrator to leave the subject \"" + syncSubject +
         "\" of sync mails untouched";
}

}  // namespace

void reportAlteredSyncMails(SyncEngine& engine, SafeMailItem& safeMail, Folder& inbox) {
  CodePage& codePage = engine.module().platform().codePage;
  // A fresh collection is in the folder's order, the newest mail last.
  const Result<std::shared_ptr<Items>> items = inbox.items();
  if (!items) return;
  const Result<std::int32_t> count = (*items)->count();
  if (!count) return;
  for (std::int32_t index = *count; index > std::max(0, *count - kNewestLooked); --index) {
    const Result<std::shared_ptr<Dispatch>> item = (*items)->item(index);
    if (!item || !*item) continue;
    const Result<std::shared_ptr<MailItem>> mail = (*item)->queryMail();
    // A report (the host's report item, or a mail system's report as a mail)
    // quotes the sync mail's subject and often its text: it is no sync mail.
    if (!mail || !*mail) {
      (void)reportUndeliveredSyncMail(engine, safeMail, *item);
      continue;
    }
    const Result<std::u16string> subject = (*mail)->subject();
    if (!subject || !mayBeAltered(**mail, *subject)) continue;
    const Result<std::u16string> entryId = (*mail)->entryId();
    if (!entryId || engine.alteredMailsReported().contains(*entryId)) continue;
    if (reportUndeliveredSyncMail(engine, safeMail, *item)) continue;
    if (failed(safeMail.putItem(*item)) || !holdsSyncBody(safeMail, codePage)) continue;
    engine.alteredMailsReported().insert(*entryId);
    engine.diagnostics().reportError(alteredReport(safeMail, codePage, *subject));
  }
}

}  // namespace qx

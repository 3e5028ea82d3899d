#include "incoming/received_mail.h"

#include <cstdio>
#include <string>

#include "core/addin_module.h"
#include "core/sync_engine.h"
#include "incoming/apply_received.h"
#include "platform/safe_library.h"
#include "protocol/sync_mail_reader.h"

namespace qx {
namespace {

// Only the first attachment is ever used; none when the mail has none. Fails
// when the attachments cannot be read.
Result<std::shared_ptr<SafeAttachment>> firstAttachment(SafeMailItem& safeMail) {
  const Result<std::shared_ptr<SafeAttachments>> attachments = safeMail.attachments();
  if (!attachments) return failure(attachments.error());
  const Result<std::int32_t> count = (*attachments)->count();
  if (!count) return failure(count.error());
  if (*count < 1) return std::shared_ptr<SafeAttachment>();
  return (*attachments)->item(1);
}

struct ReceivedTask {
  // kDeleteMail when the task was read.
  InboxStep step = InboxStep::kDeleteMail;
  std::shared_ptr<Dispatch> item;
};

// The attachment saved to the compressed working file, decompressed into the
// message file and read back as an item.
ReceivedTask readReceivedTask(SyncEngine& engine, SafeAttachment& attachment) {
  Diagnostics& diagnostics = engine.diagnostics();
  const Platform& platform = engine.module().platform();

  const Result<std::u16string> zipPath = platform.codePage.toWide(engine.compressedFilePath());
  // Only S_OK counts as saved: S_FALSE wrote nothing, and the file there is
  // the previous mail's. A mail whose attachment cannot be saved now (a full
  // disk, a folder gone) waits for a later scan instead of being deleted
  // unapplied.
  if (!zipPath || attachment.saveAsFile(*zipPath) != hr::kOk) {
    diagnostics.reportError("Fehler:SaveAsFile(ZipFilename)");
    return {InboxStep::kKeepMail, nullptr};
  }
  // A failed decompression leaves no message file behind, so the read below
  // fails and reports it.
  (void)engine.decompressFile();
  debugEntry(diagnostics, "processInbox:save attachment");

  const Result<std::shared_ptr<MapiUtilities>> utilities =
      createMapiUtilities(platform.safeLibrary);
  if (!utilities) {
    diagnostics.reportLibraryMissing();
    return {InboxStep::kEndScan, nullptr};
  }
  const Result<std::u16string> messagePath = platform.codePage.toWide(engine.messageFilePath());
  Result<std::shared_ptr<Dispatch>> item =
      messagePath ? (*utilities)->getItemFromMsgFile(*messagePath, false)
                  : Result<std::shared_ptr<Dispatch>>(failure(messagePath.error()));
  if (!item) {
    // One mail that cannot be read must not hold up the mails behind it: it
    // stays in the Inbox and the scan goes on.
    diagnostics.reportError("\nGetItemFromMsgFile(ImportFile)");
    char status[24];
    std::snprintf(status, sizeof status, "Fehler:%08X", static_cast<unsigned>(item.error()));
    diagnostics.reportError(status);
    return {InboxStep::kKeepMail, nullptr};
  }
  return {InboxStep::kDeleteMail, std::move(*item)};
}

// The folder shared under the mail's share name, as the configuration holds
// it in the ANSI code page.
std::shared_ptr<Folder> targetFolder(SyncEngine& engine, const std::string& shareName) {
  Diagnostics& diagnostics = engine.diagnostics();
  if (diagnostics.debugOn()) {
    diagnostics.logDebug("Sharename:");
    diagnostics.logDebug(shareName);
  }
  return engine.sharedFolderByName(shareName);
}

// "Sync mail from ADDRESS deleted: no folder is shared as "NAME"".
std::string unknownShareReport(SafeMailItem& safeMail, CodePage& codePage,
                               const std::string& shareName) {
  return "Sync mail from " + senderForLog(safeMail, codePage) +
         " deleted: no folder is shared as \"" + shareName + "\"";
}

}  // namespace

std::string senderForLog(SafeMailItem& safeMail, CodePage& codePage) {
  const Result<Variant> address = safeMail.field(prop_tag::kSenderEmailAddress);
  if (address && address->text()) {
    const Result<std::string> ansi = codePage.toAnsi(*address->text());
    if (ansi && !ansi->empty()) return *ansi;
  }
  return "an unknown sender";
}

InboxStep receiveSyncMail(SyncEngine& engine, SafeMailItem& safeMail,
                          const std::shared_ptr<Dispatch>& item, Application& application) {
  Diagnostics& diagnostics = engine.diagnostics();
  CodePage& codePage = engine.module().platform().codePage;

  // Still pointing at the previous mail, the safe item would read that one.
  if (failed(safeMail.putItem(item))) return InboxStep::kKeepMail;
  debugEntry(diagnostics, "processInbox:1 Message found");
  const SyncMailReading reading = parseSyncBody(safeMail, codePage, diagnostics);
  if (!reading.valid) return InboxStep::kKeepMail;
  debugEntry(diagnostics, "processInbox:OK is a right one");
  const Result<std::shared_ptr<MailItem>> mail = item->queryMail();
  if (!mail) return InboxStep::kKeepMail;
  debugEntry(diagnostics, "processInbox:OK have a interface for it");

  std::shared_ptr<Dispatch> received;
  const Result<std::shared_ptr<SafeAttachment>> attachment = firstAttachment(safeMail);
  if (!attachment) {
    diagnostics.reportError("\net_Attachments()");
    // A removal needs no attachment; a change read as having none would be
    // deleted unapplied.
    if (!reading.removal) return InboxStep::kKeepMail;
  }
  if (attachment && *attachment) {
    debugEntry(diagnostics, "processInbox:OK we have a Attachement");
    ReceivedTask task = readReceivedTask(engine, **attachment);
    if (task.step != InboxStep::kDeleteMail) return task.step;
    received = std::move(task.item);
  } else if (!reading.removal) {
    // A change without its task: nothing to apply.
    (void)(*mail)->deleteItem();
    return InboxStep::kDeleteMail;
  } else {
    debugEntry(diagnostics, "processInbox:must be a removemail");
  }

  const std::shared_ptr<Folder> target = targetFolder(engine, reading.shareName);
  if (target) {
    debugEntry(diagnostics, "i know the target");
    InboxStep step = InboxStep::kDeleteMail;
    if (reading.removal) {
      debugEntry(diagnostics, "it's removemail");
      step = applyRemoval(engine, target, reading);
    } else {
      step = applyTask(engine, received, target, application, reading);
    }
    if (step != InboxStep::kDeleteMail) return step;
  } else {
    // No folder of ours bears that name: the mail is of no use here. It may
    // have stopped being shared on purpose, but a mistyped share name would
    // lose every change of the others without a word: the error log says it.
    debugEntry(diagnostics, "no target found");
    debugEntry(diagnostics, reading.shareName);
    diagnostics.reportError(unknownShareReport(safeMail, codePage, reading.shareName));
  }
  (void)(*mail)->deleteItem();
  return InboxStep::kDeleteMail;
}

}  // namespace qx

#include "incoming/received_mail.h"

#include <cstdio>
#include <initializer_list>
#include <string>

#include "common/log_value.h"
#include "core/addin_module.h"
#include "core/sync_engine.h"
#include "core/task_record.h"
#include "incoming/apply_received.h"
#include "outgoing/task_sync_properties.h"
#include "platform/mail_ids.h"
#include "platform/safe_library.h"
#include "protocol/codec/codec_files.h"
#include "protocol/field_record.h"
#include "protocol/sync_id.h"
#include "protocol/sync_identity.h"
#include "protocol/sync_mail_reader.h"
#include "protocol/sync_prop_tag.h"

namespace qx {
namespace {

// Why a mail can never be applied, after its body was read.
namespace refused {
constexpr std::string_view kMalformedStream = "its attachment is no stream of a task";
constexpr std::string_view kNoMessageFile = "its attachment holds no message file";
constexpr std::string_view kBadSyncId = "its sync id is no sync id";
constexpr std::string_view kCarriedIdNotText = "the task it carries has a sync id that is not text";
constexpr std::string_view kCarriedIdMismatch =
    "the task it carries has a sync id other than the mail's";
constexpr std::string_view kPropertyType =
    "the task it carries has a Quendrilax property that is not text";
constexpr std::string_view kPrivateTask = "the task it carries is private";
constexpr std::string_view kHolidayTask = "the task it carries is a holiday";
constexpr std::string_view kUntrustedSender =
    "the sender is no recipient of the folder nor a trusted sender";
}  // namespace refused

// The properties the add-in writes as text onto every task it sends; one of
// another type came from no add-in and would fail the write that applies it.
constexpr std::u16string_view kBookkeepingProperties[] = {
    syncid::kPropertyName, taskrecord::kVersionProperty, taskrecord::kStateProperty,
    fieldrecord::kPropertyName, syncprop::kLastShareName};

// PR_SENSITIVITY.
constexpr std::int32_t kSensitivityTag = 0x00360003;

// "Sync mail from ADDRESS refused (share 'NAME'): REASON". The mail is of no
// use at any later scan: it goes, as a processed mail does.
InboxStep refuse(SyncEngine& engine, SafeMailItem& safeMail, const std::shared_ptr<Dispatch>& item,
                 std::string_view shareName, std::string_view reason) {
  CodePage& codePage = engine.module().platform().codePage;
  engine.diagnostics().reportError("Sync mail from " + senderForLog(safeMail, codePage) +
                                   " refused (share '" + logValue(shareName) +
                                   "'): " + std::string(reason));
  if (const Result<std::shared_ptr<MailItem>> mail = item->queryMail(); mail && *mail)
    (void)(*mail)->deleteItem();
  return InboxStep::kDeleteMail;
}

// A failure of the host that keeps the mail for a later scan goes into the
// error log once a session for each mail, however many scans it stays.
void reportKept(SyncEngine& engine, const std::shared_ptr<Dispatch>& item,
                std::initializer_list<std::string_view> texts) {
  const Result<std::shared_ptr<MailItem>> mail = item->queryMail();
  const Result<std::u16string> entryId =
      mail && *mail ? (*mail)->entryId() : Result<std::u16string>(failure(hr::kPointer));
  if (entryId && !engine.keptMailsReported().insert(*entryId).second) return;
  for (const std::string_view text : texts) engine.diagnostics().reportError(text);
}

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
  // What read it, to read it further.
  std::shared_ptr<MapiUtilities> utilities;
  // Why the mail is refused; empty when it is not.
  std::string_view refusal;
};

// The attachment saved to the compressed working file, decompressed into the
// message file and read back as an item.
ReceivedTask readReceivedTask(SyncEngine& engine, SafeAttachment& attachment,
                              const std::shared_ptr<Dispatch>& mailItem) {
  Diagnostics& diagnostics = engine.diagnostics();
  const Platform& platform = engine.module().platform();

  const Result<std::u16string> zipPath = platform.codePage.toWide(engine.compressedFilePath());
  // Only S_OK counts as saved: S_FALSE wrote nothing, and the file there is
  // the previous mail's. A mail whose attachment cannot be saved now (a full
  // disk, a folder gone) waits for a later scan instead of being deleted
  // unapplied.
  if (!zipPath || attachment.saveAsFile(*zipPath) != hr::kOk) {
    reportKept(engine, mailItem, {"Fehler:SaveAsFile(ZipFilename)"});
    return {InboxStep::kKeepMail, nullptr, nullptr, {}};
  }
  switch (decompressAttachment(platform.files, diagnostics, engine.compressedFilePath(),
                               engine.messageFilePath())) {
    case Decompression::kWritten:
      break;
    case Decompression::kMalformed:
      return {InboxStep::kDeleteMail, nullptr, nullptr, refused::kMalformedStream};
    case Decompression::kFailed:
      return {InboxStep::kKeepMail, nullptr, nullptr, {}};
  }
  debugEntry(diagnostics, "processInbox:save attachment");

  const Result<std::shared_ptr<MapiUtilities>> utilities =
      createMapiUtilities(platform.safeLibrary);
  if (!utilities) {
    diagnostics.reportLibraryMissing();
    return {InboxStep::kEndScan, nullptr, nullptr, {}};
  }
  const Result<std::u16string> messagePath = platform.codePage.toWide(engine.messageFilePath());
  Result<std::shared_ptr<Dispatch>> item =
      messagePath ? (*utilities)->getItemFromMsgFile(*messagePath, false)
                  : Result<std::shared_ptr<Dispatch>>(failure(messagePath.error()));
  if (!item) {
    // The file was written whole from a stream that decoded: what the host
    // finds corrupt there it always will. Any other failure (the file held
    // by a virus scanner, no memory) may pass, and one mail that cannot be
    // read now must not hold up the mails behind it: it stays in the Inbox
    // and the scan goes on.
    if (item.error() == hr::kMapiCorruptData)
      return {InboxStep::kDeleteMail, nullptr, nullptr, refused::kNoMessageFile};
    char status[24];
    std::snprintf(status, sizeof status, "Fehler:%08X", static_cast<unsigned>(item.error()));
    reportKept(engine, mailItem, {"\nGetItemFromMsgFile(ImportFile)", status});
    return {InboxStep::kKeepMail, nullptr, nullptr, {}};
  }
  return {InboxStep::kDeleteMail, std::move(*item), *utilities, {}};
}

// Why the task a change carries can never be applied; empty when nothing
// stands against it. Only what the message file holds is read; a property
// the host cannot read now is left to the apply.
std::string_view carriedTaskRefusal(MapiUtilities& utilities,
                                    const std::shared_ptr<Dispatch>& received,
                                    const SyncMailReading& reading) {
  const Result<std::shared_ptr<SafeMessage>> message = received->querySafeMessage();
  if (!message) return {};
  for (const std::u16string_view name : kBookkeepingProperties) {
    const Result<std::int32_t> tag =
        utilities.getIdsFromNames(received, prop_set::kPublicStrings, name, false);
    if (!tag) continue;
    const Result<Variant> value = (*message)->field(
        static_cast<std::int32_t>(static_cast<std::uint32_t>(*tag) & 0xFFFF0000u));
    if (!value || value->text() != nullptr) continue;
    return name == syncid::kPropertyName ? refused::kCarriedIdNotText : refused::kPropertyType;
  }
  // The sync id names the local task the change goes onto, and the mail's
  // the versions it is judged by: a task under another id, or under none,
  // would be added beside the one it claims to change.
  const std::optional<std::u16string> id =
      readReceivedText(utilities, received, syncid::kPropertyName);
  if (!id || *id != reading.syncId) return refused::kCarriedIdMismatch;
  if (const Result<Variant> sensitivity = (*message)->field(kSensitivityTag)) {
    if (sensitivity->asLong() == sensitivity::kPrivate) return refused::kPrivateTask;
  }
  return {};
}

// The folder shared under the mail's share name, as the configuration holds
// it in the ANSI code page.
std::shared_ptr<Folder> targetFolder(SyncEngine& engine, const std::string& shareName) {
  Diagnostics& diagnostics = engine.diagnostics();
  if (diagnostics.debugOn()) {
    diagnostics.logDebug("Sharename:");
    diagnostics.logDebug(logValue(shareName));
  }
  return engine.sharedFolderByName(shareName);
}

// "Sync mail from ADDRESS deleted: no folder is shared as "NAME"".
std::string unknownShareReport(SafeMailItem& safeMail, CodePage& codePage,
                               const std::string& shareName) {
  return "Sync mail from " + senderForLog(safeMail, codePage) +
         " deleted: no folder is shared as \"" + logValue(shareName) + "\"";
}

// With the sender check on, the folder's recipients and the trusted senders
// are the only ones whose mail counts. A folder whose recipients cannot be
// read names none.
bool fromTrustedSender(SyncEngine& engine, Folder& target, const SyncMailReading& reading) {
  const TrustedSenders& trusted = engine.trustedSenders();
  if (!trusted.on) return true;
  const Result<std::u16string> entryId = target.entryId();
  const std::vector<std::u16string> recipients =
      entryId ? engine.readFolderUsers(*entryId) : std::vector<std::u16string>();
  return trusted.accepts(reading.sender, recipients);
}

}  // namespace

std::string senderForLog(SafeMailItem& safeMail, CodePage& codePage) {
  const Result<Variant> address = safeMail.field(prop_tag::kSenderEmailAddress);
  if (address && address->text()) {
    const Result<std::string> ansi = codePage.toAnsi(*address->text());
    if (ansi && !ansi->empty()) return logValue(*ansi);
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
  if (!reading.refusal.empty())
    return refuse(engine, safeMail, item, reading.shareName, reading.refusal);
  if (!reading.valid) return InboxStep::kKeepMail;
  // A removal's id is judged where removals are recorded.
  if (!reading.removal && !hasSyncIdForm(reading.syncId))
    return refuse(engine, safeMail, item, reading.shareName, refused::kBadSyncId);
  debugEntry(diagnostics, "processInbox:OK is a right one");
  const Result<std::shared_ptr<MailItem>> mail = item->queryMail();
  if (!mail) return InboxStep::kKeepMail;
  debugEntry(diagnostics, "processInbox:OK have a interface for it");

  std::shared_ptr<Dispatch> received;
  const Result<std::shared_ptr<SafeAttachment>> attachment = firstAttachment(safeMail);
  if (!attachment) {
    reportKept(engine, item, {"\net_Attachments()"});
    // A removal needs no attachment; a change read as having none would be
    // deleted unapplied.
    if (!reading.removal) return InboxStep::kKeepMail;
  }
  if (attachment && *attachment) {
    debugEntry(diagnostics, "processInbox:OK we have a Attachement");
    ReceivedTask task = readReceivedTask(engine, **attachment, item);
    if (!task.refusal.empty())
      return refuse(engine, safeMail, item, reading.shareName, task.refusal);
    if (task.step != InboxStep::kDeleteMail) return task.step;
    received = std::move(task.item);
    if (const std::string_view why = carriedTaskRefusal(*task.utilities, received, reading);
        !why.empty())
      return refuse(engine, safeMail, item, reading.shareName, why);
  } else if (!reading.removal) {
    // A change without its task: nothing to apply.
    (void)(*mail)->deleteItem();
    return InboxStep::kDeleteMail;
  } else {
    debugEntry(diagnostics, "processInbox:must be a removemail");
  }

  const std::shared_ptr<Folder> target = targetFolder(engine, reading.shareName);
  if (target && !fromTrustedSender(engine, *target, reading))
    return refuse(engine, safeMail, item, reading.shareName, refused::kUntrustedSender);
  if (target) {
    debugEntry(diagnostics, "i know the target");
    InboxStep step = InboxStep::kDeleteMail;
    if (reading.removal) {
      debugEntry(diagnostics, "it's removemail");
      step = applyRemoval(engine, target, reading);
    } else {
      step = applyTask(engine, received, target, application, reading);
    }
    if (step == InboxStep::kRefuseHoliday)
      return refuse(engine, safeMail, item, reading.shareName, refused::kHolidayTask);
    if (step != InboxStep::kDeleteMail) return step;
  } else {
    // No folder of ours bears that name: the mail is of no use here. It may
    // have stopped being shared on purpose, but a mistyped share name would
    // lose every change of the others without a word: the error log says it.
    debugEntry(diagnostics, "no target found");
    debugEntry(diagnostics, logValue(reading.shareName));
    diagnostics.reportError(unknownShareReport(safeMail, codePage, reading.shareName));
  }
  (void)(*mail)->deleteItem();
  return InboxStep::kDeleteMail;
}

}  // namespace qx

// A task of a shared folder as a change mail: its sync id and share name on
// the task, the task as a compressed message file, and the mail, new or the
// one of the same task still waiting in the Outbox.
#include <exception>
#include <set>

#include "core/addin_module.h"
#include "core/sync_engine.h"
#include "core/task_fingerprint.h"
#include "core/task_record.h"
#include "outgoing/borrowed_item.h"
#include "outgoing/mail_send_end.h"
#include "outgoing/outbox_search.h"
#include "core/own_write.h"
#include "outgoing/removal_mail.h"
#include "outgoing/task_sync_properties.h"
#include "platform/mail_client.h"
#include "platform/safe_library.h"
#include "protocol/change_version.h"
#include "protocol/field_record.h"
#include "protocol/stays_home.h"
#include "protocol/sync_envelope.h"
#include "protocol/sync_identity.h"

namespace qx {
namespace {

// The compressed file's own name (file_name::kCompressedFile).
constexpr std::u16string_view kAttachmentName = u"sync.huf";

constexpr std::string_view kStart = "sendMessage";
constexpr std::string_view kSendFailed = "sendMessage failed";
constexpr std::string_view kSendOk = "sendMessage seams to be OK";
constexpr std::string_view kPutItemFailed = "\nput_Item";
constexpr std::string_view kUserPropertiesFailed = "\nget_UserProperties";
constexpr std::string_view kEntryIdFailed = "\nget_EntryID";
constexpr std::string_view kCompressionThrew = "\nzippen fehlgeschlagen2:";

class ChangeMailSender {
 public:
  ChangeMailSender(SyncEngine& engine, TaskItem& task, std::string shareName, SendReason reason,
                   std::optional<ChangeVersion> stamp)
      : engine_(engine),
        log_(engine.diagnostics()),
        platform_(engine.module().platform()),
        task_(task),
        shareName_(std::move(shareName)),
        reason_(reason),
        stamp_(std::move(stamp)) {}

  MailSendEnd run() {
    const Result<std::shared_ptr<SafeMailItem>> safeMail =
        createSafeMailItem(platform_.safeLibrary);
    const Result<std::shared_ptr<SafeTaskItem>> safeTask =
        safeMail ? createSafeTaskItem(platform_.safeLibrary)
                 : Result<std::shared_ptr<SafeTaskItem>>(failure(safeMail.error()));
    if (!safeTask) {
      log_.reportLibraryMissing();
      return {safeTask.error(), true};
    }
    safeMail_ = *safeMail;
    safeTask_ = *safeTask;

    if (const Hresult status = openTask(); failed(status)) return {status};
    const Result<bool> skip = skipped();
    if (!skip) return {skip.error()};
    // A shared task that became private or a holiday must not stay public.
    if (*skip) return withdrawTask(engine_, task_);
    if (const Hresult status = identify(); failed(status)) return {status};
    if (const MailSendEnd end = takeMail(); end.libraryMissing || failed(end.status)) return end;
    Hresult status = address();
    if (succeeded(status)) status = attachTask();
    if (succeeded(status)) status = finish();
    if (failed(status)) {
      if (reused_) sendWaitingMailAgain();
      return {status};
    }
    return {safeMail_->send()};
  }

 private:
  Hresult openTask() {
    if (const Hresult status = safeTask_->putItem(borrowed(task_)); failed(status)) {
      return stop(kPutItemFailed, status);
    }
    Result<std::shared_ptr<UserProperties>> properties = task_.userProperties();
    if (const Hresult status = statusOf(properties); failed(status)) {
      return stop(kUserPropertiesFailed, status);
    }
    properties_ = std::move(*properties);
    Result<std::u16string> entryId = task_.entryId();
    if (!entryId) return stop(kEntryIdFailed, entryId.error());
    entryId_ = std::move(*entryId);
    // A copy that still carries the id of the task it was copied from must
    // not go out under it: the id goes first, or nothing is sent.
    std::set<std::u16string>& copied = engine_.pendingChanges().copiedIds;
    if (copied.contains(entryId_)) {
      if (const Hresult status = removeSyncIdProperties(task_); failed(status)) return status;
      copied.erase(entryId_);
      properties = task_.userProperties();
      if (const Hresult status = statusOf(properties); failed(status)) {
        return stop(kUserPropertiesFailed, status);
      }
      properties_ = std::move(*properties);
    }
    return hr::kOk;
  }

  Hresult stop(std::string_view text, Hresult status) {
    log_.reportError(text);
    return status;
  }

  // Private tasks and holidays stay with their owner.
  Result<bool> skipped() {
    const Result<std::u16string> categories = task_.categories();
    if (!categories) return failure(categories.error());
    if (categories->find(stays_home::kHolidayCategory) != std::u16string::npos) return true;
    const Result<std::int32_t> sensitivity = task_.sensitivity();
    if (!sensitivity) return failure(sensitivity.error());
    return *sensitivity == sensitivity::kPrivate;
  }

  // The sync id and the share name on the task's working copy; saved later,
  // and only when either changed.
  Hresult identify() {
    const Result<TaskSyncId> id = getOrAssignSyncId(*properties_, platform_.guids);
    if (!id) return id.error();
    syncId_ = id->id;
    mustSave_ = id->assigned;
    newId_ = id->assigned;
    const Result<std::string> ansiId = platform_.codePage.toAnsi(syncId_);
    if (!ansiId) return ansiId.error();
    ansiSyncId_ = *ansiId;
    const Result<bool> stamped = stampLastShareName(*properties_, platform_.codePage, shareName_);
    if (!stamped) return stamped.error();
    mustSave_ = mustSave_ || *stamped;
    return chooseVersion();
  }

  // The task's own version when its content is what was last sent or
  // applied (a save that changed nothing, or a task sent again); otherwise
  // the fields that changed since are stamped, with the held-back save's
  // version or a new one, and recorded on the task with its content. Without
  // clock or tie-breaker a changed task goes out unversioned, applied in
  // arrival order. A task under a new id (moved in, or back from Deleted
  // Items) is new: what it recorded under its old id says nothing of it.
  Hresult chooseVersion() {
    const TaskRecord stored = newId_ ? TaskRecord{} : readTaskRecord(*properties_);
    const std::optional<std::uint64_t> content = taskFingerprint(task_);
    const std::optional<TaskFieldValues> values = readSyncedFields(task_);
    const std::optional<FieldRecord> fields =
        newId_ ? std::nullopt : readFieldRecord(task_, ansiSyncId_);
    if (fields && values && changedFields(&*fields, *values).empty()) {
      version_ = fields->versions.newest();
      if (stored.version && (!version_ || *version_ < *stored.version)) version_ = stored.version;
      if (version_) {
        fieldVersions_ = fields->versions;
        removed_ = removedProperties(*fields);
      }
      return hr::kOk;
    }
    // Recorded before fields were: the content alone tells.
    if (!fields && stored.version && content &&
        (stored.state ? *stored.state == *content : reason_ == SendReason::kResend)) {
      version_ = stored.version;
      return hr::kOk;
    }
    version_ = stampFor(stored, fields, values);
    if (!version_) return hr::kOk;
    mustSave_ = true;
    if (!values) {
      return writeTaskRecord(*properties_, TaskRecord{version_, content});
    }
    const FieldRecord stamped = recordLocalChange(fields, ansiSyncId_, *values, version_);
    // The mail's version is its newest field's: a held-back save may be older
    // than a change merged here since.
    version_ = stamped.versions.newest();
    if (const Hresult status = writeTaskRecord(*properties_, TaskRecord{version_, content});
        failed(status))
      return status;
    if (const Hresult status = writeFieldRecord(task_, stamped); failed(status)) return status;
    fieldVersions_ = stamped.versions;
    removed_ = removedProperties(stamped);
    return hr::kOk;
  }

  // The held-back save's version, unless a field it changed holds a newer one
  // (no such save can have made that change): then a new version now.
  std::optional<ChangeVersion> stampFor(const TaskRecord& stored,
                                        const std::optional<FieldRecord>& fields,
                                        const std::optional<TaskFieldValues>& values) {
    bool stale = !stamp_;
    if (stamp_ && fields && values) {
      const FieldState state = fields->state();
      for (const FieldId& id : changedFields(&*fields, *values)) {
        const std::optional<ChangeVersion> held = registerVersion(state, id);
        stale = stale || (held && !(*held < *stamp_));
      }
    }
    if (!stale) return stamp_;
    TaskRecord newest = stored;
    if (fields) {
      const std::optional<ChangeVersion> recorded = fields->versions.newest();
      if (recorded && (!newest.version || *newest.version < *recorded)) newest.version = recorded;
    }
    return engine_.newVersion(newest, shareName_, ansiSyncId_, engine_.nowMs());
  }

  MailSendEnd takeMail() {
    const std::shared_ptr<Namespace>& session = engine_.hostNamespace();
    if (!session) return {hr::kPointer};
    const Result<std::shared_ptr<Application>> application = session->application();
    if (const Hresult status = statusOf(application); failed(status)) return {status};
    application_ = *application;

    OutboxSearch waiting = findMailInOutBox(engine_, syncId_);
    if (waiting.libraryMissing) return {hr::kClassNotRegistered, true};
    if (waiting.mail) {
      mail_ = std::move(waiting.mail);
      reused_ = true;
      clearAttachments();
      return {hr::kOk};
    }
    const Result<std::shared_ptr<Dispatch>> created = application_->createItem(item_kind::kMail);
    if (const Hresult status = statusOf(created); failed(status)) return {status};
    Result<std::shared_ptr<MailItem>> mail = (*created)->queryMail();
    if (const Hresult status = statusOf(mail); failed(status)) return {status};
    mail_ = std::move(*mail);
    return {hr::kOk};
  }

  // The waiting mail's old task goes. Whatever stays behind comes after the
  // new attachment, which is added in front and is the one readers take.
  void clearAttachments() {
    const Result<std::shared_ptr<Attachments>> attachments = mail_->attachments();
    if (!attachments) return;
    const Result<std::int32_t> count = (*attachments)->count();
    if (!count) return;
    for (std::int32_t i = *count; i >= 1; --i) (void)(*attachments)->remove(i);
  }

  Hresult address() {
    if (const Hresult status = safeMail_->putItem(mail_); failed(status)) return status;
    if (const Hresult status =
            setSyncMailRecipients(*mail_, engine_.recipientLine(), engine_.senderName());
        failed(status)) {
      return status;
    }
    setSyncMailFlags(*mail_);
    Result<std::shared_ptr<Attachments>> attachments = mail_->attachments();
    if (const Hresult status = statusOf(attachments); failed(status)) return status;
    attachments_ = std::move(*attachments);
    return hr::kOk;
  }

  Hresult attachTask() {
    // The library reads the task as stored, so the save comes before the
    // file is written; unsaved, the file would carry no id.
    if (mustSave_) {
      if (const Hresult status = saveAsOwnWrite(engine_, task_, entryId_); failed(status))
        return status;
    }
    const Result<std::u16string> sharePath = platform_.codePage.toWide(engine_.shareFilePath());
    if (!sharePath) return sharePath.error();
    if (const Hresult status = safeTask_->saveAs(*sharePath); failed(status)) return status;
    try {
      if (!engine_.compressFile()) return hr::kFail;
    } catch (const std::exception& error) {
      log_.reportError(kCompressionThrew);
      log_.reportError(error.what());
      return hr::kFail;
    }
    const Result<std::u16string> attachmentPath =
        platform_.codePage.toWide(engine_.compressedFilePath());
    if (!attachmentPath) return attachmentPath.error();
    // The display name is what every recipient sees: the file's own name,
    // not the local path with the sender's user name in it.
    const Result<std::shared_ptr<Attachment>> added = attachments_->add(
        *attachmentPath, attachment_type::kByValue, 1, std::u16string(kAttachmentName));
    if (!added) return added.error();
    return hr::kOk;
  }

  Hresult finish() {
    if (const Hresult status = mail_->save(); failed(status)) return status;
    if (const Hresult status = safeMail_->putItem(mail_); failed(status)) return status;
    (void)setSyncIconIndex(*safeMail_);
    // Without the header a later change queues a second mail instead of
    // rewriting this one; the mail itself is sound.
    (void)setSyncHeaderId(platform_.safeLibrary, safeMail_, syncId_);
    if (const Hresult status = setSyncSubject(*mail_); failed(status)) return status;
    (void)writeSyncBody(*safeMail_, platform_.codePage, engine_.module().uiLanguage(),
                        SyncKind::kChange, shareName_, ansiSyncId_,
                        version_ ? versionLine(*version_) + fieldLine() : std::string());
    finishSyncMail(*mail_, *safeMail_);
    if (!reused_) moveToOutbox();
    return hr::kOk;
  }

  std::string fieldLine() const {
    return fieldVersions_ ? fieldVersionLine(*fieldVersions_, *version_, removed_) : std::string();
  }

  // The waiting mail was stopped when the search opened it, and left so it
  // would never leave. It goes out as it is stored: the edits made to it here
  // were never saved, or were saved complete.
  void sendWaitingMailAgain() {
    const Result<std::u16string> entryId = mail_->entryId();
    if (!entryId) return;
    const Result<std::shared_ptr<Dispatch>> stored =
        engine_.hostNamespace()->getItemFromId(*entryId, Variant::missing());
    if (!stored || !*stored) return;
    if (failed(safeMail_->putItem(*stored))) return;
    (void)safeMail_->send();
  }

  void moveToOutbox() {
    const Result<std::shared_ptr<Folder>> outbox =
        engine_.hostNamespace()->getDefaultFolder(default_folder::kOutbox);
    if (!outbox) return;
    const Result<std::shared_ptr<Dispatch>> moved = mail_->move(*outbox);
    if (!moved || !*moved) return;
    (void)safeMail_->putItem(*moved);
  }

  SyncEngine& engine_;
  Diagnostics& log_;
  const Platform& platform_;
  TaskItem& task_;
  std::string shareName_;
  SendReason reason_;
  std::optional<ChangeVersion> stamp_;
  bool newId_ = false;
  std::vector<FieldId> removed_;
  std::optional<ChangeVersion> version_;
  std::optional<FieldVersions> fieldVersions_;
  std::shared_ptr<SafeMailItem> safeMail_;
  std::shared_ptr<SafeTaskItem> safeTask_;
  std::shared_ptr<UserProperties> properties_;
  std::u16string entryId_;
  std::u16string syncId_;
  std::string ansiSyncId_;
  bool mustSave_ = false;
  std::shared_ptr<Application> application_;
  std::shared_ptr<MailItem> mail_;
  bool reused_ = false;
  std::shared_ptr<Attachments> attachments_;
};

}  // namespace

Hresult SyncEngine::sendMessage(TaskItem& task, Folder& folder, SendReason reason,
                                std::optional<ChangeVersion> stamp) {
  if (diagnostics_.debugOn()) diagnostics_.logDebug(kStart);
  std::string shareName;
  shareNameOfFolder(folder, shareName);
  const MailSendEnd end = ChangeMailSender(*this, task, std::move(shareName), reason, std::move(stamp)).run();
  if (end.libraryMissing) return end.status;
  // This send carried whatever save the burst window swallowed before it.
  if (end.status == hr::kOk) {
    if (const Result<std::u16string> entryId = task.entryId()) pending_.waiting.erase(*entryId);
  }
  if (diagnostics_.debugOn()) diagnostics_.logDebug(end.status != hr::kOk ? kSendFailed : kSendOk);
  return end.status;
}

}  // namespace qx

// A task that landed in Deleted Items as a removal mail to the recipients of
// the folder it was last sent from. The task itself says which folder and
// which id. The removal is recorded with its version, so that a late change
// made before it is not applied.
#include "outgoing/removal_mail.h"

#include "core/addin_module.h"
#include "core/sync_engine.h"
#include "core/task_fingerprint.h"
#include "core/task_record.h"
#include "outgoing/outbox_search.h"
#include "core/own_write.h"
#include "outgoing/task_sync_properties.h"
#include "platform/mail_client.h"
#include "platform/safe_library.h"
#include "protocol/change_version.h"
#include "protocol/field_record.h"
#include "protocol/sync_envelope.h"
#include "protocol/sync_identity.h"

namespace qx {
namespace {

constexpr std::string_view kStart = "send DeleteMessage";
constexpr std::string_view kFailed = "DeleteMessage failed";
constexpr std::string_view kOk = "DeleteMessage OK";
constexpr std::string_view kWithdraw = "item no longer travels: send DeleteMessage";
constexpr std::string_view kOriginalStands =
    "DeleteMessage:the task still stands in the shared folder";
constexpr std::string_view kApplicationFailed = "\nget_Application";
constexpr std::string_view kCreateFailed = "\napp->CreateItem(olMailItem, &dispItem)";
constexpr std::string_view kQueryFailed =
    "\nQueryInterface(Outlook::IID__MailItem,reinterpret_cast<void**>(&mailItem))";
constexpr std::string_view kFirstPutFailed = "\nput_Item(mailItem)";
constexpr std::string_view kNoUsers = "\nfillUserList::no Users";
constexpr std::string_view kToFailed = "\nput_To()";
constexpr std::string_view kSaveFailed = "\nmailItem->Save()";
constexpr std::string_view kSecondPutFailed = "\nput_Item((IDispatch*)mailItem";

class RemovalMailSender {
 public:
  // `deleted`: the task lies in Deleted Items, and may be a copy of one that
  // still stands in the shared folder.
  RemovalMailSender(SyncEngine& engine, TaskItem& task, bool deleted)
      : engine_(engine),
        log_(engine.diagnostics()),
        platform_(engine.module().platform()),
        task_(task),
        deleted_(deleted) {}

  MailSendEnd run() {
    const Result<std::shared_ptr<SafeMailItem>> safeMail =
        createSafeMailItem(platform_.safeLibrary);
    if (!safeMail) {
      log_.reportLibraryMissing();
      return {safeMail.error(), true};
    }
    safeMail_ = *safeMail;
    if (const Hresult status = createMail(); failed(status)) return {status};
    setSyncMailFlags(*mail_);

    const Result<std::shared_ptr<UserProperties>> properties = task_.userProperties();
    if (const Hresult status = statusOf(properties); failed(status)) return {status};
    const Result<RemovalNames> names = readRemovalNames(**properties);
    if (!names) return {names.error()};
    // Never sent, or its folder is no longer shared under that name: the
    // unsaved mail goes unseen.
    if (!names->hasShareName) return {hr::kOk};
    const Result<std::string> shareName = platform_.codePage.toAnsi(names->shareName);
    if (!shareName) return {shareName.error()};
    const std::shared_ptr<Folder> folder = engine_.sharedFolderByName(*shareName);
    if (!folder) return {hr::kOk};
    // A copy kept in a folder of one's own carries the original's id and share
    // name; deleting the copy must not delete the original everywhere.
    if (deleted_ && !names->syncId.empty() &&
        findTaskBySyncId(*engine_.hostNamespace(), folder, names->syncId)) {
      if (log_.debugOn()) log_.logDebug(kOriginalStands);
      return {hr::kOk};
    }
    const Result<std::u16string> folderId = folder->entryId();
    if (!folderId) return {folderId.error()};
    if (!engine_.fillUserList(*folderId)) {
      log_.reportError(kNoUsers);
      return {hr::kOk};
    }

    if (const Hresult status =
            setSyncMailRecipients(*mail_, engine_.recipientLine(), engine_.senderName());
        failed(status)) {
      return stop(kToFailed, status);
    }
    if (const Hresult status = mail_->save(); failed(status)) return stop(kSaveFailed, status);
    if (const Hresult status = safeMail_->putItem(mail_); failed(status)) {
      return stop(kSecondPutFailed, status);
    }
    // The removal needs nothing of the utilities, but a library that cannot
    // make them is not installed right.
    if (!createMapiUtilities(platform_.safeLibrary)) {
      log_.reportLibraryMissing();
      return {hr::kOk, true};
    }
    (void)setSyncIconIndex(*safeMail_);
    if (const Hresult status = setSyncSubject(*mail_); failed(status)) return {status};
    const Result<std::string> syncId = platform_.codePage.toAnsi(names->syncId);
    const std::string ansiId = syncId ? *syncId : std::string();
    // The removal's own version, later than all the user saw of the task: a
    // change made before it, arriving later, does not bring the task back,
    // here or at the peers.
    const std::int64_t now = engine_.nowMs();
    version_ = engine_.newVersion(readTaskRecord(**properties), *shareName, ansiId, now);
    syncId_ = ansiId;
    (void)writeSyncBody(*safeMail_, platform_.codePage, engine_.module().uiLanguage(),
                        SyncKind::kRemoval, *shareName, ansiId,
                        version_ ? versionLine(*version_) : std::string());
    if (version_) engine_.tombstones().record(*shareName, ansiId, *version_, now);
    finishSyncMail(*mail_, *safeMail_);
    moveToOutbox();
    return {safeMail_->send()};
  }

 private:
  Hresult createMail() {
    const std::shared_ptr<Namespace>& session = engine_.hostNamespace();
    const Result<std::shared_ptr<Application>> application =
        session ? session->application() : Result<std::shared_ptr<Application>>(nullptr);
    if (const Hresult status = statusOf(application); failed(status)) {
      return stop(kApplicationFailed, status).status;
    }
    const Result<std::shared_ptr<Dispatch>> created = (*application)->createItem(item_kind::kMail);
    if (const Hresult status = statusOf(created); failed(status)) {
      return stop(kCreateFailed, status).status;
    }
    Result<std::shared_ptr<MailItem>> mail = (*created)->queryMail();
    if (const Hresult status = statusOf(mail); failed(status)) {
      return stop(kQueryFailed, status).status;
    }
    mail_ = std::move(*mail);
    if (const Hresult status = safeMail_->putItem(mail_); failed(status)) {
      return stop(kFirstPutFailed, status).status;
    }
    return hr::kOk;
  }

  MailSendEnd stop(std::string_view text, Hresult status) {
    log_.reportError(text);
    return {status};
  }

 public:
  // The removal's version and the id it named, once a removal was written.
  const std::optional<ChangeVersion>& version() const { return version_; }
  const std::string& syncId() const { return syncId_; }

 private:
  void moveToOutbox() {
    const Result<std::shared_ptr<Folder>> outbox =
        engine_.hostNamespace()->getDefaultFolder(default_folder::kOutbox);
    if (!outbox) return;
    const Result<std::shared_ptr<Dispatch>> moved = mail_->move(*outbox);
    if (!moved || !*moved) return;
    mail_.reset();
    (void)safeMail_->putItem(*moved);
  }

  SyncEngine& engine_;
  Diagnostics& log_;
  const Platform& platform_;
  TaskItem& task_;
  std::shared_ptr<SafeMailItem> safeMail_;
  std::shared_ptr<MailItem> mail_;
  bool deleted_;
  std::optional<ChangeVersion> version_;
  std::string syncId_;
};

// The withdrawal is the task's change to private (or a holiday) at the
// removal's version: recorded so, an older removal still on its way deletes
// nothing here, and making the task public again is a change newer than its
// withdrawal, which brings it back to the others.
Hresult recordWithdrawal(TaskItem& task, UserProperties& properties, const std::string& syncId,
                         const ChangeVersion& version) {
  const std::optional<TaskFieldValues> values = readSyncedFields(task);
  if (!values) return hr::kFail;
  const FieldRecord stamped =
      recordLocalChange(readFieldRecord(task, syncId), syncId, *values, version);
  if (const Hresult status =
          writeTaskRecord(properties, TaskRecord{stamped.versions.newest(), taskFingerprint(task)});
      failed(status))
    return status;
  return writeFieldRecord(task, stamped);
}

}  // namespace

MailSendEnd withdrawTask(SyncEngine& engine, TaskItem& task) {
  Diagnostics& log = engine.diagnostics();
  Result<std::shared_ptr<UserProperties>> properties = task.userProperties();
  if (const Hresult status = statusOf(properties); failed(status)) return {status};
  const Result<RemovalNames> names = readRemovalNames(**properties);
  if (!names) return {names.error()};
  if (!names->hasShareName || names->syncId.empty()) return {hr::kOk};
  if (log.debugOn()) log.logDebug(kWithdraw);
  const OutboxSearch waiting = findMailInOutBox(engine, names->syncId);
  if (waiting.libraryMissing) return {hr::kClassNotRegistered, true};
  if (waiting.mail) (void)waiting.mail->deleteItem();
  RemovalMailSender sender(engine, task, false);
  if (const MailSendEnd end = sender.run(); end.libraryMissing || failed(end.status)) {
    return end;
  }
  properties = task.userProperties();
  if (const Hresult status = statusOf(properties); failed(status)) return {status};
  if (const Hresult status = removeLastShareName(**properties); failed(status)) return {status};
  if (sender.version()) {
    if (const Hresult status =
            recordWithdrawal(task, **properties, sender.syncId(), *sender.version());
        failed(status))
      return {status};
  }
  const Result<std::u16string> entryId = task.entryId();
  if (!entryId) return {entryId.error()};
  return {saveAsOwnWrite(engine, task, *entryId)};
}

bool SyncEngine::withdrawTask(TaskItem& task) {
  return !qx::withdrawTask(*this, task).libraryMissing;
}

Hresult SyncEngine::DeleteMessage(TaskItem& task) {
  if (diagnostics_.debugOn()) diagnostics_.logDebug(kStart);
  const MailSendEnd end = RemovalMailSender(*this, task, true).run();
  if (end.libraryMissing) return end.status;
  if (diagnostics_.debugOn()) diagnostics_.logDebug(end.status != hr::kOk ? kFailed : kOk);
  return end.status;
}

}  // namespace qx

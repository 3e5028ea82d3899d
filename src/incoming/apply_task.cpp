// A received task added to or copied onto the local folder.
#include <optional>

#include "common/diagnostics.h"
#include "core/addin_module.h"
#include "core/own_write.h"
#include "core/sync_engine.h"
#include "core/task_fingerprint.h"
#include "core/task_record.h"
#include "incoming/apply_received.h"
#include "incoming/merge_received.h"
#include "incoming/version_gate.h"
#include "platform/safe_library.h"
#include "platform/safe_message.h"
#include "platform/safe_utilities.h"
#include "protocol/stays_home.h"
#include "protocol/sync_identity.h"

namespace qx {
namespace {

constexpr std::string_view kNotNewer = "versions: change not newer than the local copy, dropped";

// The change events of this write are the add-in's own, not the user's: noted
// before the save, since a host may raise them inside it. A save of the
// user's still waiting behind the burst window was older than what is
// applied over it.
// A new task is still outside the shared folder: its copy there is
// registered once moved.
// A merge that kept a change of the user's not yet sent leaves that save
// waiting: it still goes out.
Hresult saveApplied(SyncEngine& engine, TaskItem& task, bool add, bool keepWaiting = false) {
  const Result<std::u16string> entryId = task.entryId();
  if (!entryId) return task.save();
  if (!keepWaiting) engine.pendingChanges().waiting.erase(*entryId);
  if (!add) return saveAsOwnWrite(engine, task, *entryId);
  engine.noteOwnWrite(*entryId, taskFingerprint(task));
  return task.save();
}

// The moved task is the one in the shared folder; its events are the
// add-in's own as well.
void registerMoved(SyncEngine& engine, TaskItem& task) {
  const Result<std::u16string> entryId = task.entryId();
  if (!entryId) return;
  engine.noteOwnWrite(*entryId, taskFingerprint(task));
  (void)engine.dontTouchList().add(*entryId);
}

// A new task that could not be filled: out of Deleted Items as well, so that
// the user finds no empty task there, nor in the default task folder. It
// carries the received sync id and share name, and in Deleted Items it would
// announce a removal to every peer: it loses them first, or it is only ever
// deleted for good.
void removeForGood(Namespace& session, TaskItem& task) {
  const bool stripped = removeUserProperties(task) && succeeded(task.save());
  const Result<std::shared_ptr<Folder>> deletedItems =
      session.getDefaultFolder(default_folder::kDeletedItems);
  if (deletedItems) {
    const Result<std::shared_ptr<Dispatch>> binned = task.move(*deletedItems);
    if (binned && *binned) {
      if (const Result<std::shared_ptr<TaskItem>> inBin = (*binned)->queryTask(); inBin) {
        (void)(*inBin)->deleteItem();
        return;
      }
    }
  }
  if (stripped) (void)task.deleteItem();
}

// What keeps a local task from travelling. A peer's change of a task that its
// owner has since made private or a holiday (the removal still on its way)
// must not make it travel again.
struct OwnersChoice {
  bool isPrivate = false;
  std::optional<std::u16string> holidayCategories;
  bool staysHome() const { return isPrivate || holidayCategories.has_value(); }
};

bool isHoliday(const Result<std::u16string>& categories) {
  return categories && categories->find(stays_home::kHolidayCategory) != std::u16string::npos;
}

OwnersChoice ownersChoice(TaskItem& task) {
  OwnersChoice choice;
  const Result<std::int32_t> sensitivity = task.sensitivity();
  choice.isPrivate = sensitivity && *sensitivity == sensitivity::kPrivate;
  if (Result<std::u16string> categories = task.categories(); isHoliday(categories))
    choice.holidayCategories = std::move(*categories);
  return choice;
}

void keepOwnersChoice(TaskItem& task, const OwnersChoice& choice) {
  if (choice.isPrivate) (void)task.setSensitivity(sensitivity::kPrivate);
  if (choice.holidayCategories && !isHoliday(task.categories()))
    (void)task.setCategories(*choice.holidayCategories);
}

void logMerge(SyncEngine& engine, TaskItem& task, const SyncMailReading& mail,
              const MergedCopy& merged) {
  Diagnostics& diagnostics = engine.diagnostics();
  if (!diagnostics.debugOn() || merged.kept.empty()) return;
  const Result<std::u16string> subject = task.subject();
  const std::u16string sender = mail.sender.empty() ? u"an unknown sender" : mail.sender;
  const Result<std::string> text = engine.module().platform().codePage.toAnsi(
      mergeSummary(subject ? *subject : std::u16string(), sender, merged));
  if (text) diagnostics.logDebug(*text);
}

// Asked of the message read from the attachment, by the property's name.
CarriesProperty receivedCarries(SafeLibrary& library, const std::shared_ptr<Dispatch>& received) {
  return [&library, received](std::u16string_view name) -> Result<bool> {
    const Result<std::shared_ptr<MapiUtilities>> utilities = createMapiUtilities(library);
    if (!utilities) return failure(utilities.error());
    // A name the message's store never mapped is on no item of it.
    const Result<std::int32_t> tag =
        (*utilities)->getIdsFromNames(received, prop_set::kPublicStrings, name, false);
    if (!tag) return tag.error() == hr::kMapiNotFound ? Result<bool>(false) : failure(tag.error());
    const Result<std::shared_ptr<SafeMessage>> message = received->querySafeMessage();
    if (!message) return failure(message.error());
    const Result<Variant> value = (*message)->field(*tag);
    if (!value)
      return value.error() == hr::kMapiNotFound ? Result<bool>(false) : failure(value.error());
    return true;
  };
}

// The local side of the merge: a task not held here has no fields and no
// record; one held here its record, and the version of the changes the user
// made beyond it and has not sent.
struct LocalSide {
  LocalFields fields;
  std::optional<ChangeVersion> unsent;
  std::optional<ChangeVersion> taskVersion;
};

std::optional<LocalSide> readLocalSide(SyncEngine& engine, TaskItem& task,
                                       const ReceivedAbout& about) {
  LocalSide side;
  side.taskVersion = readTaskRecord(task).version;
  std::optional<LocalFields> fields = readLocalFields(task, about.syncId, side.taskVersion);
  if (!fields) return std::nullopt;
  side.fields = std::move(*fields);
  if (!side.fields.unsentFields.empty()) {
    const Result<std::u16string> entryId = task.entryId();
    if (!entryId) return std::nullopt;
    side.unsent = engine.unsentVersion(task, *entryId, about.shareName, about.syncId);
  }
  return side;
}

}  // namespace

InboxStep applyTask(SyncEngine& engine, const std::shared_ptr<Dispatch>& received,
                    const std::shared_ptr<Folder>& target, Application& application,
                    const SyncMailReading& mail) {
  Diagnostics& diagnostics = engine.diagnostics();
  Namespace& session = *engine.hostNamespace();
  SafeLibrary& library = engine.module().platform().safeLibrary;
  Result<std::shared_ptr<Dispatch>> counterpart =
      findCounterpart(session, library, diagnostics, received, target);
  if (!counterpart) return InboxStep::kEndScan;

  std::shared_ptr<Dispatch> local = std::move(*counterpart);
  const bool add = !local;
  // The version comes from the body (or the mail) alone: one inside the
  // message file is whatever the sender's copy held.
  const ReceivedAbout about{mail.shareName, mail.syncIdText, versionOf(engine, mail), mail.sender};
  const Verdict verdict = judgeChange(engine, about, !add);
  if (verdict != Verdict::kMerge) return InboxStep::kDeleteMail;
  if (add) {
    // A host that cannot make a task now may well make one at the next scan.
    Result<std::shared_ptr<Dispatch>> created = application.createItem(item_kind::kTask);
    if (!created) return InboxStep::kKeepMail;
    local = std::move(*created);
    debugEntry(diagnostics, "add one item");
  }
  const Result<std::shared_ptr<TaskItem>> task = local->queryTask();
  if (!task) return add ? InboxStep::kKeepMail : InboxStep::kDeleteMail;

  OwnersChoice choice;
  LocalSide before;
  if (add) {
    (void)(*task)->save();
  } else {
    debugEntry(diagnostics, "change one item");
    choice = ownersChoice(**task);
    std::optional<LocalSide> side = readLocalSide(engine, **task, about);
    if (!side) return InboxStep::kKeepMail;
    before = std::move(*side);
  }
  const Result<Hresult> copied = copyTaskOnto(engine, received, *task);
  if (!copied) return InboxStep::kEndScan;
  if (failed(*copied)) {
    // Saved now, the local task would lose its content (or, when new, reach
    // the shared folder empty) and the change would never come again.
    if (add) removeForGood(session, **task);
    return InboxStep::kKeepMail;
  }
  // The working copy holds the mail's categories: a holiday no add-in sends.
  // Applied, it would be withdrawn from everyone at the receiver's next edit.
  if (ownersChoice(**task).holidayCategories) {
    if (add) removeForGood(session, **task);
    return InboxStep::kRefuseHoliday;
  }
  // The working copy holds the mail's task; what stays here goes back.
  const std::optional<MailFields> mailFields = readMailFields(
      **task, before.fields, receivedCarries(library, received), about.version, mail.fields);
  const std::optional<MergedCopy> merged =
      mailFields ? mergeIntoCopy(**task, before.fields, *mailFields, before.unsent, about.syncId)
                 : std::nullopt;
  if (!merged) {
    if (add) removeForGood(session, **task);
    return InboxStep::kKeepMail;
  }
  if (!merged->news) {
    debugEntry(diagnostics, kNotNewer);
    return InboxStep::kDeleteMail;
  }
  logMerge(engine, **task, mail, *merged);
  debugEntry(diagnostics, "change one item successfully");
  keepOwnersChoice(**task, choice);
  const Result<std::shared_ptr<UserProperties>> properties = (*task)->userProperties();
  // The task's version is the newest of its fields and of what it held.
  TaskRecord record{merged->taskVersion, std::nullopt};
  if (before.taskVersion && (!record.version || *record.version < *before.taskVersion))
    record.version = before.taskVersion;
  // A change of the user's kept and not sent yet: its content is no state
  // that was sent, so the save still waiting goes out.
  if (!merged->unsentKept) record.state = taskFingerprint(**task);
  if (!properties || failed(writeTaskRecord(**properties, record)) ||
      failed(writeFieldRecord(**task, merged->record)) ||
      failed(saveApplied(engine, **task, add, merged->unsentKept))) {
    // Unsaved, the change is lost: as with a failed copy. A version that
    // came with the copy but could not be replaced would misjudge the next
    // mails, so nothing is saved then either.
    if (add) removeForGood(session, **task);
    return InboxStep::kKeepMail;
  }

  if (!add) {
    // The peer made its change after the owner's withdrawal had left: it is
    // withdrawn once more, now after the peer's change, so that the peer's
    // copy goes and the owner's choice holds everywhere.
    if (choice.staysHome() && !engine.withdrawTask(**task)) return InboxStep::kEndScan;
    return InboxStep::kDeleteMail;
  }
  // The new task was saved into the default task folder; the shared folder's
  // copy is the one whose events must be swallowed.
  const Result<std::shared_ptr<Dispatch>> moved = (*task)->move(target);
  if (!moved) {
    // Left where it was made, the task would sit outside the shared folder,
    // where the next mail about it would not find it and add it once more.
    removeForGood(session, **task);
    return InboxStep::kKeepMail;
  }
  if (*moved) {
    if (const Result<std::shared_ptr<TaskItem>> inTarget = (*moved)->queryTask(); inTarget) {
      registerMoved(engine, **inTarget);
    }
    debugEntry(diagnostics, "moved on item to the right folder (hopefully:-))");
  } else {
    registerMoved(engine, **task);
    debugEntry(diagnostics, "item is allready in the right folder");
  }
  return InboxStep::kDeleteMail;
}

Result<Hresult> copyTaskOnto(SyncEngine& engine, const std::shared_ptr<Dispatch>& received,
                             const std::shared_ptr<Dispatch>& local) {
  const Result<std::shared_ptr<SafeTaskItem>> safeTask =
      createSafeTaskItem(engine.module().platform().safeLibrary);
  if (!safeTask) {
    engine.diagnostics().reportLibraryMissing();
    return failure(safeTask ? hr::kPointer : safeTask.error());
  }
  Hresult status = (*safeTask)->putItem(received);
  if (succeeded(status)) status = (*safeTask)->copyTo(local);
  if (failed(status)) engine.diagnostics().reportError("\nCopyTo");
  return status;
}

}  // namespace qx

// The second stage of the basic synchronization: on every catch-up tick the
// front task of the first folder queue that still holds one is sent, and the
// indicator button shows how many are left in that queue.
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "basicsync/queue_file.h"
#include "common/messages.h"
#include "core/addin_module.h"
#include "core/sync_engine.h"
#include "platform/mail_client.h"
#include "platform/host_failure.h"
#include "platform/mail_status.h"

namespace qx {

namespace {

constexpr std::int32_t kPrivate = 2;

std::u16string widen(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// One folder's part of a step. Returns false when something failed that the
// step reports; `done` and `handled` are updated as far as the step got.
class QueueStep {
 public:
  QueueStep(SyncEngine& engine, FolderWatch& watch, bool last)
      : engine_(engine),
        watch_(watch),
        last_(last),
        platform_(engine.module().platform()),
        log_(engine.diagnostics()) {}

  bool run(bool& done, bool& handled);

 private:
  // The queue's front task; none when the entry no longer names a task,
  // failure when it cannot be opened for now.
  Result<std::shared_ptr<TaskItem>> openFront(const std::string& entry,
                                             const std::u16string& storeId);
  // Removes a queue that has nothing left.
  bool drain(QueueFile& queue, bool& done);

  void debug(std::string_view text) {
    if (log_.debugOn()) log_.logDebug(text);
  }

  SyncEngine& engine_;
  FolderWatch& watch_;
  bool last_;
  const Platform& platform_;
  DiagnosticsLog& log_;
};

bool QueueStep::run(bool& done, bool& handled) {
  std::shared_ptr<Folder> folder = watch_.folder();
  if (!folder) return false;
  auto entryId = folder->entryId();
  auto storeId = folder->storeId();
  if (!entryId || !storeId) return false;
  // A folder that only receives has nothing to send; as the last folder it
  // must not keep the catch-up phase going for ever.
  if (!engine_.fillUserList(*entryId)) {
    if (last_) done = true;
    return true;
  }
  auto ansiEntryId = platform_.codePage.toAnsi(*entryId);
  if (!ansiEntryId) return false;
  QueueFile queue(platform_.files,
                  engine_.dataDirectory() + *ansiEntryId + std::string(file_name::kQueueSuffix));
  auto text = queue.read();
  if (!text) {
    // A queue that cannot be read cannot be worked off either: as the last
    // folder it ends the catch-up phase like a missing one.
    if (last_) done = true;
    return text.error() == win::kFileNotFound || text.error() == win::kPathNotFound;
  }

  debug("Basicsync");
  std::vector<std::string> entries;
  for (std::string_view piece : queue_text::pieces(*text)) {
    debug(piece);
    entries.push_back(queue_text::entryOf(piece));
  }
  debug("Basicsync ready or error");

  if (entries.empty()) {
    debug("reached the end of synclist");
    if (last_) {
      debug("last folder of synclist");
      done = true;
    }
    return drain(queue, done);
  }

  auto front = openFront(entries.front(), *storeId);
  // The store may be back at a later tick; the entry waits for it.
  if (!front) return true;

  // The queue is saved without its front entry before that task goes: a
  // queue that cannot be saved must not send the same task again and again.
  const std::span<const std::string> rest = std::span<const std::string>(entries).subspan(1);
  if (rest.empty()) {
    if (!drain(queue, done)) return false;
  } else {
    if (queue.replace(rest) != win::kSuccess) return false;
    debug("regen syncfile");
  }

  // An entry whose task is gone or is no task is dropped all the same.
  if (*front) {
    const bool sent = engine_.sendQueuedTask(**front, watch_);
    handled = true;
    debug(sent ? "Item processed" : "Item not processed");
  }

  const std::string count = std::to_string(rest.size());
  const LangId language = engine_.module().uiLanguage();
  std::u16string caption(loadMessage(language, msg::kBasicSyncTitle));
  caption += u' ';
  caption += loadMessage(language, msg::kProductName);
  caption += u": ";
  caption += widen(count);
  caption += u' ';
  caption += loadMessage(language, msg::kItemsLeft);
  engine_.setIndicatorText(caption, {});
  debug(count);
  return true;
}

Result<std::shared_ptr<TaskItem>> QueueStep::openFront(const std::string& entry,
                                                       const std::u16string& storeId) {
  const std::shared_ptr<Namespace>& session = engine_.hostNamespace();
  if (!session) return failure(hr::kFail);
  auto wideId = platform_.codePage.toWide(entry);
  // An entry that names no item can never be opened.
  if (!wideId) return std::shared_ptr<TaskItem>();
  auto item = session->getItemFromId(*wideId, storeIdArgument(storeId));
  if (!item) {
    if (objectIsGone(item.error())) return std::shared_ptr<TaskItem>();
    return failure(item.error());
  }
  auto task = (*item)->queryTask();
  return task ? std::move(*task) : std::shared_ptr<TaskItem>();
}

bool QueueStep::drain(QueueFile& queue, bool& done) {
  // A drained queue that cannot be deleted is emptied instead, so that it is
  // not worked off again from its start; either way the folder is done.
  const bool removed = queue.remove() == win::kSuccess || queue.replace({}) == win::kSuccess;
  if (last_) done = true;
  return removed;
}

}  // namespace

bool SyncEngine::nextBackgroundItems() {
  bool done = watches_.empty();
  bool handled = false;
  // A send may open a message box whose modal loop lets a saved property page
  // rebuild the watches: walk by position.
  for (std::size_t i = 0; i < watches_.size() && !handled; ++i) {
    try {
      QueueStep step(*this, *watches_[i], i + 1 == watches_.size());
      if (!step.run(done, handled)) diagnostics_.reportError("Fehler bei nextBackgroundItems");
    } catch (const std::exception&) {
      diagnostics_.reportError("Fehler bei nextBackgroundItems");
    }
  }
  return done;
}

bool SyncEngine::sendQueuedTask(TaskItem& task, FolderWatch& watch) {
  const Platform& platform = module_.platform();
  bool send = true;
  // Holidays are never shared; the categories are compared as the user's
  // code page writes them.
  auto categories = task.categories();
  auto ansiCategories = categories ? platform.codePage.toAnsi(*categories)
                                   : Result<std::string>(failure(categories.error()));
  if (!ansiCategories || ansiCategories->find("Feiertag") != std::string::npos) send = false;
  auto sensitivity = task.sensitivity();
  if (!sensitivity || *sensitivity == kPrivate) return false;
  if (!send) return false;

  std::shared_ptr<Folder> folder = watch.folder();
  auto subject = task.subject();
  if (!folder || !subject) return false;
  setIndicatorText({}, *subject);
  if (diagnostics_.debugOn()) {
    auto ansiSubject = platform.codePage.toAnsi(*subject);
    diagnostics_.logDebug(ansiSubject ? "processing:" + *ansiSubject
                                      : std::string("Debugger error"));
  }
  return succeeded(sendMessage(task, *folder, SendReason::kResend));
}

}  // namespace qx

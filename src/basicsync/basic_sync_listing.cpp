// The first stage of the basic synchronization: every task of a shared folder
// written into the folder's queue file, after the user agreed to it (at
// connection) or without a question (the property page's button).
#include <exception>
#include <memory>
#include <string>

#include "basicsync/progress_dialog.h"
#include "basicsync/queue_file.h"
#include "common/messages.h"
#include "core/addin_module.h"
#include "core/sync_engine.h"
#include "platform/mail_client.h"

namespace qx {

namespace {

constexpr std::uint32_t kCatchUpStartMs = 1000;

std::u16string percentText(const std::u16string& folderName, std::int64_t position,
                           std::int64_t count) {
  const std::int64_t percent = count > 0 ? position * 100 / count : 0;
  std::u16string text = folderName;
  text += u' ';
  for (char c : std::to_string(percent)) text += static_cast<char16_t>(c);
  text += u'%';
  return text;
}

}  // namespace

void SyncEngine::processFolders(bool force) {
  // The question's modal loop delivers ticks and events, and a saved property
  // page may rebuild the watches meanwhile: walk by position.
  for (std::size_t i = 0; i < watches_.size(); ++i) {
    try {
      FolderWatch& watch = *watches_[i];
      if (!processFolder(watch, force)) {
        diagnostics_.reportError("Fehler bei processFolders");
      } else if (diagnostics_.debugOn() && i < watches_.size()) {
        logProcessedFolder(*watches_[i]);
      }
    } catch (const std::exception&) {
      diagnostics_.reportError("Fehler bei processFolders");
    }
    // Disconnected while the question was open: nothing more to offer.
    if (module_.engine() != this) return;
  }
  basicSyncDone_ = false;
  restartTimer(kCatchUpStartMs);
}

void SyncEngine::logProcessedFolder(FolderWatch& watch) {
  std::optional<std::string> name;
  if (watch.folder()) {
    if (auto wide = watch.folder()->name()) {
      if (auto ansi = module_.platform().codePage.toAnsi(*wide)) name = std::move(*ansi);
    }
  }
  diagnostics_.logDebug(name ? "process folder:" + *name : std::string("Debugger error"));
}

bool SyncEngine::processFolder(FolderWatch& watch, bool force) {
  if (watch.processed() && !force) return true;
  // The folder is taken before the question, whose modal loop may see the
  // watch itself go.
  std::shared_ptr<Folder> folder = watch.folder();
  if (!folder) {
    diagnostics_.reportError("fldr=NULL");
    diagnostics_.reportError("get_Items()=NULL");
    return true;
  }
  auto name = folder->name();
  auto entryId = folder->entryId();
  if (!name || !entryId) return false;
  const Platform& platform = module_.platform();
  auto ansiEntryId = platform.codePage.toAnsi(*entryId);
  if (!ansiEntryId) return false;
  const LangId language = module_.uiLanguage();

  if (!force) {
    std::u16string caption(loadMessage(language, msg::kBasicSyncCaptionPrefix));
    caption += *name;
    int answer = 0;
    {
      UserQuestion waiting(module_);
      answer = platform.windows.messageBox(
          kNoWindow, loadMessage(language, msg::kBasicSyncQuestion), caption, win::kMbYesNo);
    }
    if (answer == win::kIdNo) {
      setProcessed(*entryId);
      if (diagnostics_.debugOn()) diagnostics_.logDebug("user don't wont a basicsync");
      return true;
    }
    if (module_.engine() != this) return true;
  }

  // The items are read only now: mail scanned while the question was open
  // may have moved or removed tasks of the folder.
  auto itemsResult = folder->items();
  if (!itemsResult) {
    diagnostics_.reportError("get_Items()=NULL");
    return true;
  }
  std::shared_ptr<Items> items = std::move(*itemsResult);
  auto count = items->count();
  if (!count) return false;

  QueueFile queue(platform.files,
                  dataDirectory_ + *ansiEntryId + std::string(file_name::kQueueSuffix));
  // A folder whose queue cannot be made is offered again at the next start
  // rather than marked as listed with nothing queued.
  if (queue.create({}) != win::kSuccess) {
    diagnostics_.reportError("processXXXItem");
    return true;
  }
  if (!fillUserList(*entryId)) return true;

  // The listing runs to its end with or without the window; only a whole
  // listing marks the folder as processed.
  CProgress progress(platform.windows);
  progress.create(platform.windows.desktopWindow());
  progress.show();
  progress.setRange(*count);
  progress.setText(*name);
  std::string lines;
  for (std::int32_t i = 1; i <= *count; ++i) {
    progress.setPos(i);
    if (progress.exists() && !progress.repaint()) progress.destroy();
    auto item = items->item(i);
    if (!item) {
      diagnostics_.reportError("NO Item");
      continue;
    }
    auto task = (*item)->queryTask();
    if (!task) continue;
    auto taskId = (*task)->entryId();
    auto ansiTaskId =
        taskId ? platform.codePage.toAnsi(*taskId) : Result<std::string>(failure(taskId.error()));
    if (ansiTaskId) {
      if (diagnostics_.debugOn()) diagnostics_.logDebug("add id to list: " + *ansiTaskId);
      queue_text::appendLine(lines, *ansiTaskId);
    } else {
      diagnostics_.reportError("processXXXItem");
    }
    progress.setText(percentText(*name, i, *count));
  }
  progress.destroy();

  if (queue.create(lines) != win::kSuccess) {
    diagnostics_.reportError("processXXXItem");
    return true;
  }
  setProcessed(*entryId);
  return true;
}

}  // namespace qx

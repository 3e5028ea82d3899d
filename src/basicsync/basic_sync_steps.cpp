// The basic synchronization's two stages as far as the timer drives them: the
// listing of every folder at connection (or from the property page) and one
// step per catch-up tick.
#include <exception>
#include <optional>
#include <string>

#include "core/addin_module.h"
#include "core/sync_engine.h"
#include "platform/mail_client.h"

namespace qx {

namespace {
constexpr std::uint32_t kCatchUpStartMs = 1000;
}

void SyncEngine::processFolder(FolderWatch& watch, bool force) {
  // Offering and listing a folder's tasks comes with the basic-sync queue.
  (void)watch;
  (void)force;
}

void SyncEngine::processFolders(bool force) {
  for (const auto& watch : watches_) {
    try {
      processFolder(*watch, force);
      if (diagnostics_.debugOn()) logProcessedFolder(*watch);
    } catch (const std::exception&) {
      diagnostics_.reportError("Fehler bei processFolders");
    }
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

bool SyncEngine::nextBackgroundItems() {
  // Done when no folder has a queue file left; sending the queued tasks comes
  // with the basic-sync queue.
  Files& files = module_.platform().files;
  CodePage& codePage = module_.platform().codePage;
  bool done = true;
  for (const auto& watch : watches_) {
    try {
      if (!watch->folder()) continue;
      auto entryId = watch->folder()->entryId();
      if (!entryId) continue;
      auto name = codePage.toAnsi(*entryId);
      if (!name) continue;
      if (files.exists(dataDirectory_ + *name + std::string(file_name::kQueueSuffix))) done = false;
    } catch (const std::exception&) {
      diagnostics_.reportError("Fehler bei nextBackgroundItems");
    }
  }
  return done;
}

}  // namespace qx

// The basic synchronization's two stages as far as the timer drives them: the
// listing of every folder at connection (or from the property page) and one
// step per catch-up tick.
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
  for (const auto& watch : watches_) processFolder(*watch, force);
  basicSyncDone_ = false;
  restartTimer(kCatchUpStartMs);
}

bool SyncEngine::nextBackgroundItems() {
  // Done when no folder has a queue file left; sending the queued tasks comes
  // with the basic-sync queue.
  Files& files = module_.platform().files;
  CodePage& codePage = module_.platform().codePage;
  for (const auto& watch : watches_) {
    if (!watch->folder()) continue;
    auto entryId = watch->folder()->entryId();
    if (!entryId) continue;
    auto name = codePage.toAnsi(*entryId);
    if (!name) continue;
    if (files.exists(dataDirectory_ + *name + std::string(file_name::kQueueSuffix))) return false;
  }
  return true;
}

}  // namespace qx

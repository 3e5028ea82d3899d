#include "core/sync_engine.h"

#include "core/addin_module.h"
#include "core/hidden_window.h"
#include "platform/mail_client.h"

namespace qx {

SyncEngine::SyncEngine(AddinModule& module, std::shared_ptr<Namespace> hostNamespace,
                       std::string debugLogPath, std::string logFallback)
    : module_(module),
      namespace_(std::move(hostNamespace)),
      diagnostics_(module, std::move(debugLogPath), std::move(logFallback)),
      configuration_(module.platform().registry, module.platform().codePage),
      dontTouchList_(module.platform().clock),
      tombstones_(module.platform().files, diagnostics_) {
  loadConfiguration();
  watchDeletedItems();
}

// The watches unadvise their sinks; the indicator's references are released
// without deleting the toolbar.
SyncEngine::~SyncEngine() = default;

void SyncEngine::watchDeletedItems() {
  if (!namespace_) return;
  auto folder = namespace_->getDefaultFolder(default_folder::kDeletedItems);
  if (!folder) return;
  deletedItemsWatch_ = std::make_unique<FolderWatch>(*this, std::move(*folder), true);
}

void SyncEngine::setDataDirectory(std::string directory) {
  dataDirectory_ = std::move(directory);
  shareFilePath_ = dataDirectory_ + std::string(file_name::kShareFile);
  compressedFilePath_ = dataDirectory_ + std::string(file_name::kCompressedFile);
  tombstones_.setPath(dataDirectory_ + std::string(tombstone::kFileName));
}

std::string SyncEngine::messageFilePath() const {
  return dataDirectory_ + std::string(file_name::kMessageFile);
}

void SyncEngine::restartTimer(std::uint32_t milliseconds) {
  // Without the hidden window the calls would make a thread timer that
  // nothing kills and whose ticks reach no one.
  if (timerWindow_ == kNoWindow) {
    diagnostics_.reportError(kTimerNotSet);
    return;
  }
  WindowSystem& windows = module_.platform().windows;
  windows.killTimer(timerWindow_, kTimerId);
  if (!windows.setTimer(timerWindow_, kTimerId, milliseconds))
    diagnostics_.reportError(kTimerNotSet);
}

}  // namespace qx

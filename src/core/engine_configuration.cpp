// The engine's copy of the configuration: sender name, debug switch and one
// folder watch per synchronized folder.
#include <exception>

#include "core/addin_module.h"
#include "core/sync_engine.h"
#include "platform/mail_client.h"

namespace qx {

void SyncEngine::loadConfiguration() {
  const GlobalSwitches switches = configuration_.readGlobalSwitches();
  senderName_ = switches.senderName;
  if (switches.opened) {
    diagnostics_.setDebugOn(switches.debug);
    if (diagnostics_.debugOn()) {
      diagnostics_.logDebug("Debugger started");
      logHostVersion();
    }
  }
  configuration_.forEachFolder([this](const FolderEntry& entry) { addFolderWatch(entry); });
}

void SyncEngine::logHostVersion() {
  std::optional<std::string> version;
  if (namespace_) {
    if (auto application = namespace_->application(); application) {
      if (auto text = (*application)->version()) {
        if (auto ansi = module_.platform().codePage.toAnsi(*text)) version = std::move(*ansi);
      }
    }
  }
  diagnostics_.logDebug(version ? *version : std::string("Debugger error"));
}

void SyncEngine::addFolderWatch(const FolderEntry& entry) {
  if (!namespace_) return;
  CodePage& codePage = module_.platform().codePage;
  auto entryId = codePage.toWide(entry.entryId);
  auto storeId = codePage.toWide(entry.storeId);
  if (!entryId || !storeId) return;
  // A folder the host cannot open (deleted, its store not open) is skipped
  // without a word; its key stays for the day the store is back.
  auto folder = namespace_->getFolderFromId(*entryId, Variant(*storeId));
  if (!folder) return;
  auto& watch = watches_.emplace_back(
      std::make_unique<FolderWatch>(*this, *folder, false, entry.shareName, entry.processed));
  if (!diagnostics_.debugOn()) return;
  try {
    auto name = watch->folder()->name();
    auto ansiName = name ? codePage.toAnsi(*name) : Result<std::string>(failure(name));
    if (!ansiName) {
      diagnostics_.logDebug("Debugger error");
      return;
    }
    diagnostics_.logDebug("Add folder:" + *ansiName + " share as " + entry.shareName);
  } catch (const std::exception&) {
    diagnostics_.logDebug("Debugger error");
  }
}

bool SyncEngine::reloadFolders() {
  watches_.clear();
  dontTouchList_.clear();
  dontTouchList_.shrink_to_fit();
  loadConfiguration();
  return true;
}

std::vector<std::u16string> SyncEngine::readFolderUsers(std::u16string_view entryId) {
  return configuration_.readFolderUsers(entryId);
}

void SyncEngine::setProcessed(std::u16string_view entryId) { configuration_.setProcessed(entryId); }

}  // namespace qx

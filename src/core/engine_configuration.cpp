// The engine's copy of the configuration: sender name, debug switch and one
// folder watch per synchronized folder.
#include <algorithm>
#include <exception>

#include "core/addin_module.h"
#include "core/sync_engine.h"
#include "platform/mail_client.h"
#include "platform/safe_library.h"

namespace qx {

namespace {
constexpr std::string_view kNoDeletedItemsOfStore = "\nFields(DeletedItemsEntryID)";
}  // namespace

void SyncEngine::loadConfiguration() {
  const GlobalSwitches switches = configuration_.readGlobalSwitches();
  senderName_ = switches.senderName;
  trustedSenders_ = switches.trustedSenders;
  if (switches.opened) {
    diagnostics_.setDebugOn(switches.debug);
    if (diagnostics_.debugOn()) {
      diagnostics_.logDebug("Debugger started");
      logHostVersion();
    }
  }
  std::vector<std::u16string> storeIds;
  configuration_.forEachFolder([&](const FolderEntry& entry) {
    if (!addFolderWatch(entry)) return;
    if (auto storeId = module_.platform().codePage.toWide(entry.storeId)) {
      if (std::find(storeIds.begin(), storeIds.end(), *storeId) == storeIds.end())
        storeIds.push_back(std::move(*storeId));
    }
  });
  watchOtherStoresDeletedItems(storeIds);
}

// A task deleted in a shared folder of another store (a second personal-
// folders file) goes to that store's own Deleted Items, which is watched
// once, like the default store's.
void SyncEngine::watchOtherStoresDeletedItems(const std::vector<std::u16string>& storeIds) {
  otherDeletedItemsWatches_.clear();
  if (storeIds.empty() || !namespace_) return;
  const Result<std::shared_ptr<Folder>> defaultBin =
      namespace_->getDefaultFolder(default_folder::kDeletedItems);
  if (!defaultBin || !*defaultBin) return;
  const Result<std::u16string> defaultStore = (*defaultBin)->storeId();
  if (!defaultStore) return;
  std::shared_ptr<SafeSession> session;
  for (const std::u16string& storeId : storeIds) {
    if (storeId == *defaultStore) continue;
    if (!session) {
      Result<std::shared_ptr<SafeSession>> made = createSafeSession(module_.platform().safeLibrary);
      if (!made || !*made) return;
      if (failed((*made)->logon(Variant(), Variant(), Variant(), Variant(), Variant()))) return;
      session = std::move(*made);
    }
    const Result<std::shared_ptr<SafeStore>> store =
        session->getStoreFromId(Variant(storeId), Variant());
    if (!store || !*store) continue;
    const Result<Variant> binId = (*store)->field(store_prop::kDeletedItemsEntryId);
    if (!binId || !binId->text()) {
      // Deletions in that store's shared folders would go unnoticed.
      diagnostics_.reportError(kNoDeletedItemsOfStore);
      continue;
    }
    const Result<std::shared_ptr<Folder>> bin =
        namespace_->getFolderFromId(*binId->text(), storeIdArgument(storeId));
    if (!bin || !*bin) continue;
    otherDeletedItemsWatches_.push_back(std::make_unique<FolderWatch>(*this, *bin, true));
  }
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

bool SyncEngine::addFolderWatch(const FolderEntry& entry) {
  if (!namespace_) return false;
  CodePage& codePage = module_.platform().codePage;
  auto entryId = codePage.toWide(entry.entryId);
  auto storeId = codePage.toWide(entry.storeId);
  if (!entryId || !storeId) return false;
  // A folder the host cannot open (deleted, its store not open) is skipped
  // without a word; its key stays for the day the store is back.
  auto folder = namespace_->getFolderFromId(*entryId, storeIdArgument(*storeId));
  if (!folder) return false;
  auto& watch = watches_.emplace_back(
      std::make_unique<FolderWatch>(*this, *folder, false, entry.shareName, entry.processed));
  if (!diagnostics_.debugOn()) return true;
  try {
    auto name = watch->folder()->name();
    auto ansiName = name ? codePage.toAnsi(*name) : Result<std::string>(failure(name));
    if (!ansiName) {
      diagnostics_.logDebug("Debugger error");
      return true;
    }
    diagnostics_.logDebug("Add folder:" + *ansiName + " share as " + entry.shareName);
  } catch (const std::exception&) {
    diagnostics_.logDebug("Debugger error");
  }
  return true;
}

bool SyncEngine::reloadFolders() {
  watches_.clear();
  dontTouchList_.clear();
  loadConfiguration();
  return true;
}

std::vector<std::u16string> SyncEngine::readFolderUsers(std::u16string_view entryId) {
  return configuration_.readFolderUsers(entryId);
}

void SyncEngine::setProcessed(std::u16string_view entryId) { configuration_.setProcessed(entryId); }

}  // namespace qx

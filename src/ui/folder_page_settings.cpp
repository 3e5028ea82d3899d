#include "ui/folder_page_settings.h"

#include "core/addin_module.h"
#include "core/registry_key.h"
#include "core/sync_engine.h"

namespace qx {

void saveFolderPage(AddinModule& module, const FolderPageSave& save) {
  const Platform& platform = module.platform();
  ConfigurationStore(platform.registry, platform.codePage).saveFolder(save);
  EngineCall call(module);
  if (SyncEngine* engine = call.engine()) engine->reloadFolders();
}

void runBasicSyncFromPage(AddinModule& module) {
  EngineCall call(module);
  if (SyncEngine* engine = call.engine()) engine->processFolders(true);
}

std::optional<FolderPageSettings> loadFolderPage(AddinModule& module, std::u16string_view entryId) {
  const Platform& platform = module.platform();
  return ConfigurationStore(platform.registry, platform.codePage).loadFolder(entryId);
}

bool folderUsersKeyOpens(AddinModule& module, std::u16string_view entryId) {
  const Platform& platform = module.platform();
  auto name = platform.codePage.toAnsi(entryId);
  if (!name || name->empty()) return false;
  std::string path(config::kFoldersKey);
  path += '\\';
  path += *name;
  path += "\\Users";
  return static_cast<bool>(RegistryKey::open(platform.registry, path, reg::kKeyRead));
}

}  // namespace qx

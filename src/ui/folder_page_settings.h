#pragma once
// What the folder property page reads and writes for the folder whose
// properties are shown: the registry entry of that folder, and, after a save,
// the engine's folder watches rebuilt so that the change takes effect at once.
#include <optional>
#include <string_view>

#include "core/configuration_store.h"

namespace qx {

class AddinModule;

// Saves the page and reloads the engine's folders; without an engine (a
// refused host version) only the registry is written.
void saveFolderPage(AddinModule& module, const FolderPageSave& save);

// The page's basic-sync button: every folder is listed again without a
// question and a new catch-up phase begins. Nothing happens without an engine.
void runBasicSyncFromPage(AddinModule& module);

// None when the folder has no entry: the page then shows its default share
// name, a clear check box and no recipients.
std::optional<FolderPageSettings> loadFolderPage(AddinModule& module, std::u16string_view entryId);

// Whether the folder's "Users" key opens for reading: the basic-sync button is
// offered only then.
bool folderUsersKeyOpens(AddinModule& module, std::u16string_view entryId);

}  // namespace qx

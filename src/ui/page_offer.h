#pragma once
// The namespace's OptionsPagesAdd: the folder whose properties the host is
// about to show becomes the page folder, and a task folder is offered the
// add-in's page, or the placeholder page when its store is known not to be a
// personal-folders file.
#include <memory>
#include <string_view>

namespace qx {

class AddinModule;
class Dispatch;
class SafeLibrary;

enum class OfferedPage { kNone, kFolderPage, kPlaceholder };

// Handles one event; returns what was chosen (also when adding it failed).
OfferedPage offerFolderPage(AddinModule& module, const std::shared_ptr<Dispatch>& pages,
                            const std::shared_ptr<Dispatch>& folder);

// Whether a folder of this default message class gets a page: exactly the
// task folders' class, compared as the host's ANSI text up to its terminator.
bool isTaskFolderClass(std::string_view ansiMessageClass);

// The store test: false only when the safe-item library names the store's
// kind and it is not a personal-folders file.
bool storeIsPersonalFolders(SafeLibrary& library, std::u16string_view storeId);

}  // namespace qx

#include "ui/page_offer.h"

#include <string>

#include "core/addin_module.h"
#include "platform/mail_folder.h"
#include "platform/mail_property_pages.h"
#include "platform/safe_library.h"
#include "ui/class_ids.h"

namespace qx {

namespace {
constexpr std::string_view kTaskFolderClass = "IPM.Task";
constexpr std::u16string_view kPageCaption = u"Quendrilax";
}  // namespace

bool isTaskFolderClass(std::string_view ansiMessageClass) {
  // The host's text ends at its first terminator, wherever its length says.
  const std::string_view text = ansiMessageClass.substr(0, ansiMessageClass.find('\0'));
  return text == kTaskFolderClass;
}

bool storeIsPersonalFolders(SafeLibrary& library, std::u16string_view storeId) {
  auto session = createSafeSession(library);
  if (!session) return true;
  if (failed((*session)->logon(Variant(), Variant(), Variant(), Variant(), Variant()))) return true;
  auto store = (*session)->getStoreFromId(Variant(storeId), Variant());
  if (!store) return true;
  auto kind = (*store)->kind();
  if (!kind) return true;
  return *kind == store_kind::kPersonalFolders || *kind == store_kind::kPersonalFoldersUnicode;
}

OfferedPage offerFolderPage(AddinModule& module, const std::shared_ptr<Dispatch>& pages,
                            const std::shared_ptr<Dispatch>& folderObject) {
  // Replaced for every folder, also for those that get no page.
  std::shared_ptr<Folder> folder;
  if (folderObject) {
    if (auto queried = folderObject->queryFolder()) folder = std::move(*queried);
  }
  module.setPageFolder(folder);
  if (!folder) return OfferedPage::kNone;

  const Platform& platform = module.platform();
  auto messageClass = folder->defaultMessageClass();
  if (!messageClass) return OfferedPage::kNone;
  auto ansiClass = platform.codePage.toAnsi(*messageClass);
  if (!ansiClass || !isTaskFolderClass(*ansiClass)) return OfferedPage::kNone;

  if (!pages) return OfferedPage::kNone;
  auto propertyPages = pages->queryPropertyPages();
  if (!propertyPages) return OfferedPage::kNone;

  OfferedPage chosen = OfferedPage::kFolderPage;
  if (auto storeId = folder->storeId()) {
    if (!storeIsPersonalFolders(platform.safeLibrary, *storeId)) chosen = OfferedPage::kPlaceholder;
  }
  const std::u16string_view progId = chosen == OfferedPage::kFolderPage
                                         ? addin_class::kFolderPageProgIdText
                                         : addin_class::kEmptyPageProgIdText;
  // A page the host refuses is not reported.
  (void)(*propertyPages)->add(Variant(progId), kPageCaption);
  return chosen;
}

}  // namespace qx

namespace qx {

// The module's handler of the namespace's OptionsPagesAdd lives with the page
// choice, so that the core does not reach up into the user interface.
void AddinModule::onOptionsPagesAdd(const std::shared_ptr<Dispatch>& pages,
                                    const std::shared_ptr<Dispatch>& folder) {
  trace("options pages offered");
  switch (offerFolderPage(*this, pages, folder)) {
    case OfferedPage::kFolderPage:
      trace("folder page offered");
      break;
    case OfferedPage::kPlaceholder:
      trace("placeholder page offered");
      break;
    case OfferedPage::kNone:
      break;
  }
}

}  // namespace qx

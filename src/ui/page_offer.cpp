#include "ui/page_offer.h"

#include "core/addin_module.h"
#include "platform/mail_folder.h"

namespace qx {

void offerFolderPage(AddinModule& module, const std::shared_ptr<Dispatch>& pages,
                     const std::shared_ptr<Dispatch>& folder) {
  (void)pages;
  // Replaced for every folder, also for those that get no page.
  std::shared_ptr<Folder> pageFolder;
  if (folder) {
    if (auto queried = folder->queryFolder()) pageFolder = std::move(*queried);
  }
  module.setPageFolder(std::move(pageFolder));
}

}  // namespace qx

namespace qx {

// The module's handler of the namespace's OptionsPagesAdd lives with the page
// choice, so that the core does not reach up into the user interface.
void AddinModule::onOptionsPagesAdd(const std::shared_ptr<Dispatch>& pages,
                                    const std::shared_ptr<Dispatch>& folder) {
  trace("options pages offered");
  offerFolderPage(*this, pages, folder);
}

}  // namespace qx

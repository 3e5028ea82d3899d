#pragma once
// The namespace's OptionsPagesAdd: the folder whose properties the host is
// about to show becomes the page folder, and a task folder is offered the
// add-in's page.
#include <memory>

namespace qx {

class AddinModule;
class Dispatch;

void offerFolderPage(AddinModule& module, const std::shared_ptr<Dispatch>& pages,
                     const std::shared_ptr<Dispatch>& folder);

}  // namespace qx

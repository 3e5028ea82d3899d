#include "ui/empty_page.h"

#include "common/messages.h"
#include "core/addin_module.h"
#include "ui/folder_page_template.h"

namespace qx {

CPropPageEmpty::CPropPageEmpty(AddinModule& module) : platform_(module.platform()) {}

CPropPageEmpty::~CPropPageEmpty() {
  if (window_ != kNoWindow) platform_.windows.destroyWindow(window_);
}

std::shared_ptr<PageControl> CPropPageEmpty::create(AddinModule& module) {
  return std::make_shared<CPropPageEmpty>(module);
}

Hresult CPropPageEmpty::setClientSite(std::shared_ptr<Dispatch> site) {
  clientSite_ = std::move(site);
  return hr::kOk;
}

Result<WindowHandle> CPropPageEmpty::activate(WindowHandle parent) {
  if (window_ != kNoWindow) return window_;
  WindowHandle created = kNoWindow;
  if (platform_.windows.createDialog(emptyPageTemplate(), parent, *this, created) !=
      win::kSuccess) {
    window_ = kNoWindow;
    return failure(hr::kFail);
  }
  window_ = created;
  return window_;
}

Hresult CPropPageEmpty::close() {
  if (window_ != kNoWindow) platform_.windows.destroyWindow(window_);
  window_ = kNoWindow;
  clientSite_.reset();
  return hr::kOk;
}

void CPropPageEmpty::onInitDialog(WindowHandle dialog) {
  window_ = dialog;
  // The thread's language now, not the one captured at connection: the page
  // follows the locale the dialog is shown in.
  const Platform& platform = platform_;
  platform.windows.setItemText(
      dialog, empty_page::kMessageText,
      loadMessage(platform.locale.threadLanguage(), msg::kPlaceholderPage));
}

}  // namespace qx

#pragma once
// CPropPageEmpty: the page offered instead of the folder page for task
// folders outside personal-folders files. It only says why the folder cannot
// be synchronized, and stores nothing.
#include <memory>

#include "platform/page_control.h"
#include "platform/platform.h"
#include "platform/window_system.h"

namespace qx {

class AddinModule;

class CPropPageEmpty final : public PageControl, public DialogSink {
 public:
  explicit CPropPageEmpty(AddinModule& module);
  ~CPropPageEmpty() override;
  CPropPageEmpty(const CPropPageEmpty&) = delete;
  CPropPageEmpty& operator=(const CPropPageEmpty&) = delete;

  static std::shared_ptr<PageControl> create(AddinModule& module);

  Hresult setClientSite(std::shared_ptr<Dispatch> site) override;
  Result<WindowHandle> activate(WindowHandle parent) override;
  Hresult close() override;

  void onInitDialog(WindowHandle dialog) override;
  void onCommand(WindowHandle, int, int) override {}

  WindowHandle window() const { return window_; }

 private:
  // The host's services outlive the module's objects; the window is
  // destroyed through them even when the module is already gone.
  Platform platform_;
  std::shared_ptr<Dispatch> clientSite_;
  WindowHandle window_ = kNoWindow;
};

}  // namespace qx

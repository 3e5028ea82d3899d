#pragma once
// A page control as a host's Properties dialog embeds it: the host makes the
// control through the module's class object, hands it its client site before
// anything else, activates it in place (the control makes its window as a
// child of the dialog's) and closes it when the dialog goes. The control's
// PropertyPage is asked for with queryPropertyPage().
#include <memory>

#include "platform/dispatch.h"
#include "platform/window_system.h"

namespace qx {

class PageControl : public Dispatch {
 public:
  // IOleObject::SetClientSite: `site` is asked for the page site
  // (queryPropertyPageSite). nullptr lets go of the site.
  virtual Hresult setClientSite(std::shared_ptr<Dispatch> site) = 0;
  // In-place activation: the control's window, a child of `parent`, made on
  // the first call (WM_INITDIALOG runs before this returns).
  virtual Result<WindowHandle> activate(WindowHandle parent) = 0;
  // IOleObject::Close: the window goes, the site is released.
  virtual Hresult close() = 0;
};

}  // namespace qx

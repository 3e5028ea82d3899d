#include "core/hidden_window.h"

#include "core/addin_module.h"

namespace qx {

namespace {
constexpr std::uint32_t kHiddenWindowStyle =
    win::kWsChild | win::kWsVisible | win::kWsClipSiblings | win::kWsClipChildren;
}

CHiddenWindow::CHiddenWindow(AddinModule& module) : module_(module) { create(); }

bool CHiddenWindow::create() {
  if (exists()) return true;
  WindowSystem& windows = module_.platform().windows;
  WindowHandle created = kNoWindow;
  if (windows.createWindow(windows.desktopWindow(), kHiddenWindowStyle, *this, created) !=
      win::kSuccess) {
    module_.trace("hidden window not created");
    return false;
  }
  handle_ = created;
  windows.showWindow(handle_, win::kSwHide);
  return true;
}

CHiddenWindow::~CHiddenWindow() { destroy(); }

bool CHiddenWindow::setTimer(std::uint32_t milliseconds) {
  return exists() && module_.platform().windows.setTimer(handle_, kTimerId, milliseconds);
}

bool CHiddenWindow::killTimer() {
  return exists() && module_.platform().windows.killTimer(handle_, kTimerId);
}

void CHiddenWindow::destroy() {
  if (!exists()) return;
  WindowSystem& windows = module_.platform().windows;
  windows.killTimer(handle_, kTimerId);
  windows.destroyWindow(handle_);
  handle_ = kNoWindow;
}

void CHiddenWindow::onTimer(WindowHandle window, std::uint32_t timerId) {
  (void)window;
  (void)timerId;
  // The tick may disconnect the add-in and with it destroy this window's
  // owner; nothing of this object is touched after the call.
  AddinModule& module = module_;
  try {
    module.onTimerTick();
  } catch (...) {
    // Nothing may unwind into the host's message loop.
  }
}

}  // namespace qx

#pragma once
// The add-in's hidden window: a child of the desktop window that exists only to
// own timer 1, whose ticks drive all background work.
#include <cstdint>
#include <string_view>

#include "platform/window_system.h"

namespace qx {

class AddinModule;

inline constexpr std::uint32_t kTimerId = 1;
// The error report of a timer that could not be set: the add-in will not tick.
inline constexpr std::string_view kTimerNotSet = "\nSetTimer";

class CHiddenWindow : public WindowSink {
 public:
  // Creates the window and hides it; on failure handle() stays kNoWindow, the
  // module's trace says so, and every timer call of the add-in is left out.
  explicit CHiddenWindow(AddinModule& module);
  ~CHiddenWindow() override;
  CHiddenWindow(const CHiddenWindow&) = delete;
  CHiddenWindow& operator=(const CHiddenWindow&) = delete;

  // Creates the window again after destroy(), for a connection object that the
  // host connects a second time.
  bool create();

  WindowHandle handle() const { return handle_; }
  bool exists() const { return handle_ != kNoWindow; }

  // Sets or replaces timer 1.
  bool setTimer(std::uint32_t milliseconds);
  bool killTimer();
  // Kills the timer and destroys the window.
  void destroy();

  // Any timer id: the add-in uses only timer 1.
  void onTimer(WindowHandle window, std::uint32_t timerId) override;

 private:
  AddinModule& module_;
  WindowHandle handle_ = kNoWindow;
};

}  // namespace qx

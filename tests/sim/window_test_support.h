#pragma once
// Helpers shared by the window stand-in's tests: controls of a template and
// sinks that note what reaches them.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/window_system.h"
#include "sim/faults.h"
#include "sim/ui_thread.h"
#include "sim/window_system_sim.h"

namespace qx::sim::testing {

inline DialogControl makeControl(int id, std::u16string windowClass, std::uint32_t style,
                                 std::u16string text = {}) {
  DialogControl control;
  control.id = id;
  control.windowClass = std::move(windowClass);
  control.style = style;
  control.text = std::move(text);
  return control;
}

// Notes each message as text ("init", "command 215/768", "help"), and runs an
// optional reaction after noting it.
class RecordingDialogSink : public DialogSink {
 public:
  void onInitDialog(WindowHandle dialog) override {
    events.push_back("init");
    if (onInit) onInit(dialog);
  }
  void onCommand(WindowHandle dialog, int controlId, int notifyCode) override {
    events.push_back("command " + std::to_string(controlId) + "/" + std::to_string(notifyCode));
    if (onCommandHook) onCommandHook(dialog, controlId, notifyCode);
  }
  void onHelp(WindowHandle) override { events.push_back("help"); }

  std::vector<std::string> events;
  std::function<void(WindowHandle)> onInit;
  std::function<void(WindowHandle, int, int)> onCommandHook;
};

class RecordingWindowSink : public WindowSink {
 public:
  void onTimer(WindowHandle window, std::uint32_t timerId) override {
    ticks.push_back({window, timerId});
    if (onTick) onTick(window, timerId);
  }

  struct Tick {
    WindowHandle window;
    std::uint32_t id;
    bool operator==(const Tick&) const = default;
  };
  std::vector<Tick> ticks;
  std::function<void(WindowHandle, std::uint32_t)> onTick;
};

// One user's window stand-in on its own clock, with a way to make plain
// windows for timers and message-box owners.
class WindowSystemFixture : public ::testing::Test {
 protected:
  WindowHandle makeWindow(RecordingWindowSink& sink) {
    WindowHandle window = kNoWindow;
    EXPECT_EQ(windows.createWindow(windows.desktopWindow(), 0x56000000u, sink, window),
              qx::win::kSuccess);
    return window;
  }

  VirtualClock clock;
  UiThread thread{clock};
  Faults faults;
  WindowSystemSim windows{thread, faults};
};

}  // namespace qx::sim::testing

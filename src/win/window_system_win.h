#pragma once
// The window system port over Win32: the add-in's own window class (a name
// made per process and instance, so that two copies of the module never
// share one), timers, message boxes and modeless dialogs. A dialog whose
// template id names a dialog resource of the module is made from that
// resource; otherwise from the port's template, built in memory.
#include <windows.h>

#include <string>

#include "platform/window_system.h"

namespace qx::win32 {

inline HWND toHwnd(WindowHandle window) {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window));
}
inline WindowHandle fromHwnd(HWND window) {
  return static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(window));
}

class WindowSystemWin final : public WindowSystem {
 public:
  // `module` holds the window procedure's class and the dialog resources.
  explicit WindowSystemWin(HINSTANCE module);
  ~WindowSystemWin() override;
  WindowSystemWin(const WindowSystemWin&) = delete;
  WindowSystemWin& operator=(const WindowSystemWin&) = delete;

  const std::wstring& className() const { return className_; }

  WindowHandle desktopWindow() override;
  WinError createWindow(WindowHandle parent, std::uint32_t style, WindowSink& sink,
                        WindowHandle& created) override;
  WinError createDialog(const DialogTemplate& dialogTemplate, WindowHandle parent, DialogSink& sink,
                        WindowHandle& created) override;
  bool destroyWindow(WindowHandle window) override;
  bool showWindow(WindowHandle window, int command) override;
  bool updateWindow(WindowHandle window) override;
  bool isWindow(WindowHandle window) override;
  bool setTimer(WindowHandle window, std::uint32_t id, std::uint32_t milliseconds) override;
  bool killTimer(WindowHandle window, std::uint32_t id) override;
  int messageBox(WindowHandle owner, std::u16string_view text, std::u16string_view caption,
                 std::uint32_t type) override;
  bool setItemText(WindowHandle dialog, int id, std::u16string_view text) override;
  Result<std::u16string> itemText(WindowHandle dialog, int id) override;
  bool enableItem(WindowHandle dialog, int id, bool enable) override;
  bool isItemEnabled(WindowHandle dialog, int id) override;
  bool checkButton(WindowHandle dialog, int id, bool checked) override;
  bool isButtonChecked(WindowHandle dialog, int id) override;
  int listAddString(WindowHandle dialog, int id, std::u16string_view text) override;
  int listDeleteString(WindowHandle dialog, int id, int index) override;
  int listCount(WindowHandle dialog, int id) override;
  int listSelection(WindowHandle dialog, int id) override;
  int listSetSelection(WindowHandle dialog, int id, int index) override;
  Result<std::u16string> listText(WindowHandle dialog, int id, int index) override;
  int listResetContent(WindowHandle dialog, int id) override;
  int listFindExact(WindowHandle dialog, int id, int startAfter, std::u16string_view text) override;
  bool progressSetRange(WindowHandle dialog, int id, std::uint16_t low,
                        std::uint16_t high) override;
  bool progressSetPos(WindowHandle dialog, int id, int position) override;

 private:
  bool registerClass();
  LRESULT sendItem(WindowHandle dialog, int id, UINT message, WPARAM wParam, LPARAM lParam,
                   bool& found);

  HINSTANCE module_;
  std::wstring className_;
  bool registered_ = false;
};

}  // namespace qx::win32

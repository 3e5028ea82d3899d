#pragma once
// Windows, timers, message boxes and modeless dialogs, as the Win32 user
// interface offers them. Window texts are the host's wide strings (UTF-16).
// Messages reach the add-in through the sinks below, on the UI thread, from
// whatever message loop runs, modal loops included.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace qx {

using WindowHandle = std::uint64_t;
inline constexpr WindowHandle kNoWindow = 0;

namespace win {
// ShowWindow commands.
inline constexpr int kSwHide = 0;
inline constexpr int kSwShow = 5;
// Window styles used by the add-in's windows.
inline constexpr std::uint32_t kWsChild = 0x40000000u;
inline constexpr std::uint32_t kWsVisible = 0x10000000u;
inline constexpr std::uint32_t kWsClipSiblings = 0x04000000u;
inline constexpr std::uint32_t kWsClipChildren = 0x02000000u;
// MessageBox types and answers.
inline constexpr std::uint32_t kMbOk = 0x0;
inline constexpr std::uint32_t kMbYesNo = 0x4;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;
// WM_COMMAND notification codes.
inline constexpr int kBnClicked = 0;
inline constexpr int kEnChange = 0x0300;
inline constexpr int kLbnSelChange = 1;
inline constexpr int kLbnDblClk = 2;
// List box results.
inline constexpr int kLbErr = -1;
}  // namespace win

// Receives the messages of a plain window: the add-in's hidden window only
// reacts to WM_TIMER.
class WindowSink {
 public:
  virtual ~WindowSink() = default;
  virtual void onTimer(WindowHandle window, std::uint32_t timerId) = 0;
};

// Receives the messages of a dialog built from a template.
class DialogSink {
 public:
  virtual ~DialogSink() = default;
  virtual void onInitDialog(WindowHandle dialog) = 0;
  // WM_COMMAND: control id and notification code.
  virtual void onCommand(WindowHandle dialog, int controlId, int notifyCode) = 0;
  // WM_HELP.
  virtual void onHelp(WindowHandle /*dialog*/) {}
};

// A control of a dialog template (sizes in dialog units).
struct DialogControl {
  int id = -1;
  std::u16string windowClass;  // "BUTTON", "EDIT", "LISTBOX", "STATIC", "msctls_progress32"
  std::u16string text;
  int x = 0, y = 0, width = 0, height = 0;
  std::uint32_t style = 0;
};

// A dialog template, as a resource script would describe it.
struct DialogTemplate {
  int id = 0;
  std::u16string caption;
  int width = 0, height = 0;
  std::u16string fontName;
  int fontSize = 0;
  std::uint32_t style = 0;
  std::uint32_t exStyle = 0;
  std::vector<DialogControl> controls;
};

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // GetDesktopWindow.
  virtual WindowHandle desktopWindow() = 0;

  // CreateWindowEx of a window of the add-in's own class. Messages go to sink,
  // which must outlive the window.
  virtual WinError createWindow(WindowHandle parent, std::uint32_t style, WindowSink& sink,
                                WindowHandle& created) = 0;

  // CreateDialogIndirectParam: a modeless dialog; WM_INITDIALOG is delivered
  // before it returns. The window is not visible until shown.
  virtual WinError createDialog(const DialogTemplate& dialogTemplate, WindowHandle parent,
                                DialogSink& sink, WindowHandle& created) = 0;

  // DestroyWindow; the window's timers die with it.
  virtual bool destroyWindow(WindowHandle window) = 0;
  // ShowWindow.
  virtual bool showWindow(WindowHandle window, int command) = 0;
  // UpdateWindow: repaints; false once the window is gone.
  virtual bool updateWindow(WindowHandle window) = 0;
  // IsWindow.
  virtual bool isWindow(WindowHandle window) = 0;

  // SetTimer: sets or replaces timer `id` of the window. false on failure.
  virtual bool setTimer(WindowHandle window, std::uint32_t id, std::uint32_t milliseconds) = 0;
  // KillTimer: false when no such timer runs.
  virtual bool killTimer(WindowHandle window, std::uint32_t id) = 0;

  // MessageBox: runs a modal loop until answered; returns the button's id, or
  // 0 when the box could not be shown.
  virtual int messageBox(WindowHandle owner, std::u16string_view text, std::u16string_view caption,
                         std::uint32_t type) = 0;

  // Controls of a dialog, by id.
  virtual bool setItemText(WindowHandle dialog, int id, std::u16string_view text) = 0;
  virtual Result<std::u16string> itemText(WindowHandle dialog, int id) = 0;
  virtual bool enableItem(WindowHandle dialog, int id, bool enable) = 0;
  virtual bool isItemEnabled(WindowHandle dialog, int id) = 0;
  virtual bool checkButton(WindowHandle dialog, int id, bool checked) = 0;
  virtual bool isButtonChecked(WindowHandle dialog, int id) = 0;

  // List box (LB_* messages). A sorted list box inserts in order without
  // regard to case; indices are 0-based; failures give win::kLbErr.
  virtual int listAddString(WindowHandle dialog, int id, std::u16string_view text) = 0;
  virtual int listDeleteString(WindowHandle dialog, int id, int index) = 0;
  virtual int listCount(WindowHandle dialog, int id) = 0;
  virtual int listSelection(WindowHandle dialog, int id) = 0;
  virtual int listSetSelection(WindowHandle dialog, int id, int index) = 0;
  virtual Result<std::u16string> listText(WindowHandle dialog, int id, int index) = 0;
  virtual int listResetContent(WindowHandle dialog, int id) = 0;
  // LB_FINDSTRINGEXACT: whole entry, without regard to case, searching after
  // `startAfter` (-1: from the top) and wrapping around.
  virtual int listFindExact(WindowHandle dialog, int id, int startAfter,
                            std::u16string_view text) = 0;

  // Progress bar (PBM_SETRANGE packs both limits into 16 bits each).
  virtual bool progressSetRange(WindowHandle dialog, int id, std::uint16_t low,
                                std::uint16_t high) = 0;
  virtual bool progressSetPos(WindowHandle dialog, int id, int position) = 0;
};

}  // namespace qx

#include "win/window_system_win.h"

#include <commctrl.h>

#include <vector>

#include "win/dialog_template_win.h"
#include "win/win_text.h"

namespace qx::win32 {
namespace {

// Nothing may unwind into the system's message loop.
LRESULT CALLBACK hiddenWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  } else if (message == WM_TIMER) {
    if (auto* sink = reinterpret_cast<WindowSink*>(GetWindowLongPtrW(window, GWLP_USERDATA))) {
      try {
        sink->onTimer(fromHwnd(window), static_cast<std::uint32_t>(wParam));
      } catch (...) {
      }
    }
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    if (message == WM_INITDIALOG) {
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      if (auto* sink = reinterpret_cast<DialogSink*>(lParam)) sink->onInitDialog(fromHwnd(dialog));
      return TRUE;
    }
    auto* sink = reinterpret_cast<DialogSink*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!sink) return FALSE;
    switch (message) {
      case WM_COMMAND:
        // Control ids are 16-bit; -1 arrives as 0xFFFF.
        sink->onCommand(fromHwnd(dialog), static_cast<std::int16_t>(LOWORD(wParam)),
                        HIWORD(wParam));
        return TRUE;
      case WM_HELP:
        sink->onHelp(fromHwnd(dialog));
        return TRUE;
      default:
        return FALSE;
    }
  } catch (...) {
    return FALSE;
  }
}

}  // namespace

WindowSystemWin::WindowSystemWin(HINSTANCE module) : module_(module) {
  className_ = L"QuendrilaxHidden" + std::to_wstring(GetCurrentProcessId()) + L"_" +
               std::to_wstring(reinterpret_cast<std::uintptr_t>(this));
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
}

WindowSystemWin::~WindowSystemWin() {
  if (registered_) UnregisterClassW(className_.c_str(), module_);
}

bool WindowSystemWin::registerClass() {
  if (registered_) return true;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = hiddenWindowProc;
  windowClass.hInstance = module_;
  windowClass.lpszClassName = className_.c_str();
  registered_ = RegisterClassExW(&windowClass) != 0;
  return registered_;
}

WindowHandle WindowSystemWin::desktopWindow() { return fromHwnd(GetDesktopWindow()); }

WinError WindowSystemWin::createWindow(WindowHandle parent, std::uint32_t style, WindowSink& sink,
                                       WindowHandle& created) {
  if (!registerClass()) return lastWinError();
  HWND window = CreateWindowExW(0, className_.c_str(), L"", style, 0, 0, 0, 0, toHwnd(parent),
                                nullptr, module_, &sink);
  if (!window) return lastWinError();
  created = fromHwnd(window);
  return win::kSuccess;
}

WinError WindowSystemWin::createDialog(const DialogTemplate& dialogTemplate, WindowHandle parent,
                                       DialogSink& sink, WindowHandle& created) {
  HWND dialog = nullptr;
  if (FindResourceW(module_, MAKEINTRESOURCEW(dialogTemplate.id), MAKEINTRESOURCEW(5))) {
    dialog = CreateDialogParamW(module_, MAKEINTRESOURCEW(dialogTemplate.id), toHwnd(parent),
                                dialogProc, reinterpret_cast<LPARAM>(&sink));
  } else {
    std::vector<std::uint8_t> bytes = buildDialogTemplate(dialogTemplate);
    dialog =
        CreateDialogIndirectParamW(module_, reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()),
                                   toHwnd(parent), dialogProc, reinterpret_cast<LPARAM>(&sink));
  }
  if (!dialog) {
    WinError error = lastWinError();
    return error == win::kSuccess ? win::kInvalidParameter : error;
  }
  created = fromHwnd(dialog);
  return win::kSuccess;
}

bool WindowSystemWin::destroyWindow(WindowHandle window) {
  return DestroyWindow(toHwnd(window)) != FALSE;
}

bool WindowSystemWin::showWindow(WindowHandle window, int command) {
  return ShowWindow(toHwnd(window), command) != FALSE;
}

// Wine answers UpdateWindow on a destroyed window with success; Windows and
// the callers, who take a failure for "the window is gone", do not.
bool WindowSystemWin::updateWindow(WindowHandle window) {
  HWND handle = toHwnd(window);
  return IsWindow(handle) && UpdateWindow(handle) != FALSE;
}

bool WindowSystemWin::isWindow(WindowHandle window) { return IsWindow(toHwnd(window)) != FALSE; }

bool WindowSystemWin::setTimer(WindowHandle window, std::uint32_t id, std::uint32_t milliseconds) {
  return SetTimer(toHwnd(window), id, milliseconds, nullptr) != 0;
}

bool WindowSystemWin::killTimer(WindowHandle window, std::uint32_t id) {
  return KillTimer(toHwnd(window), id) != FALSE;
}

int WindowSystemWin::messageBox(WindowHandle owner, std::u16string_view text,
                                std::u16string_view caption, std::uint32_t type) {
  const std::wstring body = terminated(text), title = terminated(caption);
  return MessageBoxW(toHwnd(owner), body.c_str(), title.c_str(), type);
}

LRESULT WindowSystemWin::sendItem(WindowHandle dialog, int id, UINT message, WPARAM wParam,
                                  LPARAM lParam, bool& found) {
  HWND item = GetDlgItem(toHwnd(dialog), id);
  found = item != nullptr;
  return found ? SendMessageW(item, message, wParam, lParam) : 0;
}

bool WindowSystemWin::setItemText(WindowHandle dialog, int id, std::u16string_view text) {
  const std::wstring value = terminated(text);
  return SetDlgItemTextW(toHwnd(dialog), id, value.c_str()) != FALSE;
}

Result<std::u16string> WindowSystemWin::itemText(WindowHandle dialog, int id) {
  HWND item = GetDlgItem(toHwnd(dialog), id);
  if (!item) return failure(lastErrorStatus());
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
  int length = GetWindowTextW(item, text.data(), static_cast<int>(text.size()));
  return fromWide(text.data(), static_cast<std::size_t>(length));
}

bool WindowSystemWin::enableItem(WindowHandle dialog, int id, bool enable) {
  HWND item = GetDlgItem(toHwnd(dialog), id);
  if (!item) return false;
  EnableWindow(item, enable);
  return true;
}

bool WindowSystemWin::isItemEnabled(WindowHandle dialog, int id) {
  HWND item = GetDlgItem(toHwnd(dialog), id);
  return item && IsWindowEnabled(item);
}

bool WindowSystemWin::checkButton(WindowHandle dialog, int id, bool checked) {
  return CheckDlgButton(toHwnd(dialog), id, checked ? BST_CHECKED : BST_UNCHECKED) != FALSE;
}

bool WindowSystemWin::isButtonChecked(WindowHandle dialog, int id) {
  return IsDlgButtonChecked(toHwnd(dialog), id) == BST_CHECKED;
}

int WindowSystemWin::listAddString(WindowHandle dialog, int id, std::u16string_view text) {
  const std::wstring value = terminated(text);
  bool found = false;
  LRESULT result =
      sendItem(dialog, id, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(value.c_str()), found);
  return found ? static_cast<int>(result) : win::kLbErr;
}

int WindowSystemWin::listDeleteString(WindowHandle dialog, int id, int index) {
  bool found = false;
  LRESULT result = sendItem(dialog, id, LB_DELETESTRING, static_cast<WPARAM>(index), 0, found);
  return found ? static_cast<int>(result) : win::kLbErr;
}

int WindowSystemWin::listCount(WindowHandle dialog, int id) {
  bool found = false;
  LRESULT result = sendItem(dialog, id, LB_GETCOUNT, 0, 0, found);
  return found ? static_cast<int>(result) : win::kLbErr;
}

int WindowSystemWin::listSelection(WindowHandle dialog, int id) {
  bool found = false;
  LRESULT result = sendItem(dialog, id, LB_GETCURSEL, 0, 0, found);
  return found ? static_cast<int>(result) : win::kLbErr;
}

int WindowSystemWin::listSetSelection(WindowHandle dialog, int id, int index) {
  bool found = false;
  LRESULT result = sendItem(dialog, id, LB_SETCURSEL, static_cast<WPARAM>(index), 0, found);
  return found ? static_cast<int>(result) : win::kLbErr;
}

Result<std::u16string> WindowSystemWin::listText(WindowHandle dialog, int id, int index) {
  bool found = false;
  LRESULT length = sendItem(dialog, id, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0, found);
  if (!found || length == LB_ERR) return failure(E_INVALIDARG);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  length = sendItem(dialog, id, LB_GETTEXT, static_cast<WPARAM>(index),
                    reinterpret_cast<LPARAM>(text.data()), found);
  if (length == LB_ERR) return failure(E_INVALIDARG);
  return fromWide(text.data(), static_cast<std::size_t>(length));
}

int WindowSystemWin::listResetContent(WindowHandle dialog, int id) {
  bool found = false;
  LRESULT result = sendItem(dialog, id, LB_RESETCONTENT, 0, 0, found);
  return found ? static_cast<int>(result) : win::kLbErr;
}

int WindowSystemWin::listFindExact(WindowHandle dialog, int id, int startAfter,
                                   std::u16string_view text) {
  const std::wstring value = terminated(text);
  bool found = false;
  LRESULT result = sendItem(dialog, id, LB_FINDSTRINGEXACT, static_cast<WPARAM>(startAfter),
                            reinterpret_cast<LPARAM>(value.c_str()), found);
  return found ? static_cast<int>(result) : win::kLbErr;
}

bool WindowSystemWin::progressSetRange(WindowHandle dialog, int id, std::uint16_t low,
                                       std::uint16_t high) {
  bool found = false;
  sendItem(dialog, id, PBM_SETRANGE, 0, MAKELPARAM(low, high), found);
  return found;
}

bool WindowSystemWin::progressSetPos(WindowHandle dialog, int id, int position) {
  bool found = false;
  sendItem(dialog, id, PBM_SETPOS, static_cast<WPARAM>(position), 0, found);
  return found;
}

}  // namespace qx::win32

// Shows one of the module's windows, from the module's own resources and
// message table, for docs/pictures/make-pictures to capture:
//   qx_pictures WHAT LANGUAGE READY_FILE
// WHAT: page, placeholder, progress, question, library; LANGUAGE: en, de.
// When the window stands at the screen's top left corner its size goes to
// READY_FILE ("width height"); the program then waits to be ended.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <thread>

#include "basicsync/progress_dialog.h"
#include "common/messages.h"
#include "ui/folder_page_template.h"
#include "win/window_system_win.h"

namespace {

using namespace qx;

LangId language = lang::kEnglishUs;
std::u16string message(int id) { return std::u16string(loadMessage(language, id)); }

void reportReady(HWND window, const char* readyFile) {
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  UpdateWindow(window);
  RECT rect{};
  GetWindowRect(window, &rect);
  if (FILE* out = std::fopen(readyFile, "w")) {
    std::fprintf(out, "%ld %ld\n", rect.right - rect.left, rect.bottom - rect.top);
    std::fclose(out);
  }
}

// The page's texts, as its initialisation sets them for a shared folder.
class PageSink : public DialogSink {
 public:
  PageSink(WindowSystem& windows, bool placeholder)
      : windows_(windows), placeholder_(placeholder) {}
  void onInitDialog(WindowHandle dialog) override {
    if (placeholder_) {
      windows_.setItemText(dialog, empty_page::kMessageText, message(msg::kPlaceholderPage));
      return;
    }
    using namespace folder_page;
    windows_.setItemText(dialog, kSyncCheckBox, message(msg::kSyncThisFolder));
    windows_.setItemText(dialog, kBasicSyncButton, message(msg::kRunBasicSync));
    windows_.setItemText(dialog, kShareNameLabel, message(msg::kShareNameLabel));
    windows_.setItemText(dialog, kShareNameHint, message(msg::kShareNameHint));
    windows_.setItemText(dialog, kRecipientsGroup, message(msg::kRecipientsGroup));
    windows_.setItemText(dialog, kRecipientsHint, message(msg::kRecipientsHint));
    windows_.setItemText(dialog, kShareNameField, u"Tasks_sync");
    windows_.checkButton(dialog, kSyncCheckBox, true);
    for (const char16_t* address : {u"anna@vantrosse.example", u"bob@vantrosse.example"})
      windows_.listAddString(dialog, kRecipientList, address);
    for (int id :
         {kRecipientsGroup, kAddressField, kRecipientList, kBasicSyncButton, kRemoveButton})
      windows_.enableItem(dialog, id, true);
  }
  void onCommand(WindowHandle, int, int) override {}

 private:
  WindowSystem& windows_;
  bool placeholder_;
};

class NoSink : public DialogSink {
 public:
  void onInitDialog(WindowHandle) override {}
  void onCommand(WindowHandle, int, int) override {}
};

void pumpForever() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

int showPage(win32::WindowSystemWin& windows, bool placeholder, const char* readyFile) {
  // The host's Properties dialog, reduced to a frame for the page.
  HWND frame = CreateWindowExW(WS_EX_DLGMODALFRAME, L"#32770", L"Tasks Properties",
                               WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 100, 100, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  PageSink sink(windows, placeholder);
  WindowHandle page = kNoWindow;
  DialogTemplate pageTemplate = placeholder ? emptyPageTemplate() : folderPageTemplate();
  if (windows.createDialog(pageTemplate, win32::fromHwnd(frame), sink, page) != win::kSuccess)
    return 3;
  RECT rect{};
  GetWindowRect(win32::toHwnd(page), &rect);
  RECT outer{0, 0, rect.right - rect.left + 16, rect.bottom - rect.top + 16};
  AdjustWindowRectEx(&outer, WS_POPUP | WS_CAPTION | WS_SYSMENU, FALSE, WS_EX_DLGMODALFRAME);
  SetWindowPos(frame, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
               SWP_NOZORDER);
  SetWindowPos(win32::toHwnd(page), nullptr, 8, 8, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowWindow(win32::toHwnd(page), SW_SHOW);
  ShowWindow(frame, SW_SHOW);
  reportReady(frame, readyFile);
  pumpForever();
  return 0;
}

int showProgress(win32::WindowSystemWin& windows, const char* readyFile) {
  NoSink sink;
  WindowHandle dialog = kNoWindow;
  if (windows.createDialog(progressTemplate(), windows.desktopWindow(), sink, dialog) !=
      win::kSuccess)
    return 3;
  windows.showWindow(dialog, win::kSwShow);
  windows.progressSetRange(dialog, progress_dialog::kBarId, 0, 10);
  windows.progressSetPos(dialog, progress_dialog::kBarId, 4);
  windows.setItemText(dialog, progress_dialog::kTextId, u"Tasks 40%");
  reportReady(win32::toHwnd(dialog), readyFile);
  pumpForever();
  return 0;
}

int showBox(const std::u16string& text, const std::u16string& caption, UINT type,
            const char* readyFile) {
  const std::wstring title(caption.begin(), caption.end());
  std::thread finder([title, readyFile] {
    for (int i = 0; i < 3000; ++i) {
      if (HWND box = FindWindowW(nullptr, title.c_str())) {
        Sleep(300);
        reportReady(box, readyFile);
        return;
      }
      Sleep(10);
    }
  });
  const std::wstring body(text.begin(), text.end());
  MessageBoxW(nullptr, body.c_str(), title.c_str(), type);
  finder.join();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const std::string what = argv[1];
  language = std::string(argv[2]) == "de" ? lang::kGerman : lang::kEnglishUs;
  const char* readyFile = argv[3];
  win32::WindowSystemWin windows(GetModuleHandleW(nullptr));
  if (what == "page" || what == "placeholder")
    return showPage(windows, what == "placeholder", readyFile);
  if (what == "progress") return showProgress(windows, readyFile);
  if (what == "question")
    return showBox(message(msg::kBasicSyncQuestion),
                   message(msg::kBasicSyncCaptionPrefix) + u"Tasks", MB_YESNO, readyFile);
  if (what == "library")
    return showBox(message(msg::kProductName), message(msg::kLibraryMissing), MB_OK, readyFile);
  return 2;
}

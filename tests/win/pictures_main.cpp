// Shows one of the module's windows, from the module's own resources and
// message table (the two pages as the module's controls in a Properties
// frame), for docs/pictures/make-pictures to capture:
//   qx_pictures WHAT LANGUAGE READY_FILE
// WHAT: page, placeholder, progress, question, library, version, indicator;
// LANGUAGE: en, de.
// When the window stands at the screen's top left corner its size goes to
// READY_FILE ("width height"); the program then waits to be ended.
#include <windows.h>

#include <commctrl.h>
#include <oleauto.h>

#include <cstdio>
#include <string>
#include <thread>

#include "basicsync/progress_dialog.h"
#include "common/messages.h"
#include "platform/mail_ids.h"
#include "win/com_guid.h"
#include "win/com_ids.h"
#include "win/module_host.h"
#include "win/page_container.h"
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

// A Properties dialog as the host shows one: a frame titled for the folder,
// one tab with the add-in's page as a control in it, and the dialog's
// buttons. The page is the module's control, created by its ProgID after
// regsvr32 (make-pictures registers the module first) for the page folder of
// an OptionsPagesAdd raised on the connected add-in.
int showPage(bool placeholder, const char* readyFile) {
  OleInitialize(nullptr);
  // A folder left from an earlier picture would have the connection ask
  // about its basic synchronization.
  const std::wstring folderKey = L"Software\\Vantrosse\\Quendrilax\\Folders\\00DE";
  RegDeleteTreeW(HKEY_CURRENT_USER, folderKey.c_str());
  wintest::Host host;
  CLSID connectClass{};
  if (FAILED(CLSIDFromProgID(L"Corvessa.Connect", &connectClass))) return 3;
  win32::ComPtr<_IDTExtensibility2> connect;
  if (FAILED(CoCreateInstance(connectClass, nullptr, CLSCTX_INPROC_SERVER, IID__IDTExtensibility2,
                              connect.putVoid())))
    return 3;
  SAFEARRAY* custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);
  // The connection takes the thread's language for the page's texts.
  if (FAILED(connect->OnConnection(host.application.get(), 1, host.addIn.get(), &custom))) return 3;

  // A folder shared with two people, as the page reads it when it opens.
  wintest::writeText(HKEY_CURRENT_USER, folderKey, L"ShareName", L"Tasks_sync");
  wintest::writeText(HKEY_CURRENT_USER, folderKey, L"SID", L"5707");
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, folderKey.c_str(), 0, KEY_SET_VALUE, &key) ==
      ERROR_SUCCESS) {
    const DWORD used = 1;
    RegSetValueExW(key, L"used", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&used), sizeof used);
    RegCloseKey(key);
  }
  for (const wchar_t* address : {L"anna@vantrosse.example", L"bob@vantrosse.example"})
    wintest::writeText(HKEY_CURRENT_USER, folderKey + L"\\Users\\" + address, nullptr, L"");

  win32::ComPtr<wintest::RecordingObject> pages =
      wintest::makeRecordingObject("pages", {win32::toGuid(iid::kPropertyPages)});
  pages->define(L"Add", [](const std::vector<VARIANT>&, VARIANT*) { return S_OK; });
  host.nameSpace->raise(
      win32::toGuid(iid::kNamespaceEvents), dispid::kOptionsPagesAdd,
      {wintest::objectVariant(pages.get()), wintest::objectVariant(host.folder.get())});

  const bool german = language == lang::kGerman;
  HWND frame = wintest::makeContainerWindow(
      german ? L"Eigenschaften von Tasks" : L"Tasks Properties", 600, 560);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  HWND tabs = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
                              100, 100, frame, nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(tabs, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
  TCITEMW tab{};
  tab.mask = TCIF_TEXT;
  tab.pszText = const_cast<LPWSTR>(L"Quendrilax");
  SendMessageW(tabs, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&tab));

  wintest::HostedControl hosted = wintest::hostControl(
      placeholder ? L"Quendrilax.PropPageEmpty" : L"Corvessa.OLFoldersPropPage", frame);
  if (FAILED(hosted.status)) return 3;

  // The tab around the page, the buttons below it.
  const SIZE page = wintest::controlPixels(hosted.control.get());
  constexpr int kMargin = 7, kButtonWidth = 82, kButtonHeight = 23;
  RECT display{0, 0, page.cx, page.cy};
  SendMessageW(tabs, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&display));
  const int tabWidth = display.right - display.left, tabHeight = display.bottom - display.top;
  SetWindowPos(tabs, HWND_BOTTOM, kMargin, kMargin, tabWidth, tabHeight, 0);
  RECT place{kMargin - display.left, kMargin - display.top, 0, 0};
  place.right = place.left + page.cx;
  place.bottom = place.top + page.cy;
  win32::ComPtr<IOleInPlaceObject> inPlace;
  hosted.control.queryInterface(IID_IOleInPlaceObject, inPlace);
  inPlace->SetObjectRects(&place, &place);
  const int clientWidth = tabWidth + 2 * kMargin;
  const int buttonsTop = kMargin + tabHeight + kMargin;
  const wchar_t* labels[] = {L"OK", german ? L"Abbrechen" : L"Cancel",
                             german ? L"\u00dcbernehmen" : L"Apply"};
  for (int i = 0; i < 3; ++i) {
    HWND button = CreateWindowExW(
        0, L"BUTTON", labels[i], WS_CHILD | WS_VISIBLE | (i == 0 ? BS_DEFPUSHBUTTON : 0),
        clientWidth - kMargin - (3 - i) * (kButtonWidth + 6) + 6, buttonsTop, kButtonWidth,
        kButtonHeight, frame, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
  }
  RECT outer{0, 0, clientWidth, buttonsTop + kButtonHeight + kMargin};
  AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(frame, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(frame, GWL_EXSTYLE)));
  SetWindowPos(frame, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
               SWP_NOZORDER | SWP_NOMOVE);
  RedrawWindow(frame, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
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

// Wine sizes a message box by its text and buttons alone and cuts a longer
// caption (the library box's caption is its message, its text only the
// product name); the module passes the whole caption. The box is widened to
// its caption, buttons kept in the middle, so that the picture shows all of it.
void fitCaption(HWND box, const std::wstring& title) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return;
  HFONT font = CreateFontIndirectW(&metrics.lfCaptionFont);
  HDC dc = GetDC(box);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE text{};
  GetTextExtentPoint32W(dc, title.c_str(), static_cast<int>(title.size()), &text);
  SelectObject(dc, old);
  ReleaseDC(box, dc);
  DeleteObject(font);
  // Room for the close button and the frame on both sides, and a margin.
  const int needed = text.cx + GetSystemMetrics(SM_CXSIZE) + 4 * GetSystemMetrics(SM_CXFRAME) + 16;
  RECT outer{};
  GetWindowRect(box, &outer);
  const int grow = needed - (outer.right - outer.left);
  if (grow <= 0) return;
  SetWindowPos(box, nullptr, 0, 0, needed, outer.bottom - outer.top, SWP_NOMOVE | SWP_NOZORDER);
  EnumChildWindows(
      box,
      [](HWND child, LPARAM shift) -> BOOL {
        wchar_t kind[16] = {};
        GetClassNameW(child, kind, 16);
        if (lstrcmpiW(kind, L"Button") != 0) return TRUE;
        RECT place{};
        GetWindowRect(child, &place);
        MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&place), 2);
        SetWindowPos(child, nullptr, place.left + static_cast<int>(shift), place.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER);
        return TRUE;
      },
      grow / 2);
  RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

// The indicator as the mail client shows it during a basic synchronization:
// a toolbar with one button whose caption counts the tasks left. The button's
// icon is one of the mail client's own, which is not here: a standard one
// stands in for it.
int showIndicator(const char* readyFile) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  HWND frame = wintest::makeContainerWindow(L"Outlook", 520, 90);
  HWND bar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                             WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_LIST | CCS_TOP, 0, 0, 0,
                             0, frame, nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageW(bar, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_MIXEDBUTTONS);
  TBADDBITMAP images{HINST_COMMCTRL, IDB_STD_SMALL_COLOR};
  SendMessageW(bar, TB_ADDBITMAP, 0, reinterpret_cast<LPARAM>(&images));
  const std::u16string caption = message(msg::kBasicSyncTitle) + u" " + message(msg::kProductName) +
                                 u": 41 " + message(msg::kItemsLeft);
  const std::wstring text(caption.begin(), caption.end());
  TBBUTTON button{};
  button.iBitmap = STD_FILEOPEN;
  button.idCommand = 1;
  button.fsState = TBSTATE_ENABLED;
  button.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE | BTNS_SHOWTEXT;
  button.iString = reinterpret_cast<INT_PTR>(text.c_str());
  SendMessageW(bar, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
  SendMessageW(bar, TB_AUTOSIZE, 0, 0);
  SIZE size{};
  SendMessageW(bar, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&size));
  RECT outer{0, 0, size.cx + 16, size.cy + 4};
  AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(frame, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(frame, GWL_EXSTYLE)));
  SetWindowPos(frame, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
               SWP_NOZORDER | SWP_NOMOVE);
  SendMessageW(bar, TB_AUTOSIZE, 0, 0);
  RedrawWindow(frame, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  reportReady(frame, readyFile);
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
        fitCaption(box, title);
        Sleep(200);
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
  // The pages take their language from the thread, as under a German
  // Windows; Wine gives the thread a German locale only where the machine
  // has one installed.
  SetThreadLocale(MAKELCID(language, SORT_DEFAULT));
  // Absolute: connecting the add-in makes its data folder the current one.
  char readyPath[MAX_PATH] = {};
  GetFullPathNameA(argv[3], MAX_PATH, readyPath, nullptr);
  const char* readyFile = readyPath;
  win32::WindowSystemWin windows(GetModuleHandleW(nullptr));
  if (what == "page" || what == "placeholder") return showPage(what == "placeholder", readyFile);
  if (what == "progress") return showProgress(windows, readyFile);
  if (what == "question")
    return showBox(message(msg::kBasicSyncQuestion),
                   message(msg::kBasicSyncCaptionPrefix) + u"Tasks", MB_YESNO, readyFile);
  if (what == "library")
    return showBox(message(msg::kProductName), message(msg::kLibraryMissing), MB_OK, readyFile);
  // The refusal a mail client older than the add-in needs shows at its start.
  if (what == "version")
    return showBox(message(msg::kHostUpdateNeeded),
                   message(msg::kProductName) + u" Outlook Version:10.0.0.4024", MB_OK, readyFile);
  if (what == "indicator") return showIndicator(readyFile);
  return 2;
}

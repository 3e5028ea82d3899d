// The folder Properties dialog of the mail host: the add-in offers its page
// on the namespace's OptionsPagesAdd, the host creates the control by the
// ProgID offered and shows it in a frame with a page site typed as its own;
// the driver works the page's controls and presses OK (Apply) or Cancel.
#include <windows.h>

#include "host_session.h"
#include "mail_file.h"

namespace qx::e2e {

void HostSession::closePage() {
  HWND container = page_.container;
  page_.close();
  page_.site.reset();
  page_.container = nullptr;
  if (container) DestroyWindow(container);
}

std::string HostSession::propertiesCommand(const std::vector<std::string>& words) {
  if (words.size() != 2) return "error: properties FOLDER";
  std::u16string folder = folderId(words[1]);
  if (folder.empty()) return "error: no folder " + words[1];
  closePage();
  std::string answer = "pages";
  for (const auto& offered : mail_.openFolderProperties(folder)) {
    answer += "\t" + toUtf8(offered.title);
    const std::u16string* progId = offered.page.text();
    if (!progId || page_.control) continue;
    std::wstring name(progId->begin(), progId->end());
    HWND container = wintest::makeContainerWindow(
        (L"Properties: " + std::wstring(words[1].begin(), words[1].end())).c_str(), 500, 400);
    page_ = wintest::hostControl(name.c_str(), container);
    if (FAILED(page_.status)) {
      char status[16];
      wsprintfA(status, "%08X", static_cast<unsigned>(page_.status));
      closePage();
      return "error: the page " + toUtf8(*progId) + " is not hosted: " + status;
    }
  }
  return answer;
}

// page click ID | page type ID TEXT | page state | page ok | page cancel
std::string HostSession::pageCommand(const std::vector<std::string>& words) {
  if (!page_.control) return "error: no page open";
  HWND page = page_.pageWindow();
  if (!page) return "error: the page has no window";
  const std::string what = words.size() > 1 ? words[1] : "";
  if (what == "click" && words.size() == 3) {
    HWND control = GetDlgItem(page, std::stoi(words[2]));
    if (!control) return "error: no control " + words[2];
    SendMessageW(control, BM_CLICK, 0, 0);
    return "ok";
  }
  if (what == "type" && words.size() == 4) {
    HWND control = GetDlgItem(page, std::stoi(words[2]));
    if (!control) return "error: no control " + words[2];
    std::u16string text = fromUtf8(words[3]);
    SetWindowTextW(control, reinterpret_cast<const wchar_t*>(text.c_str()));
    return "ok";
  }
  if (what == "state" && words.size() == 5) {
    // check box, text field, list box
    std::string out =
        IsDlgButtonChecked(page, std::stoi(words[2])) == BST_CHECKED ? "checked" : "clear";
    wchar_t text[512] = {};
    GetDlgItemTextW(page, std::stoi(words[3]), text, 512);
    out += "\t" + toUtf8(reinterpret_cast<const char16_t*>(text));
    HWND list = GetDlgItem(page, std::stoi(words[4]));
    LRESULT count = list ? SendMessageW(list, LB_GETCOUNT, 0, 0) : 0;
    for (LRESULT i = 0; i < count; ++i) {
      wchar_t item[512] = {};
      SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
      out += "\t" + toUtf8(reinterpret_cast<const char16_t*>(item));
    }
    return out;
  }
  if (what == "ok" || what == "cancel") {
    HRESULT status = S_OK;
    if (what == "ok") {
      win32::ComPtr<::PropertyPage> propertyPage;
      status = page_.control.queryInterface(IID_PropertyPage, propertyPage);
      if (SUCCEEDED(status)) status = propertyPage->Apply();
    }
    closePage();
    if (FAILED(status)) {
      char text[16];
      wsprintfA(text, "%08X", static_cast<unsigned>(status));
      return std::string("error: Apply ") + text;
    }
    return "ok";
  }
  return "error: page click ID | type ID TEXT | state BOX FIELD LIST | ok | cancel";
}

}  // namespace qx::e2e

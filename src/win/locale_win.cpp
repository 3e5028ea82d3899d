#include "win/locale_win.h"

#include <windows.h>

#include <oleauto.h>

#include "win/bstr.h"

namespace qx::win32 {

LangId LocaleWin::threadLanguage() { return LANGIDFROMLCID(GetThreadLocale()); }

Result<std::u16string> LocaleWin::formatDate(double hostDate) {
  Bstr text;
  HRESULT status = VarBstrFromDate(hostDate, LOCALE_USER_DEFAULT, 0, text.out());
  if (FAILED(status)) return failure(status);
  return text.text();
}

}  // namespace qx::win32

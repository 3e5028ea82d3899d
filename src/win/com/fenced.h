#pragma once
// Every call COM makes into the module is fenced: nothing the add-in throws
// may cross into the host, which knows only status codes.
#include <windows.h>

namespace qx::win32 {

template <class Call>
HRESULT fenced(Call call) noexcept {
  try {
    return call();
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace qx::win32

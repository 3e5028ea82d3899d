// The safe-item library's in-process server as a user installs it: its
// ProgIDs and class ids are registered by regsvr32, and its class objects
// come from the mail host that loaded it, where the stand-in library's
// objects live. Without the registration the add-in finds no library.
#include <windows.h>

#include <olectl.h>

#include <string>

#include "platform/safe_library.h"
#include "sim/mail/safe_library_sim.h"
#include "win/com_guid.h"

namespace {

HMODULE moduleHandle = nullptr;

constexpr std::u16string_view kProgIds[] = {qx::progid::kSafeMailItem, qx::progid::kSafeTaskItem,
                                            qx::progid::kMapiUtilities, qx::progid::kSafeSession};

std::wstring wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

std::wstring classIdText(std::u16string_view progId) {
  wchar_t text[40] = {};
  StringFromGUID2(qx::win32::toGuid(qx::sim::SafeLibrarySim::classIdOf(progId)), text, 40);
  return text;
}

bool setText(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  return RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), name, REG_SZ, value.c_str(),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) moduleHandle = instance;
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* object) {
  using HostClassObject = HRESULT (*)(REFCLSID, REFIID, void**);
  auto host = reinterpret_cast<HostClassObject>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(nullptr), "qxHostSafeClassObject")));
  if (!object) return E_POINTER;
  *object = nullptr;
  return host ? host(classId, iid, object) : CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() { return S_FALSE; }

STDAPI DllRegisterServer() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(moduleHandle, path, MAX_PATH);
  for (std::u16string_view progId : kProgIds) {
    std::wstring name = wide(progId), classId = classIdText(progId);
    std::wstring classKey = L"CLSID\\" + classId;
    if (!setText(name + L"\\CLSID", nullptr, classId) || !setText(classKey, nullptr, name) ||
        !setText(classKey + L"\\ProgID", nullptr, name) ||
        !setText(classKey + L"\\InprocServer32", nullptr, path) ||
        !setText(classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"))
      return SELFREG_E_CLASS;
  }
  return S_OK;
}

STDAPI DllUnregisterServer() {
  for (std::u16string_view progId : kProgIds) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, wide(progId).c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + classIdText(progId)).c_str());
  }
  return S_OK;
}

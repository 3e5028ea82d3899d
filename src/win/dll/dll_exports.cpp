// The module's entry points. The one module object is the process-wide state
// of the loaded DLL; it lives from the first request until the module is
// unloaded.
#include <windows.h>

#include <olectl.h>

#include <memory>

#include "win/com/com_module.h"
#include "win/com/fenced.h"

namespace {

using qx::win32::fenced;
using qx::win32::RegistrationScope;

HMODULE moduleHandle = nullptr;

// Made on first use rather than in DllMain, where the loader lock is held.
qx::win32::ComModule* comModule() {
  static std::unique_ptr<qx::win32::ComModule> module;
  if (!module) module = std::make_unique<qx::win32::ComModule>(moduleHandle);
  return module.get();
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    moduleHandle = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* object) {
  return fenced([&] { return comModule()->getClassObject(classId, iid, object); });
}

STDAPI DllCanUnloadNow() {
  return fenced([&] { return comModule()->canUnloadNow(); });
}

STDAPI DllRegisterServer() {
  return fenced([&] { return comModule()->registerServer(RegistrationScope::machine); });
}

STDAPI DllUnregisterServer() {
  return fenced([&] { return comModule()->unregisterServer(RegistrationScope::machine); });
}

// `regsvr32 /n /i:user` registers the same keys in the user's own hive, for a
// user without administrator rights; `/u /n /i:user` removes them. Without a
// command line (regsvr32 /i) it is DllRegisterServer's registration.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
  return fenced([&]() -> HRESULT {
    RegistrationScope scope = RegistrationScope::machine;
    if (commandLine && *commandLine) {
      if (lstrcmpiW(commandLine, L"user") != 0) return E_INVALIDARG;
      scope = RegistrationScope::user;
    }
    return install ? comModule()->registerServer(scope) : comModule()->unregisterServer(scope);
  });
}

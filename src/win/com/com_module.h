#pragma once
// The loaded module on Windows: the adapters of every port, the add-in's
// module object (made on first use), the counts of live objects and of
// server locks that decide whether the module may be unloaded, and the
// module's two type libraries: its own, registered, and the host's
// interfaces it implements, never registered.
#include <windows.h>

#include <oaidl.h>

#include <atomic>
#include <memory>
#include <string>

#include "core/addin_module.h"
#include "win/clock_win.h"
#include "win/codepage_win.h"
#include "win/com/class_registration.h"
#include "win/com_ptr.h"
#include "win/files_win.h"
#include "win/guid_win.h"
#include "win/locale_win.h"
#include "win/registry_win.h"
#include "win/safe_library_win.h"
#include "win/shell_win.h"
#include "win/window_system_win.h"

namespace qx::win32 {

class ComModule {
 public:
  explicit ComModule(HMODULE module);
  ~ComModule();
  ComModule(const ComModule&) = delete;
  ComModule& operator=(const ComModule&) = delete;

  HMODULE handle() const { return module_; }
  // The module's full file name, wide: an install folder may hold characters
  // outside the ANSI code page.
  std::wstring modulePath() const;

  // The add-in's process-wide state; made when the first object needs it.
  AddinModule& addin();

  void objectCreated() { ++objects_; }
  void objectDestroyed() { --objects_; }
  void lockServer(bool lock) { lock ? ++locks_ : --locks_; }
  long objectCount() const { return objects_; }
  long lockCount() const { return locks_; }
  // DllCanUnloadNow: S_OK when no object lives (event sinks the host holds
  // included) and no lock is held; the add-in's state is let go then.
  HRESULT canUnloadNow();

  HRESULT getClassObject(REFCLSID classId, REFIID iid, void** object);
  HRESULT registerServer(RegistrationScope scope);
  HRESULT unregisterServer(RegistrationScope scope);

  // The type information of one of the host's interfaces the module
  // implements (extensibility, property page), for their IDispatch.
  HRESULT hostTypeInfo(REFIID iid, ComPtr<ITypeInfo>& info);
  // The type information of one of the module's classes.
  HRESULT classTypeInfo(REFCLSID classId, ComPtr<ITypeInfo>& info);

  Registry& registry() { return registry_; }

 private:
  HMODULE module_;
  RegistryWin registry_;
  WindowSystemWin windows_;
  ShellWin shell_;
  FilesWin files_;
  ClockWin clock_;
  LocaleWin locale_;
  GuidWin guids_;
  CodePageWin codePage_;
  SafeLibraryWin safeLibrary_;
  std::unique_ptr<AddinModule> addin_;
  ComPtr<ITypeLib> typeLib_;
  ComPtr<ITypeLib> hostTypeLib_;
  std::atomic<long> objects_{0};
  std::atomic<long> locks_{0};
};

}  // namespace qx::win32

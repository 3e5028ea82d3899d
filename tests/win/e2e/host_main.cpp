// The mail client of one user for the end-to-end run: the stand-in mail
// client shown over COM, the add-in loaded from its add-in entry, a real
// message loop with real timers, mail carried as files through a post office
// folder, and commands from the driver read from a folder of its own.
//   qx_mail_host.exe ADDRESS COMMAND_FOLDER POST_OFFICE_FOLDER
#include <windows.h>

#include <shellapi.h>

#include <memory>
#include <string>

#include "addin_loader.h"
#include "win/com/ref_counted.h"
#include "host_com.h"
#include "host_session.h"
#include "sim/faults.h"
#include "sim/mail/mail_client.h"
#include "sim/mail/safe_library_sim.h"
#include "sim/ui_thread.h"
#include "win/files_win.h"

namespace qx::e2e {
namespace {

HostSession* session = nullptr;

// The class object of one of the safe-item library's classes: instances are
// the stand-in library's objects, made in this process.
class SafeClassObject final : public win32::RefCounted<IClassFactory> {
 public:
  explicit SafeClassObject(const CLSID& classId) : classId_(classId) {}
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (!session) return E_UNEXPECTED;
    auto made = session->mail().library().createInstance(win32::fromGuid(classId_));
    if (!made) return made.error();
    IDispatch* com = wrapObject(*made);
    if (!com) return E_NOINTERFACE;
    HRESULT status = com->QueryInterface(iid, object);
    com->Release();
    return status;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  ~SafeClassObject() override = default;
  bool answers(REFIID iid) const override { return IsEqualIID(iid, IID_IClassFactory); }
  CLSID classId_;
};

}  // namespace
}  // namespace qx::e2e

// The library's in-process server asks the process it is loaded into for its
// class objects.
extern "C" __declspec(dllexport) HRESULT
    qxHostSafeClassObject(REFCLSID classId, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  bool known = false;
  for (std::u16string_view progId : {qx::progid::kSafeMailItem, qx::progid::kSafeTaskItem,
                                     qx::progid::kMapiUtilities, qx::progid::kSafeSession}) {
    if (qx::win32::toGuid(qx::sim::SafeLibrarySim::classIdOf(progId)) == classId) known = true;
  }
  if (!known) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new qx::e2e::SafeClassObject(classId);
  factory->AddRef();
  HRESULT status = factory->QueryInterface(iid, object);
  factory->Release();
  return status;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (count < 4) return 2;
  if (FAILED(OleInitialize(nullptr))) return 3;
  int code = 0;
  {
    qx::e2e::HostSession host(reinterpret_cast<const char16_t*>(arguments[1]), arguments[2],
                              arguments[3]);
    qx::e2e::session = &host;
    code = host.run();
    qx::e2e::session = nullptr;
  }
  LocalFree(arguments);
  OleUninitialize();
  return code;
}

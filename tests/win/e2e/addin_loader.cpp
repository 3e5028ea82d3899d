#include "addin_loader.h"

#include <oleauto.h>

#include "win/com_ids.h"

namespace qx::e2e {
namespace {

// An empty custom array, as the host passes it.
struct CustomArray {
  CustomArray() : array(SafeArrayCreateVector(VT_VARIANT, 0, 0)) {}
  ~CustomArray() { SafeArrayDestroy(array); }
  CustomArray(const CustomArray&) = delete;
  CustomArray& operator=(const CustomArray&) = delete;
  SAFEARRAY* array;
};

std::string hex(HRESULT status) {
  char text[16];
  wsprintfA(text, "%08X", static_cast<unsigned>(status));
  return text;
}

}  // namespace

AddInLoader::~AddInLoader() {
  if (addIn_) disconnect(1);
}

DWORD AddInLoader::loadBehavior() const {
  std::wstring key = L"Software\\Microsoft\\Office\\Outlook\\Addins\\" + progId_;
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegGetValueW(root, key.c_str(), L"LoadBehavior", RRF_RT_REG_DWORD, &type, &value, &size) ==
        ERROR_SUCCESS)
      return value;
  }
  return 0;
}

std::string AddInLoader::connect(IDispatch* application, IDispatch* addInRecord) {
  if (addIn_) return "already connected";
  CLSID classId{};
  HRESULT status = CLSIDFromProgID(progId_.c_str(), &classId);
  if (FAILED(status)) return "CLSIDFromProgID " + hex(status);
  win32::ComPtr<_IDTExtensibility2> addIn;
  status = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID__IDTExtensibility2,
                            addIn.putVoid());
  if (FAILED(status)) return "CoCreateInstance " + hex(status);
  CustomArray custom;
  // ext_cm_Startup
  status = addIn->OnConnection(application, 1, addInRecord, &custom.array);
  if (FAILED(status)) return "OnConnection " + hex(status);
  addIn_ = addIn;
  status = addIn->OnStartupComplete(&custom.array);
  if (FAILED(status)) return "OnStartupComplete " + hex(status);
  return {};
}

void AddInLoader::disconnect(long mode, bool later) {
  win32::ComPtr<_IDTExtensibility2> addIn = std::move(addIn_);
  if (!addIn) return;
  CustomArray custom;
  addIn->OnDisconnection(mode, &custom.array);
  if (later) deferred_ = std::move(addIn);
}

}  // namespace qx::e2e

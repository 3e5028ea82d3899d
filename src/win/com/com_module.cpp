#include "win/com/com_module.h"

#include <utility>

#include "ui/registration.h"
#include "win/com/class_factory.h"
#include "win/com/connect_com.h"
#include "win/com_ids.h"

namespace qx::win32 {
ComModule::ComModule(HMODULE module) : module_(module), windows_(module), shell_(module) {}

ComModule::~ComModule() = default;

std::string ComModule::modulePath() const {
  char buffer[MAX_PATH] = {};
  DWORD length = GetModuleFileNameA(module_, buffer, MAX_PATH);
  return std::string(buffer, length);
}

AddinModule& ComModule::addin() {
  if (!addin_) {
    addin_ = std::make_unique<AddinModule>(Platform{registry_, windows_, shell_, files_, clock_,
                                                    locale_, guids_, codePage_, safeLibrary_});
  }
  return *addin_;
}

HRESULT ComModule::canUnloadNow() {
  if (objects_ != 0 || locks_ != 0) return S_FALSE;
  addin_.reset();
  typeLib_.reset();
  return S_OK;
}

HRESULT ComModule::getClassObject(REFCLSID classId, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  // The page controls are not offered as objects yet.
  if (IsEqualCLSID(classId, CLSID_Connect))
    return createClassFactory(*this, createConnectObject, iid, object);
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT ComModule::typeInfo(REFIID iid, ComPtr<ITypeInfo>& info) {
  if (!typeLib_) {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(module_, path.data(), MAX_PATH));
    HRESULT status = LoadTypeLibEx(path.c_str(), REGKIND_NONE, typeLib_.put());
    if (FAILED(status)) return status;
  }
  return typeLib_->GetTypeInfoOfGuid(iid, info.put());
}

HRESULT ComModule::registerServer() {
  const std::string path = modulePath();
  if (WinError status = qx::registerServer(registry_, path); status != win::kSuccess)
    return HRESULT_FROM_WIN32(std::to_underlying(status));
  std::wstring widePath(MAX_PATH, L'\0');
  widePath.resize(GetModuleFileNameW(module_, widePath.data(), MAX_PATH));
  ComPtr<ITypeLib> registered;
  return LoadTypeLibEx(widePath.c_str(), REGKIND_REGISTER, registered.put());
}

HRESULT ComModule::unregisterServer() {
  WinError status = qx::unregisterServer(registry_);
  HRESULT typeLibStatus = UnRegisterTypeLib(LIBID_CorvessaLib, 1, 0, LANG_NEUTRAL, SYS_WIN64);
  if (status != win::kSuccess) return HRESULT_FROM_WIN32(std::to_underlying(status));
  // A type library that was never registered leaves nothing to remove.
  return typeLibStatus == TYPE_E_REGISTRYACCESS || typeLibStatus == TYPE_E_LIBNOTREGISTERED
             ? S_OK
             : typeLibStatus;
}

}  // namespace qx::win32

#include "win/com/com_module.h"

#include "win/com/class_factory.h"
#include "win/com/connect_com.h"
#include "win/com/page_control_com.h"
#include "win/com_ids.h"
#include "win/event_sink_com.h"

namespace qx::win32 {
namespace {

// RegisterTypeLibForUser and its counterpart are not in the tool chain's
// import library; oleaut32 has exported them since Vista.
using TypeLibForUser = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
using UnTypeLibForUser = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

template <class Function>
Function oleAutomationEntry(const char* name) {
  HMODULE library = GetModuleHandleW(L"oleaut32.dll");
  return library
             ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)))
             : nullptr;
}

// The type library's registration is per system kind: a 32-bit module
// registers under win32.
constexpr SYSKIND kSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

}  // namespace

ComModule::ComModule(HMODULE module) : module_(module), windows_(module), shell_(module) {}

ComModule::~ComModule() = default;

std::wstring ComModule::modulePath() const {
  // Long paths are cut at MAX_PATH by the call: grow until the name fits.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(module_, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

AddinModule& ComModule::addin() {
  if (!addin_) {
    addin_ = std::make_unique<AddinModule>(Platform{registry_, windows_, shell_, files_, clock_,
                                                    locale_, guids_, codePage_, safeLibrary_});
  }
  return *addin_;
}

HRESULT ComModule::canUnloadNow() {
  if (objects_ != 0 || locks_ != 0 || liveEventSinks() != 0) return S_FALSE;
  addin_.reset();
  typeLib_.reset();
  hostTypeLib_.reset();
  return S_OK;
}

HRESULT ComModule::getClassObject(REFCLSID classId, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (IsEqualCLSID(classId, CLSID_Connect))
    return createClassFactory(*this, createConnectObject, iid, object);
  if (IsEqualCLSID(classId, CLSID_OLFoldersPropPage))
    return createClassFactory(*this, createFolderPageControl, iid, object);
  if (IsEqualCLSID(classId, CLSID_PropPageEmpty))
    return createClassFactory(*this, createEmptyPageControl, iid, object);
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT ComModule::hostTypeInfo(REFIID iid, ComPtr<ITypeInfo>& info) {
  if (!hostTypeLib_) {
    const std::wstring library = modulePath() + L"\\2";
    HRESULT status = LoadTypeLibEx(library.c_str(), REGKIND_NONE, hostTypeLib_.put());
    if (FAILED(status)) return status;
  }
  return hostTypeLib_->GetTypeInfoOfGuid(iid, info.put());
}

HRESULT ComModule::classTypeInfo(REFCLSID classId, ComPtr<ITypeInfo>& info) {
  if (!typeLib_) {
    HRESULT status = LoadTypeLibEx(modulePath().c_str(), REGKIND_NONE, typeLib_.put());
    if (FAILED(status)) return status;
  }
  return typeLib_->GetTypeInfoOfGuid(classId, info.put());
}

HRESULT ComModule::registerServer(RegistrationScope scope) {
  std::wstring path = modulePath();
  if (HRESULT status = writeClassKeys(scope, path); FAILED(status)) return status;
  ComPtr<ITypeLib> library;
  HRESULT status = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put());
  if (FAILED(status)) return status;
  if (scope == RegistrationScope::user) {
    auto registerForUser = oleAutomationEntry<TypeLibForUser>("RegisterTypeLibForUser");
    if (!registerForUser) return E_NOTIMPL;
    return registerForUser(library.get(), path.data(), nullptr);
  }
  return RegisterTypeLib(library.get(), path.data(), nullptr);
}

HRESULT ComModule::unregisterServer(RegistrationScope scope) {
  const HRESULT classes = removeClassKeys(scope);
  HRESULT typeLibStatus = E_NOTIMPL;
  if (scope == RegistrationScope::user) {
    if (auto unregister = oleAutomationEntry<UnTypeLibForUser>("UnRegisterTypeLibForUser"))
      typeLibStatus = unregister(LIBID_CorvessaLib, 1, 0, LANG_NEUTRAL, kSysKind);
  } else {
    typeLibStatus = UnRegisterTypeLib(LIBID_CorvessaLib, 1, 0, LANG_NEUTRAL, kSysKind);
  }
  if (FAILED(classes)) return classes;
  // A type library that was never registered leaves nothing to remove.
  return typeLibStatus == TYPE_E_REGISTRYACCESS || typeLibStatus == TYPE_E_LIBNOTREGISTERED
             ? S_OK
             : typeLibStatus;
}

}  // namespace qx::win32

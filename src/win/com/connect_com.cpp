#include "win/com/connect_com.h"

#include <memory>

#include "core/connect.h"
#include "win/com/com_module.h"
#include "win/com/fenced.h"
#include "win/com/ref_counted.h"
#include "win/host_objects.h"

namespace qx::win32 {
namespace {

std::shared_ptr<Dispatch> adapt(IDispatch* object) {
  return object ? makeHostObject(ComPtr<IDispatch>(object)) : nullptr;
}

class ConnectObject final : public RefCounted<_IDTExtensibility2> {
 public:
  ConnectObject(ComModule& module, ComPtr<ITypeInfo> typeInfo)
      : module_(module), typeInfo_(std::move(typeInfo)), connect_(module.addin().createConnect()) {
    module_.objectCreated();
  }
  ~ConnectObject() override {
    connect_.reset();
    module_.objectDestroyed();
  }

  // IDispatch, by the type library of the host's interfaces.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = typeInfo_ ? 1 : 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    if (!typeInfo_) return E_NOTIMPL;
    *info = ComPtr<ITypeInfo>(typeInfo_).detach();
    return S_OK;
  }
  // Any interface id but IID_NULL is reserved by IDispatch's contract.
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (!typeInfo_) return E_NOTIMPL;
    return DispGetIDsOfNames(typeInfo_.get(), names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID iid, LCID, WORD flags,
                                   DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                   UINT* badArgument) override {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (!typeInfo_) return E_NOTIMPL;
    return DispInvoke(static_cast<_IDTExtensibility2*>(this), typeInfo_.get(), member, flags,
                      parameters, result, exception, badArgument);
  }

  // _IDTExtensibility2
  HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* application, LONG connectMode,
                                         IDispatch* addInInstance, SAFEARRAY**) override {
    return fenced([&] {
      return connect_->onConnection(adapt(application), connectMode, adapt(addInInstance));
    });
  }
  HRESULT STDMETHODCALLTYPE OnDisconnection(LONG removeMode, SAFEARRAY**) override {
    return fenced([&] { return connect_->onDisconnection(removeMode); });
  }
  HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY**) override {
    return fenced([&] { return connect_->onAddInsUpdate(); });
  }
  HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY**) override {
    return fenced([&] { return connect_->onStartupComplete(); });
  }
  HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY**) override {
    return fenced([&] { return connect_->onBeginShutdown(); });
  }

 private:
  bool answers(REFIID iid) const override {
    return IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID__IDTExtensibility2);
  }

  ComModule& module_;
  ComPtr<ITypeInfo> typeInfo_;
  std::unique_ptr<CConnect> connect_;
};

}  // namespace

HRESULT createConnectObject(ComModule& module, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  return fenced([&]() -> HRESULT {
    ComPtr<ITypeInfo> typeInfo;
    module.hostTypeInfo(IID__IDTExtensibility2, typeInfo);
    // COM's reference count owns the object from here on.
    ComPtr<_IDTExtensibility2> made(new ConnectObject(module, std::move(typeInfo)));
    return made->QueryInterface(iid, object);
  });
}

}  // namespace qx::win32

#include "win/com/connect_com.h"

#include <memory>

#include "core/connect.h"
#include "win/com/com_module.h"
#include "win/com/dual_dispatch.h"
#include "win/com/fenced.h"
#include "win/host_objects.h"

namespace qx::win32 {
namespace {

std::shared_ptr<Dispatch> adapt(IDispatch* object) {
  return object ? makeHostObject(ComPtr<IDispatch>(object)) : nullptr;
}

// IDispatch by the type library of the host's interfaces.
class ConnectObject final : public DualDispatch<_IDTExtensibility2> {
 public:
  ConnectObject(ComModule& module, ComPtr<ITypeInfo> typeInfo)
      : DualDispatch(std::move(typeInfo)),
        module_(module),
        connect_(module.addin().createConnect()) {
    module_.objectCreated();
  }
  ~ConnectObject() override {
    connect_.reset();
    module_.objectDestroyed();
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

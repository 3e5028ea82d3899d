#include "win/com/class_factory.h"

#include <atomic>

#include "win/com/com_module.h"

namespace qx::win32 {
namespace {

class ClassFactory final : public IClassFactory {
 public:
  ClassFactory(ComModule& module, InstanceMaker create) : module_(module), create_(create) {
    module_.objectCreated();
  }
  ~ClassFactory() { module_.objectDestroyed(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;  // COM's own lifetime rule
    return left;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return create_(module_, iid, object);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    module_.lockServer(lock != FALSE);
    return S_OK;
  }

 private:
  std::atomic<ULONG> references_{0};
  ComModule& module_;
  InstanceMaker create_;
};

}  // namespace

HRESULT createClassFactory(ComModule& module, InstanceMaker create, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  try {
    // COM's reference count owns the object from here on.
    ComPtr<IClassFactory> factory(new ClassFactory(module, create));
    return factory->QueryInterface(iid, object);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace qx::win32

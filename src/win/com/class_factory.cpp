#include "win/com/class_factory.h"

#include "win/com/com_module.h"
#include "win/com/ref_counted.h"

namespace qx::win32 {
namespace {

class ClassFactory final : public RefCounted<IClassFactory> {
 public:
  ClassFactory(ComModule& module, InstanceMaker create) : module_(module), create_(create) {
    module_.objectCreated();
  }
  ~ClassFactory() override { module_.objectDestroyed(); }

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
  bool answers(REFIID iid) const override { return IsEqualIID(iid, IID_IClassFactory); }

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

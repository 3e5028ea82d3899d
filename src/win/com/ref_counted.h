#pragma once
// What every object the module hands to COM shares: a thread-safe reference
// count that deletes the object with its last reference, and the one
// QueryInterface answer such an object gives, its own interface, for
// IUnknown and whichever ids the object says it answers to.
#include <windows.h>

#include <unknwn.h>

#include <atomic>

namespace qx::win32 {

template <class Interface>
class RefCounted : public Interface {
 public:
  RefCounted() = default;
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || answers(iid)) {
      *object = static_cast<Interface*>(this);
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

 protected:
  // Virtual so that the last Release runs the whole object's destructor; it
  // comes after the interface's methods in the table, which COM never sees.
  virtual ~RefCounted() = default;
  // The ids besides IID_IUnknown that reach `Interface`.
  virtual bool answers(REFIID iid) const = 0;

 private:
  std::atomic<ULONG> references_{0};
};

}  // namespace qx::win32

#pragma once
// A RefCounted object whose interface is dual: its IDispatch runs the
// interface's own vtable members by the type information of the interface,
// so a caller by name reaches the same code as a caller through the vtable.
#include <windows.h>

#include <oaidl.h>
#include <oleauto.h>

#include "win/com/ref_counted.h"
#include "win/com_ptr.h"

namespace qx::win32 {

template <class Interface>
class DualDispatch : public RefCounted<Interface> {
 public:
  // Without type information (the library could not be loaded) the object
  // still works through its vtable; by name it answers E_NOTIMPL.
  explicit DualDispatch(ComPtr<ITypeInfo> typeInfo) : typeInfo_(std::move(typeInfo)) {}

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
    return DispInvoke(static_cast<Interface*>(this), typeInfo_.get(), member, flags, parameters,
                      result, exception, badArgument);
  }

 private:
  ComPtr<ITypeInfo> typeInfo_;
};

}  // namespace qx::win32

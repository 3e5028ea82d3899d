#include "win/event_sink_com.h"

#include <atomic>
#include <vector>

#include "win/com_guid.h"
#include "win/com_variant.h"

namespace qx::win32 {
namespace {

class EventSinkCom final : public IDispatch {
 public:
  EventSinkCom(std::shared_ptr<EventSink> sink, const Guid& eventIid)
      : sink_(std::move(sink)), eventIid_(toGuid(eventIid)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, eventIid_)) {
      *object = static_cast<IDispatch*>(this);
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
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO*, UINT*) override {
    if (result) VariantInit(result);
    try {
      // The host passes the arguments last first.
      std::vector<Variant> arguments;
      if (parameters) {
        for (UINT i = parameters->cArgs; i > 0; --i)
          arguments.push_back(fromComVariant(parameters->rgvarg[i - 1]));
      }
      return sink_->invoke(member, arguments);
    } catch (...) {
      return E_UNEXPECTED;
    }
  }

 private:
  std::atomic<ULONG> references_{0};
  std::shared_ptr<EventSink> sink_;
  GUID eventIid_;
};

}  // namespace

ComPtr<IDispatch> makeEventSinkCom(std::shared_ptr<EventSink> sink, const Guid& eventIid) {
  // The raw allocation is handed to COM's reference count at once.
  return ComPtr<IDispatch>(new EventSinkCom(std::move(sink), eventIid));
}

}  // namespace qx::win32

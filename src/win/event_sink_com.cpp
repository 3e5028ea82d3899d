#include "win/event_sink_com.h"

#include <atomic>
#include <vector>

#include "win/com/ref_counted.h"
#include "win/com_guid.h"
#include "win/com_variant.h"

namespace qx::win32 {
namespace {

// One count for the loaded module, as COM asks the module and not an object
// whether it may be unloaded; the sinks are made by adapters that know
// nothing of the module object.
std::atomic<long> sinksAlive{0};

class EventSinkCom final : public RefCounted<IDispatch> {
 public:
  EventSinkCom(std::shared_ptr<EventSink> sink, const Guid& eventIid)
      : sink_(std::move(sink)), eventIid_(toGuid(eventIid)) {
    ++sinksAlive;
  }
  ~EventSinkCom() override { --sinksAlive; }

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
  bool answers(REFIID iid) const override {
    return IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, eventIid_);
  }

  std::shared_ptr<EventSink> sink_;
  GUID eventIid_;
};

}  // namespace

long liveEventSinks() { return sinksAlive; }

ComPtr<IDispatch> makeEventSinkCom(std::shared_ptr<EventSink> sink, const Guid& eventIid) {
  // The raw allocation is handed to COM's reference count at once.
  return ComPtr<IDispatch>(new EventSinkCom(std::move(sink), eventIid));
}

}  // namespace qx::win32

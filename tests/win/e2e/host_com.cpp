#include "host_com.h"

#include <map>
#include <vector>

#include "mail_file.h"
#include "win/com/ref_counted.h"
#include "win/com_variant.h"

namespace qx::e2e {

ITypeLib* hostTypeLibrary() {
  static ITypeLib* library = [] {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring file(path);
    file = file.substr(0, file.find_last_of(L'\\') + 1) + L"mail_host.tlb";
    ITypeLib* loaded = nullptr;
    if (FAILED(LoadTypeLibEx(file.c_str(), REGKIND_NONE, &loaded))) return (ITypeLib*)nullptr;
    return loaded;
  }();
  return library;
}

ITypeInfo* typeInfoOf(REFIID iid) {
  static std::map<std::wstring, ITypeInfo*> infos;
  wchar_t key[40] = {};
  StringFromGUID2(iid, key, 40);
  auto found = infos.find(key);
  if (found != infos.end()) return found->second;
  ITypeInfo* info = nullptr;
  if (!hostTypeLibrary() || FAILED(hostTypeLibrary()->GetTypeInfoOfGuid(iid, &info)))
    return nullptr;
  infos[key] = info;
  return info;
}

namespace {
void (*failedCallLog)(const std::string&) = nullptr;
}

void setFailedCallLog(void (*log)(const std::string& line)) { failedCallLog = log; }

void reportFailedCall(ITypeInfo* info, DISPID member, WORD flags, HRESULT status) {
  if (!failedCallLog) return;
  BSTR interfaceName = nullptr, memberName = nullptr;
  info->GetDocumentation(MEMBERID_NIL, &interfaceName, nullptr, nullptr, nullptr);
  UINT found = 0;
  info->GetNames(member, &memberName, 1, &found);
  char text[64];
  wsprintfA(text, " (flags %u) failed: %08X", flags, static_cast<unsigned>(status));
  failedCallLog(toUtf8(textOf(interfaceName)) + "." + toUtf8(textOf(memberName)) + text);
  SysFreeString(interfaceName);
  SysFreeString(memberName);
}

std::u16string textOf(BSTR text) {
  return text ? std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text))
              : std::u16string();
}

BSTR newText(std::u16string_view text) {
  return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                           static_cast<UINT>(text.size()));
}

Variant portValue(const VARIANT& value) {
  const VARIANT* v = &value;
  if (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
  IDispatch* object = nullptr;
  if (V_VT(v) == VT_DISPATCH) object = V_DISPATCH(v);
  if (V_VT(v) == (VT_DISPATCH | VT_BYREF) && V_DISPATCHREF(v)) object = *V_DISPATCHREF(v);
  if ((V_VT(v) & ~VT_BYREF) != VT_DISPATCH) return win32::fromComVariant(*v);
  if (!object) return Variant();
  // Only this host's own objects can come back; anything else is no object
  // of the host's.
  IHostBacked* backed = nullptr;
  if (FAILED(object->QueryInterface(kIidHostBacked, reinterpret_cast<void**>(&backed))))
    return Variant();
  std::shared_ptr<Dispatch> backing = backed->backing();
  backed->Release();
  return backing ? Variant(std::move(backing)) : Variant();
}

HRESULT comValue(const Variant& value, VARIANT* out) {
  if (!out) return E_POINTER;
  VariantInit(out);
  if (value.type() == VarType::kDispatch) {
    V_VT(out) = VT_DISPATCH;
    V_DISPATCH(out) = wrapObject(value.asDispatch());
    return S_OK;
  }
  win32::ComVariant converted = win32::toComVariant(value);
  return VariantCopy(out, converted.get());
}

HRESULT put(const Result<std::u16string>& value, BSTR* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!value) return value.error();
  *out = newText(*value);
  return S_OK;
}
HRESULT put(const Result<std::int32_t>& value, long* out) {
  if (!out) return E_POINTER;
  if (!value) return value.error();
  *out = *value;
  return S_OK;
}
HRESULT put(const Result<bool>& value, VARIANT_BOOL* out) {
  if (!out) return E_POINTER;
  if (!value) return value.error();
  *out = *value ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}
HRESULT put(const Result<DateValue>& value, DATE* out) {
  if (!out) return E_POINTER;
  if (!value) return value.error();
  *out = value->days;
  return S_OK;
}
HRESULT put(const Result<Variant>& value, VARIANT* out) {
  if (!out) return E_POINTER;
  VariantInit(out);
  if (!value) return value.error();
  return comValue(*value, out);
}

namespace {

// The add-in's sink as the stand-in's event sink: the event's arguments go
// out as this host's COM objects, last first, as IDispatch::Invoke takes them.
class SinkBridge final : public EventSink {
 public:
  explicit SinkBridge(IDispatch* sink) : sink_(sink) { sink_->AddRef(); }
  ~SinkBridge() override { sink_->Release(); }
  SinkBridge(const SinkBridge&) = delete;
  SinkBridge& operator=(const SinkBridge&) = delete;
  Hresult invoke(std::int32_t dispId, std::span<const Variant> args) override {
    std::vector<VARIANT> raw(args.size());
    for (std::size_t i = 0; i < args.size(); ++i) comValue(args[args.size() - 1 - i], &raw[i]);
    DISPPARAMS parameters{raw.data(), nullptr, static_cast<UINT>(raw.size()), 0};
    HRESULT status = sink_->Invoke(dispId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                   &parameters, nullptr, nullptr, nullptr);
    for (VARIANT& v : raw) VariantClear(&v);
    return status;
  }

 private:
  IDispatch* sink_;
};

class ConnectionPointCom final : public win32::RefCounted<IConnectionPoint> {
 public:
  ConnectionPointCom(std::shared_ptr<ConnectionPoint> point, REFIID eventIid,
                     IConnectionPointContainer* container)
      : point_(std::move(point)), eventIid_(eventIid), container_(container) {
    container_->AddRef();
  }
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
    if (!iid) return E_POINTER;
    *iid = eventIid_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** c) override {
    if (!c) return E_POINTER;
    *c = container_;
    container_->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
    if (!sink || !cookie) return E_POINTER;
    *cookie = 0;
    // A sink must be of the event interface, as the host asks it.
    IDispatch* events = nullptr;
    if (FAILED(sink->QueryInterface(eventIid_, reinterpret_cast<void**>(&events))))
      return CONNECT_E_CANNOTCONNECT;
    auto advised = point_->advise(std::make_shared<SinkBridge>(events));
    events->Release();
    if (!advised) return advised.error();
    *cookie = *advised;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override { return point_->unadvise(cookie); }
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

 private:
  ~ConnectionPointCom() override { container_->Release(); }
  bool answers(REFIID iid) const override { return IsEqualIID(iid, IID_IConnectionPoint); }
  std::shared_ptr<ConnectionPoint> point_;
  IID eventIid_;
  IConnectionPointContainer* container_;
};

}  // namespace

IConnectionPoint* makeConnectionPoint(std::shared_ptr<ConnectionPoint> point, REFIID eventIid,
                                      IConnectionPointContainer* container) {
  auto* made = new ConnectionPointCom(std::move(point), eventIid, container);
  made->AddRef();  // the caller's reference
  return made;
}

}  // namespace qx::e2e

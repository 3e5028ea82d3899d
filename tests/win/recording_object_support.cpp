#include <atomic>
#include <memory>
#include <set>

#include "win/com/ref_counted.h"
#include "win/recording_object.h"

namespace qx::wintest {
namespace {

// Asked of an object to learn whether it is one of ours.
constexpr IID kRecordingIid = {
    0x5A0F3C11, 0x7E2B, 0x4C61, {0x9D, 0x1A, 0x2F, 0x33, 0x8C, 0x41, 0x6B, 0x07}};

std::string narrow(const wchar_t* text, UINT length) {
  std::string out;
  for (UINT i = 0; i < length; ++i) out += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
  return out;
}

std::string describe(const VARIANT& value) {
  switch (V_VT(&value)) {
    case VT_BSTR:
      return narrow(V_BSTR(&value), SysStringLen(V_BSTR(&value)));
    case VT_I4:
      return std::to_string(V_I4(&value));
    case VT_I2:
      return std::to_string(V_I2(&value));
    case VT_BOOL:
      return V_BOOL(&value) ? "true" : "false";
    case VT_ERROR:
      return V_ERROR(&value) == DISP_E_PARAMNOTFOUND ? "missing" : "error";
    case VT_EMPTY:
      return "empty";
    case VT_DISPATCH: {
      IDispatch* object = V_DISPATCH(&value);
      if (!object) return "nothing";
      // Our own objects answer with their name.
      win32::ComPtr<RecordingObject> recording;
      if (SUCCEEDED(object->QueryInterface(kRecordingIid, recording.putVoid())))
        return recording->name();
      return "object";
    }
    default:
      return "vt" + std::to_string(V_VT(&value));
  }
}

class Point;

class Recording final : public RecordingObject {
 public:
  Recording(std::string name, std::vector<IID> interfaces, std::vector<IID> events)
      : name_(std::move(name)), interfaces_(std::move(interfaces)), events_(std::move(events)) {}
  ~Recording() {
    for (auto& [name, value] : values_) VariantClear(&value);
  }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
      *object = static_cast<IDispatch*>(this);
    } else if (IsEqualIID(iid, kRecordingIid)) {
      *object = static_cast<RecordingObject*>(this);
    } else if (IsEqualIID(iid, IID_IConnectionPointContainer)) {
      *object = static_cast<IConnectionPointContainer*>(this);
    } else {
      for (const IID& known : interfaces_)
        if (IsEqualIID(iid, known)) *object = static_cast<IDispatch*>(this);
    }
    if (!*object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (count != 1) return E_INVALIDARG;
    for (std::size_t i = 0; i < members_.size(); ++i) {
      if (_wcsicmp(members_[i].first.c_str(), names[0]) == 0) {
        ids[0] = static_cast<DISPID>(i + 1);
        return S_OK;
      }
    }
    calls_.push_back("unknown " + narrow(names[0], static_cast<UINT>(wcslen(names[0]))));
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO*, UINT*) override {
    if (id < 1 || static_cast<std::size_t>(id) > members_.size()) return DISP_E_MEMBERNOTFOUND;
    std::vector<VARIANT> arguments;
    for (UINT i = parameters->cArgs; i > 0; --i) arguments.push_back(parameters->rgvarg[i - 1]);
    const bool byReferenceOnly = byReference_.count(members_[id - 1].first) != 0;
    if (byReferenceOnly && (flags & DISPATCH_PROPERTYPUT)) return DISP_E_MEMBERNOTFOUND;
    std::string note =
        (flags & DISPATCH_PROPERTYPUT      ? "put "
         : flags & DISPATCH_PROPERTYPUTREF ? "putref "
                                           : "") +
        narrow(members_[id - 1].first.c_str(), static_cast<UINT>(members_[id - 1].first.size()));
    if (!arguments.empty() || flags & DISPATCH_METHOD) {
      note += "(";
      for (std::size_t i = 0; i < arguments.size(); ++i)
        note += (i ? ", " : "") + describe(arguments[i]);
      note += ")";
    }
    calls_.push_back(note);
    VARIANT ignored;
    VariantInit(&ignored);
    HRESULT status = members_[id - 1].second(arguments, result ? result : &ignored);
    VariantClear(&ignored);
    return status;
  }

  // IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

  // RecordingObject
  void define(std::wstring name, Member member) override {
    for (auto& [known, existing] : members_) {
      if (_wcsicmp(known.c_str(), name.c_str()) == 0) {
        existing = std::move(member);
        return;
      }
    }
    members_.emplace_back(std::move(name), std::move(member));
  }
  void defineValue(std::wstring name, const VARIANT& value) override {
    VARIANT& stored = values_[name];
    VariantInit(&stored);
    VariantCopy(&stored, const_cast<VARIANT*>(&value));
    define(name, [&stored](const std::vector<VARIANT>&, VARIANT* result) {
      return VariantCopy(result, &stored);
    });
  }
  void defineByReference(std::wstring name, Member member) override {
    byReference_.insert(name);
    define(std::move(name), std::move(member));
  }
  const std::vector<std::string>& calls() const override { return calls_; }
  std::vector<IDispatch*> sinks(REFIID eventIid) const override;
  HRESULT raise(REFIID eventIid, DISPID event, std::vector<VARIANT> arguments) override;
  const std::string& name() const override { return name_; }

  std::map<DWORD, win32::ComPtr<IDispatch>>& sinksOf(REFIID iid) {
    for (auto& [known, sinks] : advised_)
      if (IsEqualIID(known, iid)) return sinks;
    advised_.emplace_back(iid, std::map<DWORD, win32::ComPtr<IDispatch>>());
    return advised_.back().second;
  }
  bool raises(REFIID iid) const {
    for (const IID& known : events_)
      if (IsEqualIID(known, iid)) return true;
    return false;
  }
  DWORD nextCookie() { return ++cookie_; }

 private:
  std::atomic<ULONG> references_{0};
  std::string name_;
  std::vector<IID> interfaces_;
  std::vector<IID> events_;
  std::vector<std::pair<std::wstring, Member>> members_;
  std::map<std::wstring, VARIANT> values_;
  std::set<std::wstring> byReference_;
  std::vector<std::string> calls_;
  std::vector<std::pair<IID, std::map<DWORD, win32::ComPtr<IDispatch>>>> advised_;
  DWORD cookie_ = 0;
};

class Point final : public win32::RefCounted<IConnectionPoint> {
 public:
  Point(Recording& owner, REFIID iid) : owner_(owner), iid_(iid) { owner_.AddRef(); }
  ~Point() override { owner_.Release(); }
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
    *iid = iid_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** c) override {
    return owner_.QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(c));
  }
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
    // A sink must answer the event interface itself, as the host asks.
    win32::ComPtr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(iid_, dispatch.putVoid()))) return CONNECT_E_CANNOTCONNECT;
    *cookie = owner_.nextCookie();
    owner_.sinksOf(iid_)[*cookie] = dispatch;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
    return owner_.sinksOf(iid_).erase(cookie) ? S_OK : CONNECT_E_NOCONNECTION;
  }
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

 private:
  bool answers(REFIID iid) const override { return IsEqualIID(iid, IID_IConnectionPoint); }

  Recording& owner_;
  IID iid_;
};

HRESULT Recording::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  *point = nullptr;
  if (!raises(iid)) return CONNECT_E_NOCONNECTION;
  *point = new Point(*this, iid);
  (*point)->AddRef();
  return S_OK;
}

std::vector<IDispatch*> Recording::sinks(REFIID eventIid) const {
  std::vector<IDispatch*> result;
  for (auto& [known, sinks] : advised_)
    if (IsEqualIID(known, eventIid))
      for (auto& [cookie, sink] : sinks) result.push_back(sink.get());
  return result;
}

HRESULT Recording::raise(REFIID eventIid, DISPID event, std::vector<VARIANT> arguments) {
  std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
  DISPPARAMS parameters{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  HRESULT status = S_OK;
  for (IDispatch* sink : sinks(eventIid)) {
    HRESULT one =
        sink->Invoke(event, IID_NULL, 0, DISPATCH_METHOD, &parameters, nullptr, nullptr, nullptr);
    if (FAILED(one)) status = one;
  }
  return status;
}

}  // namespace

win32::ComPtr<RecordingObject> makeRecordingObject(std::string name, std::vector<IID> interfaces,
                                                   std::vector<IID> eventInterfaces) {
  return win32::ComPtr<RecordingObject>(
      new Recording(std::move(name), std::move(interfaces), std::move(eventInterfaces)));
}

VARIANT textVariant(const wchar_t* text) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = SysAllocString(text);
  return v;
}

VARIANT longVariant(long value) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I4;
  V_I4(&v) = value;
  return v;
}

VARIANT objectVariant(IDispatch* object) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_DISPATCH;
  V_DISPATCH(&v) = object;
  if (object) object->AddRef();
  return v;
}

}  // namespace qx::wintest

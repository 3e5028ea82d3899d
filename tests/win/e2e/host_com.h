#pragma once
// The test host's automation objects: each one shows a stand-in object to the
// add-in through an interface of the host's type library. IDispatch is served
// by the type information (DispGetIDsOfNames, DispInvoke), so a call with the
// wrong dispatch flags, a missing argument or a put where a put-by-reference
// is declared fails as it fails against the real host.
#include <windows.h>

#include <ocidl.h>
#include <oleauto.h>
#include <olectl.h>

#include <atomic>
#include <memory>
#include <string>

#include "mail_host_idl.h"
#include "platform/mail_client.h"
#include "platform/safe_library.h"
#include "platform/variant.h"
#include "win/com_guid.h"

namespace qx::e2e {

// Finds the stand-in object behind a COM object of this host, so that an
// object the add-in passes back (a folder to move to, an item to wrap)
// reaches the stand-in as the object it handed out.
inline constexpr IID kIidHostBacked = {
    0x6C1F2A00, 0x5E1B, 0x4C0B, {0x9D, 0x51, 0x3A, 0x0E, 0x7F, 0x2B, 0x1F, 0x01}};
struct IHostBacked : IUnknown {
  virtual std::shared_ptr<Dispatch> backing() = 0;
};

// The type library, loaded once from the host's own folder.
ITypeLib* hostTypeLibrary();
ITypeInfo* typeInfoOf(REFIID iid);

// Told of every call that the type information or the stand-in refused, so
// that the run can show where the add-in and the host part.
void setFailedCallLog(void (*log)(const std::string& line));
void reportFailedCall(ITypeInfo* info, DISPID member, WORD flags, HRESULT status);

// Conversions at the boundary.
std::u16string textOf(BSTR text);
BSTR newText(std::u16string_view text);
Variant portValue(const VARIANT& value);
HRESULT comValue(const Variant& value, VARIANT* out);
// A COM object for a stand-in object of any kind (nullptr stays nullptr).
IDispatch* wrapObject(std::shared_ptr<Dispatch> object);

HRESULT put(const Result<std::u16string>& value, BSTR* out);
HRESULT put(const Result<std::int32_t>& value, long* out);
HRESULT put(const Result<bool>& value, VARIANT_BOOL* out);
HRESULT put(const Result<DateValue>& value, DATE* out);
HRESULT put(const Result<Variant>& value, VARIANT* out);
inline HRESULT statusOf(Hresult status) { return static_cast<HRESULT>(status); }

// The objects of the host's model that are not Dispatch objects of the port.
IDispatch* wrapUserProperties(std::shared_ptr<UserProperties> object);
IDispatch* wrapAttachments(std::shared_ptr<Attachments> object);
IDispatch* wrapCommandBars(std::shared_ptr<CommandBars> object);
IDispatch* wrapSafeAttachments(std::shared_ptr<SafeAttachments> object);
IDispatch* wrapSafeRecipients(std::shared_ptr<SafeRecipients> object);
IDispatch* wrapSafeStore(std::shared_ptr<SafeStore> object);

// An object result: its COM object, or the status of the failed call.
template <class T, class Wrap>
HRESULT putObject(const Result<std::shared_ptr<T>>& value, IDispatch** out, Wrap wrap) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!value) return value.error();
  if (!*value) return S_OK;
  *out = wrap(*value);
  // A stand-in object this host cannot show is the host's fault, never "none".
  return *out ? S_OK : E_NOINTERFACE;
}
template <class T>
HRESULT putObject(const Result<std::shared_ptr<T>>& value, IDispatch** out) {
  return putObject(value, out, [](const std::shared_ptr<T>& object) {
    return wrapObject(std::static_pointer_cast<Dispatch>(object));
  });
}

// IUnknown and IDispatch of one interface over one stand-in object. The
// stand-in's connection points are offered through IConnectionPointContainer.
template <class Interface, class Port>
class HostObject : public Interface, public IHostBacked, public IConnectionPointContainer {
 public:
  explicit HostObject(std::shared_ptr<Port> port) : port_(std::move(port)) {}
  HostObject(const HostObject&) = delete;
  HostObject& operator=(const HostObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, __uuidof(Interface)))
      *object = static_cast<Interface*>(this);
    else if (IsEqualIID(iid, kIidHostBacked))
      *object = static_cast<IHostBacked*>(this);
    else if (IsEqualIID(iid, IID_IConnectionPointContainer) && backing())
      *object = static_cast<IConnectionPointContainer*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    *info = typeInfoOf(__uuidof(Interface));
    if (!*info) return E_UNEXPECTED;
    (*info)->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    ITypeInfo* info = typeInfoOf(__uuidof(Interface));
    return info ? DispGetIDsOfNames(info, names, count, ids) : E_UNEXPECTED;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* exception,
                                   UINT* badArgument) override {
    ITypeInfo* info = typeInfoOf(__uuidof(Interface));
    if (!info) return E_UNEXPECTED;
    HRESULT status = DispInvoke(static_cast<Interface*>(this), info, member, flags, parameters,
                                result, exception, badArgument);
    if (FAILED(status)) reportFailedCall(info, member, flags, status);
    return status;
  }

  std::shared_ptr<Dispatch> backing() override {
    if constexpr (std::is_base_of_v<Dispatch, Port>)
      return std::static_pointer_cast<Dispatch>(port_);
    else
      return nullptr;
  }

  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

 protected:
  virtual ~HostObject() = default;
  std::shared_ptr<Port> port_;

 private:
  std::atomic<ULONG> references_{1};
};

// A connection point of the stand-in as a COM connection point: the add-in's
// dispatch sink is called with the event's dispatch id and its arguments.
IConnectionPoint* makeConnectionPoint(std::shared_ptr<ConnectionPoint> point, REFIID eventIid,
                                      IConnectionPointContainer* container);

template <class Interface, class Port>
HRESULT HostObject<Interface, Port>::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (!point) return E_POINTER;
  *point = nullptr;
  std::shared_ptr<Dispatch> object = backing();
  if (!object) return CONNECT_E_NOCONNECTION;
  auto found = object->findConnectionPoint(win32::fromGuid(iid));
  if (!found) return found.error();
  *point = makeConnectionPoint(std::move(*found), iid, this);
  return S_OK;
}

}  // namespace qx::e2e

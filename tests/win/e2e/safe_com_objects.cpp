// The safe-item library's objects over the stand-in's: the host program makes
// them for the library's in-process server, which only forwards its class
// objects here, where the stand-in mail client lives.
#include "host_com.h"

namespace qx::e2e {
namespace {

// The stand-in object behind an object the add-in hands back.
std::shared_ptr<Dispatch> backingOf(IDispatch* object) {
  if (!object) return nullptr;
  VARIANT v;
  V_VT(&v) = VT_DISPATCH;
  V_DISPATCH(&v) = object;
  return portValue(v).asDispatch();
}

class SafeAttachmentCom final : public HostObject<ISafeAttachment, SafeAttachment> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE SaveAsFile(BSTR path) override {
    return port_->saveAsFile(textOf(path));
  }
};

class SafeAttachmentsCom final : public HostObject<ISafeAttachments, SafeAttachments> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE get_Count(long* v) override { return put(port_->count(), v); }
  HRESULT STDMETHODCALLTYPE Item(long index, IDispatch** r) override {
    return putObject(port_->item(index), r, [](std::shared_ptr<SafeAttachment> attachment) {
      return static_cast<IDispatch*>(new SafeAttachmentCom(std::move(attachment)));
    });
  }
};

class SafeRecipientCom final : public HostObject<ISafeRecipient, SafeRecipient> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE get_Address(BSTR* v) override { return put(port_->address(), v); }
  HRESULT STDMETHODCALLTYPE get_Resolved(VARIANT_BOOL* v) override {
    return put(port_->resolved(), v);
  }
};

class SafeRecipientsCom final : public HostObject<ISafeRecipients, SafeRecipients> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE get_Count(long* v) override { return put(port_->count(), v); }
  HRESULT STDMETHODCALLTYPE Item(long index, IDispatch** r) override {
    return putObject(port_->item(index), r, [](std::shared_ptr<SafeRecipient> recipient) {
      return static_cast<IDispatch*>(new SafeRecipientCom(std::move(recipient)));
    });
  }
  HRESULT STDMETHODCALLTYPE ResolveAll(long* unresolved) override {
    if (!unresolved) return E_POINTER;
    std::int32_t count = *unresolved;
    HRESULT status = port_->resolveAll(count);
    *unresolved = count;
    return status;
  }
};

// A binary property (type 0x0102) leaves this library as a byte array, as
// some builds of the real one give it; the stand-in keeps it as hexadecimal.
HRESULT putBinary(const Result<Variant>& value, VARIANT* out) {
  if (!out) return E_POINTER;
  VariantInit(out);
  if (!value) return value.error();
  const std::u16string* hex = value->text();
  if (!hex || hex->size() % 2 != 0) return DISP_E_TYPEMISMATCH;
  SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(hex->size() / 2));
  if (!bytes) return E_OUTOFMEMORY;
  auto digit = [](char16_t c) -> int {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
  };
  void* data = nullptr;
  SafeArrayAccessData(bytes, &data);
  bool wellFormed = true;
  for (std::size_t i = 0; i < hex->size() / 2; ++i) {
    const int high = digit((*hex)[2 * i]), low = digit((*hex)[2 * i + 1]);
    wellFormed = wellFormed && high >= 0 && low >= 0;
    static_cast<BYTE*>(data)[i] = static_cast<BYTE>((high << 4) | (low & 0x0F));
  }
  SafeArrayUnaccessData(bytes);
  if (!wellFormed) {
    SafeArrayDestroy(bytes);
    return DISP_E_TYPEMISMATCH;
  }
  V_VT(out) = VT_ARRAY | VT_UI1;
  V_ARRAY(out) = bytes;
  return S_OK;
}

class SafeStoreCom final : public HostObject<ISafeStore, SafeStore> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE get_StoreKind(long* v) override { return put(port_->kind(), v); }
  HRESULT STDMETHODCALLTYPE get_Fields(long tag, VARIANT* v) override {
    if ((tag & 0xFFFF) == 0x0102) return putBinary(port_->field(tag), v);
    return put(port_->field(tag), v);
  }
};

class SafeMailItemCom final : public HostObject<ISafeMailItem, SafeMailItem> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE put_Item(IDispatch* item) override {
    return port_->putItem(backingOf(item));
  }
  HRESULT STDMETHODCALLTYPE get_Body(BSTR* v) override { return put(port_->body(), v); }
  HRESULT STDMETHODCALLTYPE put_Body(BSTR v) override { return port_->setBody(textOf(v)); }
  HRESULT STDMETHODCALLTYPE get_Fields(long tag, VARIANT* v) override {
    return put(port_->field(tag), v);
  }
  HRESULT STDMETHODCALLTYPE put_Fields(long tag, VARIANT value) override {
    return port_->setField(tag, portValue(value));
  }
  HRESULT STDMETHODCALLTYPE get_Attachments(IDispatch** r) override {
    return putObject(port_->attachments(), r, wrapSafeAttachments);
  }
  HRESULT STDMETHODCALLTYPE get_Recipients(IDispatch** r) override {
    return putObject(port_->recipients(), r, wrapSafeRecipients);
  }
  HRESULT STDMETHODCALLTYPE Send() override { return port_->send(); }
};

class SafeTaskItemCom final : public HostObject<ISafeTaskItem, SafeTaskItem> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE put_Item(IDispatch* item) override {
    return port_->putItem(backingOf(item));
  }
  HRESULT STDMETHODCALLTYPE SaveAs(BSTR path, VARIANT) override {
    return port_->saveAs(textOf(path));
  }
  HRESULT STDMETHODCALLTYPE CopyTo(IDispatch* target) override {
    std::shared_ptr<Dispatch> item = backingOf(target);
    if (!item) return DISP_E_TYPEMISMATCH;
    return port_->copyTo(item);
  }
};

class MapiUtilitiesCom final : public HostObject<IMapiUtilities, MapiUtilities> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE GetIDsFromNames(IDispatch* object, BSTR set, BSTR name,
                                            VARIANT_BOOL create, long* result) override {
    if (!result) return E_POINTER;
    auto tag = port_->getIdsFromNames(backingOf(object), textOf(set), textOf(name),
                                      create != VARIANT_FALSE);
    return put(tag, result);
  }
  HRESULT STDMETHODCALLTYPE GetItemFromMsgFile(BSTR path, VARIANT createNew,
                                               IDispatch** r) override {
    return putObject(
        port_->getItemFromMsgFile(textOf(path), portValue(createNew).asBool().value_or(false)), r);
  }
  HRESULT STDMETHODCALLTYPE AddressBook(VARIANT recipients, VARIANT title, VARIANT oneAddress,
                                        VARIANT forceResolution, VARIANT lists, VARIANT toLabel,
                                        VARIANT ccLabel, VARIANT bccLabel, VARIANT allowMultiple,
                                        IDispatch** r) override {
    return putObject(
        port_->addressBook(portValue(recipients), portValue(title), portValue(oneAddress),
                           portValue(forceResolution), portValue(lists), portValue(toLabel),
                           portValue(ccLabel), portValue(bccLabel), portValue(allowMultiple)),
        r, wrapSafeRecipients);
  }
};

class SafeSessionCom final : public HostObject<ISafeSession, SafeSession> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE Logon(VARIANT profile, VARIANT password, VARIANT showDialog,
                                  VARIANT newSession, VARIANT parent) override {
    return port_->logon(portValue(profile), portValue(password), portValue(showDialog),
                        portValue(newSession), portValue(parent));
  }
  HRESULT STDMETHODCALLTYPE GetStoreFromID(VARIANT storeId, VARIANT flags, IDispatch** r) override {
    return putObject(port_->getStoreFromId(portValue(storeId), portValue(flags)), r, wrapSafeStore);
  }
};

class SafeMessageCom final : public HostObject<ISafeMessage, SafeMessage> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE get_Fields(long tag, VARIANT* v) override {
    return put(port_->field(tag), v);
  }
};

}  // namespace

IDispatch* wrapSafeAttachments(std::shared_ptr<SafeAttachments> object) {
  return new SafeAttachmentsCom(std::move(object));
}
IDispatch* wrapSafeRecipients(std::shared_ptr<SafeRecipients> object) {
  return new SafeRecipientsCom(std::move(object));
}
IDispatch* wrapSafeStore(std::shared_ptr<SafeStore> object) {
  return new SafeStoreCom(std::move(object));
}

IDispatch* wrapSafeObject(const std::shared_ptr<Dispatch>& object) {
  if (auto mail = object->querySafeMailItem()) return new SafeMailItemCom(*mail);
  if (auto task = object->querySafeTaskItem()) return new SafeTaskItemCom(*task);
  if (auto utilities = object->queryMapiUtilities()) return new MapiUtilitiesCom(*utilities);
  if (auto session = object->querySafeSession()) return new SafeSessionCom(*session);
  if (auto message = object->querySafeMessage()) return new SafeMessageCom(*message);
  return nullptr;
}

}  // namespace qx::e2e

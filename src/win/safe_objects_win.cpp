// The safe-item library's objects over IDispatch by member name: the names of
// the library's published operations (Item, Body, Fields, Attachments,
// SaveAsFile, Recipients, Send, SaveAs, CopyTo, GetIDsFromNames,
// GetItemFromMsgFile) and, where only the operation is known, Logon,
// GetStoreFromID, StoreKind, AddressBook, ResolveAll, Address and Resolved.
#include <windows.h>

#include <string>

#include "win/host_objects.h"

namespace qx::win32 {
namespace {

Hresult statusOf(const Result<ComVariant>& result) { return result ? S_OK : result.error(); }

template <class Made, class Make>
Result<std::shared_ptr<Made>> made(Result<ComPtr<IDispatch>> object, Make make) {
  if (!object) return failure(object.error());
  return make(std::move(*object));
}

Result<Variant> valueOf(Result<ComVariant> value) {
  if (!value) return failure(value.error());
  return fromComVariant(*value->get());
}

class SafeAttachmentWin final : public SafeAttachment {
 public:
  explicit SafeAttachmentWin(ComPtr<IDispatch> object) : automation_(std::move(object)) {}
  Hresult saveAsFile(std::u16string_view path) override {
    return statusOf(automation_.call(u"SaveAsFile", {Variant(path)}));
  }

 private:
  Automation automation_;
};

class SafeAttachmentsWin final : public SafeAttachments {
 public:
  explicit SafeAttachmentsWin(ComPtr<IDispatch> object) : automation_(std::move(object)) {}
  Result<std::int32_t> count() override { return automation_.getLong(u"Count"); }
  Result<std::shared_ptr<SafeAttachment>> item(std::int32_t index) override {
    return made<SafeAttachment>(
        automation_.callObject(u"Item", {Variant(index)}),
        [](ComPtr<IDispatch> o) { return std::make_shared<SafeAttachmentWin>(std::move(o)); });
  }

 private:
  Automation automation_;
};

class SafeRecipientWin final : public SafeRecipient {
 public:
  explicit SafeRecipientWin(ComPtr<IDispatch> object) : automation_(std::move(object)) {}
  Result<std::u16string> address() override { return automation_.getText(u"Address"); }
  Result<bool> resolved() override { return automation_.getBool(u"Resolved"); }

 private:
  Automation automation_;
};

class SafeRecipientsWin final : public SafeRecipients {
 public:
  explicit SafeRecipientsWin(ComPtr<IDispatch> object) : automation_(std::move(object)) {}
  Result<std::int32_t> count() override { return automation_.getLong(u"Count"); }
  Result<std::shared_ptr<SafeRecipient>> item(std::int32_t index) override {
    return made<SafeRecipient>(
        automation_.callObject(u"Item", {Variant(index)}),
        [](ComPtr<IDispatch> o) { return std::make_shared<SafeRecipientWin>(std::move(o)); });
  }
  Hresult resolveAll(std::int32_t& unresolved) override {
    return statusOf(automation_.callWithLongOut(u"ResolveAll", unresolved));
  }

 private:
  Automation automation_;
};

std::shared_ptr<SafeRecipients> makeRecipients(ComPtr<IDispatch> object) {
  return std::make_shared<SafeRecipientsWin>(std::move(object));
}

// A binary property comes back from some builds of the library as a byte
// array and from others as hexadecimal text; the host's ids are that text.
Result<Variant> binaryAsText(Result<ComVariant> value) {
  if (!value) return failure(value.error());
  VARIANT* raw = value->get();
  if (V_VT(raw) != (VT_ARRAY | VT_UI1)) return fromComVariant(*raw);
  SAFEARRAY* array = V_ARRAY(raw);
  LONG low = 0, high = -1;
  if (!array || SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetLBound(array, 1, &low)) ||
      FAILED(SafeArrayGetUBound(array, 1, &high)))
    return failure(DISP_E_TYPEMISMATCH);
  void* data = nullptr;
  if (HRESULT status = SafeArrayAccessData(array, &data); FAILED(status)) return failure(status);
  constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string text;
  for (LONG i = 0; i <= high - low; ++i) {
    const BYTE byte = static_cast<const BYTE*>(data)[i];
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  SafeArrayUnaccessData(array);
  return Variant(std::move(text));
}

class SafeStoreWin final : public SafeStore {
 public:
  explicit SafeStoreWin(ComPtr<IDispatch> object) : automation_(std::move(object)) {}
  Result<std::int32_t> kind() override { return automation_.getLong(u"StoreKind"); }
  Result<Variant> field(std::int32_t tag) override {
    return binaryAsText(automation_.getWith(u"Fields", {Variant(tag)}));
  }

 private:
  Automation automation_;
};

class SafeMailItemWin final : public ComObject<SafeMailItem> {
 public:
  using ComObject::ComObject;
  Hresult putItem(const std::shared_ptr<Dispatch>& item) override {
    return automation_.put(u"Item", Variant(item));
  }
  Result<std::u16string> body() override { return automation_.getText(u"Body"); }
  Hresult setBody(std::u16string_view text) override {
    return automation_.put(u"Body", Variant(text));
  }
  Result<Variant> field(std::int32_t tag) override {
    return valueOf(automation_.getWith(u"Fields", {Variant(tag)}));
  }
  Hresult setField(std::int32_t tag, const Variant& value) override {
    return automation_.putIndexed(u"Fields", Variant(tag), value);
  }
  Result<std::shared_ptr<SafeAttachments>> attachments() override {
    return made<SafeAttachments>(automation_.getObject(u"Attachments"), [](ComPtr<IDispatch> o) {
      return std::make_shared<SafeAttachmentsWin>(std::move(o));
    });
  }
  Result<std::shared_ptr<SafeRecipients>> recipients() override {
    return made<SafeRecipients>(automation_.getObject(u"Recipients"), makeRecipients);
  }
  Hresult send() override { return statusOf(automation_.call(u"Send")); }
};

class SafeTaskItemWin final : public ComObject<SafeTaskItem> {
 public:
  using ComObject::ComObject;
  Hresult putItem(const std::shared_ptr<Dispatch>& item) override {
    return automation_.put(u"Item", Variant(item));
  }
  Hresult saveAs(std::u16string_view path) override {
    return statusOf(automation_.call(u"SaveAs", {Variant(path)}));
  }
  Hresult copyTo(const std::shared_ptr<Dispatch>& target) override {
    return statusOf(automation_.call(u"CopyTo", {Variant(target)}));
  }
};

class MapiUtilitiesWin final : public ComObject<MapiUtilities> {
 public:
  using ComObject::ComObject;
  Result<std::int32_t> getIdsFromNames(const std::shared_ptr<Dispatch>& object,
                                       std::u16string_view propertySet, std::u16string_view name,
                                       bool create) override {
    auto value = automation_.call(u"GetIDsFromNames", {Variant(object), Variant(propertySet),
                                                       Variant(name), Variant(create)});
    if (!value) return failure(value.error());
    ComVariant number;
    HRESULT status = VariantChangeType(number.get(), value->get(), 0, VT_I4);
    if (FAILED(status)) return failure(status);
    return static_cast<std::int32_t>(V_I4(number.get()));
  }
  Result<std::shared_ptr<Dispatch>> getItemFromMsgFile(std::u16string_view path,
                                                       bool createNew) override {
    return made<Dispatch>(
        automation_.callObject(u"GetItemFromMsgFile", {Variant(path), Variant(createNew)}),
        makeHostObject);
  }
  Result<std::shared_ptr<SafeRecipients>> addressBook(
      const Variant& recipients, const Variant& title, const Variant& oneAddress,
      const Variant& forceResolution, const Variant& recipientLists, const Variant& toLabel,
      const Variant& ccLabel, const Variant& bccLabel, const Variant& allowMultiple) override {
    auto object = automation_.callOptionalObject(
        u"AddressBook", {recipients, title, oneAddress, forceResolution, recipientLists, toLabel,
                         ccLabel, bccLabel, allowMultiple});
    if (!object) return failure(object.error());
    // No collection: the user cancelled.
    if (!*object) return std::shared_ptr<SafeRecipients>();
    return makeRecipients(std::move(*object));
  }
};

class SafeSessionWin final : public ComObject<SafeSession> {
 public:
  using ComObject::ComObject;
  Hresult logon(const Variant& profileName, const Variant& password, const Variant& showDialog,
                const Variant& newSession, const Variant& parentWindow) override {
    return statusOf(
        automation_.call(u"Logon", {profileName, password, showDialog, newSession, parentWindow}));
  }
  Result<std::shared_ptr<SafeStore>> getStoreFromId(const Variant& storeId,
                                                    const Variant& flags) override {
    return made<SafeStore>(
        automation_.callObject(u"GetStoreFromID", {storeId, flags}),
        [](ComPtr<IDispatch> o) { return std::make_shared<SafeStoreWin>(std::move(o)); });
  }
};

class SafeMessageWin final : public ComObject<SafeMessage> {
 public:
  using ComObject::ComObject;
  Result<Variant> field(std::int32_t tag) override {
    return valueOf(automation_.getWith(u"Fields", {Variant(tag)}));
  }
};

}  // namespace

std::shared_ptr<SafeMailItem> makeSafeMailItem(ComPtr<IDispatch> object) {
  return std::make_shared<SafeMailItemWin>(std::move(object));
}
std::shared_ptr<SafeTaskItem> makeSafeTaskItem(ComPtr<IDispatch> object) {
  return std::make_shared<SafeTaskItemWin>(std::move(object));
}
std::shared_ptr<MapiUtilities> makeMapiUtilities(ComPtr<IDispatch> object) {
  return std::make_shared<MapiUtilitiesWin>(std::move(object));
}
std::shared_ptr<SafeSession> makeSafeSession(ComPtr<IDispatch> object) {
  return std::make_shared<SafeSessionWin>(std::move(object));
}
std::shared_ptr<SafeMessage> makeSafeMessage(ComPtr<IDispatch> object) {
  return std::make_shared<SafeMessageWin>(std::move(object));
}

}  // namespace qx::win32

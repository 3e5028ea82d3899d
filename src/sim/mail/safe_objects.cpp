// The simulated safe-item library: safe mail and task items, utilities (named
// properties, message files, address book) and the session with its stores.
#include "sim/mail/safe_objects.h"

#include "platform/safe_library.h"
#include "sim/mail/host_item_access.h"
#include "sim/mail/item_handle.h"
#include "sim/mail/mail_text.h"
#include "sim/mail/msg_file.h"
#include "sim/mail/tagged_props.h"

namespace qx::sim::mail {

namespace {

NameOfId storeNames(ItemHandle& handle) {
  Store* store = handle.store();
  return [store](std::uint16_t id) { return store ? store->nameOfId(id) : nullptr; };
}

// An item the library read from a message file: outside any folder, with a
// name mapping of its own that holds the names its properties use.
class MsgItemObject : public SafeMessage, public std::enable_shared_from_this<MsgItemObject> {
 public:
  MsgItemObject(std::shared_ptr<ClientCore> core, ItemData data)
      : core_(std::move(core)), data_(std::move(data)) {
    for (const UserProp& p : data_.userProperties) {
      map({std::u16string(prop_set::kPublicStrings), p.name});
    }
    for (const auto& [key, value] : data_.namedProperties) map(key);
  }

  Result<std::shared_ptr<SafeMessage>> querySafeMessage() override {
    if (auto f = core_->fault("safe.QueryInterface.SafeMessage")) return failure(*f);
    return shared_from_this();
  }
  Result<Variant> field(std::int32_t tag) override {
    if (auto f = core_->fault("safe.Message.Fields")) return failure(*f);
    return readTagged(data_, names(), tag);
  }

  const ItemData& data() const { return data_; }
  std::optional<std::uint16_t> idOf(const NamedKey& key) const {
    auto it = ids_.find(key);
    if (it == ids_.end()) return std::nullopt;
    return it->second;
  }
  std::optional<std::uint16_t> map(const NamedKey& key) {
    auto it = ids_.find(key);
    if (it != ids_.end()) return it->second;
    if (ids_.size() >= 0x7FFF) return std::nullopt;  // the named range is full
    auto id = static_cast<std::uint16_t>(0x8000 + ids_.size());
    ids_.emplace(key, id);
    keys_.emplace(id, key);
    return id;
  }

 private:
  NameOfId names() {
    return [this](std::uint16_t id) -> const NamedKey* {
      auto it = keys_.find(id);
      return it == keys_.end() ? nullptr : &it->second;
    };
  }
  std::shared_ptr<ClientCore> core_;
  ItemData data_;
  std::map<NamedKey, std::uint16_t> ids_;
  std::map<std::uint16_t, NamedKey> keys_;
};

class RecipientObject : public SafeRecipient {
 public:
  RecipientObject(std::shared_ptr<ClientCore> core, AddressChoice entry)
      : core_(std::move(core)), entry_(std::move(entry)) {}
  Result<std::u16string> address() override {
    if (auto f = core_->fault("safe.Recipient.Address")) return failure(*f);
    return entry_.address;
  }
  Result<bool> resolved() override {
    if (auto f = core_->fault("safe.Recipient.Resolved")) return failure(*f);
    return entry_.resolved;
  }

 private:
  std::shared_ptr<ClientCore> core_;
  AddressChoice entry_;
};

class RecipientsObject : public SafeRecipients {
 public:
  RecipientsObject(std::shared_ptr<ClientCore> core, std::vector<AddressChoice> entries)
      : core_(std::move(core)), entries_(std::move(entries)) {}

  Result<std::int32_t> count() override {
    if (auto f = core_->fault("safe.Recipients.Count")) return failure(*f);
    return static_cast<std::int32_t>(entries_.size());
  }
  Result<std::shared_ptr<SafeRecipient>> item(std::int32_t index) override {
    if (auto f = core_->fault("safe.Recipients.Item")) return failure(*f);
    if (index < 1 || static_cast<std::size_t>(index) > entries_.size()) {
      return failure(hr::kBadIndex);
    }
    return std::shared_ptr<SafeRecipient>(
        std::make_shared<RecipientObject>(core_, entries_[static_cast<std::size_t>(index - 1)]));
  }
  // The stand-in's address book knows every address with an '@'.
  Hresult resolveAll(std::int32_t& unresolved) override {
    if (auto f = core_->fault("safe.Recipients.ResolveAll")) return *f;
    unresolved = 0;
    for (AddressChoice& entry : entries_) {
      entry.resolved = entry.address.find(u'@') != std::u16string::npos;
      if (!entry.resolved) ++unresolved;
    }
    return hr::kOk;
  }

 private:
  std::shared_ptr<ClientCore> core_;
  std::vector<AddressChoice> entries_;
};

class SafeAttachmentObject : public SafeAttachment {
 public:
  SafeAttachmentObject(std::shared_ptr<ItemHandle> handle, std::uint32_t id)
      : handle_(std::move(handle)), id_(id) {}
  Hresult saveAsFile(std::u16string_view path) override {
    if (auto f = handle_->core().fault("safe.Attachment.SaveAsFile")) return *f;
    auto data = handle_->libraryView();
    if (!data) return data.error();
    for (const AttachmentData& a : (*data)->attachments) {
      if (a.id == id_) {
        return hresultFromWin32(handle_->core().files().writeFile(toAnsiPath(path), a.content));
      }
    }
    return hr::kMapiObjectDeleted;
  }

 private:
  std::shared_ptr<ItemHandle> handle_;
  std::uint32_t id_;
};

class SafeAttachmentsObject : public SafeAttachments {
 public:
  explicit SafeAttachmentsObject(std::shared_ptr<ItemHandle> handle) : handle_(std::move(handle)) {}
  Result<std::int32_t> count() override {
    if (auto f = handle_->core().fault("safe.Attachments.Count")) return failure(*f);
    auto data = handle_->libraryView();
    if (!data) return failure(data.error());
    return static_cast<std::int32_t>((*data)->attachments.size());
  }
  Result<std::shared_ptr<SafeAttachment>> item(std::int32_t index) override {
    if (auto f = handle_->core().fault("safe.Attachments.Item")) return failure(*f);
    auto data = handle_->libraryView();
    if (!data) return failure(data.error());
    const auto& list = (*data)->attachments;
    if (index < 1 || static_cast<std::size_t>(index) > list.size()) return failure(hr::kBadIndex);
    return std::shared_ptr<SafeAttachment>(std::make_shared<SafeAttachmentObject>(
        handle_, list[static_cast<std::size_t>(index - 1)].id));
  }

 private:
  std::shared_ptr<ItemHandle> handle_;
};

class SafeMailItemObject : public SafeMailItem,
                           public HasItemHandle,
                           public std::enable_shared_from_this<SafeMailItemObject> {
 public:
  explicit SafeMailItemObject(std::shared_ptr<ClientCore> core) : core_(std::move(core)) {}

  Result<std::shared_ptr<SafeMailItem>> querySafeMailItem() override {
    if (auto f = core_->fault("safe.QueryInterface.SafeMailItem")) return failure(*f);
    return shared_from_this();
  }
  std::shared_ptr<ItemHandle> itemHandle() override { return handle_; }

  Hresult putItem(const std::shared_ptr<Dispatch>& item) override {
    if (auto f = core_->fault("safe.SafeMailItem.SetItem")) return *f;
    if (!item) return hr::kPointer;
    auto handle = handleOf(item);
    if (!handle) return hr::kInvalidArg;
    handle_ = std::move(handle);
    // The library opens the message for writing, which takes a submitted
    // mail out of the transport's queue.
    handle_->stopSubmission();
    return hr::kOk;
  }
  Result<std::u16string> body() override {
    if (auto f = core_->fault("safe.SafeMailItem.Body")) return failure(*f);
    if (!handle_) return failure(hr::kUnexpected);
    auto data = handle_->libraryView();
    if (!data) return failure(data.error());
    return (*data)->body;
  }
  Hresult setBody(std::u16string_view text) override {
    if (auto f = core_->fault("safe.SafeMailItem.SetBody")) return *f;
    if (!handle_) return hr::kUnexpected;
    return handle_->libraryWrite([body = std::u16string(text)](ItemData& data) {
      data.body = body;
      return hr::kOk;
    });
  }
  Result<Variant> field(std::int32_t tag) override {
    if (auto f = core_->fault("safe.SafeMailItem.Fields")) return failure(*f);
    if (!handle_) return failure(hr::kUnexpected);
    if (handle_->transmitting()) return failure(hr::kMapiBusy);
    auto data = handle_->libraryView();
    if (!data) return failure(data.error());
    return readTagged(**data, storeNames(*handle_), tag);
  }
  Hresult setField(std::int32_t tag, const Variant& value) override {
    if (auto f = core_->fault("safe.SafeMailItem.SetFields")) return *f;
    if (!handle_) return hr::kUnexpected;
    return handle_->libraryWrite([names = storeNames(*handle_), tag, value](ItemData& data) {
      return writeTagged(data, names, tag, value);
    });
  }
  Result<std::shared_ptr<SafeAttachments>> attachments() override {
    if (auto f = core_->fault("safe.SafeMailItem.Attachments")) return failure(*f);
    if (!handle_) return failure(hr::kUnexpected);
    if (auto data = handle_->libraryView(); !data) return failure(data.error());
    return std::shared_ptr<SafeAttachments>(std::make_shared<SafeAttachmentsObject>(handle_));
  }
  Result<std::shared_ptr<SafeRecipients>> recipients() override {
    if (auto f = core_->fault("safe.SafeMailItem.Recipients")) return failure(*f);
    if (!handle_) return failure(hr::kUnexpected);
    auto data = handle_->libraryView();
    if (!data) return failure(data.error());
    std::vector<AddressChoice> entries;
    for (auto& address : splitAddresses((*data)->to)) entries.push_back({address, false});
    return std::shared_ptr<SafeRecipients>(
        std::make_shared<RecipientsObject>(core_, std::move(entries)));
  }
  Hresult send() override {
    if (auto f = core_->fault("safe.SafeMailItem.Send")) return *f;
    if (!handle_) return hr::kUnexpected;
    auto data = handle_->libraryView();
    if (!data) return data.error();
    if ((*data)->kind != ItemKind::kMail) return hr::kMapiNoSupport;
    return handle_->submit(true);
  }

 private:
  std::shared_ptr<ClientCore> core_;
  std::shared_ptr<ItemHandle> handle_;
};

class SafeTaskItemObject : public SafeTaskItem,
                           public std::enable_shared_from_this<SafeTaskItemObject> {
 public:
  explicit SafeTaskItemObject(std::shared_ptr<ClientCore> core) : core_(std::move(core)) {}

  Result<std::shared_ptr<SafeTaskItem>> querySafeTaskItem() override {
    if (auto f = core_->fault("safe.QueryInterface.SafeTaskItem")) return failure(*f);
    return shared_from_this();
  }

  Hresult putItem(const std::shared_ptr<Dispatch>& item) override {
    if (auto f = core_->fault("safe.SafeTaskItem.SetItem")) return *f;
    if (!item) return hr::kPointer;
    if (auto message = std::dynamic_pointer_cast<MsgItemObject>(item)) {
      handle_.reset();
      message_ = std::move(message);
      return hr::kOk;
    }
    auto handle = handleOf(item);
    if (!handle) return hr::kInvalidArg;
    message_.reset();
    handle_ = std::move(handle);
    return hr::kOk;
  }
  Hresult saveAs(std::u16string_view path) override {
    if (auto f = core_->fault("safe.SafeTaskItem.SaveAs")) return *f;
    auto data = source();
    if (!data) return data.error();
    std::vector<std::uint8_t> bytes = encodeMessageFile(**data);
    return hresultFromWin32(core_->files().writeFile(toAnsiPath(path), bytes));
  }
  Hresult copyTo(const std::shared_ptr<Dispatch>& target) override {
    if (auto f = core_->fault("safe.SafeTaskItem.CopyTo")) return *f;
    auto data = source();
    if (!data) return data.error();
    auto targetHandle = handleOf(target);
    if (!targetHandle) return target ? hr::kInvalidArg : hr::kPointer;
    // The source may be the target itself: copy before editing.
    ItemData from = **data;
    auto to = targetHandle->edit();
    if (!to) return to.error();
    copyContent(from, **to);
    return hr::kOk;
  }

 private:
  Result<const ItemData*> source() {
    if (message_) return &message_->data();
    if (handle_) return handle_->libraryView();
    return failure(hr::kUnexpected);
  }

  static void copyContent(const ItemData& from, ItemData& to) {
    to.subject = from.subject;
    to.body = from.body;
    to.importance = from.importance;
    to.sensitivity = from.sensitivity;
    to.categories = from.categories;
    to.owner = from.owner;
    to.status = from.status;
    to.percentComplete = from.percentComplete;
    to.startDate = from.startDate;
    to.dueDate = from.dueDate;
    to.complete = from.complete;
    to.attachments = from.attachments;
    for (const UserProp& p : from.userProperties) {
      if (UserProp* existing = to.findUserProperty(p.name)) {
        std::uint32_t keep = existing->id;
        *existing = p;
        existing->id = keep;
      } else {
        to.userProperties.push_back(p);
        to.userProperties.back().id = 0;
      }
    }
    to.numberUserProperties();
    for (const auto& [key, value] : from.namedProperties) to.namedProperties[key] = value;
  }

  std::shared_ptr<ClientCore> core_;
  std::shared_ptr<ItemHandle> handle_;
  std::shared_ptr<MsgItemObject> message_;
};

class MapiUtilitiesObject : public MapiUtilities,
                            public std::enable_shared_from_this<MapiUtilitiesObject> {
 public:
  explicit MapiUtilitiesObject(std::shared_ptr<ClientCore> core) : core_(std::move(core)) {}

  Result<std::shared_ptr<MapiUtilities>> queryMapiUtilities() override {
    if (auto f = core_->fault("safe.QueryInterface.MapiUtilities")) return failure(*f);
    return shared_from_this();
  }

  Result<std::int32_t> getIdsFromNames(const std::shared_ptr<Dispatch>& object,
                                       std::u16string_view propertySet, std::u16string_view name,
                                       bool create) override {
    if (auto f = core_->fault("safe.MapiUtilities.GetIDsFromNames")) return failure(*f);
    if (!object) return failure(hr::kPointer);
    auto set = canonicalGuidText(propertySet);
    if (!set || name.empty()) return failure(hr::kInvalidArg);
    NamedKey key{*set, std::u16string(name)};
    std::optional<std::uint16_t> id;
    if (auto message = std::dynamic_pointer_cast<MsgItemObject>(object)) {
      id = create ? message->map(key) : message->idOf(key);
      if (create && !id) return failure(hr::kFail);
    } else {
      auto handle = handleOf(object);
      if (!handle) return failure(hr::kInvalidArg);
      Store* store = handle->store();
      if (!store) return failure(hr::kMapiObjectDeleted);
      id = create ? store->mapName(key) : store->namedId(key);
      if (create && !id) return failure(hr::kFail);
    }
    if (!id) return failure(hr::kMapiNotFound);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(*id) << 16);
  }

  Result<std::shared_ptr<Dispatch>> getItemFromMsgFile(std::u16string_view path,
                                                       bool createNew) override {
    if (auto f = core_->fault("safe.MapiUtilities.GetItemFromMsgFile")) return failure(*f);
    if (createNew) return failure(hr::kMapiNoSupport);
    auto bytes = core_->files().readFile(toAnsiPath(path));
    if (!bytes) return failure(hresultFromWin32(bytes.error()));
    auto data = decodeMessageFile(*bytes);
    if (!data) return failure(data.error());
    return std::shared_ptr<Dispatch>(std::make_shared<MsgItemObject>(core_, std::move(*data)));
  }

  Result<std::shared_ptr<SafeRecipients>> addressBook(
      const Variant& recipients, const Variant& title, const Variant& oneAddress,
      const Variant& forceResolution, const Variant& recipientLists, const Variant& toLabel,
      const Variant& ccLabel, const Variant& bccLabel, const Variant& allowMultiple) override {
    if (auto f = core_->fault("safe.MapiUtilities.AddressBook")) return failure(*f);
    core_->addressBookCalls.push_back({recipients, title, oneAddress, forceResolution,
                                       recipientLists, toLabel, ccLabel, bccLabel, allowMultiple});
    // The address book is a modal dialog: its loop delivers the thread's
    // messages while the user chooses.
    core_->thread().modalLoop(0);
    std::optional<std::vector<AddressChoice>> answer;
    if (!core_->addressBookAnswers.empty()) {
      answer = std::move(core_->addressBookAnswers.front());
      core_->addressBookAnswers.pop_front();
    }
    // No scripted answer: the user cancels.
    if (!answer) return std::shared_ptr<SafeRecipients>();
    return std::shared_ptr<SafeRecipients>(
        std::make_shared<RecipientsObject>(core_, std::move(*answer)));
  }

 private:
  std::shared_ptr<ClientCore> core_;
};

class SafeStoreObject : public SafeStore {
 public:
  SafeStoreObject(std::shared_ptr<ClientCore> core, std::u16string storeId, std::int32_t kind)
      : core_(std::move(core)), storeId_(std::move(storeId)), kind_(kind) {}
  Result<std::int32_t> kind() override {
    if (auto f = core_->fault("safe.Store.Kind")) return failure(*f);
    return kind_;
  }
  Result<Variant> field(std::int32_t tag) override {
    if (auto f = core_->fault("safe.Store.Fields")) return failure(*f);
    Store* store = core_->storeById(storeId_);
    if (!store) return failure(hr::kMapiObjectDeleted);
    if (tag != store_prop::kDeletedItemsEntryId) return failure(hr::kMapiNotFound);
    return Variant(core_->deletedItemsOf(*store));
  }

 private:
  std::shared_ptr<ClientCore> core_;
  std::u16string storeId_;
  std::int32_t kind_;
};

class SafeSessionObject : public SafeSession,
                          public std::enable_shared_from_this<SafeSessionObject> {
 public:
  explicit SafeSessionObject(std::shared_ptr<ClientCore> core) : core_(std::move(core)) {}

  Result<std::shared_ptr<SafeSession>> querySafeSession() override {
    if (auto f = core_->fault("safe.QueryInterface.SafeSession")) return failure(*f);
    return shared_from_this();
  }
  Hresult logon(const Variant&, const Variant&, const Variant&, const Variant&,
                const Variant&) override {
    if (auto f = core_->fault("safe.SafeSession.Logon")) return *f;
    loggedOn_ = true;
    return hr::kOk;
  }
  Result<std::shared_ptr<SafeStore>> getStoreFromId(const Variant& storeId,
                                                    const Variant&) override {
    if (auto f = core_->fault("safe.SafeSession.GetStoreFromID")) return failure(*f);
    if (!loggedOn_) return failure(hr::kUnexpected);
    const std::u16string* text = storeId.text();
    if (!text) return failure(hr::kInvalidArg);
    Store* store = core_->storeById(*text);
    if (!store) return failure(hr::kMapiNotFound);
    return std::shared_ptr<SafeStore>(
        std::make_shared<SafeStoreObject>(core_, store->id(), store->kind()));
  }

 private:
  std::shared_ptr<ClientCore> core_;
  bool loggedOn_ = false;
};

}  // namespace

std::shared_ptr<Dispatch> makeSafeMailItem(std::shared_ptr<ClientCore> core) {
  return std::make_shared<SafeMailItemObject>(std::move(core));
}
std::shared_ptr<Dispatch> makeSafeTaskItem(std::shared_ptr<ClientCore> core) {
  return std::make_shared<SafeTaskItemObject>(std::move(core));
}
std::shared_ptr<Dispatch> makeMapiUtilities(std::shared_ptr<ClientCore> core) {
  return std::make_shared<MapiUtilitiesObject>(std::move(core));
}
std::shared_ptr<Dispatch> makeSafeSession(std::shared_ptr<ClientCore> core) {
  return std::make_shared<SafeSessionObject>(std::move(core));
}

}  // namespace qx::sim::mail

// The simulated host's item objects: task, mail and other items, with their
// user properties and attachments.
#include <algorithm>

#include "sim/mail/host_item_access.h"
#include "sim/mail/host_objects.h"
#include "sim/mail/mail_text.h"

namespace qx::sim::mail {

namespace {

Result<std::shared_ptr<Dispatch>> parentOf(ItemHandle& handle) {
  std::u16string folder = handle.folderId();
  Store* store = handle.store();
  if (folder.empty() || !store) return failure(hr::kMapiObjectDeleted);
  return std::shared_ptr<Dispatch>(handle.core().folderObject(*store, folder));
}

Result<std::shared_ptr<Dispatch>> moveTo(ItemHandle& handle, const std::shared_ptr<Folder>& to) {
  auto* location = dynamic_cast<FolderLocation*>(to.get());
  if (!location) return failure(hr::kInvalidArg);
  Store* destination = handle.core().storeById(location->locationStoreId());
  if (!destination) return failure(hr::kMapiNotFound);
  if (!handle.isNew() && handle.storeId() == destination->id() &&
      handle.folderId() == location->locationFolderId()) {
    // Already there: the host saves pending changes and hands back no item;
    // the item keeps its entry id.
    if (Hresult status = handle.commit(); failed(status)) return failure(status);
    return std::shared_ptr<Dispatch>();
  }
  auto moved = handle.move(*destination, location->locationFolderId());
  if (!moved) return failure(moved.error());
  return handle.core().itemObject(*moved);
}

bool validUserPropertyType(std::int32_t type) {
  switch (type) {
    case 1:
    case 3:
    case 5:
    case 6:
    case 7:
    case 12:
    case 14:
    case 20:
      return true;
    default:
      return false;
  }
}

Variant defaultValue(std::int32_t type) {
  switch (type) {
    case user_property_type::kText:
      return Variant(std::u16string());
    case user_property_type::kYesNo:
      return Variant(false);
    case user_property_type::kDateTime:
      return Variant(kNoDate);
    default:
      return Variant(0.0);
  }
}

// The value as the property's type holds it; none when it cannot be converted.
std::optional<Variant> convertForType(std::int32_t type, const Variant& value) {
  switch (type) {
    case user_property_type::kText:
      if (value.text()) return value;
      if (auto n = value.asLong()) return Variant(decimalText(*n));
      return std::nullopt;
    case user_property_type::kYesNo:
      if (auto b = value.asBool()) return Variant(*b);
      if (auto n = value.asLong()) return Variant(*n != 0);
      return std::nullopt;
    case user_property_type::kDateTime:
      if (auto d = value.asDate()) return Variant(*d);
      if (auto d = value.asDouble()) return Variant(DateValue{*d});
      return std::nullopt;
    default:
      if (auto n = value.asLong()) return Variant(static_cast<double>(*n));
      if (auto d = value.asDouble()) return Variant(*d);
      return std::nullopt;
  }
}

// Bound to one property of its item by the property's id, so that of several
// properties with one name each object reads, sets and deletes its own.
class UserPropertyObject : public UserProperty {
 public:
  UserPropertyObject(std::shared_ptr<ItemHandle> handle, std::uint32_t id)
      : access_(std::move(handle), "UserProperty"), id_(id) {}

  Result<std::u16string> name() override {
    if (auto f = access_.fault("Name")) return failure(*f);
    auto p = find();
    if (!p) return failure(p.error());
    return (*p)->name;
  }
  Result<std::int32_t> type() override {
    if (auto f = access_.fault("Type")) return failure(*f);
    auto p = find();
    if (!p) return failure(p.error());
    return (*p)->type;
  }
  Result<Variant> value() override {
    if (auto f = access_.fault("Value")) return failure(*f);
    auto p = find();
    if (!p) return failure(p.error());
    return (*p)->value;
  }
  Hresult setValue(const Variant& value) override {
    if (auto f = access_.fault("SetValue")) return *f;
    auto p = find();
    if (!p) return p.error();
    auto converted = convertForType((*p)->type, value);
    if (!converted) return hr::kTypeMismatch;
    auto data = access_.handle().edit();
    if (!data) return data.error();
    UserProp* own = (*data)->userPropertyById(id_);
    if (!own) return hr::kMapiObjectDeleted;
    own->value = std::move(*converted);
    return hr::kOk;
  }
  Hresult deleteProperty() override {
    if (auto f = access_.fault("Delete")) return *f;
    if (auto p = find(); !p) return p.error();
    auto data = access_.handle().edit();
    if (!data) return data.error();
    auto& props = (*data)->userProperties;
    auto it =
        std::find_if(props.begin(), props.end(), [&](const UserProp& p) { return p.id == id_; });
    if (it == props.end()) return hr::kMapiObjectDeleted;
    props.erase(it);
    return hr::kOk;
  }

 private:
  Result<const UserProp*> find() {
    auto data = access_.handle().view();
    if (!data) return failure(data.error());
    const UserProp* p = (*data)->userPropertyById(id_);
    if (!p) return failure(hr::kMapiObjectDeleted);
    return p;
  }
  ItemAccess access_;
  std::uint32_t id_;
};

class UserPropertiesObject : public UserProperties {
 public:
  explicit UserPropertiesObject(std::shared_ptr<ItemHandle> handle)
      : access_(std::move(handle), "UserProperties") {}

  Result<std::int32_t> count() override {
    if (auto f = access_.fault("Count")) return failure(*f);
    auto data = access_.handle().view();
    if (!data) return failure(data.error());
    return static_cast<std::int32_t>((*data)->userProperties.size());
  }
  Result<std::shared_ptr<UserProperty>> item(std::int32_t index) override {
    if (auto f = access_.fault("Item")) return failure(*f);
    auto data = access_.handle().view();
    if (!data) return failure(data.error());
    const auto& props = (*data)->userProperties;
    if (index < 1 || static_cast<std::size_t>(index) > props.size()) {
      return failure(hr::kBadIndex);
    }
    std::uint32_t id = props[static_cast<std::size_t>(index - 1)].id;
    if (id == 0) {
      // Not numbered yet (a working copy filled by hand): number it now.
      auto editable = access_.handle().edit();
      if (!editable) return failure(editable.error());
      (*editable)->numberUserProperties();
      id = (*editable)->userProperties[static_cast<std::size_t>(index - 1)].id;
    }
    return std::shared_ptr<UserProperty>(
        std::make_shared<UserPropertyObject>(access_.handlePtr(), id));
  }
  Result<std::shared_ptr<UserProperty>> add(std::u16string_view name, std::int32_t type) override {
    if (auto f = access_.fault("Add")) return failure(*f);
    if (name.empty() || !validUserPropertyType(type)) return failure(hr::kInvalidArg);
    auto data = access_.handle().edit();
    if (!data) return failure(data.error());
    // Adding a name the item already has gives that property back when the
    // types agree; a property cannot change its type.
    std::uint32_t id = 0;
    if (const UserProp* existing = (*data)->findUserProperty(name)) {
      if (existing->type != type) return failure(hr::kDispException);
      (*data)->numberUserProperties();
      id = (*data)->findUserProperty(name)->id;
    } else {
      (*data)->userProperties.push_back({std::u16string(name), type, defaultValue(type)});
      (*data)->numberUserProperties();
      id = (*data)->userProperties.back().id;
    }
    // The host's default for the optional settings adds the field to the
    // folder's fields at once, saved or not.
    ItemHandle& handle = access_.handle();
    if (Store* store = handle.store()) {
      std::u16string folder = handle.folderId();
      if (!folder.empty()) handle.core().addField(*store, folder, name);
    }
    return std::shared_ptr<UserProperty>(
        std::make_shared<UserPropertyObject>(access_.handlePtr(), id));
  }
  Hresult remove(std::int32_t index) override {
    if (auto f = access_.fault("Remove")) return *f;
    auto data = access_.handle().edit();
    if (!data) return data.error();
    auto& props = (*data)->userProperties;
    if (index < 1 || static_cast<std::size_t>(index) > props.size()) return hr::kBadIndex;
    props.erase(props.begin() + (index - 1));
    return hr::kOk;
  }

 private:
  ItemAccess access_;
};

class AttachmentObject : public Attachment {
 public:
  AttachmentObject(std::shared_ptr<ItemHandle> handle, std::uint32_t id)
      : access_(std::move(handle), "Attachment"), id_(id) {}

  Result<std::u16string> displayName() override {
    if (auto f = access_.fault("DisplayName")) return failure(*f);
    auto a = find();
    if (!a) return failure(a.error());
    return (*a)->displayName;
  }
  Result<std::u16string> fileName() override {
    if (auto f = access_.fault("FileName")) return failure(*f);
    auto a = find();
    if (!a) return failure(a.error());
    return (*a)->fileName;
  }
  Hresult saveAsFile(std::u16string_view path) override {
    if (auto f = access_.fault("SaveAsFile")) return *f;
    auto a = find();
    if (!a) return a.error();
    return hresultFromWin32(access_.core().files().writeFile(toAnsiPath(path), (*a)->content));
  }
  Hresult deleteAttachment() override {
    if (auto f = access_.fault("Delete")) return *f;
    auto data = access_.handle().edit();
    if (!data) return data.error();
    auto& list = (*data)->attachments;
    auto it = std::find_if(list.begin(), list.end(),
                           [&](const AttachmentData& a) { return a.id == id_; });
    if (it == list.end()) return hr::kMapiObjectDeleted;
    list.erase(it);
    return hr::kOk;
  }

 private:
  Result<const AttachmentData*> find() {
    auto data = access_.handle().view();
    if (!data) return failure(data.error());
    for (const AttachmentData& a : (*data)->attachments) {
      if (a.id == id_) return &a;
    }
    return failure(hr::kMapiObjectDeleted);
  }
  ItemAccess access_;
  std::uint32_t id_;
};

class AttachmentsObject : public Attachments {
 public:
  explicit AttachmentsObject(std::shared_ptr<ItemHandle> handle)
      : access_(std::move(handle), "Attachments") {}

  Result<std::int32_t> count() override {
    if (auto f = access_.fault("Count")) return failure(*f);
    auto data = access_.handle().view();
    if (!data) return failure(data.error());
    return static_cast<std::int32_t>((*data)->attachments.size());
  }
  Result<std::shared_ptr<Attachment>> item(std::int32_t index) override {
    if (auto f = access_.fault("Item")) return failure(*f);
    auto data = access_.handle().view();
    if (!data) return failure(data.error());
    const auto& list = (*data)->attachments;
    if (index < 1 || static_cast<std::size_t>(index) > list.size()) return failure(hr::kBadIndex);
    return std::shared_ptr<Attachment>(std::make_shared<AttachmentObject>(
        access_.handlePtr(), list[static_cast<std::size_t>(index - 1)].id));
  }
  Result<std::shared_ptr<Attachment>> add(std::u16string_view source, std::int32_t type,
                                          std::int32_t position,
                                          std::u16string_view displayName) override {
    if (auto f = access_.fault("Add")) return failure(*f);
    if (type != attachment_type::kByValue) return failure(hr::kMapiNoSupport);
    auto content = access_.core().files().readFile(toAnsiPath(source));
    if (!content) return failure(hresultFromWin32(content.error()));
    auto data = access_.handle().edit();
    if (!data) return failure(data.error());
    auto& list = (*data)->attachments;
    AttachmentData a;
    for (const AttachmentData& existing : list) a.id = std::max(a.id, existing.id);
    ++a.id;
    a.displayName = std::u16string(displayName);
    std::size_t slash = source.find_last_of(u"\\/");
    a.fileName =
        std::u16string(slash == std::u16string_view::npos ? source : source.substr(slash + 1));
    a.content = std::move(*content);
    auto at = static_cast<std::size_t>(
        std::clamp<std::int32_t>(position, 1, static_cast<std::int32_t>(list.size()) + 1));
    std::uint32_t id = a.id;
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(at - 1), std::move(a));
    return std::shared_ptr<Attachment>(std::make_shared<AttachmentObject>(access_.handlePtr(), id));
  }
  Hresult remove(std::int32_t index) override {
    if (auto f = access_.fault("Remove")) return *f;
    auto data = access_.handle().edit();
    if (!data) return data.error();
    auto& list = (*data)->attachments;
    if (index < 1 || static_cast<std::size_t>(index) > list.size()) return hr::kBadIndex;
    list.erase(list.begin() + (index - 1));
    return hr::kOk;
  }

 private:
  ItemAccess access_;
};

class TaskObject : public TaskItem,
                   public HasItemHandle,
                   public std::enable_shared_from_this<TaskObject> {
 public:
  explicit TaskObject(std::shared_ptr<ItemHandle> handle) : a_(std::move(handle), "TaskItem") {}

  std::shared_ptr<ItemHandle> itemHandle() override { return a_.handlePtr(); }
  Result<std::shared_ptr<TaskItem>> queryTask() override {
    if (auto f = a_.core().fault("mail.QueryInterface.TaskItem")) return failure(*f);
    return shared_from_this();
  }

  Result<std::u16string> entryId() override {
    if (auto f = a_.fault("EntryID")) return failure(*f);
    return a_.handle().entryId();
  }
  Result<std::u16string> subject() override {
    return a_.get<std::u16string>("Subject", &ItemData::subject);
  }
  Hresult setSubject(std::u16string_view t) override {
    return a_.set("SetSubject", &ItemData::subject, std::u16string(t));
  }
  Result<std::u16string> body() override { return a_.get<std::u16string>("Body", &ItemData::body); }
  Hresult setBody(std::u16string_view t) override {
    return a_.set("SetBody", &ItemData::body, std::u16string(t));
  }
  Result<std::u16string> categories() override {
    return a_.get<std::u16string>("Categories", &ItemData::categories);
  }
  Hresult setCategories(std::u16string_view t) override {
    return a_.set("SetCategories", &ItemData::categories, std::u16string(t));
  }
  Result<std::int32_t> sensitivity() override {
    return a_.get<std::int32_t>("Sensitivity", &ItemData::sensitivity);
  }
  Hresult setSensitivity(std::int32_t v) override {
    return a_.setRanged("SetSensitivity", &ItemData::sensitivity, v, 0, 3);
  }
  Result<std::int32_t> importance() override {
    return a_.get<std::int32_t>("Importance", &ItemData::importance);
  }
  Hresult setImportance(std::int32_t v) override {
    return a_.setRanged("SetImportance", &ItemData::importance, v, 0, 2);
  }
  Result<std::int32_t> status() override {
    return a_.get<std::int32_t>("Status", &ItemData::status);
  }
  Hresult setStatus(std::int32_t v) override {
    return a_.setRanged("SetStatus", &ItemData::status, v, 0, 4);
  }
  Result<std::int32_t> percentComplete() override {
    return a_.get<std::int32_t>("PercentComplete", &ItemData::percentComplete);
  }
  Hresult setPercentComplete(std::int32_t v) override {
    return a_.setRanged("SetPercentComplete", &ItemData::percentComplete, v, 0, 100);
  }
  Result<DateValue> startDate() override {
    return a_.get<DateValue>("StartDate", &ItemData::startDate);
  }
  Hresult setStartDate(DateValue v) override {
    return a_.set("SetStartDate", &ItemData::startDate, v);
  }
  Result<DateValue> dueDate() override { return a_.get<DateValue>("DueDate", &ItemData::dueDate); }
  Hresult setDueDate(DateValue v) override { return a_.set("SetDueDate", &ItemData::dueDate, v); }
  Result<bool> complete() override { return a_.get<bool>("Complete", &ItemData::complete); }
  Hresult setComplete(bool v) override { return a_.set("SetComplete", &ItemData::complete, v); }
  Result<std::u16string> owner() override {
    return a_.get<std::u16string>("Owner", &ItemData::owner);
  }
  Hresult setOwner(std::u16string_view t) override {
    return a_.set("SetOwner", &ItemData::owner, std::u16string(t));
  }
  Result<std::shared_ptr<Dispatch>> parent() override {
    if (auto f = a_.fault("Parent")) return failure(*f);
    return parentOf(a_.handle());
  }
  Result<std::shared_ptr<UserProperties>> userProperties() override {
    if (auto f = a_.fault("UserProperties")) return failure(*f);
    if (auto data = a_.handle().view(); !data) return failure(data.error());
    return std::shared_ptr<UserProperties>(std::make_shared<UserPropertiesObject>(a_.handlePtr()));
  }
  Hresult save() override {
    if (auto f = a_.fault("Save")) return *f;
    return a_.handle().save();
  }
  Hresult deleteItem() override {
    if (auto f = a_.fault("Delete")) return *f;
    return a_.handle().remove();
  }
  Result<std::shared_ptr<Dispatch>> move(const std::shared_ptr<Folder>& destination) override {
    if (auto f = a_.fault("Move")) return failure(*f);
    return moveTo(a_.handle(), destination);
  }

 private:
  ItemAccess a_;
};

class MailObject : public MailItem,
                   public HasItemHandle,
                   public std::enable_shared_from_this<MailObject> {
 public:
  explicit MailObject(std::shared_ptr<ItemHandle> handle) : a_(std::move(handle), "MailItem") {}

  std::shared_ptr<ItemHandle> itemHandle() override { return a_.handlePtr(); }
  Result<std::shared_ptr<MailItem>> queryMail() override {
    if (auto f = a_.core().fault("mail.QueryInterface.MailItem")) return failure(*f);
    return shared_from_this();
  }

  Result<std::u16string> entryId() override {
    if (auto f = a_.fault("EntryID")) return failure(*f);
    return a_.handle().entryId();
  }
  Result<std::u16string> to() override { return a_.get<std::u16string>("To", &ItemData::to); }
  Hresult setTo(std::u16string_view t) override {
    return a_.set("SetTo", &ItemData::to, std::u16string(t));
  }
  Result<std::u16string> sentOnBehalfOfName() override {
    return a_.get<std::u16string>("SentOnBehalfOfName", &ItemData::sentOnBehalfOfName);
  }
  Hresult setSentOnBehalfOfName(std::u16string_view t) override {
    return a_.set("SetSentOnBehalfOfName", &ItemData::sentOnBehalfOfName, std::u16string(t));
  }
  Result<std::int32_t> importance() override {
    return a_.get<std::int32_t>("Importance", &ItemData::importance);
  }
  Hresult setImportance(std::int32_t v) override {
    return a_.setRanged("SetImportance", &ItemData::importance, v, 0, 2);
  }
  Result<bool> readReceiptRequested() override {
    return a_.get<bool>("ReadReceiptRequested", &ItemData::readReceiptRequested);
  }
  Hresult setReadReceiptRequested(bool v) override {
    return a_.set("SetReadReceiptRequested", &ItemData::readReceiptRequested, v);
  }
  Result<std::int32_t> sensitivity() override {
    return a_.get<std::int32_t>("Sensitivity", &ItemData::sensitivity);
  }
  Hresult setSensitivity(std::int32_t v) override {
    return a_.setRanged("SetSensitivity", &ItemData::sensitivity, v, 0, 3);
  }
  Result<std::u16string> subject() override {
    return a_.get<std::u16string>("Subject", &ItemData::subject);
  }
  Hresult setSubject(std::u16string_view t) override {
    return a_.set("SetSubject", &ItemData::subject, std::u16string(t));
  }
  Result<bool> deleteAfterSubmit() override {
    return a_.get<bool>("DeleteAfterSubmit", &ItemData::deleteAfterSubmit);
  }
  Hresult setDeleteAfterSubmit(bool v) override {
    return a_.set("SetDeleteAfterSubmit", &ItemData::deleteAfterSubmit, v);
  }
  Result<DateValue> sentOn() override {
    Result<DateValue> utc = a_.get<DateValue>("SentOn", &ItemData::sentOn);
    if (!utc || *utc == kNoDate) return utc;
    return DateValue{utc->days + a_.core().utcOffsetMinutes / 1440.0};
  }
  Result<std::u16string> body() override { return a_.get<std::u16string>("Body", &ItemData::body); }
  Hresult setBody(std::u16string_view t) override {
    return a_.set("SetBody", &ItemData::body, std::u16string(t));
  }
  Result<std::shared_ptr<Attachments>> attachments() override {
    if (auto f = a_.fault("Attachments")) return failure(*f);
    if (auto data = a_.handle().view(); !data) return failure(data.error());
    return std::shared_ptr<Attachments>(std::make_shared<AttachmentsObject>(a_.handlePtr()));
  }
  Result<std::shared_ptr<Dispatch>> parent() override {
    if (auto f = a_.fault("Parent")) return failure(*f);
    return parentOf(a_.handle());
  }
  Hresult save() override {
    if (auto f = a_.fault("Save")) return *f;
    return a_.handle().save();
  }
  Hresult deleteItem() override {
    if (auto f = a_.fault("Delete")) return *f;
    return a_.handle().remove();
  }
  Result<std::shared_ptr<Dispatch>> move(const std::shared_ptr<Folder>& destination) override {
    if (auto f = a_.fault("Move")) return failure(*f);
    return moveTo(a_.handle(), destination);
  }
  Hresult send() override {
    if (auto f = a_.fault("Send")) return *f;
    return a_.handle().submit();
  }

 private:
  ItemAccess a_;
};

// Reports, contacts and other items: neither task nor mail to the add-in.
class OtherItemObject : public Dispatch, public HasItemHandle {
 public:
  explicit OtherItemObject(std::shared_ptr<ItemHandle> handle) : handle_(std::move(handle)) {}
  std::shared_ptr<ItemHandle> itemHandle() override { return handle_; }

 private:
  std::shared_ptr<ItemHandle> handle_;
};

}  // namespace

std::shared_ptr<Dispatch> makeItemObject(std::shared_ptr<ItemHandle> handle) {
  auto data = handle->view();
  ItemKind kind = data ? (*data)->kind : ItemKind::kReport;
  switch (kind) {
    case ItemKind::kTask:
      return std::make_shared<TaskObject>(std::move(handle));
    case ItemKind::kMail:
      return std::make_shared<MailObject>(std::move(handle));
    default:
      return std::make_shared<OtherItemObject>(std::move(handle));
  }
}

}  // namespace qx::sim::mail

// Task and mail items of the host, with their user properties and
// attachments, over IDispatch by member name.
#include <windows.h>

#include "win/host_objects.h"

namespace qx::win32 {
namespace {

Hresult statusOf(const Result<ComVariant>& result) { return result ? S_OK : result.error(); }

Result<std::shared_ptr<Dispatch>> objectResult(Result<ComPtr<IDispatch>> object) {
  if (!object) return failure(object.error());
  return makeHostObject(std::move(*object));
}

// The destination of a move, as the object the host gave us.
Variant folderArgument(const std::shared_ptr<Folder>& folder) {
  return Variant(std::static_pointer_cast<Dispatch>(folder));
}

class UserPropertyWin final : public UserProperty {
 public:
  explicit UserPropertyWin(ComPtr<IDispatch> object) : automation_(std::move(object)) {}
  Result<std::u16string> name() override { return automation_.getText(u"Name"); }
  Result<std::int32_t> type() override { return automation_.getLong(u"Type"); }
  Result<Variant> value() override {
    auto value = automation_.get(u"Value");
    if (!value) return failure(value.error());
    return fromComVariant(*value->get());
  }
  Hresult setValue(const Variant& value) override { return automation_.put(u"Value", value); }
  Hresult deleteProperty() override { return statusOf(automation_.call(u"Delete")); }

 private:
  Automation automation_;
};

class UserPropertiesWin final : public UserProperties {
 public:
  explicit UserPropertiesWin(ComPtr<IDispatch> object) : automation_(std::move(object)) {}
  Result<std::int32_t> count() override { return automation_.getLong(u"Count"); }
  Result<std::shared_ptr<UserProperty>> item(std::int32_t index) override {
    return property(automation_.callObject(u"Item", {Variant(index)}));
  }
  // The optional arguments are left out, as the add-in calls it.
  Result<std::shared_ptr<UserProperty>> add(std::u16string_view name, std::int32_t type) override {
    return property(automation_.callObject(u"Add", {Variant(name), Variant(type)}));
  }
  Hresult remove(std::int32_t index) override {
    return statusOf(automation_.call(u"Remove", {Variant(index)}));
  }

 private:
  static Result<std::shared_ptr<UserProperty>> property(Result<ComPtr<IDispatch>> object) {
    if (!object) return failure(object.error());
    return std::make_shared<UserPropertyWin>(std::move(*object));
  }
  Automation automation_;
};

class AttachmentWin final : public Attachment {
 public:
  explicit AttachmentWin(ComPtr<IDispatch> object) : automation_(std::move(object)) {}
  Result<std::u16string> displayName() override { return automation_.getText(u"DisplayName"); }
  Result<std::u16string> fileName() override { return automation_.getText(u"FileName"); }
  Hresult saveAsFile(std::u16string_view path) override {
    return statusOf(automation_.call(u"SaveAsFile", {Variant(path)}));
  }
  Hresult deleteAttachment() override { return statusOf(automation_.call(u"Delete")); }

 private:
  Automation automation_;
};

class AttachmentsWin final : public Attachments {
 public:
  explicit AttachmentsWin(ComPtr<IDispatch> object) : automation_(std::move(object)) {}
  Result<std::int32_t> count() override { return automation_.getLong(u"Count"); }
  Result<std::shared_ptr<Attachment>> item(std::int32_t index) override {
    return attachment(automation_.callObject(u"Item", {Variant(index)}));
  }
  Result<std::shared_ptr<Attachment>> add(std::u16string_view source, std::int32_t type,
                                          std::int32_t position,
                                          std::u16string_view displayName) override {
    return attachment(automation_.callObject(
        u"Add", {Variant(source), Variant(type), Variant(position), Variant(displayName)}));
  }
  Hresult remove(std::int32_t index) override {
    return statusOf(automation_.call(u"Remove", {Variant(index)}));
  }

 private:
  static Result<std::shared_ptr<Attachment>> attachment(Result<ComPtr<IDispatch>> object) {
    if (!object) return failure(object.error());
    return std::make_shared<AttachmentWin>(std::move(*object));
  }
  Automation automation_;
};

class TaskItemWin final : public ComObject<TaskItem> {
 public:
  using ComObject::ComObject;
  Result<std::u16string> entryId() override { return automation_.getText(u"EntryID"); }
  Result<std::u16string> subject() override { return automation_.getText(u"Subject"); }
  Hresult setSubject(std::u16string_view text) override { return put(u"Subject", text); }
  Result<std::u16string> body() override { return automation_.getText(u"Body"); }
  Hresult setBody(std::u16string_view text) override { return put(u"Body", text); }
  Result<std::u16string> categories() override { return automation_.getText(u"Categories"); }
  Hresult setCategories(std::u16string_view text) override { return put(u"Categories", text); }
  Result<std::int32_t> sensitivity() override { return automation_.getLong(u"Sensitivity"); }
  Hresult setSensitivity(std::int32_t value) override {
    return automation_.put(u"Sensitivity", Variant(value));
  }
  Result<std::int32_t> importance() override { return automation_.getLong(u"Importance"); }
  Hresult setImportance(std::int32_t value) override {
    return automation_.put(u"Importance", Variant(value));
  }
  Result<std::int32_t> status() override { return automation_.getLong(u"Status"); }
  Hresult setStatus(std::int32_t value) override {
    return automation_.put(u"Status", Variant(value));
  }
  Result<std::int32_t> percentComplete() override {
    return automation_.getLong(u"PercentComplete");
  }
  Hresult setPercentComplete(std::int32_t value) override {
    return automation_.put(u"PercentComplete", Variant(value));
  }
  Result<DateValue> startDate() override { return automation_.getDate(u"StartDate"); }
  Hresult setStartDate(DateValue value) override {
    return automation_.put(u"StartDate", Variant(value));
  }
  Result<DateValue> dueDate() override { return automation_.getDate(u"DueDate"); }
  Hresult setDueDate(DateValue value) override {
    return automation_.put(u"DueDate", Variant(value));
  }
  Result<bool> complete() override { return automation_.getBool(u"Complete"); }
  Hresult setComplete(bool value) override { return automation_.put(u"Complete", Variant(value)); }
  Result<std::u16string> owner() override { return automation_.getText(u"Owner"); }
  Hresult setOwner(std::u16string_view text) override { return put(u"Owner", text); }
  Result<std::shared_ptr<Dispatch>> parent() override {
    return objectResult(automation_.getObject(u"Parent"));
  }
  Result<std::shared_ptr<UserProperties>> userProperties() override {
    auto object = automation_.getObject(u"UserProperties");
    if (!object) return failure(object.error());
    return std::make_shared<UserPropertiesWin>(std::move(*object));
  }
  Hresult save() override { return statusOf(automation_.call(u"Save")); }
  Hresult deleteItem() override { return statusOf(automation_.call(u"Delete")); }
  Result<std::shared_ptr<Dispatch>> move(const std::shared_ptr<Folder>& destination) override {
    return objectResult(automation_.callObject(u"Move", {folderArgument(destination)}));
  }

 private:
  Hresult put(std::u16string_view name, std::u16string_view text) {
    return automation_.put(name, Variant(text));
  }
};

class MailItemWin final : public ComObject<MailItem> {
 public:
  using ComObject::ComObject;
  Result<std::u16string> entryId() override { return automation_.getText(u"EntryID"); }
  Result<std::u16string> to() override { return automation_.getText(u"To"); }
  Hresult setTo(std::u16string_view text) override { return put(u"To", text); }
  Result<std::u16string> sentOnBehalfOfName() override {
    return automation_.getText(u"SentOnBehalfOfName");
  }
  Hresult setSentOnBehalfOfName(std::u16string_view text) override {
    return put(u"SentOnBehalfOfName", text);
  }
  Result<std::int32_t> importance() override { return automation_.getLong(u"Importance"); }
  Hresult setImportance(std::int32_t value) override {
    return automation_.put(u"Importance", Variant(value));
  }
  Result<bool> readReceiptRequested() override {
    return automation_.getBool(u"ReadReceiptRequested");
  }
  Hresult setReadReceiptRequested(bool value) override {
    return automation_.put(u"ReadReceiptRequested", Variant(value));
  }
  Result<std::int32_t> sensitivity() override { return automation_.getLong(u"Sensitivity"); }
  Hresult setSensitivity(std::int32_t value) override {
    return automation_.put(u"Sensitivity", Variant(value));
  }
  Result<std::u16string> subject() override { return automation_.getText(u"Subject"); }
  Hresult setSubject(std::u16string_view text) override { return put(u"Subject", text); }
  Result<bool> deleteAfterSubmit() override { return automation_.getBool(u"DeleteAfterSubmit"); }
  Hresult setDeleteAfterSubmit(bool value) override {
    return automation_.put(u"DeleteAfterSubmit", Variant(value));
  }
  Result<DateValue> sentOn() override { return automation_.getDate(u"SentOn"); }
  Result<std::u16string> body() override { return automation_.getText(u"Body"); }
  Hresult setBody(std::u16string_view text) override { return put(u"Body", text); }
  Result<std::shared_ptr<Attachments>> attachments() override {
    auto object = automation_.getObject(u"Attachments");
    if (!object) return failure(object.error());
    return std::make_shared<AttachmentsWin>(std::move(*object));
  }
  Result<std::shared_ptr<Dispatch>> parent() override {
    return objectResult(automation_.getObject(u"Parent"));
  }
  Hresult save() override { return statusOf(automation_.call(u"Save")); }
  Hresult deleteItem() override { return statusOf(automation_.call(u"Delete")); }
  Result<std::shared_ptr<Dispatch>> move(const std::shared_ptr<Folder>& destination) override {
    return objectResult(automation_.callObject(u"Move", {folderArgument(destination)}));
  }
  Hresult send() override { return statusOf(automation_.call(u"Send")); }

 private:
  Hresult put(std::u16string_view name, std::u16string_view text) {
    return automation_.put(name, Variant(text));
  }
};

}  // namespace

std::shared_ptr<TaskItem> makeTaskItem(ComPtr<IDispatch> object) {
  return std::make_shared<TaskItemWin>(std::move(object));
}
std::shared_ptr<MailItem> makeMailItem(ComPtr<IDispatch> object) {
  return std::make_shared<MailItemWin>(std::move(object));
}

}  // namespace qx::win32

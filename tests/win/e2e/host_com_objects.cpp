// The host's object model over the stand-in mail client: application,
// namespace, folders, item collections, task and mail items with their user
// properties and attachments, the explorer's command bars, the add-in's own
// record and the Properties dialog's page collection.
#include "host_com.h"

namespace qx::e2e {
namespace {

std::shared_ptr<Folder> folderArgument(IDispatch* object) {
  Variant value = portValue([&] {
    VARIANT v;
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = object;
    return v;
  }());
  std::shared_ptr<Dispatch> backing = value.asDispatch();
  if (!backing) return nullptr;
  auto folder = backing->queryFolder();
  return folder ? *folder : nullptr;
}

class ApplicationCom final : public HostObject<_Application, Application> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE get_Version(BSTR* value) override {
    return put(port_->version(), value);
  }
  HRESULT STDMETHODCALLTYPE GetNamespace(BSTR type, IDispatch** result) override {
    return putObject(port_->getNamespace(textOf(type)), result);
  }
  HRESULT STDMETHODCALLTYPE CreateItem(long kind, IDispatch** result) override {
    return putObject(port_->createItem(kind), result);
  }
  HRESULT STDMETHODCALLTYPE ActiveExplorer(IDispatch** result) override {
    return putObject(port_->activeExplorer(), result);
  }
};

class NamespaceCom final : public HostObject<_NameSpace, Namespace> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE GetDefaultFolder(long which, IDispatch** result) override {
    return putObject(port_->getDefaultFolder(which), result);
  }
  HRESULT STDMETHODCALLTYPE get_Application(IDispatch** result) override {
    return putObject(port_->application(), result);
  }
  HRESULT STDMETHODCALLTYPE GetFolderFromID(BSTR entryId, VARIANT storeId,
                                            IDispatch** result) override {
    return putObject(port_->getFolderFromId(textOf(entryId), portValue(storeId)), result);
  }
  HRESULT STDMETHODCALLTYPE GetItemFromID(BSTR entryId, VARIANT storeId,
                                          IDispatch** result) override {
    return putObject(port_->getItemFromId(textOf(entryId), portValue(storeId)), result);
  }

  // A real host reports an item that is no longer there under high bits of
  // its own, through an exception whose details it fills in only when the
  // caller asks for them.
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID iid, LCID locale, WORD flags,
                                   DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                   UINT* badArgument) override {
    HRESULT status = HostObject::Invoke(member, iid, locale, flags, parameters, result, exception,
                                        badArgument);
    if (status != DISP_E_EXCEPTION || !exception ||
        exception->scode != static_cast<SCODE>(hr::kMapiNotFound) || !isGetItemFromId(member))
      return status;
    SysFreeString(exception->bstrSource);
    SysFreeString(exception->bstrDescription);
    SysFreeString(exception->bstrHelpFile);
    *exception = EXCEPINFO{};
    exception->pfnDeferredFillIn = fillInNotFound;
    return status;
  }

 private:
  static constexpr SCODE kFieldNotFound = static_cast<SCODE>(0xC1F4010Fu);

  static HRESULT STDAPICALLTYPE fillInNotFound(EXCEPINFO* exception) {
    if (!exception) return E_POINTER;
    exception->scode = kFieldNotFound;
    exception->bstrSource = SysAllocString(L"Mail host");
    exception->bstrDescription = SysAllocString(L"The object could not be found.");
    exception->pfnDeferredFillIn = nullptr;
    return S_OK;
  }
  static bool isGetItemFromId(DISPID member) {
    ITypeInfo* info = typeInfoOf(__uuidof(_NameSpace));
    BSTR name = nullptr;
    UINT count = 0;
    if (!info || FAILED(info->GetNames(member, &name, 1, &count)) || count != 1) return false;
    const bool matches = textOf(name) == u"GetItemFromID";
    SysFreeString(name);
    return matches;
  }
};

class ItemsCom final : public HostObject<_Items, Items> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE get_Count(long* value) override { return put(port_->count(), value); }
  HRESULT STDMETHODCALLTYPE Item(VARIANT index, IDispatch** result) override {
    auto number = portValue(index).asLong();
    if (!number) return DISP_E_TYPEMISMATCH;
    return putObject(port_->item(*number), result);
  }
  HRESULT STDMETHODCALLTYPE Sort(BSTR property, VARIANT descending) override {
    Variant flag = portValue(descending);
    return statusOf(port_->sort(textOf(property), flag.asBool().value_or(false)));
  }
  HRESULT STDMETHODCALLTYPE Find(BSTR filter, IDispatch** result) override {
    return putObject(port_->find(textOf(filter)), result);
  }
  HRESULT STDMETHODCALLTYPE FindNext(IDispatch** result) override {
    return putObject(port_->findNext(), result);
  }
};

class FolderCom final : public HostObject<MAPIFolder, Folder> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE get_EntryID(BSTR* value) override {
    return put(port_->entryId(), value);
  }
  HRESULT STDMETHODCALLTYPE get_StoreID(BSTR* value) override {
    return put(port_->storeId(), value);
  }
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* value) override { return put(port_->name(), value); }
  HRESULT STDMETHODCALLTYPE get_DefaultMessageClass(BSTR* value) override {
    return put(port_->defaultMessageClass(), value);
  }
  HRESULT STDMETHODCALLTYPE get_Items(IDispatch** result) override {
    return putObject(port_->items(), result);
  }
};

class TaskItemCom final : public HostObject<_TaskItem, TaskItem> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE get_EntryID(BSTR* v) override { return put(port_->entryId(), v); }
  HRESULT STDMETHODCALLTYPE get_Subject(BSTR* v) override { return put(port_->subject(), v); }
  HRESULT STDMETHODCALLTYPE put_Subject(BSTR v) override { return port_->setSubject(textOf(v)); }
  HRESULT STDMETHODCALLTYPE get_Body(BSTR* v) override { return put(port_->body(), v); }
  HRESULT STDMETHODCALLTYPE put_Body(BSTR v) override { return port_->setBody(textOf(v)); }
  HRESULT STDMETHODCALLTYPE get_Categories(BSTR* v) override { return put(port_->categories(), v); }
  HRESULT STDMETHODCALLTYPE put_Categories(BSTR v) override {
    return port_->setCategories(textOf(v));
  }
  HRESULT STDMETHODCALLTYPE get_Sensitivity(long* v) override {
    return put(port_->sensitivity(), v);
  }
  HRESULT STDMETHODCALLTYPE put_Sensitivity(long v) override { return port_->setSensitivity(v); }
  HRESULT STDMETHODCALLTYPE get_Importance(long* v) override { return put(port_->importance(), v); }
  HRESULT STDMETHODCALLTYPE put_Importance(long v) override { return port_->setImportance(v); }
  HRESULT STDMETHODCALLTYPE get_Status(long* v) override { return put(port_->status(), v); }
  HRESULT STDMETHODCALLTYPE put_Status(long v) override { return port_->setStatus(v); }
  HRESULT STDMETHODCALLTYPE get_PercentComplete(long* v) override {
    return put(port_->percentComplete(), v);
  }
  HRESULT STDMETHODCALLTYPE put_PercentComplete(long v) override {
    return port_->setPercentComplete(v);
  }
  HRESULT STDMETHODCALLTYPE get_StartDate(DATE* v) override { return put(port_->startDate(), v); }
  HRESULT STDMETHODCALLTYPE put_StartDate(DATE v) override {
    return port_->setStartDate(DateValue{v});
  }
  HRESULT STDMETHODCALLTYPE get_DueDate(DATE* v) override { return put(port_->dueDate(), v); }
  HRESULT STDMETHODCALLTYPE put_DueDate(DATE v) override { return port_->setDueDate(DateValue{v}); }
  HRESULT STDMETHODCALLTYPE get_Complete(VARIANT_BOOL* v) override {
    return put(port_->complete(), v);
  }
  HRESULT STDMETHODCALLTYPE put_Complete(VARIANT_BOOL v) override {
    return port_->setComplete(v != VARIANT_FALSE);
  }
  HRESULT STDMETHODCALLTYPE get_Owner(BSTR* v) override { return put(port_->owner(), v); }
  HRESULT STDMETHODCALLTYPE put_Owner(BSTR v) override { return port_->setOwner(textOf(v)); }
  HRESULT STDMETHODCALLTYPE get_Parent(IDispatch** r) override {
    return putObject(port_->parent(), r);
  }
  HRESULT STDMETHODCALLTYPE get_UserProperties(IDispatch** r) override {
    return putObject(port_->userProperties(), r, wrapUserProperties);
  }
  HRESULT STDMETHODCALLTYPE Save() override { return port_->save(); }
  HRESULT STDMETHODCALLTYPE Delete() override { return port_->deleteItem(); }
  HRESULT STDMETHODCALLTYPE Move(IDispatch* destination, IDispatch** r) override {
    std::shared_ptr<Folder> folder = folderArgument(destination);
    if (!folder) return DISP_E_TYPEMISMATCH;
    return putObject(port_->move(folder), r);
  }
};

class MailItemCom final : public HostObject<_MailItem, MailItem> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE get_EntryID(BSTR* v) override { return put(port_->entryId(), v); }
  HRESULT STDMETHODCALLTYPE get_To(BSTR* v) override { return put(port_->to(), v); }
  HRESULT STDMETHODCALLTYPE put_To(BSTR v) override { return port_->setTo(textOf(v)); }
  HRESULT STDMETHODCALLTYPE get_SentOnBehalfOfName(BSTR* v) override {
    return put(port_->sentOnBehalfOfName(), v);
  }
  HRESULT STDMETHODCALLTYPE put_SentOnBehalfOfName(BSTR v) override {
    return port_->setSentOnBehalfOfName(textOf(v));
  }
  HRESULT STDMETHODCALLTYPE get_Importance(long* v) override { return put(port_->importance(), v); }
  HRESULT STDMETHODCALLTYPE put_Importance(long v) override { return port_->setImportance(v); }
  HRESULT STDMETHODCALLTYPE get_ReadReceiptRequested(VARIANT_BOOL* v) override {
    return put(port_->readReceiptRequested(), v);
  }
  HRESULT STDMETHODCALLTYPE put_ReadReceiptRequested(VARIANT_BOOL v) override {
    return port_->setReadReceiptRequested(v != VARIANT_FALSE);
  }
  HRESULT STDMETHODCALLTYPE get_Sensitivity(long* v) override {
    return put(port_->sensitivity(), v);
  }
  HRESULT STDMETHODCALLTYPE put_Sensitivity(long v) override { return port_->setSensitivity(v); }
  HRESULT STDMETHODCALLTYPE get_Subject(BSTR* v) override { return put(port_->subject(), v); }
  HRESULT STDMETHODCALLTYPE put_Subject(BSTR v) override { return port_->setSubject(textOf(v)); }
  HRESULT STDMETHODCALLTYPE get_DeleteAfterSubmit(VARIANT_BOOL* v) override {
    return put(port_->deleteAfterSubmit(), v);
  }
  HRESULT STDMETHODCALLTYPE put_DeleteAfterSubmit(VARIANT_BOOL v) override {
    return port_->setDeleteAfterSubmit(v != VARIANT_FALSE);
  }
  HRESULT STDMETHODCALLTYPE get_Body(BSTR* v) override { return put(port_->body(), v); }
  HRESULT STDMETHODCALLTYPE put_Body(BSTR v) override { return port_->setBody(textOf(v)); }
  HRESULT STDMETHODCALLTYPE get_Attachments(IDispatch** r) override {
    return putObject(port_->attachments(), r, wrapAttachments);
  }
  HRESULT STDMETHODCALLTYPE get_Parent(IDispatch** r) override {
    return putObject(port_->parent(), r);
  }
  HRESULT STDMETHODCALLTYPE get_SentOn(DATE* v) override { return put(port_->sentOn(), v); }
  HRESULT STDMETHODCALLTYPE Save() override { return port_->save(); }
  HRESULT STDMETHODCALLTYPE Delete() override { return port_->deleteItem(); }
  HRESULT STDMETHODCALLTYPE Move(IDispatch* destination, IDispatch** r) override {
    std::shared_ptr<Folder> folder = folderArgument(destination);
    if (!folder) return DISP_E_TYPEMISMATCH;
    return putObject(port_->move(folder), r);
  }
  HRESULT STDMETHODCALLTYPE Send() override { return port_->send(); }
};

class UserPropertyCom final : public HostObject<::UserProperty, UserProperty> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* v) override { return put(port_->name(), v); }
  HRESULT STDMETHODCALLTYPE get_Type(long* v) override { return put(port_->type(), v); }
  HRESULT STDMETHODCALLTYPE get_Value(VARIANT* v) override { return put(port_->value(), v); }
  HRESULT STDMETHODCALLTYPE put_Value(VARIANT v) override { return port_->setValue(portValue(v)); }
  HRESULT STDMETHODCALLTYPE Delete() override { return port_->deleteProperty(); }
};

IDispatch* wrapUserProperty(std::shared_ptr<UserProperty> object) {
  return new UserPropertyCom(std::move(object));
}

class UserPropertiesCom final : public HostObject<::UserProperties, UserProperties> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE get_Count(long* v) override { return put(port_->count(), v); }
  HRESULT STDMETHODCALLTYPE Item(VARIANT index, IDispatch** r) override {
    auto number = portValue(index).asLong();
    if (!number) return DISP_E_TYPEMISMATCH;
    return putObject(port_->item(*number), r, wrapUserProperty);
  }
  HRESULT STDMETHODCALLTYPE Add(BSTR name, long type, VARIANT, VARIANT, IDispatch** r) override {
    return putObject(port_->add(textOf(name), type), r, wrapUserProperty);
  }
  HRESULT STDMETHODCALLTYPE Remove(long index) override { return port_->remove(index); }
};

class AttachmentCom final : public HostObject<::Attachment, Attachment> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE get_DisplayName(BSTR* v) override {
    return put(port_->displayName(), v);
  }
  HRESULT STDMETHODCALLTYPE get_FileName(BSTR* v) override { return put(port_->fileName(), v); }
  HRESULT STDMETHODCALLTYPE SaveAsFile(BSTR path) override {
    return port_->saveAsFile(textOf(path));
  }
  HRESULT STDMETHODCALLTYPE Delete() override { return port_->deleteAttachment(); }
};

IDispatch* wrapAttachment(std::shared_ptr<Attachment> object) {
  return new AttachmentCom(std::move(object));
}

class AttachmentsCom final : public HostObject<::Attachments, Attachments> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE get_Count(long* v) override { return put(port_->count(), v); }
  HRESULT STDMETHODCALLTYPE Item(VARIANT index, IDispatch** r) override {
    auto number = portValue(index).asLong();
    if (!number) return DISP_E_TYPEMISMATCH;
    return putObject(port_->item(*number), r, wrapAttachment);
  }
  HRESULT STDMETHODCALLTYPE Add(VARIANT source, VARIANT type, VARIANT position, VARIANT displayName,
                                IDispatch** r) override {
    Variant path = portValue(source), name = portValue(displayName);
    if (!path.text()) return DISP_E_TYPEMISMATCH;
    return putObject(port_->add(*path.text(), portValue(type).asLong().value_or(1),
                                portValue(position).asLong().value_or(1),
                                name.text() ? *name.text() : std::u16string()),
                     r, wrapAttachment);
  }
  HRESULT STDMETHODCALLTYPE Remove(long index) override { return port_->remove(index); }
};

class ExplorerCom final : public HostObject<_Explorer, Explorer> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE get_CommandBars(IDispatch** r) override {
    return putObject(port_->commandBars(), r, wrapCommandBars);
  }
};

class CommandBarControlsCom final : public HostObject<::CommandBarControls, CommandBarControls> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE get_Count(long* v) override { return put(port_->count(), v); }
  HRESULT STDMETHODCALLTYPE Add(VARIANT type, VARIANT, VARIANT, VARIANT, VARIANT temporary,
                                IDispatch** r) override {
    return putObject(port_->add(portValue(type).asLong().value_or(control_type::kButton),
                                portValue(temporary).asBool().value_or(false)),
                     r);
  }
};

class CommandBarCom final : public HostObject<::CommandBar, CommandBar> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* v) override { return put(port_->name(), v); }
  HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* v) override {
    return put(port_->visible(), v);
  }
  HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL v) override {
    return port_->setVisible(v != VARIANT_FALSE);
  }
  HRESULT STDMETHODCALLTYPE get_Controls(IDispatch** r) override {
    return putObject(port_->controls(), r, [](std::shared_ptr<CommandBarControls> controls) {
      return static_cast<IDispatch*>(new CommandBarControlsCom(std::move(controls)));
    });
  }
  HRESULT STDMETHODCALLTYPE Delete() override { return port_->deleteBar(); }
};

IDispatch* wrapCommandBar(std::shared_ptr<CommandBar> object) {
  return new CommandBarCom(std::move(object));
}

class CommandBarsCom final : public HostObject<_CommandBars, CommandBars> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE get_Count(long* v) override { return put(port_->count(), v); }
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT index, IDispatch** r) override {
    auto number = portValue(index).asLong();
    if (!number) return DISP_E_TYPEMISMATCH;
    return putObject(port_->item(*number), r, wrapCommandBar);
  }
  HRESULT STDMETHODCALLTYPE Add(VARIANT name, VARIANT position, VARIANT, VARIANT temporary,
                                IDispatch** r) override {
    Variant text = portValue(name);
    return putObject(port_->add(text.text() ? *text.text() : std::u16string(),
                                portValue(position).asLong().value_or(1),
                                portValue(temporary).asBool().value_or(false)),
                     r, wrapCommandBar);
  }
};

class CommandBarButtonCom final : public HostObject<_CommandBarButton, CommandBarButton> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE get_Style(long* v) override { return put(port_->style(), v); }
  HRESULT STDMETHODCALLTYPE put_Style(long v) override { return port_->setStyle(v); }
  HRESULT STDMETHODCALLTYPE get_FaceId(long* v) override { return put(port_->faceId(), v); }
  HRESULT STDMETHODCALLTYPE put_FaceId(long v) override { return port_->setFaceId(v); }
  HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* v) override {
    return put(port_->visible(), v);
  }
  HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL v) override {
    return port_->setVisible(v != VARIANT_FALSE);
  }
  HRESULT STDMETHODCALLTYPE get_Caption(BSTR* v) override { return put(port_->caption(), v); }
  HRESULT STDMETHODCALLTYPE put_Caption(BSTR v) override { return port_->setCaption(textOf(v)); }
  HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* v) override {
    return put(port_->enabled(), v);
  }
  HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL v) override {
    return port_->setEnabled(v != VARIANT_FALSE);
  }
  HRESULT STDMETHODCALLTYPE get_TooltipText(BSTR* v) override {
    return put(port_->tooltipText(), v);
  }
  HRESULT STDMETHODCALLTYPE put_TooltipText(BSTR v) override {
    return port_->setTooltipText(textOf(v));
  }
  HRESULT STDMETHODCALLTYPE get_Tag(BSTR* v) override { return put(port_->tag(), v); }
  HRESULT STDMETHODCALLTYPE put_Tag(BSTR v) override { return port_->setTag(textOf(v)); }
  HRESULT STDMETHODCALLTYPE Delete(VARIANT) override { return port_->deleteControl(); }
};

class ComAddInCom final : public HostObject<COMAddIn, ComAddIn> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE get_Connect(VARIANT_BOOL* v) override {
    return put(port_->connect(), v);
  }
  HRESULT STDMETHODCALLTYPE put_Connect(VARIANT_BOOL v) override {
    return port_->setConnect(v != VARIANT_FALSE);
  }
};

class PropertyPagesCom final : public HostObject<::PropertyPages, PropertyPages> {
 public:
  using HostObject::HostObject;
  HRESULT STDMETHODCALLTYPE get_Count(long* v) override { return put(port_->count(), v); }
  HRESULT STDMETHODCALLTYPE Add(VARIANT page, BSTR title) override {
    return port_->add(portValue(page), textOf(title));
  }
};

}  // namespace

IDispatch* wrapUserProperties(std::shared_ptr<UserProperties> object) {
  return new UserPropertiesCom(std::move(object));
}
IDispatch* wrapAttachments(std::shared_ptr<Attachments> object) {
  return new AttachmentsCom(std::move(object));
}
IDispatch* wrapCommandBars(std::shared_ptr<CommandBars> object) {
  return new CommandBarsCom(std::move(object));
}

// Defined with the library's objects (safe_com_objects.cpp).
IDispatch* wrapSafeObject(const std::shared_ptr<Dispatch>& object);

IDispatch* wrapObject(std::shared_ptr<Dispatch> object) {
  if (!object) return nullptr;
  // The stand-in's generic objects answer the query of what they are; the
  // COM object answers the same interface id.
  if (auto task = object->queryTask()) return new TaskItemCom(*task);
  if (auto mail = object->queryMail()) return new MailItemCom(*mail);
  if (auto folder = object->queryFolder()) return new FolderCom(*folder);
  if (auto application = object->queryApplication()) return new ApplicationCom(*application);
  if (auto pages = object->queryPropertyPages()) return new PropertyPagesCom(*pages);
  if (auto button = object->queryCommandBarButton()) return new CommandBarButtonCom(*button);
  if (auto addIn = object->queryComAddIn()) return new ComAddInCom(*addIn);
  if (auto asNamespace = std::dynamic_pointer_cast<Namespace>(object))
    return new NamespaceCom(asNamespace);
  if (auto items = std::dynamic_pointer_cast<Items>(object)) return new ItemsCom(items);
  if (auto explorer = std::dynamic_pointer_cast<Explorer>(object)) return new ExplorerCom(explorer);
  return wrapSafeObject(object);
}

}  // namespace qx::e2e

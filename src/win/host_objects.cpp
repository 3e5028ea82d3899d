#include "win/host_objects.h"

#include <ocidl.h>

#include "win/com_guid.h"
#include "win/com_ids.h"
#include "win/event_sink_com.h"

namespace qx::win32 {
namespace {

template <class Made>
Result<std::shared_ptr<Made>> queryAs(IDispatch* object, const Guid& iid,
                                      std::shared_ptr<Made> (*make)(ComPtr<IDispatch>)) {
  if (!object) return failure(E_POINTER);
  ComPtr<IDispatch> asked;
  HRESULT status = object->QueryInterface(toGuid(iid), asked.putVoid());
  if (FAILED(status)) return failure(status);
  if (!asked) return failure(E_NOINTERFACE);
  return make(std::move(asked));
}

class GenericObject final : public ComObject<Dispatch> {
 public:
  using ComObject::ComObject;
};

class ApplicationWin final : public ComObject<Application> {
 public:
  using ComObject::ComObject;
  Result<std::shared_ptr<Namespace>> getNamespace(std::u16string_view type) override {
    auto object = automation_.callObject(u"GetNamespace", {Variant(type)});
    if (!object) return failure(object.error());
    return makeNamespace(std::move(*object));
  }
  Result<std::u16string> version() override { return automation_.getText(u"Version"); }
  Result<std::shared_ptr<Dispatch>> createItem(std::int32_t kind) override {
    auto object = automation_.callObject(u"CreateItem", {Variant(kind)});
    if (!object) return failure(object.error());
    return makeHostObject(std::move(*object));
  }
  Result<std::shared_ptr<Explorer>> activeExplorer() override {
    auto object = automation_.callOptionalObject(u"ActiveExplorer", {});
    if (!object) return failure(object.error());
    if (!*object) return std::shared_ptr<Explorer>();
    return makeExplorer(std::move(*object));
  }
};

class NamespaceWin final : public ComObject<Namespace> {
 public:
  using ComObject::ComObject;
  Result<std::shared_ptr<Folder>> getDefaultFolder(std::int32_t folder) override {
    auto object = automation_.callObject(u"GetDefaultFolder", {Variant(folder)});
    if (!object) return failure(object.error());
    return makeFolder(std::move(*object));
  }
  Result<std::shared_ptr<Application>> application() override {
    auto object = automation_.getObject(u"Application");
    if (!object) return failure(object.error());
    return makeApplication(std::move(*object));
  }
  Result<std::shared_ptr<Folder>> getFolderFromId(std::u16string_view entryId,
                                                  const Variant& storeId) override {
    auto object = automation_.callObject(u"GetFolderFromID", {Variant(entryId), storeId});
    if (!object) return failure(object.error());
    return makeFolder(std::move(*object));
  }
  Result<std::shared_ptr<Dispatch>> getItemFromId(std::u16string_view entryId,
                                                  const Variant& storeId) override {
    auto object = automation_.callObject(u"GetItemFromID", {Variant(entryId), storeId});
    if (!object) return failure(object.error());
    return makeHostObject(std::move(*object));
  }
};

class FolderWin final : public ComObject<Folder> {
 public:
  using ComObject::ComObject;
  Result<std::u16string> entryId() override { return automation_.getText(u"EntryID"); }
  Result<std::u16string> storeId() override { return automation_.getText(u"StoreID"); }
  Result<std::u16string> name() override { return automation_.getText(u"Name"); }
  Result<std::u16string> defaultMessageClass() override {
    return automation_.getText(u"DefaultMessageClass");
  }
  Result<std::shared_ptr<Items>> items() override {
    auto object = automation_.getObject(u"Items");
    if (!object) return failure(object.error());
    return makeItems(std::move(*object));
  }
};

class ItemsWin final : public ComObject<Items> {
 public:
  using ComObject::ComObject;
  Result<std::int32_t> count() override { return automation_.getLong(u"Count"); }
  Result<std::shared_ptr<Dispatch>> item(std::int32_t index) override {
    auto object = automation_.callObject(u"Item", {Variant(index)});
    if (!object) return failure(object.error());
    return makeHostObject(std::move(*object));
  }
  Hresult sort(std::u16string_view property, bool descending) override {
    // The direction is left out when ascending, as the add-in calls it.
    auto result = descending ? automation_.call(u"Sort", {Variant(property), Variant(true)})
                             : automation_.call(u"Sort", {Variant(property)});
    return result ? S_OK : result.error();
  }
  Result<std::shared_ptr<Dispatch>> find(std::u16string_view filter) override {
    return found(automation_.callOptionalObject(u"Find", {Variant(filter)}));
  }
  Result<std::shared_ptr<Dispatch>> findNext() override {
    return found(automation_.callOptionalObject(u"FindNext", {}));
  }

 private:
  static Result<std::shared_ptr<Dispatch>> found(Result<ComPtr<IDispatch>> object) {
    if (!object) return failure(object.error());
    if (!*object) return std::shared_ptr<Dispatch>();
    return makeHostObject(std::move(*object));
  }
};

class PropertyPagesWin final : public ComObject<PropertyPages> {
 public:
  using ComObject::ComObject;
  Result<std::int32_t> count() override { return automation_.getLong(u"Count"); }
  Hresult add(const Variant& page, std::u16string_view title) override {
    auto result = automation_.call(u"Add", {page, Variant(title)});
    return result ? S_OK : result.error();
  }
};

// The page site's status-change notification comes after four property
// getters in its vtable (host_interfaces.idl); calling the first member after
// IDispatch's would run a getter with no place for its result.
class PropertyPageSiteWin final : public ComObject<PropertyPageSite> {
 public:
  using ComObject::ComObject;
  Hresult onStatusChange() override {
    auto* site = static_cast<::PropertyPageSite*>(comObject());
    return site ? site->OnStatusChange() : E_POINTER;
  }
};

// A site that offers the notification only through its IDispatch.
class PropertyPageSiteByName final : public ComObject<PropertyPageSite> {
 public:
  using ComObject::ComObject;
  Hresult onStatusChange() override {
    auto result = automation_.call(u"OnStatusChange");
    return result ? S_OK : result.error();
  }
};

// A control's client site: asked for the page site directly, else through
// its IDispatch.
class ClientSiteWin final : public Dispatch {
 public:
  explicit ClientSiteWin(ComPtr<IUnknown> site) : site_(std::move(site)) {}
  Result<std::shared_ptr<PropertyPageSite>> queryPropertyPageSite() override {
    ComPtr<IDispatch> pageSite;
    if (SUCCEEDED(site_->QueryInterface(IID_PropertyPageSite, pageSite.putVoid())) && pageSite)
      return makePropertyPageSite(std::move(pageSite));
    ComPtr<IDispatch> dispatch;
    HRESULT status = site_->QueryInterface(IID_IDispatch, dispatch.putVoid());
    if (FAILED(status)) return failure(status);
    if (!dispatch) return failure(E_NOINTERFACE);
    Automation byName(dispatch);
    if (!byName.hasMember(u"OnStatusChange")) return failure(E_NOINTERFACE);
    return std::make_shared<PropertyPageSiteByName>(std::move(dispatch));
  }

 private:
  ComPtr<IUnknown> site_;
};

class ComAddInWin final : public ComObject<ComAddIn> {
 public:
  using ComObject::ComObject;
  Result<bool> connect() override { return automation_.getBool(u"Connect"); }
  Hresult setConnect(bool value) override { return automation_.put(u"Connect", Variant(value)); }
};

class ConnectionPointWin final : public ConnectionPoint {
 public:
  ConnectionPointWin(ComPtr<IConnectionPoint> point, const Guid& eventIid)
      : point_(std::move(point)), eventIid_(eventIid) {}
  Result<std::uint32_t> advise(std::shared_ptr<EventSink> sink) override {
    ComPtr<IDispatch> com = makeEventSinkCom(std::move(sink), eventIid_);
    DWORD cookie = 0;
    HRESULT status = point_->Advise(com.get(), &cookie);
    if (FAILED(status)) return failure(status);
    return static_cast<std::uint32_t>(cookie);
  }
  Hresult unadvise(std::uint32_t cookie) override { return point_->Unadvise(cookie); }

 private:
  ComPtr<IConnectionPoint> point_;
  Guid eventIid_;
};

}  // namespace

template <class Port>
Result<std::shared_ptr<Application>> ComObject<Port>::queryApplication() {
  return queryAs(comObject(), iid::kApplication, makeApplication);
}
template <class Port>
Result<std::shared_ptr<Folder>> ComObject<Port>::queryFolder() {
  return queryAs(comObject(), iid::kFolder, makeFolder);
}
template <class Port>
Result<std::shared_ptr<TaskItem>> ComObject<Port>::queryTask() {
  return queryAs(comObject(), iid::kTaskItem, makeTaskItem);
}
template <class Port>
Result<std::shared_ptr<MailItem>> ComObject<Port>::queryMail() {
  return queryAs(comObject(), iid::kMailItem, makeMailItem);
}
template <class Port>
Result<std::shared_ptr<PropertyPages>> ComObject<Port>::queryPropertyPages() {
  return queryAs(comObject(), iid::kPropertyPages, makePropertyPages);
}
template <class Port>
Result<std::shared_ptr<PropertyPageSite>> ComObject<Port>::queryPropertyPageSite() {
  return queryAs(comObject(), iid::kPropertyPageSite, makePropertyPageSite);
}
template <class Port>
Result<std::shared_ptr<ComAddIn>> ComObject<Port>::queryComAddIn() {
  return queryAs(comObject(), iid::kComAddIn, makeComAddIn);
}
template <class Port>
Result<std::shared_ptr<CommandBarButton>> ComObject<Port>::queryCommandBarButton() {
  return queryAs(comObject(), iid::kCommandBarButton, makeCommandBarButton);
}
template <class Made>
Result<std::shared_ptr<Made>> libraryObject(Automation& automation, std::u16string_view member,
                                            std::shared_ptr<Made> (*make)(ComPtr<IDispatch>)) {
  if (!automation.hasMember(member)) return failure(E_NOINTERFACE);
  return make(ComPtr<IDispatch>(automation.object()));
}
template <class Port>
Result<std::shared_ptr<SafeMailItem>> ComObject<Port>::querySafeMailItem() {
  return libraryObject(automation_, u"Send", makeSafeMailItem);
}
template <class Port>
Result<std::shared_ptr<SafeTaskItem>> ComObject<Port>::querySafeTaskItem() {
  return libraryObject(automation_, u"CopyTo", makeSafeTaskItem);
}
template <class Port>
Result<std::shared_ptr<MapiUtilities>> ComObject<Port>::queryMapiUtilities() {
  return libraryObject(automation_, u"GetItemFromMsgFile", makeMapiUtilities);
}
template <class Port>
Result<std::shared_ptr<SafeSession>> ComObject<Port>::querySafeSession() {
  return libraryObject(automation_, u"GetStoreFromID", makeSafeSession);
}
template <class Port>
Result<std::shared_ptr<SafeMessage>> ComObject<Port>::querySafeMessage() {
  return libraryObject(automation_, u"Fields", makeSafeMessage);
}
template <class Port>
Result<std::shared_ptr<ConnectionPoint>> ComObject<Port>::findConnectionPoint(
    const Guid& eventIid) {
  ComPtr<IConnectionPointContainer> container;
  HRESULT status = comObject()->QueryInterface(IID_IConnectionPointContainer, container.putVoid());
  if (FAILED(status)) return failure(status);
  if (!container) return failure(E_NOINTERFACE);
  ComPtr<IConnectionPoint> point;
  status = container->FindConnectionPoint(toGuid(eventIid), point.put());
  if (FAILED(status)) return failure(status);
  if (!point) return failure(hr::kNoConnection);
  return std::make_shared<ConnectionPointWin>(std::move(point), eventIid);
}

// The item adapters (host_items.cpp) build on these.
template class ComObject<TaskItem>;
template class ComObject<MailItem>;
template class ComObject<Explorer>;
template class ComObject<CommandBarButton>;
template class ComObject<SafeMailItem>;
template class ComObject<SafeTaskItem>;
template class ComObject<MapiUtilities>;
template class ComObject<SafeSession>;
template class ComObject<SafeMessage>;

std::shared_ptr<Dispatch> makeHostObject(ComPtr<IDispatch> object) {
  return std::make_shared<GenericObject>(std::move(object));
}
std::shared_ptr<Application> makeApplication(ComPtr<IDispatch> object) {
  return std::make_shared<ApplicationWin>(std::move(object));
}
std::shared_ptr<Namespace> makeNamespace(ComPtr<IDispatch> object) {
  return std::make_shared<NamespaceWin>(std::move(object));
}
std::shared_ptr<Folder> makeFolder(ComPtr<IDispatch> object) {
  return std::make_shared<FolderWin>(std::move(object));
}
std::shared_ptr<Items> makeItems(ComPtr<IDispatch> object) {
  return std::make_shared<ItemsWin>(std::move(object));
}
std::shared_ptr<PropertyPages> makePropertyPages(ComPtr<IDispatch> object) {
  return std::make_shared<PropertyPagesWin>(std::move(object));
}
std::shared_ptr<PropertyPageSite> makePropertyPageSite(ComPtr<IDispatch> object) {
  return std::make_shared<PropertyPageSiteWin>(std::move(object));
}
std::shared_ptr<Dispatch> makeClientSite(ComPtr<IUnknown> site) {
  if (!site) return nullptr;
  return std::make_shared<ClientSiteWin>(std::move(site));
}
std::shared_ptr<ComAddIn> makeComAddIn(ComPtr<IDispatch> object) {
  return std::make_shared<ComAddInWin>(std::move(object));
}

}  // namespace qx::win32

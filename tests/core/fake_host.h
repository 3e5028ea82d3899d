#pragma once
// A minimal host object model for the spine's tests: an application with its
// namespace, folders that can be opened by id, connection points that record
// their sinks, the add-in object whose Connect := false calls back, and a
// safe-item library that can be absent. Calls fail on demand through
// sim::Faults under the names used below.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/mail_client.h"
#include "platform/safe_library.h"
#include "sim/faults.h"

namespace qx::test {

class FakeConnectionPoint final : public ConnectionPoint {
 public:
  FakeConnectionPoint(sim::Faults& faults, std::string name) : faults_(faults), name_(name) {}
  Result<std::uint32_t> advise(std::shared_ptr<EventSink> sink) override {
    if (auto status = faults_.check(name_ + ".advise")) return failure(*status);
    sinks[++lastCookie_] = std::move(sink);
    return lastCookie_;
  }
  Hresult unadvise(std::uint32_t cookie) override {
    return sinks.erase(cookie) == 1 ? hr::kOk : hr::kNoConnection;
  }
  // Raises an event on every advised sink, as the host does.
  void raise(std::int32_t dispId, std::vector<Variant> args = {}) {
    auto copy = sinks;
    for (auto& [cookie, sink] : copy) sink->invoke(dispId, args);
  }
  std::map<std::uint32_t, std::shared_ptr<EventSink>> sinks;

 private:
  sim::Faults& faults_;
  std::string name_;
  std::uint32_t lastCookie_ = 0x100;
};

class FakeItems final : public Items {
 public:
  explicit FakeItems(std::shared_ptr<FakeConnectionPoint> point) : point_(std::move(point)) {}
  Result<std::int32_t> count() override { return 0; }
  Result<std::shared_ptr<Dispatch>> item(std::int32_t) override { return failure(hr::kInvalidArg); }
  Hresult sort(std::u16string_view, bool) override { return hr::kOk; }
  Result<std::shared_ptr<Dispatch>> find(std::u16string_view) override {
    return std::shared_ptr<Dispatch>();
  }
  Result<std::shared_ptr<Dispatch>> findNext() override { return std::shared_ptr<Dispatch>(); }
  Result<std::shared_ptr<ConnectionPoint>> findConnectionPoint(const Guid& iid) override {
    if (iid == iid::kItemsEvents) return std::shared_ptr<ConnectionPoint>(point_);
    return failure(hr::kNoConnection);
  }

 private:
  std::shared_ptr<FakeConnectionPoint> point_;
};

class FakeFolder final : public Folder, public std::enable_shared_from_this<FakeFolder> {
 public:
  FakeFolder(sim::Faults& faults, std::u16string entryId, std::u16string storeId,
             std::u16string name)
      : itemEvents(std::make_shared<FakeConnectionPoint>(faults, "items")),
        faults_(faults),
        entryId_(std::move(entryId)),
        storeId_(std::move(storeId)),
        name_(std::move(name)) {}
  Result<std::shared_ptr<Folder>> queryFolder() override {
    return std::shared_ptr<Folder>(shared_from_this());
  }
  Result<std::u16string> entryId() override { return entryId_; }
  Result<std::u16string> storeId() override { return storeId_; }
  Result<std::u16string> name() override {
    if (auto status = faults_.check("folder.Name")) return failure(*status);
    return name_;
  }
  Result<std::u16string> defaultMessageClass() override { return u"IPM.Task"; }
  Result<std::shared_ptr<Items>> items() override {
    if (auto status = faults_.check("folder.Items")) return failure(*status);
    return std::shared_ptr<Items>(std::make_shared<FakeItems>(itemEvents));
  }
  std::shared_ptr<FakeConnectionPoint> itemEvents;

 private:
  sim::Faults& faults_;
  std::u16string entryId_, storeId_, name_;
};

class FakeApplication;

class FakeNamespace final : public Namespace {
 public:
  FakeNamespace(sim::Faults& faults, FakeApplication& application)
      : events(std::make_shared<FakeConnectionPoint>(faults, "namespaceEvents")),
        deletedItems(std::make_shared<FakeFolder>(faults, u"DE1E7ED", u"5703E", u"Deleted Items")),
        faults_(faults),
        application_(application) {}
  Result<std::shared_ptr<Folder>> getDefaultFolder(std::int32_t folder) override {
    if (auto status = faults_.check("namespace.GetDefaultFolder")) return failure(*status);
    if (folder == default_folder::kDeletedItems) return std::shared_ptr<Folder>(deletedItems);
    return failure(hr::kMapiNotFound);
  }
  Result<std::shared_ptr<Application>> application() override;
  Result<std::shared_ptr<Folder>> getFolderFromId(std::u16string_view entryId,
                                                  const Variant& storeId) override {
    if (auto status = faults_.check("namespace.GetFolderFromID")) return failure(*status);
    folderRequests.push_back({std::u16string(entryId), storeId.text() ? *storeId.text() : u"?"});
    auto it = folders.find(std::u16string(entryId));
    if (it == folders.end()) return failure(hr::kMapiNotFound);
    return std::shared_ptr<Folder>(it->second);
  }
  Result<std::shared_ptr<Dispatch>> getItemFromId(std::u16string_view, const Variant&) override {
    return failure(hr::kMapiNotFound);
  }
  Result<std::shared_ptr<ConnectionPoint>> findConnectionPoint(const Guid& iid) override {
    if (iid == iid::kNamespaceEvents) return std::shared_ptr<ConnectionPoint>(events);
    return failure(hr::kNoConnection);
  }

  std::shared_ptr<FakeConnectionPoint> events;
  std::shared_ptr<FakeFolder> deletedItems;
  std::map<std::u16string, std::shared_ptr<FakeFolder>> folders;
  std::vector<std::pair<std::u16string, std::u16string>> folderRequests;

 private:
  sim::Faults& faults_;
  FakeApplication& application_;
};

class FakeApplication final : public Application,
                              public std::enable_shared_from_this<FakeApplication> {
 public:
  explicit FakeApplication(sim::Faults& faults)
      : events(std::make_shared<FakeConnectionPoint>(faults, "applicationEvents")),
        ns(std::make_shared<FakeNamespace>(faults, *this)),
        faults_(faults) {}
  Result<std::shared_ptr<Application>> queryApplication() override {
    return std::shared_ptr<Application>(shared_from_this());
  }
  Result<std::shared_ptr<Namespace>> getNamespace(std::u16string_view type) override {
    if (auto status = faults_.check("application.GetNamespace")) return failure(*status);
    if (type != u"MAPI") return failure(hr::kInvalidArg);
    return std::shared_ptr<Namespace>(ns);
  }
  Result<std::u16string> version() override {
    if (auto status = faults_.check("application.Version")) return failure(*status);
    return hostVersion;
  }
  Result<std::shared_ptr<Dispatch>> createItem(std::int32_t) override {
    return failure(hr::kNotImpl);
  }
  Result<std::shared_ptr<Explorer>> activeExplorer() override {
    return std::shared_ptr<Explorer>();
  }
  Result<std::shared_ptr<ConnectionPoint>> findConnectionPoint(const Guid& iid) override {
    if (iid == iid::kApplicationEvents) return std::shared_ptr<ConnectionPoint>(events);
    return failure(hr::kNoConnection);
  }

  std::u16string hostVersion = u"10.0.0.6626";
  std::shared_ptr<FakeConnectionPoint> events;
  std::shared_ptr<FakeNamespace> ns;

 private:
  sim::Faults& faults_;
};

inline Result<std::shared_ptr<Application>> FakeNamespace::application() {
  if (auto status = faults_.check("namespace.Application")) return failure(*status);
  return std::shared_ptr<Application>(application_.shared_from_this());
}

// The host's record of the add-in: Connect := false disconnects at once.
class FakeComAddIn final : public ComAddIn, public std::enable_shared_from_this<FakeComAddIn> {
 public:
  Result<std::shared_ptr<ComAddIn>> queryComAddIn() override {
    return std::shared_ptr<ComAddIn>(shared_from_this());
  }
  Result<bool> connect() override { return connected; }
  Hresult setConnect(bool value) override {
    connected = value;
    if (!value && onDisconnect) onDisconnect();
    return hr::kOk;
  }
  bool connected = true;
  std::function<void()> onDisconnect;
};

class FakeSafeMailItem final : public SafeMailItem {
 public:
  Result<std::shared_ptr<SafeMailItem>> querySafeMailItem() override {
    return std::shared_ptr<SafeMailItem>(std::make_shared<FakeSafeMailItem>());
  }
  Hresult putItem(const std::shared_ptr<Dispatch>&) override { return hr::kOk; }
  Result<std::u16string> body() override { return std::u16string(); }
  Hresult setBody(std::u16string_view) override { return hr::kOk; }
  Result<Variant> field(std::int32_t) override { return failure(hr::kMapiNotFound); }
  Hresult setField(std::int32_t, const Variant&) override { return hr::kOk; }
  Result<std::shared_ptr<SafeAttachments>> attachments() override { return failure(hr::kNotImpl); }
  Result<std::shared_ptr<SafeRecipients>> recipients() override { return failure(hr::kNotImpl); }
  Hresult send() override { return hr::kOk; }
};

class FakeSafeLibrary final : public SafeLibrary {
 public:
  Result<Guid> classIdFromProgId(std::u16string_view progId) override {
    ++lookups;
    if (!installed) return failure(hr::kInvalidClassString);
    if (progId != progid::kSafeMailItem) return failure(hr::kClassNotRegistered);
    return Guid{0x5AFE, 0, 0, {}};
  }
  Result<std::shared_ptr<Dispatch>> createInstance(const Guid&) override {
    return std::shared_ptr<Dispatch>(std::make_shared<FakeSafeMailItem>());
  }
  bool installed = true;
  int lookups = 0;
};

}  // namespace qx::test

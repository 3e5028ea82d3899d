#include "sim/mail/client_core.h"

#include "platform/mail_ids.h"
#include "platform/safe_session.h"
#include "sim/mail/host_objects.h"
#include "sim/mail/item_handle.h"
#include "sim/mail/mail_text.h"

namespace qx::sim::mail {

namespace {
std::uint32_t fnv1a(std::u16string_view text, std::uint32_t hash = 2166136261u) {
  for (char16_t c : text) {
    hash = (hash ^ static_cast<std::uint32_t>(c)) * 16777619u;
  }
  return hash;
}
}  // namespace

ClientCore::ClientCore(UiThread& thread, Files& files, Faults& faults, std::u16string address)
    : thread_(&thread), files_(&files), faults_(&faults), address_(std::move(address)) {
  Store& store = addStore(u"Personal Folders", store_kind::kPersonalFolders);
  struct Default {
    std::int32_t number;
    const char16_t* name;
    const char16_t* messageClass;
  };
  static constexpr Default kDefaults[] = {
      {default_folder::kInbox, u"Inbox", u"IPM.Note"},
      {default_folder::kOutbox, u"Outbox", u"IPM.Note"},
      {default_folder::kSentMail, u"Sent Items", u"IPM.Note"},
      {default_folder::kDeletedItems, u"Deleted Items", u"IPM.Note"},
      {default_folder::kDrafts, u"Drafts", u"IPM.Note"},
      {default_folder::kCalendar, u"Calendar", u"IPM.Appointment"},
      {default_folder::kTasks, u"Tasks", u"IPM.Task"},
      {10, u"Contacts", u"IPM.Contact"},
  };
  for (const Default& d : kDefaults) {
    defaultFolders_[d.number] = store.addFolder(d.name, d.messageClass, u"").entryId;
  }
  deletedItems_[store.id()] = defaultFolders_[default_folder::kDeletedItems];
}

void ClientCore::setRunning(bool running) {
  if (running_ && !running) {
    std::erase_if(bars, [](const BarState& bar) { return bar.temporary; });
    for (BarState& bar : bars) {
      std::erase_if(bar.buttons, [](const ButtonState& button) { return button.temporary; });
    }
  }
  running_ = running;
}

std::optional<Hresult> ClientCore::fault(std::string_view operation) {
  if (shutDown_) return hr::kDisconnected;
  if (auto status = faults_->check(operation)) return *status;
  return std::nullopt;
}

void ClientCore::shutdown() {
  shutDown_ = true;
  subscriptions_.clear();
  onAddInDisconnect = nullptr;
}

Store& ClientCore::addStore(std::u16string_view displayName, std::int32_t kind) {
  auto index = static_cast<std::uint32_t>(stores_.size());
  std::uint32_t tag = fnv1a(displayName, fnv1a(foldCase(address_))) ^ (index * 0x9E3779B1u);
  std::u16string id = u"0000000051D05703" + hexText(tag, 8) + hexText(index + 1, 8);
  stores_.push_back(std::make_unique<Store>(std::move(id), tag, kind, std::u16string(displayName)));
  return *stores_.back();
}

Store* ClientCore::storeById(std::u16string_view storeId) {
  for (auto& store : stores_) {
    if (store->id() == storeId) return store.get();
  }
  return nullptr;
}

Store* ClientCore::storeOfEntryId(std::u16string_view entryId) {
  for (auto& store : stores_) {
    if (store->ownsEntryId(entryId)) return store.get();
  }
  return nullptr;
}

std::vector<Store*> ClientCore::stores() {
  std::vector<Store*> out;
  for (auto& store : stores_) out.push_back(store.get());
  return out;
}

std::u16string ClientCore::defaultFolderId(std::int32_t which) const {
  auto it = defaultFolders_.find(which);
  return it == defaultFolders_.end() ? std::u16string() : it->second;
}

std::u16string ClientCore::deletedItemsOf(Store& store) {
  auto it = deletedItems_.find(store.id());
  if (it != deletedItems_.end()) return it->second;
  std::u16string id = store.addFolder(u"Deleted Items", u"IPM.Note", u"").entryId;
  deletedItems_[store.id()] = id;
  return id;
}

std::u16string ClientCore::insertItem(Store& store, std::u16string_view folderId, ItemData data,
                                      bool submitted) {
  std::u16string id = store.insert(folderId, std::move(data), submitted);
  if (!id.empty()) postItemEvent(store, folderId, dispid::kItemAdd, id);
  return id;
}

void ClientCore::updateItem(Store& store, std::u16string_view entryId, ItemData data) {
  storeChange(store, entryId, std::move(data), false);
}

void ClientCore::saveItem(Store& store, std::u16string_view entryId, ItemData data) {
  storeChange(store, entryId, std::move(data), changeEventsInSave_);
}

void ClientCore::storeChange(Store& store, std::u16string_view entryId, ItemData data,
                             bool atOnce) {
  StoredItem* item = store.item(entryId);
  if (!item) return;
  std::u16string folder = item->folderId;
  store.update(entryId, std::move(data));
  for (int i = 0; i < changeEventsPerSave_; ++i) {
    postItemEvent(store, folder, dispid::kItemChange, entryId, atOnce);
  }
}

void ClientCore::removeItem(Store& store, std::u16string_view entryId) {
  if (!store.item(entryId)) return;
  StoredItem removed = store.remove(entryId);
  postItemEvent(store, removed.folderId, dispid::kItemRemove, entryId);
}

std::u16string ClientCore::moveItem(Store& store, std::u16string_view entryId, Store& destination,
                                    std::u16string_view destinationFolderId) {
  if (!store.item(entryId) || !destination.folder(destinationFolderId)) return {};
  StoredItem removed = store.remove(entryId);
  postItemEvent(store, removed.folderId, dispid::kItemRemove, entryId);
  return insertItem(destination, destinationFolderId, std::move(removed.data));
}

std::u16string ClientCore::deleteItem(Store& store, std::u16string_view entryId) {
  StoredItem* item = store.item(entryId);
  if (!item) return {};
  std::u16string deleted = deletedItemsOf(store);
  if (item->folderId == deleted) {
    removeItem(store, entryId);
    return {};
  }
  return moveItem(store, entryId, store, deleted);
}

void ClientCore::addField(Store& store, std::u16string_view folderId, std::u16string_view field) {
  store.addField(folderId, field);
}

void ClientCore::postNewMail() {
  EventTarget target{EventTarget::Kind::kApplication, {}, {}};
  if (!running_) return;
  std::vector<std::uint32_t> sinks = listeners(target);
  if (sinks.empty()) return;
  post([target, sinks = std::move(sinks)](ClientCore& core) {
    core.deliver(target, sinks, dispid::kNewMail, {});
  });
}

void ClientCore::post(std::function<void(ClientCore&)> message) {
  if (shutDown_) return;
  thread_->post([weak = weak_from_this(), message = std::move(message)] {
    auto core = weak.lock();
    if (core && !core->shutDown_) message(*core);
  });
}

// The host raises the event when the change happens; the stand-in delivers it
// when the UI thread pumps, but only to the sinks that listened at the change.
// A sink advised in between (an add-in connected after a scenario added
// tasks) never hears of it. `atOnce` delivers it before the change returns.
void ClientCore::postItemEvent(Store& store, std::u16string_view folderId, std::int32_t dispId,
                               std::u16string_view entryId, bool atOnce) {
  if (!running_) return;
  std::vector<std::uint32_t> sinks =
      listeners({EventTarget::Kind::kItems, store.id(), std::u16string(folderId)});
  if (sinks.empty()) return;
  if (atOnce) {
    if (!shutDown_)
      deliverItemEvent(store.id(), std::u16string(folderId), dispId, std::u16string(entryId),
                       sinks);
    return;
  }
  post([storeId = store.id(), folderId = std::u16string(folderId), dispId,
        entryId = std::u16string(entryId), sinks = std::move(sinks)](ClientCore& core) {
    core.deliverItemEvent(storeId, folderId, dispId, entryId, sinks);
  });
}

void ClientCore::deliverItemEvent(const std::u16string& storeId, const std::u16string& folderId,
                                  std::int32_t dispId, const std::u16string& entryId,
                                  const std::vector<std::uint32_t>& sinks) {
  EventTarget target{EventTarget::Kind::kItems, storeId, folderId};
  std::vector<Variant> args;
  if (dispId != dispid::kItemRemove) {
    // The host opens the item when it delivers the event; an item that has
    // moved on or gone by then cannot be opened and its event is dropped.
    Store* store = storeById(storeId);
    StoredItem* item = store ? store->item(entryId) : nullptr;
    if (!item || item->folderId != folderId) return;
    args.emplace_back(openItem(*store, entryId));
  }
  deliver(target, sinks, dispId, args);
}

std::uint32_t ClientCore::advise(const EventTarget& target, std::shared_ptr<EventSink> sink,
                                 const void* source) {
  std::uint32_t cookie = nextCookie_++;
  if (nextCookie_ == 0) nextCookie_ = 1;
  subscriptions_[cookie] = Subscription{target, std::move(sink), source};
  return cookie;
}

void ClientCore::releaseSource(const void* source) {
  if (!source) return;
  // The sinks are let go after the map is consistent again: a sink's
  // destructor may call back into the host.
  std::vector<std::shared_ptr<EventSink>> released;
  for (auto it = subscriptions_.begin(); it != subscriptions_.end();) {
    if (it->second.source == source) {
      released.push_back(std::move(it->second.sink));
      it = subscriptions_.erase(it);
    } else {
      ++it;
    }
  }
}

bool ClientCore::unadvise(const EventTarget& target, std::uint32_t cookie) {
  auto it = subscriptions_.find(cookie);
  if (it == subscriptions_.end() || !(it->second.target == target)) return false;
  subscriptions_.erase(it);
  return true;
}

std::size_t ClientCore::subscriptionCount(const EventTarget& target) const {
  std::size_t n = 0;
  for (const auto& [cookie, s] : subscriptions_) {
    if (s.target == target) ++n;
  }
  return n;
}

std::vector<std::uint32_t> ClientCore::listeners(const EventTarget& target) const {
  std::vector<std::uint32_t> cookies;
  for (const auto& [cookie, s] : subscriptions_) {
    if (s.target == target) cookies.push_back(cookie);
  }
  return cookies;
}

void ClientCore::fire(const EventTarget& target, std::int32_t dispId, std::vector<Variant> args) {
  if (!running_ || shutDown_) return;
  deliver(target, listeners(target), dispId, args);
}

void ClientCore::deliver(const EventTarget& target, const std::vector<std::uint32_t>& sinks,
                         std::int32_t dispId, const std::vector<Variant>& args) {
  for (std::uint32_t cookie : sinks) {
    // A sink unadvised since the event was raised (by itself, by another sink
    // during this delivery, or with its collection) no longer hears it.
    auto it = subscriptions_.find(cookie);
    if (it == subscriptions_.end() || !(it->second.target == target)) continue;
    std::shared_ptr<EventSink> sink = it->second.sink;
    sink->invoke(dispId, args);
  }
}

std::shared_ptr<Dispatch> ClientCore::openItem(Store& store, std::u16string_view entryId) {
  return itemObject(
      std::make_shared<ItemHandle>(shared_from_this(), store.id(), std::u16string(entryId)));
}

std::shared_ptr<Dispatch> ClientCore::itemObject(std::shared_ptr<ItemHandle> handle) {
  return makeItemObject(std::move(handle));
}

std::shared_ptr<Folder> ClientCore::folderObject(Store& store, std::u16string_view folderId) {
  return makeFolderObject(shared_from_this(), store.id(), std::u16string(folderId));
}

std::shared_ptr<Application> ClientCore::applicationObject() {
  return makeApplicationObject(shared_from_this());
}

std::shared_ptr<Namespace> ClientCore::namespaceObject() {
  return makeNamespaceObject(shared_from_this());
}

}  // namespace qx::sim::mail

#include "sim/mail/mail_client.h"

#include "sim/mail/host_objects.h"
#include "sim/mail/safe_library_sim.h"

namespace qx::sim {

using mail::ClientCore;
using mail::EventTarget;
using mail::ItemData;
using mail::Store;

MailClient::MailClient(UiThread& thread, Files& files, Faults& faults, std::u16string address)
    : core_(std::make_shared<ClientCore>(thread, files, faults, std::move(address))),
      library_(std::make_unique<SafeLibrarySim>(core_)) {
  for (const char16_t* name : {u"Standard", u"Advanced", u"Web"}) {
    addCommandBar(name, std::u16string_view(name) != u"Web");
  }
}

MailClient::~MailClient() { core_->shutdown(); }

std::shared_ptr<Dispatch> MailClient::applicationObject() { return core_->applicationObject(); }

std::shared_ptr<Dispatch> MailClient::comAddInObject() { return mail::makeComAddInObject(core_); }

SafeLibrary& MailClient::library() { return *library_; }

void MailClient::onAddInDisconnect(std::function<void()> disconnect) {
  core_->onAddInDisconnect = std::move(disconnect);
}

std::u16string MailClient::defaultFolderId(std::int32_t which) const {
  return core_->defaultFolderId(which);
}

std::u16string MailClient::addStore(std::u16string_view name, std::int32_t kind) {
  Store& store = core_->addStore(name, kind);
  core_->deletedItemsOf(store);
  return store.id();
}

std::u16string MailClient::createFolder(std::u16string_view name, std::u16string_view messageClass,
                                        std::u16string_view parentId, std::u16string_view storeId) {
  Store* store = nullptr;
  if (!parentId.empty()) {
    store = core_->storeOfEntryId(parentId);
    if (!store || !store->folder(parentId)) return {};
  } else {
    store = storeId.empty() ? &core_->defaultStore() : core_->storeById(storeId);
    if (!store) return {};
  }
  return store->addFolder(name, messageClass, parentId).entryId;
}

std::vector<MailFolderInfo> MailClient::folders() {
  std::vector<MailFolderInfo> out;
  for (Store* store : core_->stores()) {
    for (const mail::FolderData* f : store->folders()) {
      out.push_back({f->entryId, store->id(), f->name, f->messageClass, f->parentId});
    }
  }
  return out;
}

std::optional<MailFolderInfo> MailClient::folder(std::u16string_view folderId) {
  Store* store = core_->storeOfEntryId(folderId);
  const mail::FolderData* f = store ? store->folder(folderId) : nullptr;
  if (!f) return std::nullopt;
  return MailFolderInfo{f->entryId, store->id(), f->name, f->messageClass, f->parentId};
}

std::size_t MailClient::itemSubscriptions(std::u16string_view folderId) {
  Store* store = core_->storeOfEntryId(folderId);
  if (!store) return 0;
  return core_->subscriptionCount(
      {EventTarget::Kind::kItems, store->id(), std::u16string(folderId)});
}

std::size_t MailClient::applicationSubscriptions() {
  return core_->subscriptionCount({EventTarget::Kind::kApplication, {}, {}});
}

std::size_t MailClient::namespaceSubscriptions() {
  return core_->subscriptionCount({EventTarget::Kind::kNamespace, {}, {}});
}

std::u16string MailClient::addItem(std::u16string_view folderId, ItemData data) {
  Store* store = core_->storeOfEntryId(folderId);
  if (!store || !store->folder(folderId)) return {};
  if (data.kind == mail::ItemKind::kMail && data.senderAddress.empty()) {
    data.senderAddress = address();
  }
  return core_->insertItem(*store, folderId, std::move(data));
}

bool MailClient::changeItem(std::u16string_view entryId,
                            const std::function<void(ItemData&)>& change) {
  Store* store = core_->storeOfEntryId(entryId);
  mail::StoredItem* stored = store ? store->item(entryId) : nullptr;
  if (!stored) return false;
  ItemData data = stored->data;
  change(data);
  core_->updateItem(*store, entryId, std::move(data));
  return true;
}

std::optional<std::u16string> MailClient::deleteItem(std::u16string_view entryId) {
  Store* store = core_->storeOfEntryId(entryId);
  if (!store || !store->item(entryId)) return std::nullopt;
  return core_->deleteItem(*store, entryId);
}

bool MailClient::hardDelete(std::u16string_view entryId) {
  Store* store = core_->storeOfEntryId(entryId);
  if (!store || !store->item(entryId)) return false;
  core_->removeItem(*store, entryId);
  return true;
}

std::optional<std::u16string> MailClient::moveItem(std::u16string_view entryId,
                                                   std::u16string_view folderId) {
  Store* from = core_->storeOfEntryId(entryId);
  Store* to = core_->storeOfEntryId(folderId);
  if (!from || !from->item(entryId) || !to || !to->folder(folderId)) return std::nullopt;
  return core_->moveItem(*from, entryId, *to, folderId);
}

std::optional<std::u16string> MailClient::copyItem(std::u16string_view entryId,
                                                   std::u16string_view folderId) {
  Store* from = core_->storeOfEntryId(entryId);
  Store* to = core_->storeOfEntryId(folderId);
  mail::StoredItem* source = from ? from->item(entryId) : nullptr;
  if (!source || !to || !to->folder(folderId)) return std::nullopt;
  std::u16string id = core_->insertItem(*to, folderId, source->data);
  if (id.empty()) return std::nullopt;
  return id;
}

std::optional<MailItemInfo> MailClient::item(std::u16string_view entryId) {
  Store* store = core_->storeOfEntryId(entryId);
  mail::StoredItem* stored = store ? store->item(entryId) : nullptr;
  if (!stored) return std::nullopt;
  return MailItemInfo{std::u16string(entryId), stored->folderId, stored->data, stored->submitted,
                      stored->sendFailure};
}

std::uint64_t MailClient::folderVersion(std::u16string_view folderId) {
  Store* store = core_->storeOfEntryId(folderId);
  const mail::FolderData* f = store ? store->folder(folderId) : nullptr;
  return f ? f->version : 0;
}

std::vector<MailItemInfo> MailClient::folderItems(std::u16string_view folderId) {
  std::vector<MailItemInfo> out;
  Store* store = core_->storeOfEntryId(folderId);
  mail::FolderData* f = store ? store->folder(folderId) : nullptr;
  if (!f) return out;
  for (const auto& [seq, id] : f->order) {
    const mail::StoredItem* stored = store->item(id);
    out.push_back({id, stored->folderId, stored->data, stored->submitted, stored->sendFailure});
  }
  return out;
}

std::vector<mail::OfferedPage> MailClient::openFolderProperties(std::u16string_view folderId) {
  auto log = std::make_shared<std::vector<mail::OfferedPage>>();
  Store* store = core_->storeOfEntryId(folderId);
  if (!store || !store->folder(folderId)) return {};
  std::shared_ptr<Dispatch> pages = mail::makePropertyPagesObject(core_, log);
  std::shared_ptr<Dispatch> folder = core_->folderObject(*store, folderId);
  core_->fire({EventTarget::Kind::kNamespace, {}, {}}, dispid::kOptionsPagesAdd,
              {Variant(pages), Variant(folder)});
  return *log;
}

std::vector<mail::OfferedPage> MailClient::openOptions() {
  auto log = std::make_shared<std::vector<mail::OfferedPage>>();
  std::shared_ptr<Dispatch> pages = mail::makePropertyPagesObject(core_, log);
  core_->fire({EventTarget::Kind::kApplication, {}, {}}, dispid::kOptionsPagesAdd,
              {Variant(pages)});
  return *log;
}

void MailClient::addCommandBar(std::u16string_view name, bool visible) {
  mail::BarState bar;
  bar.id = core_->nextUiId++;
  bar.name = std::u16string(name);
  bar.visible = visible;
  core_->bars.push_back(std::move(bar));
}

void MailClient::scriptAddressBook(std::optional<std::vector<mail::AddressChoice>> choice) {
  core_->addressBookAnswers.push_back(std::move(choice));
}

std::vector<ItemData> MailClient::takeSubmitted() {
  std::vector<ItemData> out;
  for (Submitted& mail : submittedMails()) {
    markSent(mail.entryId);
    out.push_back(std::move(mail.data));
  }
  return out;
}

std::vector<MailClient::Submitted> MailClient::submittedMails() {
  std::vector<Submitted> out;
  Store& store = core_->defaultStore();
  std::u16string outbox = core_->defaultFolderId(default_folder::kOutbox);
  // The Outbox first; a mail the library submitted where it lay goes too.
  std::vector<MailItemInfo> waiting = folderItems(outbox);
  for (const mail::FolderData* folder : store.folders()) {
    if (folder->entryId == outbox) continue;
    for (MailItemInfo& info : folderItems(folder->entryId)) waiting.push_back(std::move(info));
  }
  for (MailItemInfo& info : waiting) {
    if (info.submitted) out.push_back({std::move(info.entryId), std::move(info.data)});
  }
  return out;
}

void MailClient::markSent(std::u16string_view entryId) {
  Store& store = core_->defaultStore();
  const mail::StoredItem* stored = store.item(entryId);
  if (!stored || !stored->submitted) return;
  if (stored->data.deleteAfterSubmit) {
    core_->removeItem(store, entryId);
  } else {
    core_->moveItem(store, entryId, store, core_->defaultFolderId(default_folder::kSentMail));
  }
}

void MailClient::markSendFailed(std::u16string_view entryId, std::u16string_view reason) {
  if (mail::StoredItem* stored = core_->defaultStore().item(entryId); stored && stored->submitted)
    stored->sendFailure = std::u16string(reason);
}

bool MailClient::holdInTransmission(std::u16string_view entryId) {
  Store& store = core_->defaultStore();
  mail::StoredItem* stored = store.item(entryId);
  if (!stored || !stored->submitted ||
      stored->folderId != core_->defaultFolderId(default_folder::kOutbox)) {
    return false;
  }
  stored->transmitting = true;
  return true;
}

std::size_t MailClient::holdOutboxInTransmission() {
  std::size_t held = 0;
  for (const MailItemInfo& info : folderItems(core_->defaultFolderId(default_folder::kOutbox))) {
    if (holdInTransmission(info.entryId)) ++held;
  }
  return held;
}

void MailClient::deliver(std::vector<ItemData> mails) {
  if (mails.empty()) return;
  Store& store = core_->defaultStore();
  std::u16string inbox = core_->defaultFolderId(default_folder::kInbox);
  for (ItemData& mail : mails) core_->insertItem(store, inbox, std::move(mail));
  core_->postNewMail();
}

}  // namespace qx::sim

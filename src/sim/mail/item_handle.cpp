#include "sim/mail/item_handle.h"

#include "platform/mail_ids.h"
#include "platform/mail_status.h"
#include "sim/mail/client_core.h"

namespace qx::sim::mail {

ItemHandle::ItemHandle(std::shared_ptr<ClientCore> core, std::u16string storeId,
                       std::u16string entryId)
    : core_(std::move(core)), storeId_(std::move(storeId)), entryId_(std::move(entryId)) {}

ItemHandle::ItemHandle(std::shared_ptr<ClientCore> core, ItemData fresh)
    : core_(std::move(core)), storeId_(core_->defaultStore().id()), working_(std::move(fresh)) {}

Store* ItemHandle::store() { return core_->storeById(storeId_); }

StoredItem* ItemHandle::stored() {
  if (isNew() || gone_) return nullptr;
  Store* s = store();
  return s ? s->item(entryId_) : nullptr;
}

std::u16string ItemHandle::folderId() {
  if (isNew()) {
    bool task = working_ && working_->kind == ItemKind::kTask;
    return core_->defaultFolderId(task ? default_folder::kTasks : default_folder::kDrafts);
  }
  StoredItem* s = stored();
  return s ? s->folderId : std::u16string();
}

Result<const ItemData*> ItemHandle::view() {
  if (gone_) return failure(hr::kMapiObjectDeleted);
  if (working_) return &*working_;
  StoredItem* s = stored();
  if (!s) return failure(hr::kMapiObjectDeleted);
  return &s->data;
}

Result<ItemData*> ItemHandle::edit() {
  if (gone_) return failure(hr::kMapiObjectDeleted);
  if (!working_) {
    StoredItem* s = stored();
    if (!s) return failure(hr::kMapiObjectDeleted);
    working_ = s->data;
  }
  return &*working_;
}

Result<const ItemData*> ItemHandle::libraryView() {
  if (gone_) return failure(hr::kMapiObjectDeleted);
  if (isNew()) return view();
  StoredItem* s = stored();
  if (!s) return failure(hr::kMapiObjectDeleted);
  if (libraryWrites_.empty()) return &s->data;
  libraryCopy_ = s->data;
  for (auto& write : libraryWrites_) (void)write(*libraryCopy_);
  return &*libraryCopy_;
}

Hresult ItemHandle::libraryWrite(std::function<Hresult(ItemData&)> write) {
  auto data = edit();
  if (!data) return data.error();
  if (Hresult status = write(**data); failed(status)) return status;
  if (!isNew()) libraryWrites_.push_back(std::move(write));
  return hr::kOk;
}

Hresult ItemHandle::save() {
  if (gone_) return hr::kMapiObjectDeleted;
  if (isNew()) {
    std::u16string folder = folderId();
    Store* s = store();
    if (!s || folder.empty()) return hr::kFail;
    entryId_ = core_->insertItem(*s, folder, std::move(*working_));
    working_.reset();
    libraryWrites_.clear();
    return hr::kOk;
  }
  StoredItem* s = stored();
  if (!s) return hr::kMapiObjectDeleted;
  if (working_) {
    // The change events may reach the add-in before this returns; the handle
    // is already clean by then.
    ItemData data = std::move(*working_);
    working_.reset();
    core_->saveItem(*store(), entryId_, std::move(data));
  }
  libraryWrites_.clear();
  libraryCopy_.reset();
  return hr::kOk;
}

Hresult ItemHandle::commit() {
  if (isNew() || working_) return save();
  return stored() ? hr::kOk : hr::kMapiObjectDeleted;
}

Result<std::shared_ptr<ItemHandle>> ItemHandle::move(Store& destination,
                                                     std::u16string_view folderId) {
  if (!destination.folder(folderId)) return failure(hr::kMapiNotFound);
  if (Hresult status = commit(); failed(status)) return failure(status);
  StoredItem* s = stored();
  if (!s) return failure(hr::kMapiObjectDeleted);
  std::u16string newId = core_->moveItem(*store(), entryId_, destination, folderId);
  gone_ = true;
  return std::make_shared<ItemHandle>(core_, destination.id(), newId);
}

Hresult ItemHandle::remove() {
  if (gone_) return hr::kMapiObjectDeleted;
  if (isNew()) {
    // Deleting an item that was never saved discards it.
    working_.reset();
    gone_ = true;
    return hr::kOk;
  }
  if (!stored()) return hr::kMapiObjectDeleted;
  core_->deleteItem(*store(), entryId_);
  working_.reset();
  gone_ = true;
  return hr::kOk;
}

Hresult ItemHandle::submit(bool inPlace) {
  if (Hresult status = commit(); failed(status)) return status;
  std::u16string outbox = core_->defaultFolderId(default_folder::kOutbox);
  Store& home = core_->defaultStore();
  const bool moves = storeId_ != home.id() || (!inPlace && stored()->folderId != outbox);
  if (moves) {
    std::u16string newId = core_->moveItem(*store(), entryId_, home, outbox);
    storeId_ = home.id();
    entryId_ = newId;
  }
  stored()->submitted = true;
  return hr::kOk;
}

void ItemHandle::stopSubmission() {
  StoredItem* s = stored();
  if (s && s->submitted && !s->transmitting) s->submitted = false;
}

bool ItemHandle::transmitting() {
  StoredItem* s = stored();
  return s && s->transmitting;
}

std::shared_ptr<ItemHandle> handleOf(const std::shared_ptr<Dispatch>& object) {
  auto* holder = dynamic_cast<HasItemHandle*>(object.get());
  return holder ? holder->itemHandle() : nullptr;
}

}  // namespace qx::sim::mail

#pragma once
// What an item object stands on: the item's place (store and entry id) and the
// object's working copy. Reads see the working copy once the object changed
// something, the stored state before; save() stores the working copy. The
// host's item object, its user properties and attachments and the safe-item
// library's wrapper of it share one handle, as they share one message in the
// host.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/dispatch.h"
#include "sim/mail/item_data.h"

namespace qx::sim::mail {

class ClientCore;
class Store;
struct StoredItem;

class ItemHandle {
 public:
  // An item in a store.
  ItemHandle(std::shared_ptr<ClientCore> core, std::u16string storeId, std::u16string entryId);
  // A new item that is not saved yet.
  ItemHandle(std::shared_ptr<ClientCore> core, ItemData fresh);

  ClientCore& core() { return *core_; }
  const std::shared_ptr<ClientCore>& corePtr() { return core_; }
  bool isNew() const { return entryId_.empty(); }
  const std::u16string& entryId() const { return entryId_; }
  const std::u16string& storeId() const { return storeId_; }
  // The store the item is in, or, for a new item, the store it will be
  // saved to. Null when the item's store is gone.
  Store* store();
  StoredItem* stored();
  // The folder holding the item (new items: the folder they are saved to).
  std::u16string folderId();

  // The current state; kMapiObjectDeleted once the item was moved or deleted.
  Result<const ItemData*> view();
  // The working copy, made from the stored state on first use.
  Result<ItemData*> edit();
  bool hasChanges() const { return working_.has_value(); }

  // What the safe-item library sees: the stored state with what was written
  // through the library, not the host object's other unsaved changes (a new,
  // never saved item: its working copy).
  Result<const ItemData*> libraryView();
  // A write through the library: it reaches the working copy, so that the
  // host object's next save stores it, and the library sees it at once.
  Hresult libraryWrite(std::function<Hresult(ItemData&)> write);

  // Stores the working copy (a new item goes to the default folder of its
  // kind: tasks to Tasks, mails to Drafts).
  Hresult save();
  // Saves pending changes first, as the host does before moving or sending.
  Hresult commit();
  Result<std::shared_ptr<ItemHandle>> move(Store& destination, std::u16string_view folderId);
  Hresult remove();
  // Marks the item submitted and moves it to the Outbox if it is elsewhere;
  // `inPlace` (the library's submission) leaves a mail of the default store
  // in its folder, where the transport takes it all the same.
  Hresult submit(bool inPlace = false);
  // A submitted mail opened by the library stops waiting for the transport,
  // unless the transport is transmitting it already.
  void stopSubmission();
  bool transmitting();

 private:
  std::shared_ptr<ClientCore> core_;
  std::u16string storeId_;
  std::u16string entryId_;
  std::optional<ItemData> working_;
  std::vector<std::function<Hresult(ItemData&)>> libraryWrites_;
  std::optional<ItemData> libraryCopy_;
  bool gone_ = false;
};

// Implemented by the stand-in's item objects, so the library can reach the
// item behind a generic object.
class HasItemHandle {
 public:
  virtual ~HasItemHandle() = default;
  virtual std::shared_ptr<ItemHandle> itemHandle() = 0;
};

std::shared_ptr<ItemHandle> handleOf(const std::shared_ptr<Dispatch>& object);

}  // namespace qx::sim::mail

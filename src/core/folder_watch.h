#pragma once
// A watched folder: the host folder, the item-event sink advised on its items,
// its share name and whether its basic synchronization was already offered.
// The engine keeps one per synchronized folder and one on Deleted Items.
#include <cstdint>
#include <memory>
#include <string>

#include "outgoing/items_events.h"

namespace qx {

class ConnectionPoint;
class Folder;
class Items;
class SyncEngine;

class FolderWatch {
 public:
  // Advises a new sink on the folder's items. Any failure leaves the sink
  // unattached and is not reported: the folder is still listed.
  FolderWatch(SyncEngine& engine, std::shared_ptr<Folder> folder, bool isDeletedItems,
              std::string shareName = {}, bool processed = false);
  // Unadvises the sink.
  ~FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  const std::shared_ptr<Folder>& folder() const { return folder_; }
  const std::shared_ptr<CItemsEvents>& sink() const { return sink_; }
  const std::string& shareName() const { return shareName_; }
  bool processed() const { return processed_; }
  bool subscribed() const { return cookie_ != 0; }

 private:
  std::shared_ptr<Folder> folder_;
  std::shared_ptr<CItemsEvents> sink_;
  std::string shareName_;
  bool processed_ = false;
  std::shared_ptr<Items> items_;
  std::shared_ptr<ConnectionPoint> point_;
  std::uint32_t cookie_ = 0;
};

}  // namespace qx

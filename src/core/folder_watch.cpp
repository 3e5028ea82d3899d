#include "core/folder_watch.h"

#include "platform/mail_client.h"

namespace qx {

FolderWatch::FolderWatch(SyncEngine& engine, std::shared_ptr<Folder> folder, bool isDeletedItems,
                         std::string shareName, bool processed)
    : folder_(std::move(folder)),
      sink_(std::make_shared<CItemsEvents>(engine, isDeletedItems)),
      shareName_(std::move(shareName)),
      processed_(processed) {
  if (!folder_) return;
  auto items = folder_->items();
  if (!items) return;
  auto point = (*items)->findConnectionPoint(iid::kItemsEvents);
  if (!point) return;
  auto cookie = (*point)->advise(sink_);
  if (!cookie) return;
  items_ = std::move(*items);
  point_ = std::move(*point);
  cookie_ = *cookie;
}

FolderWatch::~FolderWatch() {
  if (point_ && cookie_ != 0) point_->unadvise(cookie_);
  // The host may still hold the sink for an event already on its way.
  sink_->detach();
}

}  // namespace qx

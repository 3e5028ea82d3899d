#pragma once
// The event sink on a watched folder's item collection: added and changed
// tasks of a shared folder become change mails, tasks that land in Deleted
// Items become removal mails.
#include <cstdint>
#include <span>
#include <string>

#include "platform/dispatch.h"
#include "platform/variant.h"

namespace qx {

class SyncEngine;

class CItemsEvents : public EventSink {
 public:
  CItemsEvents(SyncEngine& engine, bool isDeletedItemsSink)
      : engine_(engine), isDeletedItemsSink_(isDeletedItemsSink) {}

  bool isDeletedItemsSink() const { return isDeletedItemsSink_; }

  // Item added (0xF001) and item changed (0xF002) with one item argument;
  // everything else succeeds without doing anything.
  Hresult invoke(std::int32_t dispId, std::span<const Variant> args) override;

  // The watch that owns the sink detaches it before the engine goes away; the
  // host may still hold it afterwards and must then find it inert.
  void detach() { attached_ = false; }
  bool attached() const { return attached_; }

 private:
  SyncEngine& engine_;
  bool isDeletedItemsSink_;
  bool attached_ = true;
  double lastChangeTime_ = 0;
  std::u16string lastEntryId_;
};

}  // namespace qx

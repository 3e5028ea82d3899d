#pragma once
// The event sink on a watched folder's item collection: added and changed
// tasks of a shared folder become change mails, tasks that land in Deleted
// Items become removal mails.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/dispatch.h"
#include "platform/variant.h"

namespace qx {

class EngineCall;
class Folder;
class SyncEngine;
class TaskItem;

class CItemsEvents : public EventSink {
 public:
  CItemsEvents(SyncEngine& engine, bool isDeletedItemsSink)
      : engine_(engine), isDeletedItemsSink_(isDeletedItemsSink) {}

  bool isDeletedItemsSink() const { return isDeletedItemsSink_; }

  // Item added (0xF001) and item changed (0xF002) with one item argument;
  // everything else succeeds without doing anything. The one failure the host
  // hears of is a changed item whose folder cannot be had.
  Hresult invoke(std::int32_t dispId, std::span<const Variant> args) override;

  // The watch that owns the sink detaches it before the engine goes away; the
  // host may still hold it afterwards and must then find it inert.
  void detach() { attached_ = false; }
  bool attached() const { return attached_; }

 private:
  struct EventItem {
    std::u16string entryId;
    std::optional<std::uint64_t> content;  // the task's fingerprint
  };
  Hresult onChange(const EngineCall& call, TaskItem& task, const EventItem& item, bool sendable);
  void sendChange(const EngineCall& call, TaskItem& task, Folder& folder);
  // The event is the add-in's own write: the task holds what the add-in last
  // wrote into it, or (when that is not known) a don't-touch entry announced
  // the write. Consumes the item's don't-touch entry.
  bool isOwnWrite(const EventItem& item);
  // Consumes the first don't-touch entry of the item, if there is one.
  bool takeDontTouch(std::u16string_view entryId);
  // The system clock in whole seconds as a local date value.
  std::optional<double> clockNow();

  SyncEngine& engine_;
  bool isDeletedItemsSink_;
  bool attached_ = true;
  // The last event this sink let through or merged, never persisted: a run
  // of events of one item less than three seconds apart sends once.
  double lastChangeTime_ = 0;
  std::u16string lastEntryId_;
};

}  // namespace qx

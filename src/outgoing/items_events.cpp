#include "outgoing/items_events.h"

#include <algorithm>

#include "core/addin_module.h"
#include "core/sync_engine.h"
#include "core/task_fingerprint.h"
#include "outgoing/task_sync_properties.h"
#include "platform/mail_client.h"

namespace qx {
namespace {

constexpr std::string_view kDeletedItem = "deleted item detected";
constexpr std::string_view kDontTouch = "change event:DontTouchItem";
constexpr std::string_view kOwnWrite = "change event:own write not sent again";
constexpr std::string_view kNotOwnWrite = "change event:DontTouchItem differs from the own write";
constexpr std::string_view kMultipleChanges = "change event:MultipleChanges detected";
constexpr std::string_view kChanged = "changed or new item detected";
constexpr std::string_view kSendFailed = "sendmessage Failed";
constexpr std::string_view kNoUsers = "fillUserList::no Users";

// Just under three seconds, in days: with a clock of whole seconds, events
// 0, 1 or 2 seconds after the last one are merged, 3 seconds are not.
constexpr double kBurstWindowDays = 3.472e-05;

}  // namespace

Hresult CItemsEvents::invoke(std::int32_t dispId, std::span<const Variant> args) {
  if (!attached_) return hr::kOk;
  if (dispId != dispid::kItemAdd && dispId != dispid::kItemChange) return hr::kOk;
  if (args.size() != 1 || !args[0].asDispatch()) return hr::kOk;
  // Sending may end in the library-missing report, which disconnects the
  // add-in from inside this call: the engine must outlive it.
  EngineCall call(engine_.module());
  if (!call.stillConnected()) return hr::kOk;

  const std::shared_ptr<Dispatch> item = args[0].asDispatch();
  const Result<std::shared_ptr<TaskItem>> task = item->queryTask();
  if (!task) return hr::kOk;
  if (dispId == dispid::kItemAdd && isDeletedItemsSink_) {
    Diagnostics& log = engine_.diagnostics();
    if (log.debugOn()) log.logDebug(kDeletedItem);
    (void)engine_.DeleteMessage(**task);
    return hr::kOk;
  }
  const Result<std::u16string> entryId = (*task)->entryId();
  if (!entryId) return hr::kOk;
  const std::optional<std::uint64_t> content = taskFingerprint(**task);
  // The add-in's own write (an applied task moved in) keeps its id.
  if (dispId == dispid::kItemAdd && !engine_.isOwnWrite(*entryId, content)) {
    // A task copied or moved in from elsewhere must not keep the id of the
    // task it came from. One that cannot be cleared now is not sent under it:
    // it is tried again before each send, and meanwhile the task still takes
    // its don't-touch entry and its place in the burst window.
    const bool cleared = succeeded(removeSyncIdProperties(**task));
    if (!cleared) engine_.pendingChanges().copiedIds.insert(*entryId);
    return onChange(call, **task, {*entryId, content}, cleared);
  }
  return onChange(call, **task, {*entryId, content}, true);
}

bool CItemsEvents::isOwnWrite(const EventItem& item) {
  Diagnostics& log = engine_.diagnostics();
  const std::u16string& entryId = item.entryId;
  if (engine_.isOwnWrite(entryId, item.content)) {
    // However many events the host raises for the write, and whenever.
    const bool announced = takeDontTouch(entryId);
    if (log.debugOn()) log.logDebug(announced ? kDontTouch : kOwnWrite);
    return true;
  }
  if (!takeDontTouch(entryId)) return false;
  // The entry announced a write whose content is known and is not this: the
  // user changed the task since, and that is sent.
  if (engine_.wroteLately(entryId)) {
    if (log.debugOn()) log.logDebug(kNotOwnWrite);
    return false;
  }
  if (log.debugOn()) log.logDebug(kDontTouch);
  return true;
}

Hresult CItemsEvents::onChange(const EngineCall& call, TaskItem& task, const EventItem& item,
                               bool sendable) {
  Diagnostics& log = engine_.diagnostics();
  const std::u16string& entryId = item.entryId;

  if (!isOwnWrite(item)) {
    const std::optional<double> now = clockNow();
    if (!now) return hr::kOk;
    // A last event later than now (the clock was set back) opens no window:
    // it would hold every save back until the clock caught up with it.
    if (entryId == lastEntryId_ && lastChangeTime_ <= *now &&
        lastChangeTime_ + kBurstWindowDays > *now) {
      if (log.debugOn()) log.logDebug(kMultipleChanges);
      // The window keeps the echo of a write out; a save of the user's inside
      // it still goes out once it has closed.
      if (sendable && !isDeletedItemsSink_) engine_.notePendingChange(task, entryId);
    } else {
      lastChangeTime_ = *now;
      lastEntryId_ = entryId;
      const Result<std::shared_ptr<Dispatch>> parent = task.parent();
      if (!parent) return hr::kFail;
      const Result<std::shared_ptr<Folder>> folder = (*parent)->queryFolder();
      if (!folder) return hr::kFail;
      if (sendable) sendChange(call, task, **folder);
      if (!call.stillConnected()) return hr::kOk;
    }
  }
  // Every event of the item, merged or not, starts the window again.
  if (const std::optional<double> now = clockNow()) {
    lastChangeTime_ = *now;
    lastEntryId_ = entryId;
  }
  return hr::kOk;
}

void CItemsEvents::sendChange(const EngineCall& call, TaskItem& task, Folder& folder) {
  const Result<std::u16string> folderId = folder.entryId();
  if (!folderId) return;
  Diagnostics& log = engine_.diagnostics();
  if (!engine_.fillUserList(*folderId)) {
    if (log.debugOn()) log.logDebug(kNoUsers);
    return;
  }
  if (log.debugOn()) log.logDebug(kChanged);
  const Hresult status = engine_.sendMessage(task, folder);
  if (!call.stillConnected()) return;
  if (failed(status) && log.debugOn()) log.logDebug(kSendFailed);
}

bool CItemsEvents::takeDontTouch(std::u16string_view entryId) {
  return engine_.dontTouchList().take(entryId);
}

std::optional<double> CItemsEvents::clockNow() {
  Clock& clock = engine_.module().platform().clock;
  const Result<double> now = clock.toLocalDate(clock.now());
  if (!now) return std::nullopt;
  return *now;
}

}  // namespace qx

// The engine's side of versioned changes: the clock and tie-breaker a version
// is made of, the version a received change must beat, the user's saves that
// the burst window swallowed, and what the add-in itself wrote.
#include "core/addin_module.h"
#include "core/change_tag.h"
#include "core/sync_engine.h"
#include "core/task_fingerprint.h"
#include "platform/mail_client.h"

namespace qx {

std::int64_t SyncEngine::nowMs() { return module_.platform().clock.nowMs(); }

const std::optional<std::string>& SyncEngine::changeTag() {
  if (!changeTagLoaded_) {
    changeTag_ = loadChangeTag(module_.platform().registry, module_.platform().guids);
    changeTagLoaded_ = changeTag_.has_value();
  }
  return changeTag_;
}

std::optional<ChangeVersion> SyncEngine::newVersion(const TaskRecord& stored,
                                                    std::string_view shareName,
                                                    std::string_view syncId, std::int64_t atMs) {
  const std::optional<std::string>& tag = changeTag();
  if (!tag) return std::nullopt;
  const std::optional<ChangeVersion> removal =
      syncId.empty() ? std::nullopt : tombstones_.find(shareName, syncId, nowMs());
  return nextVersion(atMs, *tag, stored.version, removal);
}

LocalVersion SyncEngine::localVersion(TaskItem& task, std::string_view shareName,
                                      std::string_view syncId) {
  LocalVersion local;
  const TaskRecord record = readTaskRecord(task);
  local.version = record.version;
  const Result<std::u16string> entryId = task.entryId();
  if (!entryId) return local;
  const auto waiting = pending_.waiting.find(*entryId);
  if (waiting == pending_.waiting.end()) return local;
  // A held-back save that changed nothing since the last state sent or
  // applied is no newer version of the task.
  const std::optional<std::uint64_t> content = taskFingerprint(task);
  if (record.version && record.state && content == record.state) return local;
  const std::optional<ChangeVersion> unsent =
      newVersion(record, shareName, syncId, waiting->second.changeMs);
  if (unsent && (!local.version || *local.version < *unsent)) {
    local.version = unsent;
    local.unsent = true;
  }
  return local;
}

void SyncEngine::notePendingChange(TaskItem& task, std::u16string_view entryId) {
  const std::int64_t now = nowMs();
  if (now < 0) return;
  const std::u16string key(entryId);
  const auto known = pending_.waiting.find(key);
  if (known != pending_.waiting.end()) {
    known->second.changeMs = now;
    known->second.lastEventMs = now;
    return;
  }
  // The store, so that the item can be opened again in a store of its own.
  PendingChange change{{}, now, now};
  if (const Result<std::shared_ptr<Dispatch>> parent = task.parent(); parent && *parent) {
    if (const Result<std::shared_ptr<Folder>> folder = (*parent)->queryFolder(); folder) {
      if (Result<std::u16string> store = (*folder)->storeId(); store)
        change.storeId = std::move(*store);
    }
  }
  pending_.waiting.emplace(key, std::move(change));
}

void SyncEngine::noteOwnWrite(std::u16string_view entryId, std::optional<std::uint64_t> content) {
  const std::u16string key(entryId);
  if (!content) {
    pending_.written.erase(key);
    return;
  }
  pending_.written[key] = WrittenState{*content, nowMs()};
}

bool SyncEngine::isOwnWrite(std::u16string_view entryId, std::optional<std::uint64_t> content) {
  if (!content) return false;
  const auto written = pending_.written.find(std::u16string(entryId));
  return written != pending_.written.end() && written->second.fingerprint == *content;
}

bool SyncEngine::wroteLately(std::u16string_view entryId) const {
  return pending_.written.contains(std::u16string(entryId));
}

}  // namespace qx

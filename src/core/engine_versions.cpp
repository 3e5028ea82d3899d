// The engine's side of versioned changes: the clock and tie-breaker a version
// is made of, the version a received change must beat, and the user's saves
// that the burst window swallowed.
#include "core/addin_module.h"
#include "core/change_tag.h"
#include "core/sync_engine.h"
#include "core/task_fingerprint.h"
#include "platform/mail_client.h"

namespace qx {

std::int64_t SyncEngine::nowMs() { return module_.platform().clock.nowMs(); }

std::optional<ChangeVersion> SyncEngine::versionOf(std::optional<std::int64_t> changeMs) {
  if (!changeTagLoaded_) {
    changeTag_ = loadChangeTag(module_.platform().registry, module_.platform().guids);
    changeTagLoaded_ = changeTag_.has_value();
  }
  if (!changeTag_) return std::nullopt;
  const std::int64_t at = changeMs ? *changeMs : nowMs();
  if (at < 0) return std::nullopt;
  return ChangeVersion{at, *changeTag_};
}

std::optional<ChangeVersion> SyncEngine::localVersion(TaskItem& task) {
  std::optional<ChangeVersion> stored = readTaskVersion(task);
  const Result<std::u16string> entryId = task.entryId();
  if (!entryId) return stored;
  const auto waiting = pending_.waiting.find(*entryId);
  if (waiting == pending_.waiting.end()) return stored;
  std::optional<ChangeVersion> unsent = versionOf(waiting->second.changeMs);
  if (!stored || (unsent && *stored < *unsent)) return unsent;
  return stored;
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

void SyncEngine::noteOwnWrite(TaskItem& task, std::u16string_view entryId) {
  const std::optional<std::uint64_t> fingerprint = taskFingerprint(task);
  const std::u16string key(entryId);
  if (!fingerprint) {
    pending_.written.erase(key);
    return;
  }
  pending_.written[key] = WrittenState{*fingerprint, nowMs()};
}

}  // namespace qx

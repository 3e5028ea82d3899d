// The engine's side of versioned changes: the clock and tie-breaker a version
// is made of, the version a received change must beat, the user's saves that
// the burst window swallowed, and what the add-in itself wrote.
#include <algorithm>

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

std::optional<ChangeVersion> SyncEngine::unsentVersion(TaskItem& task, std::u16string_view entryId,
                                                       std::string_view shareName,
                                                       std::string_view syncId) {
  const auto waiting = pending_.waiting.find(std::u16string(entryId));
  if (waiting != pending_.waiting.end() && waiting->second.version) return waiting->second.version;
  const std::optional<ChangeVersion> version =
      newVersion(readTaskRecord(task), shareName, syncId, nowMs());
  if (version) notePendingSend(task, entryId, *version);
  return version;
}

namespace {

// The store, so that the item can be opened again in a store of its own.
std::u16string storeOf(TaskItem& task) {
  if (const Result<std::shared_ptr<Dispatch>> parent = task.parent(); parent && *parent) {
    if (const Result<std::shared_ptr<Folder>> folder = (*parent)->queryFolder(); folder) {
      if (Result<std::u16string> store = (*folder)->storeId(); store) return std::move(*store);
    }
  }
  return {};
}

}  // namespace

void SyncEngine::notePendingChange(TaskItem& task, std::u16string_view entryId) {
  const std::int64_t now = nowMs();
  if (now < 0) return;
  // The hybrid clock at the save: now, but past what the task held then.
  std::optional<ChangeVersion> version;
  if (const std::optional<std::string>& tag = changeTag())
    version = nextVersion(now, *tag, readTaskRecord(task).version, std::nullopt);
  const std::u16string key(entryId);
  const auto known = pending_.waiting.find(key);
  if (known != pending_.waiting.end()) {
    known->second.version = version;
    known->second.lastEventMs = now;
    return;
  }
  pending_.waiting.emplace(key, PendingChange{storeOf(task), version, now});
}

void SyncEngine::notePendingSend(TaskItem& task, std::u16string_view entryId,
                                 const ChangeVersion& version) {
  // Due at once: the window of the save, if there was one, closed long ago.
  const std::int64_t due = std::min<std::int64_t>(nowMs(), version.utcMs) - 60000;
  auto [entry, added] =
      pending_.waiting.try_emplace(std::u16string(entryId), PendingChange{{}, version, due});
  if (added) {
    entry->second.storeId = storeOf(task);
  } else {
    entry->second.version = version;
  }
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

// A save of the user that the burst window swallowed goes out once the window
// has closed, at the next timer tick, unless a later send of the task carried
// it already or it is the echo of the add-in's own write.
#include <vector>

#include "common/diagnostics.h"
#include "core/addin_module.h"
#include "core/sync_engine.h"
#include "core/task_fingerprint.h"
#include "core/task_record.h"
#include "platform/mail_client.h"

namespace qx {
namespace {

// The burst window, in milliseconds: a change waits until it has closed.
constexpr std::int64_t kWindowMs = 3000;
// What the add-in wrote is remembered this long for the echo test; the events
// of a write come within it.
constexpr std::int64_t kWrittenKeepMs = 60000;

constexpr std::string_view kOwnWrite = "change event:own write not sent again";
constexpr std::string_view kLateSend = "change event:sent after the burst window";
constexpr std::string_view kNoUsers = "fillUserList::no Users";
constexpr std::string_view kSendFailed = "sendmessage Failed";

}  // namespace

bool SyncEngine::sendPendingChanges(bool all) {
  const std::int64_t now = nowMs();
  std::vector<std::pair<std::u16string, PendingChange>> due;
  for (auto entry = pending_.waiting.begin(); entry != pending_.waiting.end();) {
    if (all || (now >= 0 && now - entry->second.lastEventMs >= kWindowMs)) {
      due.emplace_back(entry->first, std::move(entry->second));
      entry = pending_.waiting.erase(entry);
    } else {
      ++entry;
    }
  }
  for (const auto& [entryId, change] : due) {
    if (!namespace_) break;
    const Result<std::shared_ptr<Dispatch>> item = namespace_->getItemFromId(
        entryId, storeIdArgument(change.storeId));
    // Deleted for good or moved away: the deletion or the move tells the rest.
    if (!item || !*item) continue;
    const Result<std::shared_ptr<TaskItem>> task = (*item)->queryTask();
    if (!task) continue;
    // The task holds what the add-in wrote. That is the echo of its own
    // write only when the write was all the add-in's: a merge that kept this
    // save's fields wrote them without sending them, and left the task's
    // record without a state to say so.
    const std::optional<std::uint64_t> content = taskFingerprint(**task);
    if (isOwnWrite(entryId, content) && readTaskRecord(**task).state == content) {
      debugEntry(diagnostics_, kOwnWrite);
      continue;
    }
    const Result<std::shared_ptr<Dispatch>> parent = (*task)->parent();
    if (!parent || !*parent) continue;
    const Result<std::shared_ptr<Folder>> folder = (*parent)->queryFolder();
    if (!folder) continue;
    const Result<std::u16string> folderId = (*folder)->entryId();
    if (!folderId) continue;
    if (!fillUserList(*folderId)) {
      debugEntry(diagnostics_, kNoUsers);
      continue;
    }
    debugEntry(diagnostics_, kLateSend);
    const Hresult status = sendMessage(**task, **folder, SendReason::kChange, change.version);
    if (module_.engine() != this) return false;
    if (failed(status)) debugEntry(diagnostics_, kSendFailed);
  }
  // Only now: a record pruned before the due saves were looked at would let
  // the echo of a write go out as the user's change.
  for (auto entry = pending_.written.begin(); entry != pending_.written.end();) {
    const bool old = now >= 0 && now - entry->second.atMs > kWrittenKeepMs &&
                     !pending_.waiting.contains(entry->first);
    entry = old ? pending_.written.erase(entry) : std::next(entry);
  }
  return true;
}

}  // namespace qx

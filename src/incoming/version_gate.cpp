#include "incoming/version_gate.h"

#include "core/addin_module.h"
#include "core/sync_engine.h"
#include "incoming/incoming_step.h"

namespace qx {
namespace {

constexpr std::string_view kNotNewer = "versions: change not newer than the local copy, dropped";
constexpr std::string_view kRemoved = "versions: change older than its removal, dropped";
constexpr std::string_view kRemovalOlder = "versions: removal older than the local copy, dropped";

std::optional<std::string> ansi(SyncEngine& engine, std::u16string_view text) {
  Result<std::string> converted = engine.module().platform().codePage.toAnsi(text);
  if (!converted) return std::nullopt;
  return std::move(*converted);
}

}  // namespace

bool receivedChangeIsNews(SyncEngine& engine, const ReceivedStamp& stamp, TaskItem* local) {
  if (!stamp.version) return true;
  // A removal newer than the local copy (one withdrawn from the peers, say)
  // is the task's last version here as well.
  std::optional<ChangeVersion> removed;
  if (stamp.syncId) {
    if (const std::optional<std::string> id = ansi(engine, *stamp.syncId))
      removed = engine.tombstones().find(*id, engine.nowMs());
  }
  if (local) {
    std::optional<ChangeVersion> mine = engine.localVersion(*local);
    if (removed && (!mine || *mine < *removed)) mine = removed;
    if (mine && !(*mine < *stamp.version)) {
      debugEntry(engine.diagnostics(), kNotNewer);
      return false;
    }
    return true;
  }
  if (removed && !(*removed < *stamp.version)) {
    debugEntry(engine.diagnostics(), kRemoved);
    return false;
  }
  return true;
}

bool removalIsNews(SyncEngine& engine, std::u16string_view syncId,
                   const std::optional<ChangeVersion>& version, TaskItem* local) {
  if (!version) return true;
  if (const std::optional<std::string> id = ansi(engine, syncId))
    engine.tombstones().record(*id, *version, engine.nowMs());
  if (!local) return true;
  const std::optional<ChangeVersion> mine = engine.localVersion(*local);
  if (mine && *version < *mine) {
    debugEntry(engine.diagnostics(), kRemovalOlder);
    return false;
  }
  return true;
}

}  // namespace qx

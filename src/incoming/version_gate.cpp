#include "incoming/version_gate.h"

#include "common/diagnostics.h"
#include "core/sync_engine.h"

namespace qx {
namespace {

constexpr std::string_view kNotNewer = "versions: change not newer than the local copy, dropped";
constexpr std::string_view kRemoved = "versions: change older than its removal, dropped";
constexpr std::string_view kRemovalOlder = "versions: removal older than the local copy, dropped";

}  // namespace

Verdict judgeChange(SyncEngine& engine, const ReceivedAbout& about, TaskItem* local,
                    bool byField) {
  if (!about.version) return Verdict::kApply;
  const ChangeVersion& received = *about.version;
  // A removal the copy has not caught up with (one withdrawn from the peers,
  // say) is the task's last version here as well.
  const std::optional<ChangeVersion> removed =
      about.syncId.empty() ? std::nullopt
                           : engine.tombstones().find(about.shareName, about.syncId, engine.nowMs());
  if (removed && !(*removed < received)) {
    debugEntry(engine.diagnostics(), local ? kNotNewer : kRemoved);
    return Verdict::kDrop;
  }
  if (!local) return Verdict::kApply;
  if (byField) return Verdict::kMerge;
  const LocalVersion mine = engine.localVersion(*local, about.shareName, about.syncId);
  if (!mine.version || *mine.version < received) return Verdict::kApply;
  if (*mine.version == received) return Verdict::kTie;
  debugEntry(engine.diagnostics(), kNotNewer);
  return Verdict::kDrop;
}

bool removalIsNews(SyncEngine& engine, const ReceivedAbout& about, TaskItem* local) {
  if (!about.version) return true;
  engine.tombstones().record(about.shareName, about.syncId, *about.version, engine.nowMs());
  if (!local) return true;
  const LocalVersion mine = engine.localVersion(*local, about.shareName, about.syncId);
  if (mine.version && *about.version < *mine.version) {
    debugEntry(engine.diagnostics(), kRemovalOlder);
    return false;
  }
  return true;
}

}  // namespace qx

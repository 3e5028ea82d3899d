#include "incoming/version_gate.h"

#include "common/diagnostics.h"
#include "core/addin_module.h"
#include "core/sync_engine.h"
#include "core/tombstones.h"
#include "protocol/derived_version.h"

namespace qx {
namespace {

constexpr std::string_view kNotNewer = "versions: change not newer than the local copy, dropped";
constexpr std::string_view kRemoved = "versions: change older than its removal, dropped";
constexpr std::string_view kRemovalOlder = "versions: removal older than the local copy, dropped";
constexpr std::string_view kOutlivedRecords =
    "versions: change older than the removal records are kept, dropped";

// "Sync mail from ADDRESS refused: stamped 2 h 5 min ahead of this computer's
// clock". One line per mail: the mail is deleted.
bool refusedAhead(SyncEngine& engine, const ReceivedAbout& about) {
  const std::int64_t now = engine.nowMs();
  if (now < 0 || about.version.utcMs - now <= changeversion::kMaxAheadMs) return false;
  const std::int64_t minutes = (about.version.utcMs - now) / 60000;
  std::string ahead = minutes >= 60 * 24 ? std::to_string(minutes / (60 * 24)) + " d " : "";
  ahead += std::to_string(minutes / 60 % 24) + " h " + std::to_string(minutes % 60) + " min";
  const Result<std::string> sender = engine.module().platform().codePage.toAnsi(about.sender);
  const std::string who = sender && !sender->empty() ? *sender : "an unknown sender";
  engine.diagnostics().reportError("Sync mail from " + who + " refused: stamped " + ahead +
                                   " ahead of this computer's clock");
  return true;
}

}  // namespace

ChangeVersion versionOf(SyncEngine& engine, const SyncMailReading& mail) {
  return mail.version ? *mail.version : derivedVersionAt(engine.nowMs(), mail.sender);
}

Verdict judgeChange(SyncEngine& engine, const ReceivedAbout& about, bool held) {
  if (refusedAhead(engine, about)) return Verdict::kRefuse;
  const ChangeVersion& received = about.version;
  // A removal the copy has not caught up with (one withdrawn from the peers,
  // say) is the task's last version here as well.
  const std::int64_t now = engine.nowMs();
  const std::optional<ChangeVersion> removed =
      about.syncId.empty() ? std::nullopt
                           : engine.tombstones().find(about.shareName, about.syncId, now);
  if (removed && !(*removed < received)) {
    debugEntry(engine.diagnostics(), held ? kNotNewer : kRemoved);
    return Verdict::kDrop;
  }
  if (!held && now >= 0 && now - received.utcMs > tombstone::kKeepMs) {
    debugEntry(engine.diagnostics(), kOutlivedRecords);
    return Verdict::kDrop;
  }
  return Verdict::kMerge;
}

Verdict judgeRemoval(SyncEngine& engine, const ReceivedAbout& about) {
  return refusedAhead(engine, about) ? Verdict::kRefuse : Verdict::kMerge;
}

bool removalIsNews(SyncEngine& engine, const ReceivedAbout& about,
                   const std::optional<ChangeVersion>& localVersion, bool held) {
  engine.tombstones().record(about.shareName, about.syncId, about.version, engine.nowMs());
  if (!held) return true;
  if (localVersion && about.version < *localVersion) {
    debugEntry(engine.diagnostics(), kRemovalOlder);
    return false;
  }
  return true;
}

}  // namespace qx

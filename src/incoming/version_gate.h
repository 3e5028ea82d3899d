#pragma once
// Which received mails are news: a versioned change is applied only when it is
// newer than the local copy (or, for a task the folder no longer holds, than
// its recorded removal in that share); a versioned removal deletes only a copy
// that is not newer than itself. A mail without a version comes from a peer
// that knows none and is applied in arrival order.
#include <optional>
#include <string>

#include "platform/mail_client.h"
#include "protocol/change_version.h"

namespace qx {

class SyncEngine;

// What the mail says of the task it is about.
struct ReceivedAbout {
  std::string shareName;  // ANSI
  std::string syncId;     // ANSI; empty when it has none
  std::optional<ChangeVersion> version;
};

enum class Verdict {
  kApply,
  kDrop,
  // The local copy has exactly this version (a copied profile's
  // tie-breaker, in one millisecond): the content decides.
  kTie,
  // A task held here, changed field by field: the merge decides.
  kMerge,
};

// `local` is the folder's copy of the task, or nullptr when it has none.
// Writes a debug entry for what it drops. A change `byField` of a task held
// here is dropped only for a newer removal; otherwise each field is judged
// on its own (kMerge).
Verdict judgeChange(SyncEngine& engine, const ReceivedAbout& about, TaskItem* local,
                    bool byField = false);

// Records the removal and tells whether it deletes `local`.
bool removalIsNews(SyncEngine& engine, const ReceivedAbout& about, TaskItem* local);

}  // namespace qx

#pragma once
// Which received mails are news. Every change is merged field by field
// (merge_received.h); before that, a change is dropped when a recorded
// removal of its task is not older than it, and, for a task not held here,
// when it is older than the removal records are kept: some users would still
// hold the removal's record and others not, and they would decide apart. A
// removal deletes only a copy that is not newer than itself. Either is
// refused when it is stamped more than a day ahead of this computer's clock.
#include <optional>
#include <string>

#include "platform/mail_client.h"
#include "protocol/change_version.h"
#include "protocol/sync_mail_reader.h"

namespace qx {

class SyncEngine;

// What the mail says of the task it is about.
struct ReceivedAbout {
  std::string shareName;  // ANSI
  std::string syncId;     // ANSI; empty when it has none
  ChangeVersion version;
  std::u16string sender;  // for the error log
};

enum class Verdict {
  kMerge,
  // Of no use: deleted with a debug entry.
  kDrop,
  // Refused: deleted with an error-log line.
  kRefuse,
};

// The mail's version, or for one that has none (made by hand: it never
// travelled, so it has no submit time either) the version derived from the
// time it is read.
ChangeVersion versionOf(SyncEngine& engine, const SyncMailReading& mail);

// `held`: the folder holds a copy of the task.
Verdict judgeChange(SyncEngine& engine, const ReceivedAbout& about, bool held);

// Whether a removal may be applied at all (kMerge) or is refused.
Verdict judgeRemoval(SyncEngine& engine, const ReceivedAbout& about);

// Records the removal and tells whether it deletes `local`, whose version is
// `localVersion`.
bool removalIsNews(SyncEngine& engine, const ReceivedAbout& about,
                   const std::optional<ChangeVersion>& localVersion, bool held);

}  // namespace qx

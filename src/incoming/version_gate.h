#pragma once
// Which received mails are news: a versioned change is applied only when it is
// newer than the local copy (or, for a task the folder no longer holds, than
// its recorded removal); a versioned removal deletes only a copy that is not
// newer than itself. A mail without a version comes from a peer that knows
// none and is applied in arrival order.
#include <optional>

#include "platform/mail_client.h"
#include "protocol/change_version.h"

namespace qx {

class SyncEngine;

// `local` is the folder's copy of the task, or nullptr when it has none.
// Writes a debug entry for what it drops.
bool receivedChangeIsNews(SyncEngine& engine, const ReceivedStamp& stamp, TaskItem* local);

// Records the removal and tells whether it deletes `local`.
bool removalIsNews(SyncEngine& engine, std::u16string_view syncId,
                   const std::optional<ChangeVersion>& version, TaskItem* local);

}  // namespace qx

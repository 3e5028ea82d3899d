#pragma once
// Saves of the user that the burst window swallowed, waiting to be sent once
// the window has closed; what the add-in itself last wrote into each task, so
// that no event of the add-in's own write is ever sent back out; and tasks
// copied in whose old sync id could not be cleared yet.
#include <cstdint>
#include <map>
#include <set>
#include <optional>
#include <string>

#include "protocol/change_version.h"

namespace qx {

struct PendingChange {
  std::u16string storeId;
  // The version of the last swallowed save, fixed when it was made: the
  // clock then, past what the task held then. What arrives while it waits
  // does not move it, or a save would outrank changes made after it.
  std::optional<ChangeVersion> version;
  // The last event of the item; the window closes three seconds after it.
  std::int64_t lastEventMs = 0;
};

struct WrittenState {
  std::uint64_t fingerprint = 0;
  std::int64_t atMs = 0;
};

struct PendingChanges {
  // By entry id.
  std::map<std::u16string, PendingChange> waiting;
  std::map<std::u16string, WrittenState> written;
  // Entry ids of tasks copied into a shared folder that still carry the id
  // of the task they were copied from: they are not sent under it.
  std::set<std::u16string> copiedIds;
};

}  // namespace qx

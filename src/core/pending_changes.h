#pragma once
// Saves of the user that the burst window swallowed, waiting to be sent once
// the window has closed, and what the add-in itself last wrote into each task,
// so that a swallowed event of the add-in's own write is never sent back out.
#include <cstdint>
#include <map>
#include <string>

namespace qx {

struct PendingChange {
  std::u16string storeId;
  // When the swallowed save was made: the version the change goes out with.
  std::int64_t changeMs = 0;
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
};

}  // namespace qx

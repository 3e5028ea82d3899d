#pragma once
// The entry ids of tasks the add-in has just written itself, so that the
// change event of such a write is not mailed out as the user's own change.
// An id is held once however often it is written, and only for a minute: a
// host that raises no event (or one for several writes) must not leave an
// entry behind that swallows a real edit later on.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

class Clock;

class DontTouchList {
 public:
  // Entries older than this, in seconds of the system clock, are dropped.
  static constexpr std::int64_t kLifetimeSeconds = 60;

  explicit DontTouchList(Clock& clock) : clock_(clock) {}

  // False when the id was on the list already; its time starts again.
  bool add(std::u16string_view entryId);
  // Consumes the id's entry; false when there is none.
  bool take(std::u16string_view entryId);
  // Takes back an entry that add() made, when the write it announced failed.
  void withdraw(std::u16string_view entryId);
  void clear();

  std::vector<std::u16string> ids() const;

 private:
  struct Entry {
    std::u16string entryId;
    // Seconds of the system clock; negative while the clock could not be read.
    std::int64_t addedAt = -1;
  };
  // Drops what is too old and returns the clock's reading (negative when it
  // failed, and then nothing is dropped).
  std::int64_t age();
  std::vector<Entry>::iterator find(std::u16string_view entryId);

  Clock& clock_;
  std::vector<Entry> entries_;
};

}  // namespace qx

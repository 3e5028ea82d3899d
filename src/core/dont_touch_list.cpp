#include "core/dont_touch_list.h"

#include <algorithm>

#include "platform/clock.h"

namespace qx {

std::int64_t DontTouchList::age() {
  const std::int64_t now = clock_.now();
  if (now < 0) return now;
  for (Entry& entry : entries_) {
    // Written while the clock failed: its minute starts at the first reading.
    if (entry.addedAt < 0) entry.addedAt = now;
  }
  std::erase_if(entries_,
                [now](const Entry& entry) { return now - entry.addedAt > kLifetimeSeconds; });
  return now;
}

std::vector<DontTouchList::Entry>::iterator DontTouchList::find(std::u16string_view entryId) {
  return std::find_if(entries_.begin(), entries_.end(),
                      [entryId](const Entry& entry) { return entry.entryId == entryId; });
}

bool DontTouchList::add(std::u16string_view entryId) {
  const std::int64_t now = age();
  const auto entry = find(entryId);
  if (entry != entries_.end()) {
    entry->addedAt = now;
    return false;
  }
  entries_.push_back({std::u16string(entryId), now});
  return true;
}

bool DontTouchList::take(std::u16string_view entryId) {
  age();
  const auto entry = find(entryId);
  if (entry == entries_.end()) return false;
  entries_.erase(entry);
  return true;
}

void DontTouchList::withdraw(std::u16string_view entryId) {
  const auto entry = find(entryId);
  if (entry != entries_.end()) entries_.erase(entry);
}

void DontTouchList::clear() {
  entries_.clear();
  entries_.shrink_to_fit();
}

std::vector<std::u16string> DontTouchList::ids() const {
  std::vector<std::u16string> out;
  out.reserve(entries_.size());
  for (const Entry& entry : entries_) out.push_back(entry.entryId);
  return out;
}

}  // namespace qx

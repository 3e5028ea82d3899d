#include "sim/faults.h"

#include <algorithm>

namespace qx::sim {

void Faults::fail(std::string_view operation, std::int32_t status, int occurrence) {
  auto& entry = entries_[std::string(operation)];
  entry.rules.push_back({occurrence == 0 ? 0 : entry.calls + occurrence, status});
}

void Faults::clear(std::string_view operation) {
  if (auto it = entries_.find(operation); it != entries_.end()) it->second.rules.clear();
}

void Faults::clearAll() {
  for (auto& [name, entry] : entries_) entry.rules.clear();
}

std::optional<std::int32_t> Faults::check(std::string_view operation) {
  auto it = entries_.find(operation);
  if (it == entries_.end()) it = entries_.emplace(std::string(operation), Entry{}).first;
  Entry& entry = it->second;
  ++entry.calls;
  auto rule = std::find_if(entry.rules.begin(), entry.rules.end(), [&](const Rule& r) {
    return r.dueAtCall == 0 || r.dueAtCall == entry.calls;
  });
  if (rule == entry.rules.end()) return std::nullopt;
  const std::int32_t status = rule->status;
  if (rule->dueAtCall != 0) entry.rules.erase(rule);
  return status;
}

int Faults::calls(std::string_view operation) const {
  auto it = entries_.find(operation);
  return it == entries_.end() ? 0 : it->second.calls;
}

}  // namespace qx::sim

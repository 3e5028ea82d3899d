#include "quendrilax-sim/soak_ledger.h"

#include <charconv>


namespace qx::tools {

std::optional<EditVersion> editVersionFromText(std::string_view text) {
  const std::size_t dash = text.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == text.size()) return std::nullopt;
  EditVersion version;
  const auto [end, error] = std::from_chars(text.data(), text.data() + dash, version.utcMs);
  if (error != std::errc() || end != text.data() + dash) return std::nullopt;
  version.tag = std::string(text.substr(dash + 1));
  return version;
}

void SoakLedger::noteEdit(const std::string& syncId, LastEdit edit,
                          const std::optional<EditVersion>& copyVersion) {
  auto [entry, added] = last_.try_emplace(syncId, edit);
  if (added) return;
  if (copyVersion && entry->second.editor != edit.editor && *copyVersion < entry->second.version)
    ++counts_.crossingEdits;
  if (!(entry->second.version < edit.version)) return;
  // A removal names the task by the state it removed.
  if (edit.removed) edit.state = std::move(entry->second.state);
  entry->second = std::move(edit);
}

void SoakLedger::noteMail(const std::string& syncId, bool removal, std::int64_t nowMs,
                          std::int64_t dueMs) {
  std::vector<OnTheWay>& mails = onTheWay_[syncId];
  std::erase_if(mails, [&](const OnTheWay& m) { return m.dueMs <= nowMs; });
  for (OnTheWay& earlier : mails) {
    if (earlier.overtaken || earlier.dueMs <= dueMs || earlier.removal) continue;
    earlier.overtaken = true;
    ++(removal ? counts_.lateChangesAfterRemovals : counts_.overtakenChanges);
  }
  // Delivered in this very run, it cannot be overtaken any more.
  if (dueMs > nowMs) mails.push_back({dueMs, removal, false});
  if (mails.empty()) onTheWay_.erase(syncId);
}

}  // namespace qx::tools

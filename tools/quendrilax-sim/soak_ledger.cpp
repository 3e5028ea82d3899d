#include "quendrilax-sim/soak_ledger.h"

#include <charconv>

#include "quendrilax-sim/commands_tasks.h"
#include "quendrilax-sim/runner_text.h"
#include "quendrilax-sim/task_fields.h"
#include "quendrilax-sim/text_utf.h"

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

std::vector<std::string> SoakLedger::lostLastEdits(
    const std::vector<FolderContents>& folders) const {
  std::vector<std::string> lost;
  for (const FolderContents& folder : folders) {
    std::map<std::string, const sim::mail::ItemData*> held;
    for (const sim::mail::ItemData& task : folder.tasks) held.emplace(syncIdOf(task), &task);
    for (const auto& [id, edit] : last_) {
      const std::string label =
          "lost last edit: " + id + " " + inQuotes(utf16ToUtf8(edit.state.subject)) + " by " +
          edit.editor + ": " + folder.user;
      const auto found = held.find(id);
      if (edit.removed) {
        if (found != held.end()) lost.push_back(label + " still holds the removed task");
        continue;
      }
      if (found == held.end()) {
        lost.push_back(label + " lacks the task");
        continue;
      }
      for (TaskField field : allTaskFields()) {
        const std::string wanted = fieldText(edit.state, field);
        const std::string has = fieldText(*found->second, field);
        if (wanted != has)
          lost.push_back(label + " has " + std::string(fieldName(field)) + " " + inQuotes(has) +
                         " where the last edit has " + inQuotes(wanted));
      }
    }
  }
  return lost;
}

}  // namespace qx::tools

#include "incoming/merge_received.h"

#include <algorithm>

namespace qx {
namespace {

// Fixed fields in their own order, then properties by name: the order a
// reader of the log expects.
void inFieldOrder(std::vector<FieldId>& ids) {
  const auto rank = [](const FieldId& id) {
    const std::span<const std::string_view> fixed = fixedFieldIds();
    return static_cast<std::size_t>(std::find(fixed.begin(), fixed.end(), id) - fixed.begin());
  };
  std::stable_sort(ids.begin(), ids.end(),
                   [&](const FieldId& a, const FieldId& b) { return rank(a) < rank(b); });
}

std::u16string label(std::string_view id) {
  if (std::optional<std::u16string> name = propertyNameOf(id)) return std::move(*name);
  return std::u16string(id.begin(), id.end());
}

void appendList(std::u16string& text, const std::vector<FieldId>& ids) {
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (i > 0) text.append(u", ");
    text.append(label(ids[i]));
  }
}

// Each field's value as of its version here: a field changed since it was
// last sent or applied still has the version of what it was then, and a mail
// of that very version is no news for it.
FieldSide valuesOfVersions(const LocalFields& local) {
  FieldSide side = hashFields(local.values);
  if (!local.record) return side;
  for (auto& [id, hash] : side) {
    const auto recorded = local.record->hashes.find(id);
    if (recorded != local.record->hashes.end() &&
        local.record->versions.of(id) == local.versions.of(id))
      hash = recorded->second;
  }
  return side;
}

}  // namespace

std::optional<LocalFields> readLocalFields(TaskItem& task, std::string_view syncId,
                                           const std::optional<ChangeVersion>& taskVersion,
                                           const std::optional<ChangeVersion>& unsent) {
  std::optional<TaskFieldValues> values = readSyncedFields(task);
  if (!values) return std::nullopt;
  LocalFields local{std::move(*values), {}, readFieldRecord(task, syncId)};
  if (!local.record) {
    std::optional<ChangeVersion> whole = taskVersion;
    if (unsent && (!whole || *whole < *unsent)) whole = unsent;
    local.versions = FieldVersions(whole);
    return local;
  }
  local.versions = local.record->versions;
  if (unsent) {
    for (const FieldId& id : changedFields(&*local.record, local.values)) {
      const std::optional<ChangeVersion> recorded = local.versions.of(id);
      if (!recorded || *recorded < *unsent) local.versions.set(id, *unsent);
    }
  }
  return local;
}

std::optional<MergedCopy> keepNewerLocalFields(TaskItem& task, const LocalFields& before,
                                               const FieldVersions& mail,
                                               std::string_view syncId) {
  const std::optional<TaskFieldValues> copied = readSyncedFields(task);
  if (!copied) return std::nullopt;
  // The copy removes no property: one held only here is among the copied
  // fields too, and is measured by the mail's version like any other.
  const FieldMerge merge =
      mergeFields(before.versions, valuesOfVersions(before), mail, hashFields(*copied));

  MergedCopy result;
  result.news = !merge.taken.empty();
  result.record = FieldRecord{std::string(syncId), merge.versions, {}};
  for (const FieldId& id : merge.taken) {
    const FieldValue& value = copied->find(id)->second;
    result.record.hashes.emplace(id, fieldValueHash(value));
    const auto was = before.values.find(id);
    if (was == before.values.end() || !(was->second == value)) result.taken.push_back(id);
  }
  for (const FieldId& id : merge.kept) {
    const FieldValue& value = before.values.find(id)->second;
    const auto arrived = copied->find(id);
    if (arrived != copied->end() && !(arrived->second == value)) {
      if (failed(writeSyncedField(task, id, value))) return std::nullopt;
      result.kept.push_back(id);
    }
    // A field the user changed and has not sent yet (the save held back, or
    // a field it carries along) stays as the record had it: the held-back
    // save then still finds it changed, and sends it.
    const FieldRecord* record = before.record ? &*before.record : nullptr;
    const auto recorded = record ? record->hashes.find(id) : FieldHashes::const_iterator();
    const bool hasHash = record && recorded != record->hashes.end();
    const std::optional<ChangeVersion> sent = record ? record->versions.of(id) : std::nullopt;
    const bool unsent = record && (!hasHash || recorded->second != fieldValueHash(value) ||
                                   sent != before.versions.of(id));
    if (!unsent) {
      result.record.hashes.emplace(id, fieldValueHash(value));
      continue;
    }
    if (hasHash) result.record.hashes.emplace(id, recorded->second);
    if (sent) result.record.versions.set(id, *sent);
  }
  inFieldOrder(result.taken);
  inFieldOrder(result.kept);
  result.taskVersion = result.record.versions.newest();
  return result;
}

std::u16string mergeSummary(std::u16string_view subject, std::u16string_view sender,
                            const MergedCopy& merge) {
  std::u16string text = u"merged \"";
  text.append(subject).append(u"\":");
  if (!merge.taken.empty()) {
    text.push_back(u' ');
    appendList(text, merge.taken);
    text.append(u" from ").append(sender);
  }
  if (!merge.kept.empty()) {
    text.append(merge.taken.empty() ? u" " : u", ");
    appendList(text, merge.kept);
    text.append(u" kept");
  }
  return text;
}

}  // namespace qx

#include "incoming/merge_received.h"

#include <algorithm>
#include <set>

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

// The value a field ends with: one side's, or absent.
const FieldValue* valueIn(const TaskFieldValues& values, std::string_view id) {
  const auto found = values.find(id);
  return found == values.end() ? nullptr : &found->second;
}

bool sameValue(const FieldValue* a, const FieldValue* b) { return a == b || (a && b && *a == *b); }

Hresult writeValue(TaskItem& task, std::string_view id, const FieldValue* value) {
  return value ? writeSyncedField(task, id, *value) : removeSyncedProperty(task, id);
}

}  // namespace

std::optional<LocalFields> readLocalFields(TaskItem& task, std::string_view syncId,
                                           const std::optional<ChangeVersion>& taskVersion) {
  std::optional<TaskFieldValues> values = readSyncedFields(task);
  if (!values) return std::nullopt;
  LocalFields local{std::move(*values), {}, {}};
  if (std::optional<FieldRecord> record = readFieldRecord(task, syncId)) {
    local.record = std::move(*record);
    local.unsentFields = changedFields(&local.record, local.values);
    return local;
  }
  local.record =
      FieldRecord{std::string(syncId), FieldVersions(taskVersion), hashFields(local.values)};
  return local;
}

std::optional<MailFields> readMailFields(TaskItem& copy, const LocalFields& before,
                                         const CarriesProperty& carries,
                                         const ChangeVersion& version,
                                         const std::optional<FieldVersionLine>& line) {
  std::optional<TaskFieldValues> values = readSyncedFields(copy);
  if (!values) return std::nullopt;
  MailFields mail{{}, {}};
  for (auto& [id, value] : *values) {
    const FieldValue* here = valueIn(before.values, id);
    if (isFixedFieldId(id) || !here || !(*here == value)) {
      mail.values.emplace(id, std::move(value));
      continue;
    }
    const Result<bool> carried = carries(*propertyNameOf(id));
    if (!carried) return std::nullopt;
    if (*carried) mail.values.emplace(id, std::move(value));
  }
  mail.state.versions = line ? line->versions : FieldVersions(version);
  mail.state.hashes = hashFields(mail.values);
  if (line) {
    for (const FieldId& id : line->named)
      if (!isFixedFieldId(id)) mail.state.hashes.emplace(id, kAbsentHash);
  }
  return mail;
}

std::optional<MergedCopy> mergeIntoCopy(TaskItem& task, const LocalFields& before,
                                        const MailFields& mail,
                                        const std::optional<ChangeVersion>& unsent,
                                        std::string_view syncId) {
  const FieldMerge merge = mergeFields(before.record.state(), mail.state);
  std::set<std::string_view> unsentRegisters;
  for (const FieldId& id : before.unsentFields) unsentRegisters.insert(registerOf(id));
  std::set<FieldId, std::less<>> fields;
  for (const auto& [id, hash] : merge.merged.hashes) fields.insert(id);
  for (const auto& [id, value] : before.values) fields.insert(id);

  MergedCopy result;
  for (const FieldId& id : fields) {
    const FieldValue* mine = valueIn(before.values, id);
    const FieldValue* theirs = valueIn(mail.values, id);
    const std::optional<ChangeVersion> merged = registerVersion(merge.merged, id);
    const bool taken = std::find(merge.taken.begin(), merge.taken.end(), id) != merge.taken.end();
    // The user's change not sent stays when it is newer than all that is
    // known of its field; the register goes whole, like the record's.
    const bool keepUnsent =
        unsentRegisters.contains(registerOf(id)) && unsent && (!merged || *merged < *unsent);
    const FieldValue* target = keepUnsent || !taken ? mine : theirs;
    // The copy brought the mail's value of each field it carries and removed
    // nothing.
    const FieldValue* copied = theirs ? theirs : mine;
    if (!sameValue(target, copied) && failed(writeValue(task, id, target))) return std::nullopt;
    if (!sameValue(target, mine)) result.taken.push_back(id);
    if (target == mine && theirs && !sameValue(mine, theirs)) result.kept.push_back(id);
    result.unsentKept = result.unsentKept || keepUnsent;
  }
  inFieldOrder(result.taken);
  inFieldOrder(result.kept);
  result.record = FieldRecord{std::string(syncId), merge.merged.versions, merge.merged.hashes};
  result.news = !result.taken.empty() || !(result.record == before.record);
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

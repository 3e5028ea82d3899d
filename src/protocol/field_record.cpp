#include "protocol/field_record.h"

#include <algorithm>
#include <charconv>

#include "platform/mail_ids.h"
#include "platform/mail_user_properties.h"

namespace qx {
namespace {

constexpr char kPart = '|';

bool isRecordIdCharacter(char c) { return c > ' ' && c < 0x7f && c != kPart; }

std::optional<std::uint64_t> parseHash(std::string_view text) {
  if (text.size() != 16) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return std::nullopt;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string hashText(std::uint64_t hash) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, hash >>= 4) text[static_cast<std::size_t>(i)] = kDigits[hash & 0xF];
  return text;
}

std::optional<std::u16string> recordText(TaskItem& task) {
  const Result<std::shared_ptr<UserProperties>> properties = task.userProperties();
  if (!properties) return std::nullopt;
  const Result<std::optional<PropertyAt>> found =
      findProperty(**properties, fieldrecord::kPropertyName);
  if (!found || !*found) return std::nullopt;
  const Result<Variant> value = (*found)->property->value();
  if (!value || value->text() == nullptr) return std::nullopt;
  return *value->text();
}

}  // namespace

FieldHashes hashFields(const TaskFieldValues& values) {
  FieldHashes hashes;
  for (const auto& [id, value] : values) hashes.emplace(id, fieldValueHash(value));
  return hashes;
}

std::string formatFieldRecord(const FieldRecord& record) {
  std::string text = record.syncId;
  text.push_back(kPart);
  text.append(formatFieldVersions(record.versions, std::nullopt));
  text.push_back(kPart);
  bool first = true;
  for (const auto& [id, hash] : record.hashes) {
    if (!first) text.push_back(',');
    first = false;
    text.append(id).append("=").append(hashText(hash));
  }
  return text;
}

std::optional<FieldRecord> parseFieldRecord(std::string_view text) {
  const std::size_t first = text.find(kPart);
  if (first == std::string_view::npos || first == 0) return std::nullopt;
  const std::size_t second = text.find(kPart, first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  FieldRecord record;
  record.syncId = std::string(text.substr(0, first));
  for (char c : record.syncId)
    if (!isRecordIdCharacter(c)) return std::nullopt;
  std::optional<FieldVersions> versions =
      parseFieldVersions(text.substr(first + 1, second - first - 1), std::nullopt);
  if (!versions) return std::nullopt;
  record.versions = std::move(*versions);
  std::string_view hashes = text.substr(second + 1);
  while (!hashes.empty()) {
    const std::size_t comma = hashes.find(',');
    const std::string_view entry = hashes.substr(0, comma);
    const std::size_t equals = entry.rfind('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const std::string_view id = entry.substr(0, equals);
    const std::optional<std::uint64_t> hash = parseHash(entry.substr(equals + 1));
    if (!isFieldId(id) || !hash || !record.hashes.emplace(FieldId(id), *hash).second)
      return std::nullopt;
    if (comma == std::string_view::npos) break;
    hashes.remove_prefix(comma + 1);
    if (hashes.empty()) return std::nullopt;
  }
  return record;
}

std::vector<FieldId> changedFields(const FieldRecord* record, const TaskFieldValues& now) {
  std::vector<FieldId> changed;
  for (const auto& [id, value] : now) {
    const auto known = record ? record->hashes.find(id) : FieldHashes::const_iterator();
    if (record && known != record->hashes.end() && known->second == fieldValueHash(value)) continue;
    changed.push_back(id);
  }
  if (record) {
    for (const auto& [id, hash] : record->hashes)
      if (hash != kAbsentHash && !now.contains(id)) changed.push_back(id);
  }
  const bool progress = std::any_of(changed.begin(), changed.end(),
                                    [](const FieldId& id) { return isProgressField(id); });
  if (progress) {
    for (std::string_view id : progressFieldIds()) {
      if (now.contains(id) && std::find(changed.begin(), changed.end(), id) == changed.end())
        changed.emplace_back(id);
    }
  }
  return changed;
}

FieldRecord recordLocalChange(const std::optional<FieldRecord>& record, std::string_view syncId,
                              const TaskFieldValues& now,
                              const std::optional<ChangeVersion>& version) {
  const FieldRecord* mine = record && record->syncId == syncId ? &*record : nullptr;
  FieldRecord next{std::string(syncId), {}, hashFields(now)};
  if (!version) return next;
  next.versions = mine ? mine->versions : FieldVersions();
  if (mine) {
    for (const auto& [id, hash] : mine->hashes)
      if (!now.contains(id)) next.hashes.emplace(id, kAbsentHash);
  }
  for (const FieldId& id : changedFields(mine, now)) next.versions.set(id, *version);
  std::vector<FieldId> fields;
  for (const auto& [id, hash] : next.hashes) {
    if (!next.versions.of(id)) next.versions.set(id, *version);
    fields.push_back(id);
  }
  next.versions.compact(fields);
  return next;
}

std::vector<FieldId> removedProperties(const FieldRecord& record) {
  std::vector<FieldId> removed;
  for (const auto& [id, hash] : record.hashes)
    if (hash == kAbsentHash) removed.push_back(id);
  return removed;
}

std::optional<FieldRecord> readFieldRecord(TaskItem& task, std::string_view syncId) {
  const std::optional<std::u16string> text = recordText(task);
  if (!text) return std::nullopt;
  std::string narrow;
  narrow.reserve(text->size());
  for (char16_t c : *text) {
    if (c >= 0x80) return std::nullopt;
    narrow.push_back(static_cast<char>(c));
  }
  std::optional<FieldRecord> record = parseFieldRecord(narrow);
  if (!record || record->syncId != syncId) return std::nullopt;
  return record;
}

Hresult writeFieldRecord(TaskItem& task, const FieldRecord& record) {
  const std::string text = formatFieldRecord(record);
  return writeSyncedField(
      task, propertyFieldId(fieldrecord::kPropertyName),
      FieldValue{Variant(std::u16string(text.begin(), text.end())), user_property_type::kText});
}

}  // namespace qx

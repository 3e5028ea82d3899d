#include "sim/mail/mail_store.h"

#include <cmath>
#include <utility>

#include "platform/safe_utilities.h"
#include "sim/mail/mail_text.h"

namespace qx::sim::mail {

namespace {
constexpr std::size_t kEntryIdLength = 32;
constexpr std::uint16_t kFirstNamedId = 0x8000;
constexpr std::size_t kNamedIdCapacity = 0xFFFE - kFirstNamedId + 1;
}  // namespace

std::u16string variantKeyText(const Variant& value) {
  if (const std::u16string* text = value.text()) return *text;
  if (auto n = value.asLong()) return decimalText(*n);
  if (auto b = value.asBool()) return *b ? u"1" : u"0";
  if (auto d = value.asDouble()) return decimalText(static_cast<std::int64_t>(std::llround(*d)));
  if (auto date = value.asDate()) {
    return decimalText(static_cast<std::int64_t>(std::llround(date->days * 86400.0)));
  }
  return {};
}

std::optional<std::u16string> userFieldKey(const ItemData& data, std::u16string_view foldedField) {
  for (const UserProp& p : data.userProperties) {
    if (foldCase(p.name) == foldedField) return foldCase(variantKeyText(p.value));
  }
  return std::nullopt;
}

std::optional<std::u16string> fieldKey(const ItemData& data, const FieldName& field) {
  if (field.empty()) return foldCase(data.subject);
  return userFieldKey(data, field);
}

OrderEntry orderEntry(const StoredItem& item, const FieldName& field) {
  if (field == kArrivalOrder) return {std::nullopt, 0, item.seq};
  return {fieldKey(item.data, field), item.tie, item.seq};
}

namespace {
std::uint32_t tieOf(std::u16string_view entryId) {
  std::uint32_t hash = 2166136261u;
  for (char16_t c : entryId) hash = (hash ^ static_cast<std::uint32_t>(c)) * 16777619u;
  return hash;
}
}  // namespace

Store::Store(std::u16string storeId, std::uint32_t tag, std::int32_t kind,
             std::u16string displayName)
    : id_(std::move(storeId)),
      tagText_(hexText(tag, 8)),
      kind_(kind),
      displayName_(std::move(displayName)) {}

bool Store::isWellFormedEntryId(std::u16string_view entryId) {
  return entryId.size() == kEntryIdLength && isUpperHex(entryId);
}

bool Store::ownsEntryId(std::u16string_view entryId) const {
  return isWellFormedEntryId(entryId) && entryId.substr(8, 8) == tagText_;
}

std::u16string Store::newEntryId() { return u"00000000" + tagText_ + hexText(nextCounter_++, 16); }

FolderData& Store::addFolder(std::u16string_view name, std::u16string_view messageClass,
                             std::u16string_view parentId) {
  std::u16string id = newEntryId();
  FolderData& folder = folders_[id];
  folder.entryId = id;
  folder.name = std::u16string(name);
  folder.messageClass = std::u16string(messageClass);
  folder.parentId = std::u16string(parentId);
  folderOrder_.push_back(id);
  return folder;
}

FolderData* Store::folder(std::u16string_view entryId) {
  auto it = folders_.find(entryId);
  return it == folders_.end() ? nullptr : &it->second;
}

std::vector<const FolderData*> Store::folders() const {
  std::vector<const FolderData*> out;
  for (const auto& id : folderOrder_) out.push_back(&folders_.find(id)->second);
  return out;
}

StoredItem* Store::item(std::u16string_view entryId) {
  auto it = items_.find(std::u16string(entryId));
  return it == items_.end() ? nullptr : &it->second;
}

void Store::index(FolderData& folder, const StoredItem& item, std::u16string_view entryId) {
  folder.order[item.seq] = std::u16string(entryId);
  folder.arrival.insert(item.seq);
  if (item.data.kind == ItemKind::kTask) folder.taskArrival.insert(item.seq);
  folder.subjectIndex.insert(orderEntry(item, FieldName()));
  for (auto& [field, index] : folder.userFieldIndexes) index.insert(orderEntry(item, field));
  for (auto& [fields, index] : folder.pairIndexes) {
    index.insert({fieldKey(item.data, fields.first), orderEntry(item, fields.second)});
  }
  ++folder.version;
  ++changes_;
}

void Store::unindex(FolderData& folder, const StoredItem& item) {
  folder.order.erase(item.seq);
  folder.arrival.erase(item.seq);
  folder.taskArrival.erase(item.seq);
  folder.subjectIndex.erase(orderEntry(item, FieldName()));
  for (auto& [field, index] : folder.userFieldIndexes) index.erase(orderEntry(item, field));
  for (auto& [fields, index] : folder.pairIndexes) {
    index.erase({fieldKey(item.data, fields.first), orderEntry(item, fields.second)});
  }
  ++folder.version;
  ++changes_;
}

void Store::mapNamesOf(const ItemData& data) {
  // Setting a named property maps its name in the store, as MAPI does.
  for (const auto& [key, value] : data.namedProperties) mapName(key);
  for (const UserProp& p : data.userProperties) {
    mapName({std::u16string(prop_set::kPublicStrings), p.name});
  }
}

std::u16string Store::insert(std::u16string_view folderId, ItemData data, bool submitted) {
  FolderData* target = folder(folderId);
  if (!target) return {};
  std::u16string id = newEntryId();
  data.numberUserProperties();
  mapNamesOf(data);
  StoredItem stored{std::move(data), std::u16string(folderId), nextSeq_++, tieOf(id), submitted, false, {}};
  index(*target, stored, id);
  items_.emplace(id, std::move(stored));
  return id;
}

void Store::update(std::u16string_view entryId, ItemData data) {
  StoredItem* stored = item(entryId);
  if (!stored) return;
  FolderData* holder = folder(stored->folderId);
  data.numberUserProperties();
  mapNamesOf(data);
  unindex(*holder, *stored);
  stored->data = std::move(data);
  index(*holder, *stored, entryId);
}

StoredItem Store::remove(std::u16string_view entryId) {
  auto it = items_.find(std::u16string(entryId));
  StoredItem out = std::move(it->second);
  items_.erase(it);
  if (FolderData* holder = folder(out.folderId)) unindex(*holder, out);
  return out;
}

bool Store::knowsField(std::u16string_view folderId, std::u16string_view field) const {
  auto it = folders_.find(folderId);
  return it != folders_.end() && it->second.userFieldIndexes.contains(foldCase(field));
}

void Store::addField(std::u16string_view folderId, std::u16string_view field) {
  FolderData* target = folder(folderId);
  std::u16string folded = foldCase(field);
  if (!target || target->userFieldIndexes.contains(folded)) return;
  FieldIndex& index = target->userFieldIndexes[folded];
  for (const auto& [seq, id] : target->order) index.insert(orderEntry(items_.at(id), folded));
  ++target->version;
}

const PairIndex& Store::pairIndex(std::u16string_view folderId, const FieldName& filtered,
                                  const FieldName& sorted) {
  FolderData& target = *folder(folderId);
  auto key = std::make_pair(filtered, sorted);
  auto it = target.pairIndexes.find(key);
  if (it != target.pairIndexes.end()) return it->second;
  PairIndex& index = target.pairIndexes[key];
  for (const auto& [seq, id] : target.order) {
    const StoredItem& item = items_.at(id);
    index.insert({fieldKey(item.data, filtered), orderEntry(item, sorted)});
  }
  return index;
}

std::optional<std::uint16_t> Store::namedId(const NamedKey& key) const {
  auto it = nameToId_.find(key);
  if (it == nameToId_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::uint16_t> Store::mapName(const NamedKey& key) {
  auto it = nameToId_.find(key);
  if (it != nameToId_.end()) return it->second;
  // The named range ends at 0xFFFE; a full mapping maps nothing more.
  if (nameToId_.size() >= kNamedIdCapacity) return std::nullopt;
  auto id = static_cast<std::uint16_t>(kFirstNamedId + nameToId_.size());
  nameToId_.emplace(key, id);
  idToName_.emplace(id, key);
  return id;
}

const NamedKey* Store::nameOfId(std::uint16_t id) const {
  auto it = idToName_.find(id);
  return it == idToName_.end() ? nullptr : &it->second;
}

}  // namespace qx::sim::mail

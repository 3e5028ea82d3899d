#pragma once
// One message store of a simulated user: folders, items, the sort indexes that
// let Find avoid walking a folder, and the store's named-property mapping.
#include <compare>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sim/mail/item_data.h"

namespace qx::sim::mail {

// An item's place in a sorted view: its field value (folded; none when the
// item lacks the field, which sorts first) and its arrival sequence.
struct OrderEntry {
  std::optional<std::u16string> key;
  std::uint64_t seq = 0;
  friend auto operator<=>(const OrderEntry&, const OrderEntry&) = default;
  friend bool operator==(const OrderEntry&, const OrderEntry&) = default;
};
using FieldIndex = std::set<OrderEntry>;

struct FolderData {
  std::u16string entryId;
  std::u16string name;
  std::u16string messageClass;
  std::u16string parentId;                        // empty for a top folder
  std::map<std::uint64_t, std::u16string> order;  // arrival sequence -> entry id
  FieldIndex subjectIndex;
  std::map<std::u16string, FieldIndex> userFieldIndexes;  // by folded field name
  // Moves on every change of contents or keys, so views know to rebuild.
  std::uint64_t version = 0;
};

struct StoredItem {
  ItemData data;
  std::u16string folderId;
  std::uint64_t seq = 0;
  bool submitted = false;     // waiting in the Outbox for the transport
  bool transmitting = false;  // the transport holds it while sending
};

// The text a user property's value has as a sort and filter key.
std::u16string variantKeyText(const Variant& value);
std::optional<std::u16string> userFieldKey(const ItemData& data, std::u16string_view foldedField);

class Store {
 public:
  Store(std::u16string storeId, std::uint32_t tag, std::int32_t kind, std::u16string displayName);

  const std::u16string& id() const { return id_; }
  std::int32_t kind() const { return kind_; }
  const std::u16string& displayName() const { return displayName_; }

  // Entry ids are upper-case hexadecimal, unique in the store and carrying
  // the store's tag so that an id names its store.
  bool ownsEntryId(std::u16string_view entryId) const;
  static bool isWellFormedEntryId(std::u16string_view entryId);

  FolderData& addFolder(std::u16string_view name, std::u16string_view messageClass,
                        std::u16string_view parentId);
  FolderData* folder(std::u16string_view entryId);
  std::vector<const FolderData*> folders() const;

  StoredItem* item(std::u16string_view entryId);
  // The entry id given to the item.
  std::u16string insert(std::u16string_view folderId, ItemData data, bool submitted = false);
  void update(std::u16string_view entryId, ItemData data);
  StoredItem remove(std::u16string_view entryId);

  bool knowsField(std::u16string_view folderId, std::u16string_view field) const;
  void addField(std::u16string_view folderId, std::u16string_view field);

  std::optional<std::uint16_t> namedId(const NamedKey& key) const;
  // None when the store's named range is full.
  std::optional<std::uint16_t> mapName(const NamedKey& key);
  const NamedKey* nameOfId(std::uint16_t id) const;

 private:
  std::u16string newEntryId();
  void index(FolderData& folder, const StoredItem& item, std::u16string_view entryId);
  void unindex(FolderData& folder, const StoredItem& item);
  void mapNamesOf(const ItemData& data);

  std::u16string id_;
  std::u16string tagText_;
  std::int32_t kind_;
  std::u16string displayName_;
  std::uint64_t nextCounter_ = 1;
  std::uint64_t nextSeq_ = 1;
  std::map<std::u16string, FolderData, std::less<>> folders_;
  std::vector<std::u16string> folderOrder_;
  std::unordered_map<std::u16string, StoredItem> items_;
  std::map<NamedKey, std::uint16_t> nameToId_;
  std::map<std::uint16_t, NamedKey> idToName_;
};

}  // namespace qx::sim::mail

#pragma once
// One message store of a simulated user: folders, items, the sort indexes that
// let Find avoid walking a folder, and the store's named-property mapping.
#include <compare>
#include <cstdint>
#include <ext/pb_ds/assoc_container.hpp>
#include <ext/pb_ds/tree_policy.hpp>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "sim/mail/item_data.h"

namespace qx::sim::mail {

// An item's place in a sorted view: its field value (folded; none when the
// item lacks the field, which sorts first), then among equal values an order
// of the host's own that is not the arrival order (a hash of the entry id),
// and the arrival sequence, which makes every place unique.
struct OrderEntry {
  std::optional<std::u16string> key;
  std::uint32_t tie = 0;
  std::uint64_t seq = 0;
  friend auto operator<=>(const OrderEntry&, const OrderEntry&) = default;
  friend bool operator==(const OrderEntry&, const OrderEntry&) = default;
};
// An ordered set that also answers "the n-th element" and "how many before"
// in logarithmic time, so that Item(i) costs the same in any folder size.
template <class Key>
using RankedSet =
    __gnu_pbds::tree<Key, __gnu_pbds::null_type, std::less<Key>, __gnu_pbds::rb_tree_tag,
                     __gnu_pbds::tree_order_statistics_node_update>;
using FieldIndex = RankedSet<OrderEntry>;

// A field of a folder as the indexes name it: empty for the subject, the
// folded name for a user field.
using FieldName = std::u16string;
// Not a field: the order of an unsorted collection, which is arrival. No
// folded field name can begin with this character.
inline const FieldName kArrivalOrder = FieldName(1, u'\x01');

// An item's place among the matches of a filter on one field in a view
// sorted on another: Find and FindNext on such a view step through it.
struct PairEntry {
  std::optional<std::u16string> filterKey;
  OrderEntry sortEntry;
  friend auto operator<=>(const PairEntry&, const PairEntry&) = default;
  friend bool operator==(const PairEntry&, const PairEntry&) = default;
};
// Bounds the entries whose filter key is `key` or below (nothing is above
// none), for finding the last match of a key.
struct KeysAbove {
  std::u16string key;
  friend bool operator<(const PairEntry& e, const KeysAbove& b) {
    return !e.filterKey || *e.filterKey <= b.key;
  }
  friend bool operator<(const KeysAbove& b, const PairEntry& e) {
    return e.filterKey && b.key < *e.filterKey;
  }
};
using PairIndex = std::set<PairEntry, std::less<>>;

struct FolderData {
  std::u16string entryId;
  std::u16string name;
  std::u16string messageClass;
  std::u16string parentId;                        // empty for a top folder
  std::map<std::uint64_t, std::u16string> order;  // arrival sequence -> entry id
  RankedSet<std::uint64_t> arrival;               // the same sequences, by rank
  RankedSet<std::uint64_t> taskArrival;           // those of the task items, by rank
  FieldIndex subjectIndex;
  std::map<std::u16string, FieldIndex> userFieldIndexes;  // by folded field name
  // (filtered field, sorted field) -> index, made on first need.
  std::map<std::pair<FieldName, FieldName>, PairIndex> pairIndexes;
  // Moves on every change of contents or keys.
  std::uint64_t version = 0;
};

struct StoredItem {
  ItemData data;
  std::u16string folderId;
  std::uint64_t seq = 0;
  std::uint32_t tie = 0;      // its place among equal sort keys
  bool submitted = false;     // waiting in the Outbox for the transport
  bool transmitting = false;  // the transport holds it while sending
  // Why the last attempt to send it failed (it stays submitted and is tried
  // again with the next transport); empty when none failed.
  std::u16string sendFailure;
};

// The text a user property's value has as a sort and filter key.
std::u16string variantKeyText(const Variant& value);
std::optional<std::u16string> userFieldKey(const ItemData& data, std::u16string_view foldedField);
// The key of a field (subject or user field) as the indexes hold it.
std::optional<std::u16string> fieldKey(const ItemData& data, const FieldName& field);
// The item's place in a view sorted on `field` (or kArrivalOrder).
OrderEntry orderEntry(const StoredItem& item, const FieldName& field);

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
  // Moves on every change of any folder's contents: one look tells an
  // observer that nothing in the store changed.
  std::uint64_t changes() const { return changes_; }

  StoredItem* item(std::u16string_view entryId);
  // The entry id given to the item.
  std::u16string insert(std::u16string_view folderId, ItemData data, bool submitted = false);
  void update(std::u16string_view entryId, ItemData data);
  StoredItem remove(std::u16string_view entryId);

  bool knowsField(std::u16string_view folderId, std::u16string_view field) const;
  void addField(std::u16string_view folderId, std::u16string_view field);
  // The index of the matches of `filtered` in the order of `sorted`, kept up
  // to date from its first use on. Both fields must be known to the folder.
  const PairIndex& pairIndex(std::u16string_view folderId, const FieldName& filtered,
                             const FieldName& sorted);

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
  std::uint64_t changes_ = 0;
  std::map<std::u16string, FolderData, std::less<>> folders_;
  std::vector<std::u16string> folderOrder_;
  std::unordered_map<std::u16string, StoredItem> items_;
  std::map<NamedKey, std::uint16_t> nameToId_;
  std::map<std::uint16_t, NamedKey> idToName_;
};

}  // namespace qx::sim::mail

// The simulated host's folder, its item collection and the connection points
// of its events.
#include <algorithm>
#include <limits>

#include "sim/mail/host_objects.h"
#include "sim/mail/mail_filter.h"
#include "sim/mail/mail_text.h"

namespace qx::sim::mail {

namespace {

class ConnectionPointObject : public ConnectionPoint {
 public:
  ConnectionPointObject(std::shared_ptr<ClientCore> core, EventTarget target,
                        std::shared_ptr<Dispatch> container, const void* source)
      : core_(std::move(core)),
        target_(std::move(target)),
        container_(std::move(container)),
        source_(source) {}

  Result<std::uint32_t> advise(std::shared_ptr<EventSink> sink) override {
    if (auto f = core_->fault("mail.ConnectionPoint.Advise")) return failure(*f);
    if (!sink) return failure(hr::kPointer);
    return core_->advise(target_, std::move(sink), source_);
  }
  Hresult unadvise(std::uint32_t cookie) override {
    if (auto f = core_->fault("mail.ConnectionPoint.Unadvise")) return *f;
    return core_->unadvise(target_, cookie) ? hr::kOk : hr::kNoConnection;
  }

 private:
  std::shared_ptr<ClientCore> core_;
  EventTarget target_;
  std::shared_ptr<Dispatch> container_;
  const void* source_;
};

class ItemsObject : public Items, public std::enable_shared_from_this<ItemsObject> {
 public:
  ItemsObject(std::shared_ptr<ClientCore> core, std::u16string storeId, std::u16string folderId)
      : core_(std::move(core)), storeId_(std::move(storeId)), folderId_(std::move(folderId)) {}
  ItemsObject(const ItemsObject&) = delete;
  ItemsObject& operator=(const ItemsObject&) = delete;
  // Sinks hear a folder's events only through a collection someone holds:
  // when the last reference to it goes, so do its subscriptions.
  ~ItemsObject() override { core_->releaseSource(this); }

  Result<std::shared_ptr<ConnectionPoint>> findConnectionPoint(const Guid& iid) override {
    if (auto f = core_->fault("mail.Items.FindConnectionPoint")) return failure(*f);
    if (!(iid == iid::kItemsEvents)) return failure(hr::kNoConnection);
    return makeConnectionPoint(core_, {EventTarget::Kind::kItems, storeId_, folderId_},
                               shared_from_this(), this);
  }

  Result<std::int32_t> count() override {
    if (auto f = core_->fault("mail.Items.Count")) return failure(*f);
    FolderData* folder = this->folder();
    if (!folder) return failure(hr::kMapiObjectDeleted);
    return static_cast<std::int32_t>(folder->order.size());
  }

  Result<std::shared_ptr<Dispatch>> item(std::int32_t index) override {
    if (auto f = core_->fault("mail.Items.Item")) return failure(*f);
    FolderData* folder = this->folder();
    if (!folder) return failure(hr::kMapiObjectDeleted);
    const std::size_t count = folder->order.size();
    if (index < 1 || static_cast<std::size_t>(index) > count) return failure(hr::kBadIndex);
    const std::size_t rank =
        descending_ ? count - static_cast<std::size_t>(index) : static_cast<std::size_t>(index - 1);
    const std::uint64_t seq = sort_ ? indexOf(*folder, *sort_).find_by_order(rank)->seq
                                    : *folder->arrival.find_by_order(rank);
    return core_->openItem(*store(), folder->order.at(seq));
  }

  Hresult sort(std::u16string_view property, bool descending) override {
    if (auto f = core_->fault("mail.Items.Sort")) return *f;
    FolderData* folder = this->folder();
    if (!folder) return hr::kMapiObjectDeleted;
    auto ref = parseFieldRef(property);
    if (!ref || !knows(*folder, *ref)) return hr::kDispException;
    sort_ = *ref;
    descending_ = descending;
    cursor_.reset();
    return hr::kOk;
  }

  Result<std::shared_ptr<Dispatch>> find(std::u16string_view text) override {
    if (auto f = core_->fault("mail.Items.Find")) return failure(*f);
    FolderData* folder = this->folder();
    if (!folder) return failure(hr::kMapiObjectDeleted);
    auto filter = parseFilter(text);
    if (!filter || !knows(*folder, filter->field)) return failure(hr::kDispException);
    filter_ = std::move(*filter);
    cursor_.reset();
    return next(*folder);
  }

  Result<std::shared_ptr<Dispatch>> findNext() override {
    if (auto f = core_->fault("mail.Items.FindNext")) return failure(*f);
    FolderData* folder = this->folder();
    if (!folder) return failure(hr::kMapiObjectDeleted);
    if (!filter_) return failure(hr::kUnexpected);
    return next(*folder);
  }

 private:
  Store* store() { return core_->storeById(storeId_); }
  FolderData* folder() {
    Store* s = store();
    return s ? s->folder(folderId_) : nullptr;
  }

  static bool knows(const FolderData& folder, const FieldRef& ref) {
    return ref.isSubject || folder.userFieldIndexes.contains(ref.folded);
  }
  static const FieldIndex& indexOf(const FolderData& folder, const FieldRef& ref) {
    return ref.isSubject ? folder.subjectIndex : folder.userFieldIndexes.at(ref.folded);
  }
  static FieldName nameOf(const FieldRef& ref) { return ref.isSubject ? FieldName() : ref.folded; }

  // The first match after the cursor in this collection's order, found in an
  // index rather than by a walk, so each step costs the same in any folder.
  // The cursor is a position (sort key, tie and arrival), not an item, so a
  // walk goes on when its current item was deleted, moved or changed
  // meanwhile.
  Result<std::shared_ptr<Dispatch>> next(const FolderData& folder) {
    const std::u16string& value = filter_->foldedValue;
    std::optional<OrderEntry> found;
    if (sort_ && *sort_ == filter_->field) {
      // The matches lie together in the sorted field's index, in this
      // collection's order.
      const FieldIndex& index = indexOf(folder, filter_->field);
      if (!descending_) {
        auto it =
            cursor_ ? index.upper_bound(*cursor_) : index.lower_bound(OrderEntry{value, 0, 0});
        if (it != index.end() && it->key == value) found = *it;
      } else {
        constexpr auto kLast = std::numeric_limits<std::uint32_t>::max();
        auto it = index.lower_bound(
            cursor_ ? *cursor_
                    : OrderEntry{value, kLast, std::numeric_limits<std::uint64_t>::max()});
        if (it != index.begin() && (--it)->key == value) found = *it;
      }
    } else {
      // Unsorted (in arrival order) or sorted on another field: the index of
      // this pair of fields.
      const PairIndex& index = store()->pairIndex(folderId_, nameOf(filter_->field),
                                                  sort_ ? nameOf(*sort_) : kArrivalOrder);
      if (!descending_) {
        auto it = cursor_ ? index.upper_bound(PairEntry{value, *cursor_})
                          : index.lower_bound(PairEntry{value, OrderEntry{std::nullopt, 0, 0}});
        if (it != index.end() && it->filterKey == value) found = it->sortEntry;
      } else {
        auto it = cursor_ ? index.lower_bound(PairEntry{value, *cursor_})
                          : index.lower_bound(KeysAbove{value});
        if (it != index.begin() && (--it)->filterKey == value) found = it->sortEntry;
      }
    }
    if (!found) return std::shared_ptr<Dispatch>();
    cursor_ = found;
    return core_->openItem(*store(), folder.order.at(found->seq));
  }

  std::shared_ptr<ClientCore> core_;
  std::u16string storeId_;
  std::u16string folderId_;
  std::optional<FieldRef> sort_;
  bool descending_ = false;
  std::optional<Filter> filter_;
  std::optional<OrderEntry> cursor_;
};

class FolderObject : public Folder,
                     public FolderLocation,
                     public std::enable_shared_from_this<FolderObject> {
 public:
  FolderObject(std::shared_ptr<ClientCore> core, std::u16string storeId, std::u16string folderId)
      : core_(std::move(core)), storeId_(std::move(storeId)), folderId_(std::move(folderId)) {}

  const std::u16string& locationStoreId() const override { return storeId_; }
  const std::u16string& locationFolderId() const override { return folderId_; }
  Result<std::shared_ptr<Folder>> queryFolder() override {
    if (auto f = core_->fault("mail.QueryInterface.Folder")) return failure(*f);
    return shared_from_this();
  }

  Result<std::u16string> entryId() override {
    if (auto f = core_->fault("mail.Folder.EntryID")) return failure(*f);
    if (!folder()) return failure(hr::kMapiObjectDeleted);
    return folderId_;
  }
  Result<std::u16string> storeId() override {
    if (auto f = core_->fault("mail.Folder.StoreID")) return failure(*f);
    if (!folder()) return failure(hr::kMapiObjectDeleted);
    return storeId_;
  }
  Result<std::u16string> name() override {
    if (auto f = core_->fault("mail.Folder.Name")) return failure(*f);
    FolderData* data = folder();
    if (!data) return failure(hr::kMapiObjectDeleted);
    return data->name;
  }
  Result<std::u16string> defaultMessageClass() override {
    if (auto f = core_->fault("mail.Folder.DefaultMessageClass")) return failure(*f);
    FolderData* data = folder();
    if (!data) return failure(hr::kMapiObjectDeleted);
    return data->messageClass;
  }
  Result<std::shared_ptr<Items>> items() override {
    if (auto f = core_->fault("mail.Folder.Items")) return failure(*f);
    if (!folder()) return failure(hr::kMapiObjectDeleted);
    return std::shared_ptr<Items>(std::make_shared<ItemsObject>(core_, storeId_, folderId_));
  }

 private:
  FolderData* folder() {
    Store* s = core_->storeById(storeId_);
    return s ? s->folder(folderId_) : nullptr;
  }
  std::shared_ptr<ClientCore> core_;
  std::u16string storeId_;
  std::u16string folderId_;
};

}  // namespace

std::shared_ptr<Folder> makeFolderObject(std::shared_ptr<ClientCore> core, std::u16string storeId,
                                         std::u16string folderId) {
  return std::make_shared<FolderObject>(std::move(core), std::move(storeId), std::move(folderId));
}

std::shared_ptr<ConnectionPoint> makeConnectionPoint(std::shared_ptr<ClientCore> core,
                                                     EventTarget target,
                                                     std::shared_ptr<Dispatch> container,
                                                     const void* source) {
  return std::make_shared<ConnectionPointObject>(std::move(core), std::move(target),
                                                 std::move(container), source);
}

}  // namespace qx::sim::mail

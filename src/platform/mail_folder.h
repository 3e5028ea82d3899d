#pragma once
// A folder of the mail client and its item collection.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/dispatch.h"

namespace qx {

class Folder : public Dispatch {
 public:
  // Ids are upper-case hexadecimal texts.
  virtual Result<std::u16string> entryId() = 0;
  virtual Result<std::u16string> storeId() = 0;
  virtual Result<std::u16string> name() = 0;
  // "IPM.Task" for task folders, "IPM.Note" for mail folders, ...
  virtual Result<std::u16string> defaultMessageClass() = 0;
  // A new collection object over the folder's items, in the folder's order
  // until sorted.
  virtual Result<std::shared_ptr<Items>> items() = 0;
};

// The items of a folder. Events: item events (iid::kItemsEvents) through
// findConnectionPoint: ItemAdd (item), ItemChange (item), ItemRemove ().
class Items : public Dispatch {
 public:
  virtual Result<std::int32_t> count() = 0;
  // 1-based, in the collection's current order.
  virtual Result<std::shared_ptr<Dispatch>> item(std::int32_t index) = 0;
  // Sort by a field reference: "[Subject]" or a user field "[name]"; a field
  // that the folder does not know fails.
  virtual Hresult sort(std::u16string_view property, bool descending) = 0;
  // The first item matching a filter such as "[Subject] = 'text'", in the
  // current order; succeeds with nullptr when nothing matches. A filter that
  // cannot be parsed fails.
  virtual Result<std::shared_ptr<Dispatch>> find(std::u16string_view filter) = 0;
  // The next match of the last find; nullptr when there is none.
  virtual Result<std::shared_ptr<Dispatch>> findNext() = 0;
};

}  // namespace qx

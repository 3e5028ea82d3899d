#pragma once
// The safe-item library's wrapper of a task item: saving it as a message file
// and copying it onto another item.
#include <memory>
#include <string_view>

#include "platform/dispatch.h"

namespace qx {

class SafeTaskItem : public Dispatch {
 public:
  // A host task item, or an item read from a message file.
  virtual Hresult putItem(const std::shared_ptr<Dispatch>& item) = 0;
  // Writes the item, every field and every user property, as a message file
  // (the format argument omitted). The library sees the item as stored: a
  // host object's changes reach the file only once that object saved them.
  virtual Hresult saveAs(std::u16string_view path) = 0;
  // Copies content and user properties onto a host task item's working copy.
  virtual Hresult copyTo(const std::shared_ptr<Dispatch>& target) = 0;
};

}  // namespace qx

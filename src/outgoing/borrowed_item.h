#pragma once
// The host hands the add-in items that it holds itself, while the library's
// wrappers take counted references. A reference that owns nothing is enough
// for a wrapper that lives only inside the call that received the item.
#include <memory>

#include "platform/dispatch.h"

namespace qx {

inline std::shared_ptr<Dispatch> borrowed(Dispatch& item) {
  return std::shared_ptr<Dispatch>(std::shared_ptr<Dispatch>(), &item);
}

}  // namespace qx

#pragma once
// An item the safe-item library read from a message file: outside any folder,
// readable by property tag. Its user properties appear as named properties of
// the public-strings property set.
#include <cstdint>

#include "platform/dispatch.h"

namespace qx {

class SafeMessage : public Dispatch {
 public:
  // Reading a property the item does not have fails (hr::kMapiNotFound).
  virtual Result<Variant> field(std::int32_t tag) = 0;
};

}  // namespace qx

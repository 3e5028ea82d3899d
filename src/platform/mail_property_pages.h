#pragma once
// The pages of a folder's Properties dialog, offered to the add-in by
// OptionsPagesAdd.
#include <cstdint>
#include <string_view>

#include "platform/dispatch.h"

namespace qx {

class PropertyPages : public Dispatch {
 public:
  virtual Result<std::int32_t> count() = 0;
  // `page`: a text variant holding the ProgID of the page control.
  virtual Hresult add(const Variant& page, std::u16string_view title) = 0;
};

}  // namespace qx

#pragma once
// User properties of an item: named fields of the item's own choosing.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/dispatch.h"

namespace qx {

class UserProperty {
 public:
  virtual ~UserProperty() = default;
  virtual Result<std::u16string> name() = 0;
  // user_property_type::k...
  virtual Result<std::int32_t> type() = 0;
  // A text property that was never set reads as empty text.
  virtual Result<Variant> value() = 0;
  // The value is converted to the property's type; what cannot be converted
  // fails with hr::kTypeMismatch.
  virtual Hresult setValue(const Variant& value) = 0;
  // Removes the property from its item (the working copy).
  virtual Hresult deleteProperty() = 0;
};

class UserProperties {
 public:
  virtual ~UserProperties() = default;
  virtual Result<std::int32_t> count() = 0;
  // 1-based.
  virtual Result<std::shared_ptr<UserProperty>> item(std::int32_t index) = 0;
  // Adds a property with the host's defaults for the optional settings: the
  // field is added to the folder's fields (so the folder can be sorted and
  // filtered by it) with the default display format.
  virtual Result<std::shared_ptr<UserProperty>> add(std::u16string_view name,
                                                    std::int32_t type) = 0;
  // 1-based.
  virtual Hresult remove(std::int32_t index) = 0;
};

}  // namespace qx

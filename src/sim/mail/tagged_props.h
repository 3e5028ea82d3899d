#pragma once
// Reading and writing an item's properties by property tag, as the safe-item
// library offers them: named properties (ids from 0x8000) through a store's
// or a message file's name mapping, a few well-known ids (subject, body,
// message class, sender's address) onto the item's fields, the rest as raw
// properties.
#include <cstdint>
#include <functional>

#include "platform/status.h"
#include "platform/variant.h"
#include "sim/mail/item_data.h"

namespace qx::sim::mail {

using NameOfId = std::function<const NamedKey*(std::uint16_t id)>;

Result<Variant> readTagged(const ItemData& data, const NameOfId& names, std::int32_t tag);
Hresult writeTagged(ItemData& data, const NameOfId& names, std::int32_t tag, const Variant& value);

}  // namespace qx::sim::mail

#pragma once
// The simulated mail client's message-file format: one item with every field,
// user property, named and raw property and attachment. A file is checked
// whole (signature, length, checksum, every record) before anything of it is
// used, so a damaged, truncated or foreign file is refused and never half-read.
#include <cstdint>
#include <span>
#include <vector>

#include "platform/status.h"
#include "sim/mail/item_data.h"

namespace qx::sim::mail {

std::vector<std::uint8_t> encodeMessageFile(const ItemData& data);
// hr::kMapiCorruptData for anything but a whole, intact message file.
Result<ItemData> decodeMessageFile(std::span<const std::uint8_t> bytes);

}  // namespace qx::sim::mail

// Arbitrary text as the field record a task carries. What reads as a record
// must be one the add-in could have written: written again it reads back the
// same, and that text is the one it writes from then on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "protocol/field_record.h"
#include "protocol/synced_fields.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy of exactly `size` bytes, so that a read past the end is caught.
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::optional<qx::FieldRecord> record = qx::parseFieldRecord(text);
  if (!record) return 0;

  if (record->syncId.empty() || record->syncId.find('|') != std::string::npos) std::abort();
  for (const auto& [id, hash] : record->hashes)
    if (!qx::isFieldId(id)) std::abort();
  for (const auto& [id, version] : record->versions.listed())
    if (!qx::isFieldId(id)) std::abort();

  const std::string written = qx::formatFieldRecord(*record);
  const std::optional<qx::FieldRecord> again = qx::parseFieldRecord(written);
  if (again != record || qx::formatFieldRecord(*again) != written) std::abort();
  return 0;
}

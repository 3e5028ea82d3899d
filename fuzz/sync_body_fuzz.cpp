// Arbitrary mail bodies through the body reader: it must neither crash nor
// read outside the text, and what it returns must come from the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "protocol/sync_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy of exactly `size` bytes, so that a read past the end is caught.
  const std::string body(reinterpret_cast<const char*>(data), size);
  const qx::SyncBodyFields fields = qx::parseSyncBodyText(body);
  const std::string share = qx::readShareNameText(body);

  if (!fields.syncId.empty() && body.find(fields.syncId) == std::string::npos) std::abort();
  if (!share.empty() && body.find(share) == std::string::npos) std::abort();
  if (fields.valid && fields.removal && body.find("is:TRUE:is") != std::string::npos) std::abort();

  // A body built from what was read reads back the same.
  if (fields.valid) {
    const qx::SyncBodyFields again = qx::parseSyncBodyText(qx::buildSyncBody(
        "", fields.removal ? qx::SyncKind::kRemoval : qx::SyncKind::kChange, "S", "I"));
    if (!again.valid || again.removal != fields.removal || again.syncId != "I") std::abort();
  }
  return 0;
}

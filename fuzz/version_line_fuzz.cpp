// Arbitrary text as a version and as a body holding a version line. What
// reads as a version must be one the add-in could have written, read back
// exactly after writing it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/change_version.h"
#include "protocol/sync_body.h"

namespace {

using qx::ChangeVersion;

// parseVersion reads a stamp written with leading zeros ("007-A1") as the
// stamp formatVersion writes without them: the same version, another text.
std::string withoutLeadingZeros(std::string_view text) {
  std::size_t zeros = 0;
  while (zeros + 1 < text.size() && text[zeros] == '0' && text[zeros + 1] != '-') ++zeros;
  return std::string(text.substr(zeros));
}

void checkWritable(const ChangeVersion& version) {
  if (version.utcMs < 0 || version.utcMs > qx::changeversion::kMaxStampMs) std::abort();
  if (!qx::isVersionTag(version.tag)) std::abort();
  if (qx::parseVersion(qx::formatVersion(version)) != version) std::abort();
  const std::string body = std::string(qx::syncmail::kIdClose) + "\n" + qx::versionLine(version);
  if (qx::readVersionLine(body) != version) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy of exactly `size` bytes, so that a read past the end is caught.
  const std::string text(reinterpret_cast<const char*>(data), size);

  if (const std::optional<ChangeVersion> version = qx::parseVersion(text)) {
    checkWritable(*version);
    if (qx::formatVersion(*version) != withoutLeadingZeros(text)) std::abort();
  }

  // A body's line: only a version the add-in could have written, and only
  // from after the id field.
  if (const std::optional<ChangeVersion> version = qx::readVersionLine(text)) {
    checkWritable(*version);
    const std::size_t idClose = text.find(qx::syncmail::kIdClose);
    if (idClose == std::string::npos ||
        text.find(qx::changeversion::kLineOpen, idClose) == std::string::npos)
      std::abort();
  }
  return 0;
}

// Arbitrary bodies through the field-version line reader, and the text between
// its markers through the strict parser of the add-in's own record. Neither
// may give a field a version newer than the mail's; what either reads must
// read back the same once written; and where the strict parser accepts a text
// the lenient reader must read the same from it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/change_version.h"
#include "protocol/field_versions.h"
#include "protocol/sync_body.h"
#include "protocol/synced_fields.h"

namespace {

using qx::ChangeVersion;
using qx::FieldVersions;

// The version of a mail without a version line: any fixed one will do.
const ChangeVersion kMailVersion{1796630400000, "A1"};

void checkNotNewer(const FieldVersions& versions, const ChangeVersion& mail) {
  if (versions.rest() && mail < *versions.rest()) std::abort();
  for (const auto& [id, version] : versions.listed()) {
    if (!qx::isFieldId(id) || mail < version) std::abort();
  }
}

std::string body(std::string_view line) {
  return std::string(qx::syncmail::kIdClose) + "\n" + std::string(line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy of exactly `size` bytes, so that a read past the end is caught.
  const std::string text(reinterpret_cast<const char*>(data), size);
  const ChangeVersion mail = qx::readVersionLine(text).value_or(kMailVersion);

  if (const std::optional<qx::FieldVersionLine> line = qx::readFieldVersionLine(text, mail)) {
    if (!line->versions.rest()) std::abort();
    checkNotNewer(line->versions, mail);
    for (const auto& [id, version] : line->versions.listed())
      if (!line->named.contains(id)) std::abort();
    const std::vector<qx::FieldId> named(line->named.begin(), line->named.end());
    const std::optional<qx::FieldVersionLine> again =
        qx::readFieldVersionLine(body(qx::fieldVersionLine(line->versions, mail, named)), mail);
    if (!again || again->versions != line->versions || again->named != line->named ||
        again->unreadable)
      std::abort();
  }

  // The whole input as the text between the markers.
  if (const std::optional<FieldVersions> strict = qx::parseFieldVersions(text, mail)) {
    checkNotNewer(*strict, mail);
    if (qx::parseFieldVersions(qx::formatFieldVersions(*strict, mail), mail) != strict)
      std::abort();
    const std::optional<qx::FieldVersionLine> lenient = qx::readFieldVersionLine(
        body(std::string(qx::fieldversion::kLineOpen) + text +
             std::string(qx::fieldversion::kLineClose)),
        mail);
    if (text.find(qx::fieldversion::kLineClose) == std::string::npos &&
        (!lenient || lenient->versions != *strict || lenient->unreadable))
      std::abort();
  }
  // The record's form: no version is implied, and the rest is written out.
  if (const std::optional<FieldVersions> own = qx::parseFieldVersions(text, std::nullopt)) {
    if (qx::parseFieldVersions(qx::formatFieldVersions(*own, std::nullopt), std::nullopt) != own)
      std::abort();
  }
  return 0;
}

#include "protocol/change_version.h"

#include <charconv>

#include "protocol/sync_body.h"

namespace qx {
namespace {

bool isTagCharacter(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

}  // namespace

bool isVersionTag(std::string_view tag) {
  if (tag.empty() || tag.size() > changeversion::kMaxTagLength) return false;
  for (char c : tag)
    if (!isTagCharacter(c)) return false;
  return true;
}

std::string formatVersion(const ChangeVersion& version) {
  return std::to_string(version.utcMs) + "-" + version.tag;
}

std::optional<ChangeVersion> parseVersion(std::string_view text) {
  const std::size_t dash = text.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash > 19) return std::nullopt;
  ChangeVersion version;
  const char* first = text.data();
  const char* last = first + dash;
  for (const char* c = first; c != last; ++c)
    if (*c < '0' || *c > '9') return std::nullopt;
  const auto [end, error] = std::from_chars(first, last, version.utcMs);
  if (error != std::errc() || end != last || version.utcMs > changeversion::kMaxStampMs)
    return std::nullopt;
  version.tag = std::string(text.substr(dash + 1));
  if (!isVersionTag(version.tag)) return std::nullopt;
  return version;
}

std::string versionLine(const ChangeVersion& version) {
  std::string line(changeversion::kLineOpen);
  line.append(formatVersion(version)).append(changeversion::kLineClose).push_back('\n');
  return line;
}

std::optional<ChangeVersion> readVersionLine(std::string_view body) {
  // After the id field, so that a share name holding the marker text cannot
  // pass for a version.
  const std::size_t idClose = body.find(syncmail::kIdClose);
  if (idClose == std::string_view::npos) return std::nullopt;
  const std::size_t open = body.find(changeversion::kLineOpen, idClose);
  if (open == std::string_view::npos) return std::nullopt;
  const std::size_t start = open + changeversion::kLineOpen.size();
  const std::size_t close = body.find(changeversion::kLineClose, start);
  if (close == std::string_view::npos) return std::nullopt;
  return parseVersion(body.substr(start, close - start));
}

ChangeVersion nextAfter(ChangeVersion version) {
  ++version.utcMs;
  return version;
}

ChangeVersion justAfter(const ChangeVersion& version) {
  // "0" is the least tie-breaker character: TAG < TAG0 with nothing between.
  if (version.tag.size() < changeversion::kMaxTagLength) return {version.utcMs, version.tag + "0"};
  return {version.utcMs + 1, "0"};
}

}  // namespace qx

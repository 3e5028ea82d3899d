#include "core/tombstones.h"

#include <vector>

namespace qx {
namespace {

std::span<const std::uint8_t> bytesOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string line(std::string_view syncId, const ChangeVersion& version) {
  std::string text(syncId);
  text.push_back(' ');
  text.append(formatVersion(version)).append("\r\n");
  return text;
}

bool expired(const ChangeVersion& version, std::int64_t nowMs) {
  return version.utcMs + tombstone::kKeepMs < nowMs;
}

}  // namespace

void TombstoneStore::setPath(std::string path) {
  path_ = std::move(path);
  loaded_ = false;
  records_.clear();
}

std::optional<ChangeVersion> TombstoneStore::find(std::string_view syncId, std::int64_t nowMs) {
  load(nowMs);
  const auto found = records_.find(std::string(syncId));
  if (found == records_.end() || expired(found->second, nowMs)) return std::nullopt;
  return found->second;
}

void TombstoneStore::record(std::string_view syncId, const ChangeVersion& version,
                            std::int64_t nowMs) {
  if (syncId.empty()) return;
  load(nowMs);
  auto [entry, added] = records_.try_emplace(std::string(syncId), version);
  if (!added) {
    if (!(entry->second < version)) return;
    entry->second = version;
  }
  if (path_.empty()) return;
  // Appended: the newest record of an id wins when the file is read back.
  if (files_.appendFile(path_, bytesOf(line(syncId, version))) != win::kSuccess)
    log_.reportError(tombstone::kNotWritten);
}

void TombstoneStore::load(std::int64_t nowMs) {
  if (loaded_) return;
  loaded_ = true;
  if (path_.empty()) return;
  const WinResult<std::vector<std::uint8_t>> bytes = files_.readFile(path_);
  if (!bytes) return;  // nothing removed yet
  const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  bool damaged = false;
  std::size_t lines = 0;
  std::size_t start = 0;
  while (start < text.size() && !damaged) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view row = text.substr(start, end - start);
    start = end + 1;
    if (!row.empty() && row.back() == '\r') row.remove_suffix(1);
    if (row.empty()) continue;
    ++lines;
    const std::size_t space = row.find(' ');
    const std::optional<ChangeVersion> version =
        space == std::string_view::npos || space == 0 ? std::nullopt
                                                      : parseVersion(row.substr(space + 1));
    if (!version) {
      damaged = true;
      break;
    }
    if (expired(*version, nowMs)) continue;
    auto [entry, added] = records_.try_emplace(std::string(row.substr(0, space)), *version);
    if (!added && entry->second < *version) entry->second = *version;
  }
  if (damaged) {
    log_.reportError(tombstone::kDamaged);
    records_.clear();
    rewrite();
  } else if (lines > records_.size()) {
    // Expired and superseded records go, so the file does not grow for ever.
    rewrite();
  }
}

void TombstoneStore::rewrite() {
  std::string text;
  for (const auto& [id, version] : records_) text.append(line(id, version));
  if (files_.writeFile(path_, bytesOf(text)) != win::kSuccess)
    log_.reportError(tombstone::kNotWritten);
}

}  // namespace qx

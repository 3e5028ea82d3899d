#include "core/tombstones.h"

#include <charconv>
#include <vector>

namespace qx {
namespace {

std::span<const std::uint8_t> bytesOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// "<sync id> <version> <made> <share name>": the share name last, since it
// may hold blanks. Files of the add-in before share names were recorded hold
// "<sync id> <version>"; such a record stands for the id in every share.
std::string line(const std::string& shareName, const std::string& syncId,
                 const ChangeVersion& version, std::int64_t madeMs) {
  std::string text(syncId);
  text.push_back(' ');
  text.append(formatVersion(version)).push_back(' ');
  text.append(std::to_string(madeMs)).push_back(' ');
  text.append(shareName).append("\r\n");
  return text;
}

// Without overflow for any pair of readings: a record made after `nowMs` (the
// clock was set back) is not old.
bool expired(std::int64_t madeMs, std::int64_t nowMs) {
  if (nowMs < 0 || madeMs >= nowMs) return false;
  return nowMs - madeMs > tombstone::kKeepMs;
}

std::optional<std::int64_t> readMillis(std::string_view text) {
  std::int64_t value = 0;
  if (text.empty() || text.size() > 19) return std::nullopt;
  for (char c : text)
    if (c < '0' || c > '9') return std::nullopt;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

bool isRecordableId(std::string_view syncId) {
  if (syncId.empty() || syncId.size() > tombstone::kMaxIdLength) return false;
  for (char c : syncId) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F) return false;
  }
  return true;
}

bool isRecordableShareName(std::string_view shareName) {
  for (char c : shareName) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

void TombstoneStore::setPath(std::string path) {
  path_ = std::move(path);
  loaded_ = false;
  records_.clear();
}

std::optional<ChangeVersion> TombstoneStore::find(std::string_view shareName,
                                                  std::string_view syncId, std::int64_t nowMs) {
  load(nowMs);
  std::optional<ChangeVersion> newest;
  for (const std::string_view share : {shareName, std::string_view()}) {
    const auto found = records_.find(Key(share, syncId));
    if (found == records_.end() || expired(found->second.madeMs, nowMs)) continue;
    if (!newest || *newest < found->second.version) newest = found->second.version;
    if (shareName.empty()) break;
  }
  return newest;
}

void TombstoneStore::record(std::string_view shareName, std::string_view syncId,
                            const ChangeVersion& version, std::int64_t nowMs) {
  if (!isRecordableId(syncId) || !isRecordableShareName(shareName)) {
    if (log_.debugOn()) log_.logDebug(tombstone::kRefused);
    return;
  }
  load(nowMs);
  // Made while the clock could not be read: dated by the removal itself, as
  // near as anything known.
  const std::int64_t madeMs = nowMs >= 0 ? nowMs : std::max<std::int64_t>(version.utcMs, 0);
  auto [entry, added] = records_.try_emplace(Key(shareName, syncId), Record{version, madeMs});
  if (!added) {
    if (!(entry->second.version < version)) return;
    entry->second = Record{version, madeMs};
  }
  if (path_.empty()) return;
  // One line appended: the newest record of a task wins when the file is read
  // back, and a line a crash cut short is skipped then.
  if (files_.appendFile(path_, bytesOf(line(entry->first.first, entry->first.second, version,
                                             madeMs))) != win::kSuccess)
    log_.reportError(tombstone::kNotWritten);
}

bool TombstoneStore::readLine(std::string_view row, std::int64_t nowMs) {
  const std::size_t idEnd = row.find(' ');
  if (idEnd == std::string_view::npos) return false;
  const std::string_view syncId = row.substr(0, idEnd);
  row.remove_prefix(idEnd + 1);
  const std::size_t versionEnd = row.find(' ');
  const std::optional<ChangeVersion> version = parseVersion(row.substr(0, versionEnd));
  if (!version || !isRecordableId(syncId)) return false;
  std::string_view shareName;
  std::int64_t madeMs = nowMs >= 0 ? nowMs : 0;
  if (versionEnd != std::string_view::npos) {
    row.remove_prefix(versionEnd + 1);
    const std::size_t madeEnd = row.find(' ');
    if (madeEnd == std::string_view::npos) return false;
    const std::optional<std::int64_t> made = readMillis(row.substr(0, madeEnd));
    shareName = row.substr(madeEnd + 1);
    if (!made || !isRecordableShareName(shareName)) return false;
    madeMs = *made;
  }
  if (expired(madeMs, nowMs)) return true;
  auto [entry, added] = records_.try_emplace(Key(shareName, syncId), Record{*version, madeMs});
  if (!added && entry->second.version < *version) entry->second = Record{*version, madeMs};
  return true;
}

void TombstoneStore::load(std::int64_t nowMs) {
  if (loaded_) return;
  loaded_ = true;
  if (path_.empty()) return;
  const WinResult<std::vector<std::uint8_t>> bytes = files_.readFile(path_);
  if (!bytes) return;  // nothing removed yet
  const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  std::size_t lines = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view row = text.substr(start, end - start);
    start = end + 1;
    if (!row.empty() && row.back() == '\r') row.remove_suffix(1);
    if (row.empty()) continue;
    ++lines;
    if (!readLine(row, nowMs)) log_.reportError(tombstone::kUnreadableLine);
  }
  // Unreadable, expired and superseded lines go, so the file does not grow
  // for ever. A last line that a crash cut before its line end goes too:
  // the next record appended would be glued onto it and lost.
  if (lines > records_.size() || (!text.empty() && text.back() != '\n')) rewrite();
}

void TombstoneStore::rewrite() {
  std::string text;
  for (const auto& [key, record] : records_)
    text.append(line(key.first, key.second, record.version, record.madeMs));
  const std::string aside = path_ + std::string(tombstone::kTemporarySuffix);
  if (files_.writeFile(aside, bytesOf(text)) != win::kSuccess ||
      files_.replaceFile(aside, path_) != win::kSuccess) {
    (void)files_.deleteFile(aside);
    log_.reportError(tombstone::kNotWritten);
  }
}

}  // namespace qx

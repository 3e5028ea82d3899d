#include "basicsync/queue_file.h"

#include "platform/files.h"

namespace qx {

namespace queue_text {

std::string fromDisk(std::span<const std::uint8_t> bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = static_cast<char>(bytes[i]);
    if (c == '\x1A') break;
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text.push_back(c);
  }
  return text;
}

std::vector<std::string_view> pieces(std::string_view text) {
  std::vector<std::string_view> result;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t limit = std::min(text.size(), start + kPieceLength);
    const std::size_t feed = text.find('\n', start);
    const std::size_t end = feed != std::string_view::npos && feed < limit ? feed + 1 : limit;
    result.push_back(text.substr(start, end - start));
    start = end;
  }
  return result;
}

std::string entryOf(std::string_view piece) {
  std::string entry;
  entry.reserve(piece.size());
  for (char c : piece) {
    if (c != '\n') entry.push_back(c);
  }
  return entry;
}

void appendLine(std::string& disk, std::string_view entry) {
  disk += entry;
  disk += "\r\n";
}

std::string toDisk(std::span<const std::string> entries) {
  std::size_t size = 0;
  for (const std::string& entry : entries) size += entry.size() + 2;
  std::string disk;
  disk.reserve(size);
  for (const std::string& entry : entries) appendLine(disk, entry);
  return disk;
}

}  // namespace queue_text

namespace {

std::span<const std::uint8_t> bytesOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

bool missing(WinError status) {
  return status == win::kFileNotFound || status == win::kPathNotFound;
}

}  // namespace

QueueFile::QueueFile(Files& files, std::string path) : files_(files), path_(std::move(path)) {}

std::string QueueFile::sidePath() const { return path_ + ".new"; }

bool QueueFile::exists() { return files_.exists(sidePath()) || files_.exists(path_); }

WinResult<std::string> QueueFile::read() {
  auto bytes = files_.readFile(sidePath());
  if (!bytes && missing(bytes.error())) bytes = files_.readFile(path_);
  if (!bytes) return failure(bytes.error());
  return queue_text::fromDisk(*bytes);
}

WinError QueueFile::create(std::string_view diskText) {
  if (WinError status = files_.deleteFile(sidePath()); status != win::kSuccess && !missing(status))
    return status;
  return files_.writeFile(path_, bytesOf(diskText));
}

WinError QueueFile::replace(std::span<const std::string> entries) {
  const std::string disk = queue_text::toDisk(entries);
  const std::string side = sidePath();
  if (WinError status = files_.writeFile(side, bytesOf(disk)); status != win::kSuccess) {
    // A side file that was only partly written must not stand in for the
    // queue.
    files_.deleteFile(side);
    return status;
  }
  if (WinError status = files_.writeFile(path_, bytesOf(disk)); status != win::kSuccess)
    return status;
  // Should this fail, the side file holds the same entries as the queue.
  files_.deleteFile(side);
  return win::kSuccess;
}

WinError QueueFile::remove() {
  WinError queueStatus = files_.deleteFile(path_);
  WinError sideStatus = files_.deleteFile(sidePath());
  if (queueStatus != win::kSuccess && !missing(queueStatus)) return queueStatus;
  if (sideStatus != win::kSuccess && !missing(sideStatus)) return sideStatus;
  return win::kSuccess;
}

}  // namespace qx

#pragma once
// A folder's basic-sync queue on disk: the entry ids of the folder's tasks
// still to be sent, one per line, the next one first. The file is written and
// read as the C runtime's text mode does it (a line feed is CR LF on disk),
// and read in pieces of at most 511 characters, each piece one entry, so that
// queues written by earlier versions of the add-in read the same.
//
// A step rewrites the queue without its front entry. The remaining entries
// are first written to a side file beside the queue; only once that write has
// succeeded is the queue replaced. A side file left behind by a replacement
// that could not finish holds the newer queue and is read in its place.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace qx {

class Files;

namespace queue_text {
// Characters per piece: the reader's buffer of 512 holds 511 and the end.
inline constexpr std::size_t kPieceLength = 511;

// Raw file bytes as text mode reads them: each CR LF becomes LF and a Ctrl-Z
// ends the text.
std::string fromDisk(std::span<const std::uint8_t> bytes);
// The pieces a line reader takes from that text: each ends after a line feed
// or after kPieceLength characters, whichever comes first; the last one may
// end at the end of the text.
std::vector<std::string_view> pieces(std::string_view text);
// A piece as an entry: every line feed removed.
std::string entryOf(std::string_view piece);
// Entries as text mode writes them, each followed by a line break (CR LF).
std::string toDisk(std::span<const std::string> entries);
// One entry appended as text mode writes it.
void appendLine(std::string& disk, std::string_view entry);
}  // namespace queue_text

class QueueFile {
 public:
  // `path`: data directory + folder entry id + ".ids".
  QueueFile(Files& files, std::string path);

  const std::string& path() const { return path_; }
  // Where a replacement writes first.
  std::string sidePath() const;

  // Whether a queue is there to read (the queue file or a side file).
  bool exists();
  // The queue's text as text mode reads it; fails with the file's error
  // (kFileNotFound when there is no queue).
  WinResult<std::string> read();
  // A listing's new queue: a side file of an earlier step is removed first,
  // so it cannot stand in for the new queue; then the queue file is written.
  WinError create(std::string_view diskText);
  // The queue after a step: the entries beside it, then in its place.
  // On failure the queue file still holds what it held before (a side write
  // failed) or the side file holds the new entries (the replacement failed).
  WinError replace(std::span<const std::string> entries);
  // The queue is done: no file is left behind.
  WinError remove();

 private:
  Files& files_;
  std::string path_;
};

}  // namespace qx

#pragma once
// Records of removed tasks: the share name and sync id of the task and the
// version of its removal, kept for 60 days from when the record was made here
// in a file of the data directory, so that a change older than the removal,
// arriving late (held back on the way, or waiting in the Inbox of a host that
// was closed), does not bring the task back.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "common/diagnostics.h"
#include "platform/files.h"
#include "protocol/change_version.h"

namespace qx {

namespace tombstone {
inline constexpr std::string_view kFileName = "removals.dat";
inline constexpr std::string_view kTemporarySuffix = ".new";
inline constexpr std::int64_t kKeepMs = 60LL * 24 * 60 * 60 * 1000;
// The longest sync id a record keeps: a braced GUID is 38 characters.
inline constexpr std::size_t kMaxIdLength = 38;
inline constexpr std::string_view kUnreadableLine = "\nremovals.dat: unreadable line skipped";
inline constexpr std::string_view kNotWritten = "\nremovals.dat not written";
inline constexpr std::string_view kRefused = "versions: removal of a malformed sync id not recorded";
}  // namespace tombstone

// The one line a record of that task can be kept in: no blank, no control
// character, not longer than a sync id; a share name without line breaks or
// other control characters.
bool isRecordableId(std::string_view syncId);
bool isRecordableShareName(std::string_view shareName);

class TombstoneStore {
 public:
  TombstoneStore(Files& files, Diagnostics& diagnostics) : files_(files), log_(diagnostics) {}

  // The file the records live in; read at the first use after it is set.
  void setPath(std::string path);

  // The version of the task's removal in that share, when its record is
  // younger than 60 days at `nowMs`.
  std::optional<ChangeVersion> find(std::string_view shareName, std::string_view syncId,
                                    std::int64_t nowMs);
  // Keeps the newer of the recorded and the given removal; `nowMs` is when
  // the record is made. An id or share name no line could hold is refused
  // with a debug entry.
  void record(std::string_view shareName, std::string_view syncId, const ChangeVersion& version,
              std::int64_t nowMs);

  std::size_t size() const { return records_.size(); }

 private:
  struct Record {
    ChangeVersion version;
    // When the record was made here, in UTC milliseconds.
    std::int64_t madeMs = 0;
  };
  using Key = std::pair<std::string, std::string>;  // share name, sync id

  // Reads the file once, line by line. A line that does not read as a record
  // is reported and skipped; the others are kept.
  void load(std::int64_t nowMs);
  bool readLine(std::string_view row, std::int64_t nowMs);
  // Writes every record to a file beside the old one and moves it over, so a
  // crash leaves the old file or the new one.
  void rewrite();

  Files& files_;
  Diagnostics& log_;
  std::string path_;
  bool loaded_ = false;
  std::map<Key, Record> records_;
};

}  // namespace qx

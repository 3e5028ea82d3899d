#pragma once
// Records of removed tasks: the sync id and the version of its removal, kept
// for 60 days in a file of the data directory, so that a change older than
// the removal, arriving late (held back on the way, or waiting in the Inbox
// of a host that was closed), does not bring the task back.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "common/diagnostics.h"
#include "platform/files.h"
#include "protocol/change_version.h"

namespace qx {

namespace tombstone {
inline constexpr std::string_view kFileName = "removals.dat";
inline constexpr std::int64_t kKeepMs = 60LL * 24 * 60 * 60 * 1000;
inline constexpr std::string_view kDamaged = "\nremovals.dat damaged, removal records dropped";
inline constexpr std::string_view kNotWritten = "\nremovals.dat not written";
}  // namespace tombstone

class TombstoneStore {
 public:
  TombstoneStore(Files& files, Diagnostics& diagnostics) : files_(files), log_(diagnostics) {}

  // The file the records live in; read at the first use after it is set.
  void setPath(std::string path);

  // The version of the task's removal, when one younger than 60 days (at
  // `nowMs`) is recorded.
  std::optional<ChangeVersion> find(std::string_view syncId, std::int64_t nowMs);
  // Keeps the newer of the recorded and the given removal.
  void record(std::string_view syncId, const ChangeVersion& version, std::int64_t nowMs);

  std::size_t size() const { return records_.size(); }

 private:
  // Reads the file once. A file that does not read as records is reported and
  // taken as empty, and written afresh: the scan must go on without it.
  void load(std::int64_t nowMs);
  void rewrite();

  Files& files_;
  Diagnostics& log_;
  std::string path_;
  bool loaded_ = false;
  std::unordered_map<std::string, ChangeVersion> records_;
};

}  // namespace qx

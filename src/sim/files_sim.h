#pragma once
// The add-in's file calls for one simulated user, on that user's host disk
// (see host_file_system.h for how host paths map onto the real disk). Every
// call first asks the faults under its own name ("files.readFile",
// "files.writeFile", "files.appendFile", "files.deleteFile", "files.replaceFile",
// "files.exists").
// A scheduled failure leaves the disk alone, except that a write failed with
// kDiskFull leaves the file behind empty, as a full disk does.
#include "platform/files.h"
#include "sim/faults.h"
#include "sim/host_file_system.h"

namespace qx::sim {

class FilesSim final : public Files {
 public:
  FilesSim(HostFileSystem& disk, Faults& faults) : disk_(disk), faults_(faults) {}

  // Failures carry the host's error codes: kPathNotFound when a folder on the
  // way is missing, kFileNotFound for a missing file, kAccessDenied for a
  // folder or for a write in a folder that refuses writes (see
  // HostFileSystem::refuseWrites), kInvalidName for a name Windows does not
  // allow.
  WinResult<std::vector<std::uint8_t>> readFile(std::string_view path) override;
  WinError writeFile(std::string_view path, std::span<const std::uint8_t> bytes) override;
  WinError appendFile(std::string_view path, std::span<const std::uint8_t> bytes) override;
  WinError deleteFile(std::string_view path) override;
  WinError replaceFile(std::string_view from, std::string_view to) override;
  // True for files and folders alike, as the host's attribute query.
  bool exists(std::string_view path) override;

  HostFileSystem& disk() { return disk_; }

 private:
  WinError write(std::string_view path, std::span<const std::uint8_t> bytes, bool append);

  HostFileSystem& disk_;
  Faults& faults_;
};

}  // namespace qx::sim

#pragma once
// The disk of one simulated user as the host sees it: Windows paths (drive
// letter, backslashes, names compared without regard to case) mapped onto a
// folder on the real disk, plus the process's current directory.
//
// Mapping rules, as Windows applies them:
// - "/" counts as "\"; repeated separators collapse; "." and ".." are resolved
//   (".." never climbs above a drive's root); trailing dots and blanks of a
//   name are dropped.
// - A path without drive letter resolves against the current directory ("\x"
//   against its drive's root).
// - Names compare without regard to case (ASCII and the Windows-1252 letters)
//   and keep the case they were created with: each name is matched against the
//   entries that exist on the real disk, so a file created as "Debug.log" is
//   found as "DEBUG.LOG" and listed as "Debug.log".
// - Drive X lives in the folder "X" under the root; drive C exists from the
//   start, other drives only when a test creates their folder.
// - Names are ANSI bytes and are stored on the real disk byte for byte.
// - Characters Windows does not allow in names give kInvalidName; network paths
//   and paths of 260 characters or more give kPathNotFound.
#include <cstdint>
#include <expected>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace qx::sim {

inline constexpr WinError kInvalidName = winError(123);  // ERROR_INVALID_NAME

class HostFileSystem {
 public:
  // `root` is created when missing, with drive C inside.
  explicit HostFileSystem(std::filesystem::path root, std::string currentDirectory = "C:\\");
  HostFileSystem(const HostFileSystem&) = delete;
  HostFileSystem& operator=(const HostFileSystem&) = delete;

  const std::filesystem::path& root() const { return root_; }

  // The absolute host form of `path` (drive letter upper-case, no trailing
  // backslash except at a drive's root).
  std::expected<std::string, WinError> fullPath(std::string_view path) const;
  // Where `path` lies on the real disk; the entry need not exist.
  std::expected<std::filesystem::path, WinError> diskPath(std::string_view path) const;

  const std::string& currentDirectory() const { return currentDirectory_; }
  // kPathNotFound unless `path` names an existing folder.
  WinError setCurrentDirectory(std::string_view path);

  // Direct access for tests and the scenario runner (no fault injection).
  bool isFile(std::string_view path) const;
  bool isFolder(std::string_view path) const;
  std::optional<std::vector<std::uint8_t>> read(std::string_view path) const;
  std::optional<std::string> readText(std::string_view path) const;
  // Writes a file, creating the folders on its way.
  bool write(std::string_view path, std::span<const std::uint8_t> bytes);
  bool writeText(std::string_view path, std::string_view text);
  // Creates a folder with the folders on its way.
  bool makeFolders(std::string_view path);
  bool remove(std::string_view path);
  // Names of the entries of a folder, as created, sorted without regard to case.
  std::vector<std::string> list(std::string_view folder) const;

  // A folder in which the user may read but not create, change or delete
  // files, nor in the folders below it: Program Files to a user without
  // administrator rights. The file calls answer kAccessDenied there; the
  // direct access above is not refused.
  void refuseWrites(std::string_view folder);
  bool writesRefused(std::string_view path) const;

 private:
  std::filesystem::path root_;
  std::string currentDirectory_;
  std::vector<std::string> refused_;  // full paths
};

// Compares ANSI (Windows-1252) texts without regard to case.
bool equalsIgnoringCase(std::string_view a, std::string_view b);
int compareIgnoringCase(std::string_view a, std::string_view b);

}  // namespace qx::sim

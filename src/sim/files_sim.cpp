#include "sim/files_sim.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace qx::sim {
namespace fs = std::filesystem;

namespace {

// Why an entry that was looked for is not there.
WinError missing(const fs::path& disk) {
  std::error_code error;
  return fs::is_directory(disk.parent_path(), error) ? win::kFileNotFound : win::kPathNotFound;
}

}  // namespace

WinResult<std::vector<std::uint8_t>> FilesSim::readFile(std::string_view path) {
  if (auto status = faults_.check("files.readFile")) return failure(winError(*status));
  auto disk = disk_.diskPath(path);
  if (!disk) return failure(disk.error());
  std::error_code error;
  if (fs::is_directory(*disk, error)) return failure(win::kAccessDenied);
  if (!fs::is_regular_file(*disk, error)) return failure(missing(*disk));
  std::ifstream in(*disk, std::ios::binary);
  if (!in) return failure(win::kAccessDenied);
  std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>{});
  if (in.bad()) return failure(win::kReadFault);
  return bytes;
}

WinError FilesSim::writeFile(std::string_view path, std::span<const std::uint8_t> bytes) {
  if (auto status = faults_.check("files.writeFile")) {
    // A full disk lets the file be opened, which empties it, and fails the
    // write that follows.
    if (winError(*status) == win::kDiskFull) write(path, {}, false);
    return winError(*status);
  }
  return write(path, bytes, false);
}

WinError FilesSim::appendFile(std::string_view path, std::span<const std::uint8_t> bytes) {
  if (auto status = faults_.check("files.appendFile")) return winError(*status);
  return write(path, bytes, true);
}

WinError FilesSim::write(std::string_view path, std::span<const std::uint8_t> bytes, bool append) {
  auto disk = disk_.diskPath(path);
  if (!disk) return disk.error();
  std::error_code error;
  if (fs::is_directory(*disk, error)) return win::kAccessDenied;
  if (!fs::is_directory(disk->parent_path(), error)) return win::kPathNotFound;
  if (disk_.writesRefused(path)) return win::kAccessDenied;
  std::ofstream out(*disk, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
  if (!out) return win::kAccessDenied;
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  return out ? win::kSuccess : win::kWriteFault;
}

WinError FilesSim::deleteFile(std::string_view path) {
  if (auto status = faults_.check("files.deleteFile")) return winError(*status);
  auto disk = disk_.diskPath(path);
  if (!disk) return disk.error();
  std::error_code error;
  if (fs::is_directory(*disk, error)) return win::kAccessDenied;
  if (!fs::is_regular_file(*disk, error)) return missing(*disk);
  if (disk_.writesRefused(path)) return win::kAccessDenied;
  return fs::remove(*disk, error) ? win::kSuccess : win::kAccessDenied;
}

WinError FilesSim::replaceFile(std::string_view from, std::string_view to) {
  if (auto status = faults_.check("files.replaceFile")) return winError(*status);
  auto source = disk_.diskPath(from);
  if (!source) return source.error();
  auto target = disk_.diskPath(to);
  if (!target) return target.error();
  std::error_code error;
  if (!fs::is_regular_file(*source, error)) return missing(*source);
  if (fs::is_directory(*target, error)) return win::kAccessDenied;
  if (!fs::is_directory(target->parent_path(), error)) return win::kPathNotFound;
  if (disk_.writesRefused(from) || disk_.writesRefused(to)) return win::kAccessDenied;
  fs::rename(*source, *target, error);
  return error ? win::kAccessDenied : win::kSuccess;
}

bool FilesSim::exists(std::string_view path) {
  if (faults_.check("files.exists")) return false;
  auto disk = disk_.diskPath(path);
  std::error_code error;
  return disk && fs::exists(*disk, error);
}

}  // namespace qx::sim

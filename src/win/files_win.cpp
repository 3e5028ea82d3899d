#include "win/files_win.h"

#include <string>

#include "win/win_text.h"

namespace qx::win32 {
namespace {

// Closes the handle whatever way the call ends.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (valid()) CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

WinError writeAll(HANDLE file, std::span<const std::uint8_t> bytes) {
  DWORD written = 0;
  if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
    return lastWinError();
  return written == bytes.size() ? win::kSuccess : win::kWriteFault;
}

}  // namespace

WinResult<std::vector<std::uint8_t>> FilesWin::readFile(std::string_view path) {
  const std::string name = terminated(path);
  FileHandle file(CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return failure(lastWinError());
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return failure(lastWinError());
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
  DWORD read = 0;
  if (!bytes.empty() &&
      !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
    return failure(lastWinError());
  bytes.resize(read);
  return bytes;
}

WinError FilesWin::writeFile(std::string_view path, std::span<const std::uint8_t> bytes) {
  const std::string name = terminated(path);
  FileHandle file(CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return lastWinError();
  return writeAll(file.get(), bytes);
}

WinError FilesWin::appendFile(std::string_view path, std::span<const std::uint8_t> bytes) {
  const std::string name = terminated(path);
  FileHandle file(CreateFileA(name.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return lastWinError();
  return writeAll(file.get(), bytes);
}

WinError FilesWin::deleteFile(std::string_view path) {
  const std::string name = terminated(path);
  return DeleteFileA(name.c_str()) ? win::kSuccess : lastWinError();
}

WinError FilesWin::replaceFile(std::string_view from, std::string_view to) {
  const std::string source = terminated(from);
  const std::string target = terminated(to);
  return MoveFileExA(source.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? win::kSuccess
             : lastWinError();
}

bool FilesWin::exists(std::string_view path) {
  const std::string name = terminated(path);
  return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace qx::win32

#include "sim/host_file_system.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

namespace qx::sim {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxPath = 260;  // the terminator included

unsigned char foldCase(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 0x20);
  // Windows-1252: À..Þ except ×, and Š, Œ, Ž, Ÿ.
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 0x20);
  if (c == 0x8A || c == 0x8C || c == 0x8E) return static_cast<unsigned char>(c + 0x10);
  if (c == 0x9F) return 0xFF;
  return c;
}

bool isDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char upperDrive(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c; }

bool isForbidden(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte < 0x20) return true;
  return std::string_view("<>:\"|?*").find(c) != std::string_view::npos;
}

// Splits a backslash path into its names, resolving "." and "..".
std::expected<std::vector<std::string>, WinError> resolveNames(std::vector<std::string> base,
                                                               std::string_view rest) {
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t end = rest.find('\\', start);
    if (end == std::string_view::npos) end = rest.size();
    std::string name(rest.substr(start, end - start));
    start = end + 1;
    if (name.empty() || name == ".") continue;
    if (name == "..") {
      if (!base.empty()) base.pop_back();
      continue;
    }
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    if (name.empty()) continue;
    if (std::any_of(name.begin(), name.end(), isForbidden)) return std::unexpected(kInvalidName);
    base.push_back(std::move(name));
  }
  return base;
}

struct HostPath {
  char drive;
  std::vector<std::string> names;
};

std::string toText(const HostPath& path) {
  std::string text{path.drive, ':', '\\'};
  for (std::size_t i = 0; i < path.names.size(); ++i) {
    if (i > 0) text += '\\';
    text += path.names[i];
  }
  return text;
}

// The current directory is kept in full form, so it parses without failure.
HostPath parseFull(const std::string& full) {
  auto names = resolveNames({}, std::string_view(full).substr(2));
  return {full[0], names ? *names : std::vector<std::string>{}};
}

std::expected<HostPath, WinError> parse(std::string_view path, const std::string& current) {
  std::string text(path);
  std::replace(text.begin(), text.end(), '/', '\\');
  if (text.empty() || text.starts_with("\\\\")) return std::unexpected(win::kPathNotFound);
  const HostPath cwd = parseFull(current);
  HostPath result{cwd.drive, {}};
  std::string_view rest = text;
  if (rest.size() >= 2 && rest[1] == ':' && isDriveLetter(rest[0])) {
    result.drive = upperDrive(rest[0]);
    rest.remove_prefix(2);
    // "D:name" continues from the current directory only on its own drive.
    if (!rest.starts_with('\\') && result.drive == cwd.drive) result.names = cwd.names;
  } else if (!rest.starts_with('\\')) {
    result.names = cwd.names;
  }
  auto names = resolveNames(std::move(result.names), rest);
  if (!names) return std::unexpected(names.error());
  result.names = std::move(*names);
  if (toText(result).size() >= kMaxPath) return std::unexpected(win::kPathNotFound);
  return result;
}

// The real name of `name` inside `folder`: an existing entry matching without
// regard to case, or `name` itself.
std::string matchName(const fs::path& folder, const std::string& name) {
  std::error_code error;
  if (fs::exists(folder / name, error)) return name;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::string candidate = it->path().filename().string();
    if (equalsIgnoringCase(candidate, name)) return candidate;
  }
  return name;
}

}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return compareIgnoringCase(a, b) == 0;
}

int compareIgnoringCase(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char x = foldCase(static_cast<unsigned char>(a[i]));
    const unsigned char y = foldCase(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

HostFileSystem::HostFileSystem(fs::path root, std::string currentDirectory)
    : root_(std::move(root)) {
  std::error_code error;
  fs::create_directories(root_ / "C", error);
  auto full = parse(currentDirectory, "C:\\");
  currentDirectory_ = full ? toText(*full) : "C:\\";
  makeFolders(currentDirectory_);
}

std::expected<std::string, WinError> HostFileSystem::fullPath(std::string_view path) const {
  auto parsed = parse(path, currentDirectory_);
  if (!parsed) return std::unexpected(parsed.error());
  return toText(*parsed);
}

std::expected<fs::path, WinError> HostFileSystem::diskPath(std::string_view path) const {
  auto parsed = parse(path, currentDirectory_);
  if (!parsed) return std::unexpected(parsed.error());
  fs::path disk = root_ / std::string(1, parsed->drive);
  for (const std::string& name : parsed->names) disk /= matchName(disk, name);
  return disk;
}

WinError HostFileSystem::setCurrentDirectory(std::string_view path) {
  auto full = fullPath(path);
  if (!full) return full.error();
  if (!isFolder(*full)) {
    auto disk = diskPath(*full);
    std::error_code error;
    return fs::is_directory(disk->parent_path(), error) ? win::kFileNotFound : win::kPathNotFound;
  }
  currentDirectory_ = *full;
  return win::kSuccess;
}

void HostFileSystem::refuseWrites(std::string_view folder) {
  if (auto full = fullPath(folder)) refused_.push_back(*full);
}

bool HostFileSystem::writesRefused(std::string_view path) const {
  auto full = fullPath(path);
  if (!full) return false;
  for (const std::string& folder : refused_) {
    if (full->size() > folder.size() && (*full)[folder.size()] == '\\' &&
        equalsIgnoringCase(std::string_view(*full).substr(0, folder.size()), folder))
      return true;
  }
  return false;
}

bool HostFileSystem::isFile(std::string_view path) const {
  auto disk = diskPath(path);
  std::error_code error;
  return disk && fs::is_regular_file(*disk, error);
}

bool HostFileSystem::isFolder(std::string_view path) const {
  auto disk = diskPath(path);
  std::error_code error;
  return disk && fs::is_directory(*disk, error);
}

std::optional<std::vector<std::uint8_t>> HostFileSystem::read(std::string_view path) const {
  if (!isFile(path)) return std::nullopt;
  std::ifstream in(*diskPath(path), std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>());
}

std::optional<std::string> HostFileSystem::readText(std::string_view path) const {
  auto bytes = read(path);
  if (!bytes) return std::nullopt;
  return std::string(bytes->begin(), bytes->end());
}

bool HostFileSystem::write(std::string_view path, std::span<const std::uint8_t> bytes) {
  auto full = fullPath(path);
  if (!full) return false;
  const std::size_t cut = full->rfind('\\');
  if (cut > 2 && !makeFolders(full->substr(0, cut))) return false;
  auto disk = diskPath(*full);
  std::ofstream out(*disk, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool HostFileSystem::writeText(std::string_view path, std::string_view text) {
  return write(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

bool HostFileSystem::makeFolders(std::string_view path) {
  auto full = fullPath(path);
  if (!full) return false;
  // Folder by folder, so that each existing name is matched without regard to case.
  auto parsed = parse(*full, currentDirectory_);
  std::string prefix{parsed->drive, ':'};
  std::error_code error;
  fs::create_directories(root_ / std::string(1, parsed->drive), error);
  for (const std::string& name : parsed->names) {
    prefix += '\\';
    prefix += name;
    auto disk = diskPath(prefix);
    if (fs::is_directory(*disk, error)) continue;
    if (!fs::create_directory(*disk, error)) return false;
  }
  return true;
}

bool HostFileSystem::remove(std::string_view path) {
  auto disk = diskPath(path);
  std::error_code error;
  return disk && fs::remove_all(*disk, error) > 0 && !error;
}

std::vector<std::string> HostFileSystem::list(std::string_view folder) const {
  std::vector<std::string> names;
  auto disk = diskPath(folder);
  if (!disk) return names;
  std::error_code error;
  for (fs::directory_iterator it(*disk, error), end; !error && it != end; it.increment(error)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return compareIgnoringCase(a, b) < 0;
  });
  return names;
}

}  // namespace qx::sim

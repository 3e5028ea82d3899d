// Arbitrary bytes as the file of removal records. Reading it must neither
// crash nor read outside the file; what the store keeps of it, written back,
// must read again without a report and unchanged; and a record made after
// reading must be found after a restart.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/diagnostics.h"
#include "core/tombstones.h"
#include "platform/files.h"

namespace {

constexpr std::string_view kPath = "C:\\data\\removals.dat";
constexpr std::int64_t kNow = 1796630400000;

class MemoryFiles final : public qx::Files {
 public:
  qx::WinResult<std::vector<std::uint8_t>> readFile(std::string_view path) override {
    const auto found = files.find(std::string(path));
    if (found == files.end()) return std::unexpected(qx::win::kFileNotFound);
    return std::vector<std::uint8_t>(found->second.begin(), found->second.end());
  }
  qx::WinError writeFile(std::string_view path, std::span<const std::uint8_t> bytes) override {
    files[std::string(path)] = std::string(bytes.begin(), bytes.end());
    return qx::win::kSuccess;
  }
  qx::WinError appendFile(std::string_view path, std::span<const std::uint8_t> bytes) override {
    files[std::string(path)].append(bytes.begin(), bytes.end());
    return qx::win::kSuccess;
  }
  qx::WinError deleteFile(std::string_view path) override {
    return files.erase(std::string(path)) ? qx::win::kSuccess : qx::win::kFileNotFound;
  }
  qx::WinError replaceFile(std::string_view from, std::string_view to) override {
    auto node = files.extract(std::string(from));
    if (!node) return qx::win::kFileNotFound;
    files[std::string(to)] = std::move(node.mapped());
    return qx::win::kSuccess;
  }
  bool exists(std::string_view path) override { return files.contains(std::string(path)); }
  std::map<std::string, std::string> files;
};

class Reports final : public qx::Diagnostics {
 public:
  bool debugOn() const override { return true; }
  void logDebug(std::string_view) override {}
  void reportError(std::string_view) override { ++errors; }
  void reportLibraryMissing() override {}
  std::size_t errors = 0;
};

// The store over the file as it is now, read at `nowMs`.
struct Session {
  Session(MemoryFiles& files, std::int64_t nowMs) : store(files, reports) {
    store.setPath(std::string(kPath));
    (void)store.find("", "{}", nowMs);
  }
  Reports reports;
  qx::TombstoneStore store;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MemoryFiles files;
  // Exactly `size` bytes, so that a read past the end is caught.
  files.files[std::string(kPath)] = std::string(reinterpret_cast<const char*>(data), size);

  const Session first(files, kNow);
  const std::string kept = files.files[std::string(kPath)];
  {
    // Rewritten or not, the file now holds only lines that read.
    Session second(files, kNow);
    if (second.reports.errors != 0 || second.store.size() != first.store.size() ||
        files.files[std::string(kPath)] != kept)
      std::abort();
    second.store.record("Team", "{R}", {kNow - 1, "E1"}, kNow);
  }
  // Also after a last line that a crash cut before its line end.
  Session third(files, kNow);
  if (third.reports.errors != 0 ||
      third.store.find("Team", "{R}", kNow) < qx::ChangeVersion{kNow - 1, "E1"})
    std::abort();
  return 0;
}

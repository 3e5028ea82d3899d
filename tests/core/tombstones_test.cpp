// The records of removals: kept in the data directory for 60 days, the newest
// per task, read back after a restart; a damaged file is reported and counts
// as empty.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/tombstones.h"

namespace qx {
namespace {

class MemoryFiles final : public Files {
 public:
  WinResult<std::vector<std::uint8_t>> readFile(std::string_view path) override {
    const auto found = files.find(std::string(path));
    if (found == files.end()) return std::unexpected(win::kFileNotFound);
    return std::vector<std::uint8_t>(found->second.begin(), found->second.end());
  }
  WinError writeFile(std::string_view path, std::span<const std::uint8_t> bytes) override {
    files[std::string(path)] = std::string(bytes.begin(), bytes.end());
    return win::kSuccess;
  }
  WinError appendFile(std::string_view path, std::span<const std::uint8_t> bytes) override {
    files[std::string(path)].append(bytes.begin(), bytes.end());
    return win::kSuccess;
  }
  WinError deleteFile(std::string_view path) override {
    return files.erase(std::string(path)) ? win::kSuccess : win::kFileNotFound;
  }
  bool exists(std::string_view path) override { return files.contains(std::string(path)); }
  std::map<std::string, std::string> files;
};

class Reports final : public Diagnostics {
 public:
  bool debugOn() const override { return false; }
  void logDebug(std::string_view) override {}
  void reportError(std::string_view text) override { errors.emplace_back(text); }
  void reportLibraryMissing() override {}
  std::vector<std::string> errors;
};

constexpr std::string_view kPath = "C:\\data\\removals.dat";
constexpr std::int64_t kDay = 24LL * 60 * 60 * 1000;
constexpr std::int64_t kNow = 1796630400000;

TEST(Tombstones, TheNewestRemovalOfATaskIsReadBackAfterARestart) {
  MemoryFiles files;
  Reports reports;
  {
    TombstoneStore store(files, reports);
    store.setPath(std::string(kPath));
    store.record("{A}", {kNow - 5, "X"}, kNow);
    store.record("{A}", {kNow - 9, "X"}, kNow);  // older: kept out
    store.record("{B}", {kNow - 3, "Y"}, kNow);
    store.record("{A}", {kNow - 1, "X"}, kNow);
  }
  TombstoneStore again(files, reports);
  again.setPath(std::string(kPath));
  EXPECT_EQ(again.find("{A}", kNow), (ChangeVersion{kNow - 1, "X"}));
  EXPECT_EQ(again.find("{B}", kNow), (ChangeVersion{kNow - 3, "Y"}));
  EXPECT_EQ(again.find("{C}", kNow), std::nullopt);
  EXPECT_TRUE(reports.errors.empty());
  // Superseded records are dropped from the file when it is read.
  EXPECT_EQ(files.files[std::string(kPath)].size(),
            std::string("{A} 1796630399999-X\r\n{B} 1796630399997-Y\r\n").size());
}

TEST(Tombstones, RecordsAreKeptSixtyDays) {
  MemoryFiles files;
  Reports reports;
  TombstoneStore store(files, reports);
  store.setPath(std::string(kPath));
  store.record("{A}", {kNow, "X"}, kNow);
  EXPECT_TRUE(store.find("{A}", kNow + 60 * kDay).has_value());
  EXPECT_FALSE(store.find("{A}", kNow + 60 * kDay + 1).has_value());
  TombstoneStore later(files, reports);
  later.setPath(std::string(kPath));
  EXPECT_FALSE(later.find("{A}", kNow + 61 * kDay).has_value());
  EXPECT_EQ(later.size(), 0u);
  EXPECT_EQ(files.files[std::string(kPath)], "");
}

TEST(Tombstones, ADamagedFileIsReportedAndTakenAsEmpty) {
  for (const char* damaged : {"{A} 1796630399999-X\r\ngarbage\r\n", "{A}\r\n",
                              " 1796630399999-X\r\n", "{A} 17966-\r\n"}) {
    SCOPED_TRACE(damaged);
    MemoryFiles files;
    Reports reports;
    files.files[std::string(kPath)] = damaged;
    TombstoneStore store(files, reports);
    store.setPath(std::string(kPath));
    EXPECT_FALSE(store.find("{A}", kNow).has_value());
    EXPECT_EQ(reports.errors, std::vector<std::string>{std::string(tombstone::kDamaged)});
    store.record("{B}", {kNow, "Y"}, kNow);
    EXPECT_EQ(files.files[std::string(kPath)], "{B} 1796630400000-Y\r\n");
  }
}

}  // namespace
}  // namespace qx

// The records of removals: kept in the data directory for 60 days from when
// they were made, the newest per task of a share, read back line by line after
// a restart.
#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <memory>
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
  WinError replaceFile(std::string_view from, std::string_view to) override {
    if (refuseReplace) return win::kAccessDenied;
    auto node = files.extract(std::string(from));
    if (!node) return win::kFileNotFound;
    files[std::string(to)] = std::move(node.mapped());
    return win::kSuccess;
  }
  bool exists(std::string_view path) override { return files.contains(std::string(path)); }
  std::map<std::string, std::string> files;
  bool refuseReplace = false;
};

class Trace final : public Diagnostics {
 public:
  bool debugOn() const override { return true; }
  void logDebug(std::string_view text) override { entries.emplace_back(text); }
  void reportError(std::string_view text) override { errors.emplace_back(text); }
  void reportLibraryMissing() override {}
  std::vector<std::string> entries;
  std::vector<std::string> errors;
};

constexpr std::string_view kPath = "C:\\data\\removals.dat";
constexpr std::int64_t kDay = 24LL * 60 * 60 * 1000;
constexpr std::int64_t kNow = 1796630400000;
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

struct Opened {
  MemoryFiles files;
  Trace reports;
  std::unique_ptr<TombstoneStore> store;
  TombstoneStore& reopen() {
    store = std::make_unique<TombstoneStore>(files, reports);
    store->setPath(std::string(kPath));
    return *store;
  }
  std::string& file() { return files.files[std::string(kPath)]; }
};

TEST(Tombstones, TheNewestRemovalOfATaskInAShareIsReadBackAfterARestart) {
  Opened o;
  TombstoneStore& store = o.reopen();
  store.record("Team", "{A}", {kNow - 5, "E1"}, kNow);
  store.record("Team", "{A}", {kNow - 9, "E1"}, kNow);  // older: kept out
  store.record("Team", "{B}", {kNow - 3, "F1"}, kNow);
  store.record("Team", "{A}", {kNow - 1, "E1"}, kNow);
  store.record("Side", "{A}", {kNow - 7, "DD"}, kNow);
  // The same removal again is the same record: nothing more is written.
  const std::size_t written = o.file().size();
  store.record("Team", "{A}", {kNow - 1, "E1"}, kNow);
  EXPECT_EQ(o.file().size(), written);

  TombstoneStore& again = o.reopen();
  EXPECT_EQ(again.find("Team", "{A}", kNow), (ChangeVersion{kNow - 1, "E1"}));
  EXPECT_EQ(again.find("Team", "{B}", kNow), (ChangeVersion{kNow - 3, "F1"}));
  // Another share's task with the same id is another task.
  EXPECT_EQ(again.find("Side", "{A}", kNow), (ChangeVersion{kNow - 7, "DD"}));
  EXPECT_EQ(again.find("Side", "{B}", kNow), std::nullopt);
  EXPECT_EQ(again.find("Team", "{C}", kNow), std::nullopt);
  EXPECT_TRUE(o.reports.errors.empty());
  // Superseded records are dropped from the file when it is read, and the
  // file is replaced whole.
  EXPECT_EQ(o.file(),
            "{A} 1796630399993-DD 1796630400000 Side\r\n"
            "{A} 1796630399999-E1 1796630400000 Team\r\n"
            "{B} 1796630399997-F1 1796630400000 Team\r\n");
  EXPECT_FALSE(o.files.files.contains(std::string(kPath) + ".new"));
}

// From when the record was made here, whatever the removal's own stamp says,
// and without overflow at the largest stamps.
TEST(Tombstones, RecordsAreKeptSixtyDaysFromWhenTheyWereMade) {
  for (const ChangeVersion& version :
       {ChangeVersion{kNow, "E1"}, ChangeVersion{changeversion::kMaxStampMs, "E1"}, ChangeVersion{0, "E1"}}) {
    SCOPED_TRACE(version.utcMs);
    Opened o;
    o.reopen().record("Team", "{A}", version, kNow);
    EXPECT_TRUE(o.store->find("Team", "{A}", kNow + 60 * kDay).has_value());
    EXPECT_FALSE(o.store->find("Team", "{A}", kNow + 60 * kDay + 1).has_value());
    EXPECT_TRUE(o.reopen().find("Team", "{A}", kNow + 60 * kDay).has_value());
    EXPECT_FALSE(o.reopen().find("Team", "{A}", kMax).has_value());
    EXPECT_EQ(o.store->size(), 0u);
    EXPECT_EQ(o.file(), "");
  }
  // A record made at the largest time never reads as expired by overflow.
  Opened o;
  o.reopen().record("Team", "{A}", {changeversion::kMaxStampMs, "E1"}, kMax);
  EXPECT_TRUE(o.reopen().find("Team", "{A}", kMax).has_value());
}

// One line at a time: a line that does not read is reported and skipped, the
// others stay, and the file is written anew without it.
TEST(Tombstones, AnUnreadableLineIsSkippedAndTheOthersKept) {
  for (const char* damaged :
       {"garbage", "{A}", " 1796630399999-E1 1 Team", "{A} 17966- 1 Team", "{A} 1-E1 x Team",
        "{A} 1-E1 1", "{A} 1796630399999-E1 99999999999999999999 Team", "{A} 1796630399"}) {
    SCOPED_TRACE(damaged);
    Opened o;
    o.file() = std::string("{B} 1796630399999-E1 1796630400000 Team\r\n") + damaged +
               "\r\n{C} 5-F1 1796630400000 Team\r\n";
    TombstoneStore& store = o.reopen();
    EXPECT_EQ(store.find("Team", "{B}", kNow), (ChangeVersion{kNow - 1, "E1"}));
    EXPECT_EQ(store.find("Team", "{C}", kNow), (ChangeVersion{5, "F1"}));
    EXPECT_EQ(o.reports.errors, std::vector<std::string>{std::string(tombstone::kUnreadableLine)});
    EXPECT_EQ(o.file(),
              "{B} 1796630399999-E1 1796630400000 Team\r\n{C} 5-F1 1796630400000 Team\r\n");
  }
}

// A file written before share names were kept: its records stand for the id
// in every share, kept from the first start that reads them.
TEST(Tombstones, RecordsWithoutAShareNameHoldInEveryShare) {
  Opened o;
  o.file() = "{A} 1796630399999-E1\r\n";
  EXPECT_EQ(o.reopen().find("Team", "{A}", kNow), (ChangeVersion{kNow - 1, "E1"}));
  EXPECT_EQ(o.store->find("Side", "{A}", kNow + 60 * kDay), (ChangeVersion{kNow - 1, "E1"}));
  EXPECT_TRUE(o.reports.errors.empty());
  // Beside the share's own record of the task, whichever is newer counts.
  for (const bool olderFormatNewer : {false, true}) {
    SCOPED_TRACE(olderFormatNewer);
    Opened both;
    both.file() = std::string("{A} ") + (olderFormatNewer ? "1796630399999" : "1796630399990") +
                  "-E1\r\n{A} 1796630399995-F1 1796630400000 Team\r\n";
    const ChangeVersion newest =
        olderFormatNewer ? ChangeVersion{kNow - 1, "E1"} : ChangeVersion{kNow - 5, "F1"};
    EXPECT_EQ(both.reopen().find("Team", "{A}", kNow), newest);
  }
}

// A crash that cut the last line before its line end: the record after it
// starts a line of its own, and both are there at the next start.
TEST(Tombstones, ARecordAfterACutLastLineIsKept) {
  Opened o;
  o.file() = "{A} 1796630399999-E1 1796630400000 Team";
  o.reopen().record("Team", "{B}", {kNow - 3, "F1"}, kNow);
  EXPECT_EQ(o.reopen().find("Team", "{A}", kNow), (ChangeVersion{kNow - 1, "E1"}));
  EXPECT_EQ(o.store->find("Team", "{B}", kNow), (ChangeVersion{kNow - 3, "F1"}));
  EXPECT_TRUE(o.reports.errors.empty());
}

// An id or share name no line could hold is never stored: one with a blank
// or a line break would make the file unreadable at the next start.
TEST(Tombstones, IdsThatNoLineCouldHoldAreRefused) {
  Opened o;
  TombstoneStore& store = o.reopen();
  for (const std::string& id : {std::string(""), std::string("{A B}"), std::string("{A}\r\n{B}"),
                               std::string("{A\t}"), std::string(39, 'A'),
                               std::string("{\xFC}")}) {
    SCOPED_TRACE(id);
    store.record("Team", id, {kNow, "E1"}, kNow);
    EXPECT_FALSE(store.find("Team", id, kNow).has_value());
  }
  store.record("Te\nam", "{A}", {kNow, "E1"}, kNow);
  EXPECT_EQ(store.size(), 0u);
  EXPECT_FALSE(o.files.files.contains(std::string(kPath)));
  EXPECT_EQ(o.reports.entries.size(), 7u);
  EXPECT_EQ(o.reports.entries.front(), tombstone::kRefused);
  store.record("My team", std::string(38, 'A'), {kNow, "E1"}, kNow);
  EXPECT_TRUE(o.reopen().find("My team", std::string(38, 'A'), kNow).has_value());
}

// The file is replaced in one step: when the new one cannot be written, the
// old one stays as it was.
TEST(Tombstones, AFileThatCannotBeReplacedStaysAsItWas) {
  Opened o;
  const std::string old = "{A} 1-E1 1796630400000 Team\r\ngarbage\r\n";
  o.file() = old;
  o.files.refuseReplace = true;
  EXPECT_TRUE(o.reopen().find("Team", "{A}", kNow).has_value());
  EXPECT_EQ(o.file(), old);
  EXPECT_EQ(o.reports.errors.back(), tombstone::kNotWritten);
  EXPECT_FALSE(o.files.files.contains(std::string(kPath) + ".new"));
}

}  // namespace
}  // namespace qx

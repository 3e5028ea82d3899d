// The engine's file operations over fakes of the file system and the log:
// the exact log texts, the results, and what is left on disk.
#include "protocol/codec/codec_files.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "protocol/codec/huffman_compress.h"
#include "protocol/codec/huffman_stream.h"

namespace qx {
namespace {

using Bytes = std::vector<std::uint8_t>;

class FakeFiles : public Files {
 public:
  std::map<std::string, Bytes, std::less<>> disk;
  std::map<std::string, WinError, std::less<>> failWrite;
  std::map<std::string, WinError, std::less<>> failDelete;
  // What a failed write leaves behind, as a torn write would.
  bool tornWrites = false;

  Result<Bytes> readFile(std::string_view path) override {
    const auto it = disk.find(path);
    if (it == disk.end()) return failure(win::kFileNotFound);
    return it->second;
  }
  WinError writeFile(std::string_view path, std::span<const std::uint8_t> bytes) override {
    if (const auto it = failWrite.find(path); it != failWrite.end()) {
      if (tornWrites)
        disk[std::string(path)] = Bytes(bytes.begin(), bytes.begin() + bytes.size() / 2);
      return it->second;
    }
    disk[std::string(path)] = Bytes(bytes.begin(), bytes.end());
    return win::kSuccess;
  }
  WinError appendFile(std::string_view, std::span<const std::uint8_t>) override {
    return win::kAccessDenied;
  }
  WinError deleteFile(std::string_view path) override {
    if (const auto it = failDelete.find(path); it != failDelete.end()) return it->second;
    return disk.erase(std::string(path)) == 1 ? win::kSuccess : win::kFileNotFound;
  }
  bool exists(std::string_view path) override { return disk.contains(path); }
};

class FakeDiagnostics : public Diagnostics {
 public:
  std::vector<std::string> errors;
  bool debugOn() const override { return false; }
  void logDebug(std::string_view) override {}
  void reportError(std::string_view text) override { errors.emplace_back(text); }
  void reportLibraryMissing() override {}
};

constexpr std::string_view kShare = "C:\\Data\\share.syn";
constexpr std::string_view kHuf = "C:\\Data\\sync.huf";
constexpr std::string_view kMsg = "C:\\Data\\sync.msg";

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

class CodecFilesTest : public ::testing::Test {
 protected:
  FakeFiles files;
  FakeDiagnostics log;
};

TEST_F(CodecFilesTest, RoundTripThroughTheWorkingFiles) {
  files.disk[std::string(kShare)] = bytesOf("a task saved as a message file");
  files.disk[std::string(kMsg)] = bytesOf("the previous message");
  EXPECT_TRUE(compressFile(files, log, kShare, kHuf));
  EXPECT_EQ(files.disk[std::string(kHuf)], *huffmanCompress(files.disk[std::string(kShare)]));
  EXPECT_TRUE(decompressFile(files, log, kHuf, kMsg));
  EXPECT_EQ(files.disk[std::string(kMsg)], files.disk[std::string(kShare)]);
  EXPECT_TRUE(log.errors.empty());
}

TEST_F(CodecFilesTest, EmptyShareFileMakesTheFiveByteStream) {
  files.disk[std::string(kShare)] = {};
  EXPECT_TRUE(compressFile(files, log, kShare, kHuf));
  EXPECT_EQ(files.disk[std::string(kHuf)], (Bytes{0, 0, 0, 0, 0xFF}));
  EXPECT_TRUE(decompressFile(files, log, kHuf, kMsg));
  EXPECT_TRUE(files.disk.at(std::string(kMsg)).empty());
}

TEST_F(CodecFilesTest, CompressFailures) {
  struct Case {
    const char* name;
    bool shareExists;
    Bytes share;
    bool failWrite;
    std::string expectedError;
  };
  const Bytes longRun(static_cast<std::size_t>(kMaxSingleValueLength) + 1, 'x');
  const std::vector<Case> cases = {
      {"missing share", false, {}, false, std::string(kShare) + " coul'd not be opened"},
      {"uncompressible", true, longRun, false, std::string(kShare) + " wurde nicht komprimiert"},
      {"cannot create", true, bytesOf("task"), true, std::string(kHuf) + " coul'd not be create"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeFiles fs;
    FakeDiagnostics diag;
    fs.tornWrites = true;
    if (c.shareExists) fs.disk[std::string(kShare)] = c.share;
    if (c.failWrite) fs.failWrite[std::string(kHuf)] = win::kAccessDenied;
    EXPECT_FALSE(compressFile(fs, diag, kShare, kHuf));
    EXPECT_EQ(diag.errors, std::vector<std::string>{c.expectedError});
    // No compressed file, and in particular no half-written one.
    EXPECT_FALSE(fs.exists(kHuf));
  }
}

TEST_F(CodecFilesTest, DecompressFailuresNeverLeaveAnEarlierMessage) {
  struct Case {
    const char* name;
    std::optional<Bytes> huf;
    bool failTargetWrite;
    bool failTargetDelete;
    bool expectedResult;
    std::string expectedError;
  };
  const std::string malformed =
      std::string(kHuf) + ">-<coul'd not be decompressed\nGetLastError returned: 0\n";
  const std::vector<Case> cases = {
      {"missing stream", std::nullopt, false, false, false,
       std::string(kHuf) + " coul'd not be opened"},
      {"short header", Bytes{1, 0, 0}, false, false, true, malformed},
      {"truncated table", Bytes{3, 0, 0, 0, 1, 2, 0, 0, 0, 'a'}, false, false, true, malformed},
      {"undeletable target", Bytes{3, 0, 0, 0, 1}, false, true, true, malformed},
      {"cannot create target", *huffmanCompress(bytesOf("new task")), true, false, true,
       std::string(kMsg) + " coul'd not be decompressed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeFiles fs;
    FakeDiagnostics diag;
    fs.tornWrites = true;
    fs.disk[std::string(kMsg)] = bytesOf("an earlier message");
    if (c.huf) fs.disk[std::string(kHuf)] = *c.huf;
    if (c.failTargetWrite) fs.failWrite[std::string(kMsg)] = win::kAccessDenied;
    if (c.failTargetDelete) fs.failDelete[std::string(kMsg)] = win::kSharingViolation;
    EXPECT_EQ(decompressFile(fs, diag, kHuf, kMsg), c.expectedResult);
    EXPECT_EQ(diag.errors, std::vector<std::string>{c.expectedError});
    if (fs.exists(kMsg)) {
      EXPECT_TRUE(fs.disk.at(std::string(kMsg)).empty())
          << "target still holds " << fs.disk.at(std::string(kMsg)).size() << " bytes";
    }
  }
}

}  // namespace
}  // namespace qx

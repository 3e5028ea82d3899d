// The engine's file operations on the stand-in's disk, with a recorded log:
// the exact log texts, the results, and what is left on disk.
#include "protocol/codec/codec_files.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "protocol/codec/huffman_compress.h"
#include "protocol/codec/huffman_stream.h"
#include "support/recording_diagnostics.h"
#include "support/sim_disk.h"

namespace qx {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::string_view kShare = "C:\\Data\\share.syn";
constexpr std::string_view kHuf = "C:\\Data\\sync.huf";
constexpr std::string_view kMsg = "C:\\Data\\sync.msg";

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

class CodecFilesTest : public ::testing::Test {
 protected:
  testsupport::SimDisk disk;
  testsupport::RecordingDiagnostics log;
};

TEST_F(CodecFilesTest, RoundTripThroughTheWorkingFiles) {
  const Bytes task = bytesOf("a task saved as a message file");
  disk.put(kShare, task);
  disk.put(kMsg, "the previous message");
  EXPECT_TRUE(compressFile(disk.files, log, kShare, kHuf));
  EXPECT_EQ(disk.bytes(kHuf), *huffmanCompress(task));
  EXPECT_TRUE(decompressFile(disk.files, log, kHuf, kMsg));
  EXPECT_EQ(disk.bytes(kMsg), task);
  EXPECT_TRUE(log.errors.empty());
}

TEST_F(CodecFilesTest, EmptyShareFileMakesTheFiveByteStream) {
  disk.put(kShare, "");
  EXPECT_TRUE(compressFile(disk.files, log, kShare, kHuf));
  EXPECT_EQ(disk.bytes(kHuf), (Bytes{0, 0, 0, 0, 0xFF}));
  EXPECT_TRUE(decompressFile(disk.files, log, kHuf, kMsg));
  EXPECT_EQ(disk.bytes(kMsg), Bytes{});
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
    testsupport::SimDisk fs;
    testsupport::RecordingDiagnostics diag;
    if (c.shareExists) fs.put(kShare, c.share);
    if (c.failWrite) {
      // A stream of an earlier send that the failed write did not replace.
      fs.put(kHuf, "an earlier stream");
      fs.faults.fail("files.writeFile", win::kAccessDenied);
    }
    EXPECT_FALSE(compressFile(fs.files, diag, kShare, kHuf));
    EXPECT_EQ(diag.errors, std::vector<std::string>{c.expectedError});
    // No compressed file, and in particular no stale one.
    EXPECT_FALSE(fs.disk.isFile(kHuf));
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
      {"short header", Bytes{1, 0, 0}, false, false, false, malformed},
      {"truncated table", Bytes{3, 0, 0, 0, 1, 2, 0, 0, 0, 'a'}, false, false, false, malformed},
      {"undeletable target", Bytes{3, 0, 0, 0, 1}, false, true, false, malformed},
      // Ten bytes that declare 17 MiB of one value: nothing is written.
      {"declared beyond any message file", Bytes{0x01, 0x00, 0x10, 0x01, 0x00, 1, 0, 0, 0, 'a'},
       false, false, false, malformed},
      {"cannot create target", *huffmanCompress(bytesOf("new task")), true, false, false,
       std::string(kMsg) + " coul'd not be decompressed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::SimDisk fs;
    testsupport::RecordingDiagnostics diag;
    fs.put(kMsg, "an earlier message");
    if (c.huf) fs.put(kHuf, *c.huf);
    if (c.failTargetWrite) fs.faults.fail("files.writeFile", win::kAccessDenied);
    if (c.failTargetDelete) fs.faults.fail("files.deleteFile", win::kSharingViolation);
    EXPECT_EQ(decompressFile(fs.files, diag, kHuf, kMsg), c.expectedResult);
    EXPECT_EQ(diag.errors, std::vector<std::string>{c.expectedError});
    if (const auto left = fs.bytes(kMsg)) {
      EXPECT_TRUE(left->empty()) << "target still holds " << left->size() << " bytes";
    }
  }
}

}  // namespace
}  // namespace qx

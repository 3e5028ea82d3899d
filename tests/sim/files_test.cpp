#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/files_sim.h"
#include "sim/temp_folder.h"

namespace qx::sim {
namespace {

std::vector<std::uint8_t> bytesOf(std::string_view text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

class FilesSimTest : public ::testing::Test {
 protected:
  testing::TempFolder temp;
  HostFileSystem disk{temp.path(), "C:\\Users\\alice\\Documents"};
  Faults faults;
  FilesSim files{disk, faults};
};

TEST_F(FilesSimTest, HostPathsResolveAsWindowsResolvesThem) {
  struct Case {
    const char* path;
    std::string expected;
  };
  const Case cases[] = {
      {"c:/Users//alice\\.\\x\\..\\AppData\\", "C:\\Users\\alice\\AppData"},
      {"debug.log", "C:\\Users\\alice\\Documents\\debug.log"},
      {"..\\share.syn", "C:\\Users\\alice\\share.syn"},
      {"\\Temp\\a", "C:\\Temp\\a"},
      {"C:..\\x", "C:\\Users\\alice\\x"},
      {"d:x", "D:\\x"},
      {"C:\\..\\..\\x", "C:\\x"},
      {"C:\\name. .\\file.txt  ", "C:\\name\\file.txt"},
      {"C:\\", "C:\\"},
  };
  for (const Case& c : cases) {
    auto full = disk.fullPath(c.path);
    ASSERT_TRUE(full.has_value()) << c.path;
    EXPECT_EQ(*full, c.expected) << c.path;
  }
}

TEST_F(FilesSimTest, PathsWindowsRejectsAreRejected) {
  struct Case {
    std::string path;
    WinError expected;
  };
  const Case cases[] = {
      {"C:\\a?b", kInvalidName},    {"C:\\a*", kInvalidName},
      {"C:\\x\\a|b", kInvalidName}, {std::string("C:\\a\x01", 5), kInvalidName},
      {"C:\\x:y", kInvalidName},    {"\\\\server\\share\\f", win::kPathNotFound},
      {"", win::kPathNotFound},     {"C:\\" + std::string(257, 'a'), win::kPathNotFound},
  };
  for (const Case& c : cases) {
    auto full = disk.fullPath(c.path);
    ASSERT_FALSE(full.has_value()) << c.path;
    EXPECT_EQ(full.error(), c.expected) << c.path;
    auto read = files.readFile(c.path);
    ASSERT_FALSE(read.has_value()) << c.path;
    EXPECT_EQ(read.error(), c.expected) << c.path;
  }
  // 259 characters is the longest path the host accepts.
  EXPECT_TRUE(disk.fullPath("C:\\" + std::string(256, 'a')).has_value());
}

TEST_F(FilesSimTest, NoPathLeavesTheUsersRoot) {
  auto disk_path = disk.diskPath("C:\\..\\..\\..\\..\\etc\\passwd");
  ASSERT_TRUE(disk_path.has_value());
  EXPECT_EQ(*disk_path, temp.path() / "C" / "etc" / "passwd");
  EXPECT_EQ(files.readFile("..\\..\\..\\..\\..\\etc\\passwd").error(), win::kPathNotFound);
}

TEST_F(FilesSimTest, NamesCompareWithoutRegardToCaseAndKeepTheirCase) {
  ASSERT_TRUE(disk.makeFolders("C:\\Program Files\\Quendrilax"));
  ASSERT_EQ(files.writeFile("C:\\Program Files\\Quendrilax\\Debug.log", bytesOf("one")),
            win::kSuccess);
  EXPECT_EQ(files.readFile("c:\\PROGRAM FILES\\quendrilax\\DEBUG.LOG"), bytesOf("one"));
  ASSERT_EQ(files.appendFile("C:\\program files\\QUENDRILAX\\debug.LOG", bytesOf("+two")),
            win::kSuccess);
  EXPECT_EQ(disk.list("C:\\Program Files\\Quendrilax"), std::vector<std::string>{"Debug.log"});
  EXPECT_EQ(disk.readText("C:\\Program Files\\Quendrilax\\Debug.log"), "one+two");

  // Windows-1252 letters fold too: "Ärger" and "ärger" are one file.
  ASSERT_EQ(files.writeFile("C:\\\xC4rger.txt", bytesOf("x")), win::kSuccess);
  EXPECT_TRUE(files.exists("c:\\\xE4RGER.TXT"));
  EXPECT_FALSE(files.exists("c:\\ARGER.TXT"));
}

TEST_F(FilesSimTest, ListingSortsWithoutRegardToCase) {
  disk.writeText("C:\\q\\b.ids", "");
  disk.writeText("C:\\q\\A.ids", "");
  disk.writeText("C:\\q\\c.ids", "");
  EXPECT_EQ(disk.list("c:\\Q"), (std::vector<std::string>{"A.ids", "b.ids", "c.ids"}));
  EXPECT_TRUE(disk.list("C:\\missing").empty());
}

TEST_F(FilesSimTest, MissingFilesFoldersAndFoldersAsFilesGiveTheHostsErrors) {
  ASSERT_TRUE(disk.makeFolders("C:\\data"));
  EXPECT_EQ(files.readFile("C:\\data\\none").error(), win::kFileNotFound);
  EXPECT_EQ(files.readFile("C:\\nowhere\\none").error(), win::kPathNotFound);
  EXPECT_EQ(files.readFile("C:\\data").error(), win::kAccessDenied);
  EXPECT_EQ(files.writeFile("C:\\nowhere\\f", bytesOf("x")), win::kPathNotFound);
  EXPECT_EQ(files.appendFile("C:\\nowhere\\f", bytesOf("x")), win::kPathNotFound);
  EXPECT_EQ(files.writeFile("C:\\data", bytesOf("x")), win::kAccessDenied);
  EXPECT_EQ(files.deleteFile("C:\\data\\none"), win::kFileNotFound);
  EXPECT_EQ(files.deleteFile("C:\\nowhere\\none"), win::kPathNotFound);
  EXPECT_EQ(files.deleteFile("C:\\data"), win::kAccessDenied);
  EXPECT_TRUE(disk.isFolder("C:\\data"));
  EXPECT_TRUE(files.exists("C:\\data"));
  EXPECT_FALSE(files.exists("C:\\data\\none"));
}

TEST_F(FilesSimTest, WritingReplacesAppendingCreatesAndDeletingRemoves) {
  ASSERT_EQ(files.appendFile("C:\\log.txt", bytesOf("a\n")), win::kSuccess);
  ASSERT_EQ(files.appendFile("C:\\log.txt", bytesOf("b\n")), win::kSuccess);
  EXPECT_EQ(disk.readText("C:\\log.txt"), "a\nb\n");
  ASSERT_EQ(files.writeFile("C:\\log.txt", bytesOf("c")), win::kSuccess);
  EXPECT_EQ(disk.readText("C:\\log.txt"), "c");
  // Binary content survives byte for byte.
  const std::vector<std::uint8_t> binary{0x00, 0xFF, 0x0D, 0x0A, 0x1A, 0x80};
  ASSERT_EQ(files.writeFile("C:\\bin", binary), win::kSuccess);
  EXPECT_EQ(files.readFile("C:\\bin"), binary);
  ASSERT_EQ(files.writeFile("C:\\empty", {}), win::kSuccess);
  EXPECT_EQ(files.readFile("C:\\empty"), std::vector<std::uint8_t>{});
  EXPECT_EQ(files.deleteFile("c:\\LOG.TXT"), win::kSuccess);
  EXPECT_FALSE(disk.isFile("C:\\log.txt"));
}

TEST_F(FilesSimTest, RelativePathsFollowTheCurrentDirectory) {
  ASSERT_TRUE(disk.makeFolders("C:\\Users\\alice\\AppData\\Roaming\\Vantrosse"));
  ASSERT_EQ(disk.setCurrentDirectory("c:\\users\\alice\\appdata\\roaming\\vantrosse\\"),
            win::kSuccess);
  EXPECT_EQ(disk.currentDirectory(), "C:\\users\\alice\\appdata\\roaming\\vantrosse");
  ASSERT_EQ(files.writeFile("share.syn", bytesOf("s")), win::kSuccess);
  EXPECT_TRUE(disk.isFile("C:\\Users\\alice\\AppData\\Roaming\\Vantrosse\\share.syn"));

  EXPECT_EQ(disk.setCurrentDirectory("C:\\Users\\alice\\missing"), win::kFileNotFound);
  EXPECT_EQ(disk.setCurrentDirectory("C:\\nowhere\\missing"), win::kPathNotFound);
  EXPECT_EQ(disk.setCurrentDirectory("share.syn"), win::kFileNotFound);
  EXPECT_EQ(disk.currentDirectory(), "C:\\users\\alice\\appdata\\roaming\\vantrosse");
}

TEST_F(FilesSimTest, AFolderThatRefusesWritesIsReadOnlyToTheUserBelowIt) {
  const std::string folder = "C:\\Program Files\\Vantrosse\\Quendrilax";
  ASSERT_TRUE(disk.writeText(folder + "\\debug.log", "old"));
  ASSERT_TRUE(disk.makeFolders(folder + "\\sub"));
  disk.refuseWrites("c:/program files/vantrosse/quendrilax/");
  for (const std::string& path :
       {folder + "\\debug.log", folder + "\\error.log",
        std::string("C:\\PROGRAM FILES\\Vantrosse\\Quendrilax\\sub\\x")}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(files.writeFile(path, bytesOf("x")), win::kAccessDenied);
    EXPECT_EQ(files.appendFile(path, bytesOf("x")), win::kAccessDenied);
  }
  EXPECT_EQ(files.deleteFile(folder + "\\debug.log"), win::kAccessDenied);
  EXPECT_EQ(files.readFile(folder + "\\debug.log"), bytesOf("old"));
  EXPECT_FALSE(disk.isFile(folder + "\\error.log"));
  // Neither the folder beside it nor the one above refuses.
  EXPECT_EQ(files.appendFile("C:\\Program Files\\Vantrosse\\Quendrilax2\\x", bytesOf("x")),
            win::kPathNotFound);
  EXPECT_EQ(files.writeFile("C:\\Program Files\\Vantrosse\\x", bytesOf("x")), win::kSuccess);
}

TEST_F(FilesSimTest, FaultsFailTheScheduledCallWithoutTouchingTheDisk) {
  ASSERT_EQ(files.writeFile("C:\\f", bytesOf("old")), win::kSuccess);
  faults.fail("files.readFile", win::kSharingViolation);
  faults.fail("files.writeFile", win::kWriteFault);
  faults.fail("files.appendFile", win::kAccessDenied);
  faults.fail("files.deleteFile", win::kSharingViolation);
  faults.fail("files.exists", win::kAccessDenied);
  EXPECT_EQ(files.readFile("C:\\f").error(), win::kSharingViolation);
  EXPECT_EQ(files.writeFile("C:\\f", bytesOf("new")), win::kWriteFault);
  EXPECT_EQ(files.appendFile("C:\\f", bytesOf("new")), win::kAccessDenied);
  EXPECT_EQ(files.deleteFile("C:\\f"), win::kSharingViolation);
  EXPECT_FALSE(files.exists("C:\\f"));
  EXPECT_EQ(disk.readText("C:\\f"), "old");
  // Each rule fails one call only.
  EXPECT_EQ(files.readFile("C:\\f"), bytesOf("old"));
  EXPECT_TRUE(files.exists("C:\\f"));
}

TEST_F(FilesSimTest, AWriteFailedForAFullDiskLeavesTheFileEmpty) {
  ASSERT_EQ(files.writeFile("C:\\f", bytesOf("old")), win::kSuccess);
  faults.fail("files.writeFile", win::kDiskFull, 0);
  EXPECT_EQ(files.writeFile("C:\\f", bytesOf("new")), win::kDiskFull);
  EXPECT_EQ(disk.readText("C:\\f"), "");
  EXPECT_EQ(files.writeFile("C:\\g", bytesOf("new")), win::kDiskFull);
  EXPECT_EQ(disk.readText("C:\\g"), "");
}

}  // namespace
}  // namespace qx::sim

#include <gtest/gtest.h>

#include "sim/shell_sim.h"
#include "sim/temp_folder.h"

namespace qx::sim {
namespace {

class ShellSimTest : public ::testing::Test {
 protected:
  testing::TempFolder temp;
  HostFileSystem disk{temp.path()};
  Faults faults;
  ShellSim shell{disk, faults, "alice"};
};

TEST_F(ShellSimTest, TheUsersFoldersAndModuleFileExist) {
  std::string path = "stale";
  EXPECT_EQ(shell.folderPath(shell::kCsidlAppData, path), hr::kOk);
  EXPECT_EQ(path, "C:\\Users\\alice\\AppData\\Roaming");
  EXPECT_TRUE(disk.isFolder(path));
  auto module = shell.moduleFileName();
  ASSERT_TRUE(module.has_value());
  EXPECT_EQ(*module, "C:\\Program Files\\Vantrosse\\Quendrilax\\Quendrilax.dll");
  EXPECT_TRUE(disk.isFile(*module));

  shell.setModuleFileName("D:\\Tools\\Other.dll");
  EXPECT_EQ(shell.moduleFileName(), "D:\\Tools\\Other.dll");
  EXPECT_TRUE(disk.isFile("d:\\tools\\other.dll"));

  path = "stale";
  EXPECT_EQ(shell.folderPath(0x05, path), hr::kInvalidArg);  // My Documents: not offered
}

TEST_F(ShellSimTest, AnUnavailableOrMissingAppDataFolderFails) {
  std::string path = "stale";
  shell.setAppDataAvailable(false);
  EXPECT_EQ(shell.folderPath(shell::kCsidlAppData, path), hr::kFail);
  EXPECT_EQ(path, "");
  shell.setAppDataAvailable(true);
  EXPECT_EQ(shell.folderPath(shell::kCsidlAppData, path), hr::kOk);
  ASSERT_TRUE(disk.remove("C:\\Users\\alice\\AppData\\Roaming"));
  EXPECT_EQ(shell.folderPath(shell::kCsidlAppData, path), hr::kFail);
}

TEST_F(ShellSimTest, DataDirectoryIsCreatedWhenItCannotBeEntered) {
  const std::string data = "C:\\Users\\alice\\AppData\\Roaming\\Vantrosse\\";
  EXPECT_FALSE(shell.setCurrentDirectory(data));
  EXPECT_EQ(shell.currentDirectory(), "C:\\");
  EXPECT_TRUE(shell.createDirectory(data));
  EXPECT_FALSE(shell.createDirectory(data));  // exists
  EXPECT_FALSE(shell.createDirectory("C:\\Users\\alice\\AppData\\Roaming\\VANTROSSE"));
  EXPECT_TRUE(shell.setCurrentDirectory(data));
  EXPECT_EQ(shell.currentDirectory(), "C:\\Users\\alice\\AppData\\Roaming\\Vantrosse");

  EXPECT_FALSE(shell.createDirectory("C:\\no\\such\\parent"));
  EXPECT_FALSE(shell.createDirectory("C:\\bad?name"));
  EXPECT_TRUE(shell.createDirectory("relative"));
  EXPECT_TRUE(disk.isFolder("C:\\Users\\alice\\AppData\\Roaming\\Vantrosse\\relative"));
}

TEST_F(ShellSimTest, ExecuteOpensExistingFilesAndRecordsEveryCall) {
  const std::string help = "C:\\Program Files\\Vantrosse\\Quendrilax\\help.chm";
  disk.writeText(help, "help");
  struct Case {
    std::string verb;
    std::string file;
    std::intptr_t expected;
  };
  const Case cases[] = {
      {"open", help, kExecuteSucceeded},
      {"OPEN", "c:\\program files\\vantrosse\\quendrilax\\HELP.CHM", kExecuteSucceeded},
      {"", help, kExecuteSucceeded},
      {"open", "C:\\Program Files\\Vantrosse\\Quendrilax\\hilfe.chm", kSeErrFileNotFound},
      {"open", "C:\\Nowhere\\help.chm", kSeErrPathNotFound},
      {"print", help, kSeErrNoAssociation},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(shell.execute(c.verb, c.file, "", "C:\\Program Files\\Vantrosse\\Quendrilax\\", 5),
              c.expected)
        << c.verb << " " << c.file;
  }
  ASSERT_EQ(shell.executions().size(), std::size(cases));
  const ShellExecution& first = shell.executions().front();
  EXPECT_EQ(first.verb, "open");
  EXPECT_EQ(first.file, help);
  EXPECT_EQ(first.parameters, "");
  EXPECT_EQ(first.directory, "C:\\Program Files\\Vantrosse\\Quendrilax\\");
  EXPECT_EQ(first.show, 5);
  EXPECT_EQ(shell.executions().back().result, kSeErrNoAssociation);
}

TEST_F(ShellSimTest, FaultsFailEachCall) {
  std::string path = "stale";
  faults.fail("shell.folderPath", hr::kUnexpected);
  faults.fail("shell.moduleFileName", hr::kOutOfMemory);
  faults.fail("shell.setCurrentDirectory", win::kAccessDenied);
  faults.fail("shell.currentDirectory", win::kAccessDenied);
  faults.fail("shell.createDirectory", win::kAccessDenied);
  faults.fail("shell.execute", kSeErrFileNotFound);
  EXPECT_EQ(shell.folderPath(shell::kCsidlAppData, path), hr::kUnexpected);
  EXPECT_EQ(shell.moduleFileName().error(), hr::kOutOfMemory);
  EXPECT_FALSE(shell.setCurrentDirectory("C:\\Users"));
  EXPECT_EQ(shell.currentDirectory(), "");
  EXPECT_FALSE(shell.createDirectory("C:\\new"));
  EXPECT_FALSE(disk.isFolder("C:\\new"));
  EXPECT_EQ(
      shell.execute("open", "C:\\Program Files\\Vantrosse\\Quendrilax\\Quendrilax.dll", "", "", 5),
      kSeErrFileNotFound);
  EXPECT_EQ(shell.executions().back().result, kSeErrFileNotFound);
  // The next calls succeed again.
  EXPECT_TRUE(shell.setCurrentDirectory("C:\\Users"));
  EXPECT_EQ(shell.currentDirectory(), "C:\\Users");
  EXPECT_TRUE(shell.createDirectory("C:\\new"));
}

}  // namespace
}  // namespace qx::sim

#pragma once
// The files port's contract: whole-file reads and writes by host path, with
// the Win32 error codes the add-in's reports print.
#include <gtest/gtest.h>

#include <string>

#include "contract/contract_support.h"
#include "platform/files.h"

namespace qx::contract {

template <class Env>
class FilesContract : public ::testing::Test {
 protected:
  Files& files() { return env.files(); }
  Env env;
};

TYPED_TEST_SUITE_P(FilesContract);

TYPED_TEST_P(FilesContract, WritesReplaceAndAppendsExtend) {
  Files& files = this->files();
  const std::string path = this->env.folder() + "sync.huf";
  EXPECT_FALSE(files.exists(path));
  ASSERT_EQ(files.writeFile(path, bytesOf(std::string_view("first\0\xFF", 7))), win::kSuccess);
  EXPECT_TRUE(files.exists(path));
  EXPECT_EQ(files.readFile(path), vectorOf(std::string_view("first\0\xFF", 7)));
  ASSERT_EQ(files.writeFile(path, bytesOf("2nd")), win::kSuccess);
  EXPECT_EQ(files.readFile(path), vectorOf("2nd"));
  ASSERT_EQ(files.appendFile(path, bytesOf("+more")), win::kSuccess);
  EXPECT_EQ(files.readFile(path), vectorOf("2nd+more"));
  ASSERT_EQ(files.writeFile(path, {}), win::kSuccess);
  EXPECT_EQ(files.readFile(path), std::vector<std::uint8_t>{});
}

TYPED_TEST_P(FilesContract, AppendingCreatesAMissingFile) {
  Files& files = this->files();
  const std::string path = this->env.folder() + "debug.log";
  ASSERT_EQ(files.appendFile(path, bytesOf("a\r\n")), win::kSuccess);
  ASSERT_EQ(files.appendFile(path, bytesOf("b\r\n")), win::kSuccess);
  EXPECT_EQ(files.readFile(path), vectorOf("a\r\nb\r\n"));
}

TYPED_TEST_P(FilesContract, MissingFilesAndFoldersGiveTheirErrorCodes) {
  Files& files = this->files();
  const std::string folder = this->env.folder();
  EXPECT_EQ(files.readFile(folder + "none.msg").error(), win::kFileNotFound);
  EXPECT_EQ(files.readFile(folder + "no\\none.msg").error(), win::kPathNotFound);
  EXPECT_EQ(files.writeFile(folder + "no\\x.syn", bytesOf("x")), win::kPathNotFound);
  EXPECT_EQ(files.appendFile(folder + "no\\x.log", bytesOf("x")), win::kPathNotFound);
  EXPECT_EQ(files.deleteFile(folder + "none.msg"), win::kFileNotFound);
  EXPECT_FALSE(files.exists(folder + "none.msg"));
  // A folder is no file to read or write.
  std::string withoutSlash = folder.substr(0, folder.size() - 1);
  EXPECT_EQ(files.readFile(withoutSlash).error(), win::kAccessDenied);
  EXPECT_EQ(files.writeFile(withoutSlash, bytesOf("x")), win::kAccessDenied);
}

TYPED_TEST_P(FilesContract, DeletedFilesAreGone) {
  Files& files = this->files();
  const std::string path = this->env.folder() + "share.syn";
  ASSERT_EQ(files.writeFile(path, bytesOf("x")), win::kSuccess);
  EXPECT_EQ(files.deleteFile(path), win::kSuccess);
  EXPECT_FALSE(files.exists(path));
  EXPECT_EQ(files.deleteFile(path), win::kFileNotFound);
}

// A file written aside and moved over the old one: the old one is replaced,
// the written one is gone from where it was.
TYPED_TEST_P(FilesContract, AReplacedFileTakesTheOthersPlace) {
  Files& files = this->files();
  const std::string folder = this->env.folder();
  ASSERT_EQ(files.writeFile(folder + "removals.dat", bytesOf("old")), win::kSuccess);
  ASSERT_EQ(files.writeFile(folder + "removals.tmp", bytesOf("new")), win::kSuccess);
  ASSERT_EQ(files.replaceFile(folder + "removals.tmp", folder + "removals.dat"), win::kSuccess);
  EXPECT_EQ(files.readFile(folder + "removals.dat"), vectorOf("new"));
  EXPECT_FALSE(files.exists(folder + "removals.tmp"));
  ASSERT_EQ(files.writeFile(folder + "first.tmp", bytesOf("1")), win::kSuccess);
  ASSERT_EQ(files.replaceFile(folder + "first.tmp", folder + "first.dat"), win::kSuccess);
  EXPECT_EQ(files.readFile(folder + "first.dat"), vectorOf("1"));
  EXPECT_EQ(files.replaceFile(folder + "none.tmp", folder + "first.dat"), win::kFileNotFound);
  EXPECT_EQ(files.readFile(folder + "first.dat"), vectorOf("1"));
}

REGISTER_TYPED_TEST_SUITE_P(FilesContract, WritesReplaceAndAppendsExtend,
                            AppendingCreatesAMissingFile, MissingFilesAndFoldersGiveTheirErrorCodes,
                            DeletedFilesAreGone, AReplacedFileTakesTheOthersPlace);

}  // namespace qx::contract

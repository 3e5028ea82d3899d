#pragma once
// The shell port's contract: the application-data folder, the current
// directory, making folders and opening documents with a verb.
#include <gtest/gtest.h>

#include <string>

#include "platform/shell.h"

namespace qx::contract {

template <class Env>
class ShellContract : public ::testing::Test {
 protected:
  ShellContract() : before_(env.shell().currentDirectory()) {}
  ~ShellContract() override { env.shell().setCurrentDirectory(before_); }
  Shell& shell() { return env.shell(); }
  Env env;

 private:
  std::string before_;
};

TYPED_TEST_SUITE_P(ShellContract);

TYPED_TEST_P(ShellContract, TheApplicationDataFolderIsAnAbsoluteHostPath) {
  std::string path;
  ASSERT_EQ(this->shell().folderPath(shell::kCsidlAppData, path), hr::kOk);
  ASSERT_GE(path.size(), 3u);
  EXPECT_EQ(path.substr(1, 2), ":\\") << path;
  EXPECT_NE(path.back(), '\\') << path;
}

TYPED_TEST_P(ShellContract, DirectoriesAreMadeOnceAndEntered) {
  Shell& shell = this->shell();
  const std::string folder = this->env.folder() + "Vantrosse\\";
  EXPECT_FALSE(shell.setCurrentDirectory(folder));
  EXPECT_TRUE(shell.createDirectory(folder));
  EXPECT_FALSE(shell.createDirectory(folder));
  EXPECT_FALSE(shell.createDirectory(this->env.folder() + "a\\b"));
  ASSERT_TRUE(shell.setCurrentDirectory(folder));
  // The current directory is reported without its trailing backslash.
  EXPECT_EQ(shell.currentDirectory() + "\\", folder);
}

TYPED_TEST_P(ShellContract, OpeningAMissingDocumentFails) {
  std::intptr_t result =
      this->shell().execute("open", this->env.folder() + "hilfe.chm", "", this->env.folder(), 5);
  EXPECT_EQ(result, 2);  // SE_ERR_FNF
}

TYPED_TEST_P(ShellContract, TheModuleFileIsAnAbsolutePath) {
  auto path = this->shell().moduleFileName();
  ASSERT_TRUE(path.has_value());
  ASSERT_GE(path->size(), 4u);
  EXPECT_EQ(path->substr(1, 2), ":\\") << *path;
}

REGISTER_TYPED_TEST_SUITE_P(ShellContract, TheApplicationDataFolderIsAnAbsoluteHostPath,
                            DirectoriesAreMadeOnceAndEntered, OpeningAMissingDocumentFails,
                            TheModuleFileIsAnAbsolutePath);

}  // namespace qx::contract

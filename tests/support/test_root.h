#pragma once
// A folder of its own for the running test, emptied first: tests of one
// program, and programs run side by side, never share their files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>

namespace qx::testsupport {

inline std::filesystem::path freshTestRoot(std::string_view prefix) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(prefix) + std::to_string(::getpid()) + "-" +
                     info->test_suite_name() + "-" + info->name();
  // A parameterised test's names hold "/": one folder, not a folder in a
  // folder that removing the root would leave behind.
  std::replace(name.begin(), name.end(), '/', '-');
  std::filesystem::path root = std::filesystem::temp_directory_path() / name;
  std::filesystem::remove_all(root);
  return root;
}

}  // namespace qx::testsupport

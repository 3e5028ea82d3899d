// The command line's verdicts: what is no scenario file, what an unknown
// option says, and the closing line at the prompt.
#include "quendrilax-sim/command_line.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace qx::tools {
namespace {

namespace fs = std::filesystem;

struct Ran {
  int status;
  std::string out, err;
};

class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = fs::temp_directory_path() /
              ("qx_command_line_" + std::to_string(::getpid()) + "_" + test->name());
    fs::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(folder_ / "locked.scn", fs::perms::owner_all, ignored);
    fs::remove_all(folder_, ignored);
  }

  std::string file(const std::string& name, const std::string& text) {
    std::ofstream(folder_ / name) << text;
    return (folder_ / name).string();
  }

  Ran run(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), {"--disk", (folder_ / "disk").string()});
    std::istringstream in(input);
    std::ostringstream out, err;
    const int status = runCommandLine(args, {in, false, out, err});
    return {status, out.str(), err.str()};
  }

  fs::path folder_;
};

TEST_F(CommandLineTest, WhatIsNoScenarioFileStopsTheRunWithItsReason) {
  const std::string good = file("good.scn", "user a\n");
  const std::string locked = file("locked.scn", "user a\n");
  fs::permissions(locked, fs::perms::none);
  const bool rootReadsAnyway = static_cast<bool>(std::ifstream(locked));
  struct Case {
    std::string path;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {folder_.string(), "is a directory"},
      {(folder_ / "missing.scn").string(), "No such file"},
      {"/dev/null", "not a regular file"},
      {locked, "Permission denied"},
  };
  for (const Case& c : cases) {
    if (c.path == locked && rootReadsAnyway) continue;
    const Ran ran = run({good, c.path});
    EXPECT_EQ(ran.status, 2) << c.path;
    EXPECT_NE(ran.err.find(c.path + ": cannot read the scenario: "), std::string::npos) << ran.err;
    EXPECT_NE(ran.err.find(c.reason), std::string::npos) << ran.err;
    EXPECT_EQ(ran.err.find("all expectations held"), std::string::npos) << ran.err;
    EXPECT_EQ(ran.out, "") << "nothing runs when one scenario cannot be read";
  }
}

TEST_F(CommandLineTest, AnUnknownOptionNamesItself) {
  for (const char* option : {"--verbose", "-x"}) {
    const Ran ran = run({option});
    EXPECT_EQ(ran.status, 2);
    EXPECT_NE(ran.err.find(std::string("unknown option '") + option + "'"), std::string::npos)
        << ran.err;
  }
  std::istringstream in;
  std::ostringstream out, err;
  EXPECT_EQ(runCommandLine({"--disk"}, {in, false, out, err}), 2);
  EXPECT_NE(err.str().find("--disk needs a folder"), std::string::npos) << err.str();
}

TEST_F(CommandLineTest, ThePromptEndsAtQuitOrExitAndItsVerdictMatchesItsStatus) {
  struct Case {
    const char* input;
    int status;
    const char* closing;
  };
  const Case cases[] = {
      {"user a\nquit\nfrobnicate\n", 0, "-: all expectations held"},
      {"user a\n  exit  \nstart b\n", 0, "-: all expectations held"},
      {"user a\nfrobnicate\n", 2, "-: 1 line(s) could not be read"},
      {"user a\nstart a\nexpect a scans 3\nfrobnicate\nquit\n", 2,
       "-: 1 expectation(s) failed; 1 line(s) could not be read"},
      {"user a\nstart a\nexpect a scans 3\n", 1, "-: 1 expectation(s) failed"},
      // Inside a block "quit" is a line of the block.
      {"user a\nregistry a import <<END\nquit\n", 2, "-: 1 line(s) could not be read"},
  };
  for (const Case& c : cases) {
    const Ran ran = run({"-"}, c.input);
    EXPECT_EQ(ran.status, c.status) << c.input;
    EXPECT_EQ(ran.err.substr(0, ran.err.find('\n')), c.closing) << c.input;
  }
}

}  // namespace
}  // namespace qx::tools

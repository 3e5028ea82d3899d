// The command line's verdicts: what is no scenario file, what an unknown
// option says, and the closing line at the prompt.
#include "quendrilax-sim/command_line.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <sstream>
#include <stdexcept>

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

TEST_F(CommandLineTest, StandardInputAmongScenarioFilesIsAMistakeOfUsage) {
  const std::string extra = file("extra.scn", "user a\n");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-", extra}, std::vector<std::string>{extra, "-"}}) {
    const Ran ran = run(args);
    EXPECT_EQ(ran.status, 2);
    EXPECT_EQ(ran.err.substr(0, ran.err.find('\n')),
              "quendrilax-sim: '-' reads commands from standard input and cannot be given with "
              "scenario files");
    EXPECT_EQ(ran.out, "");
  }
}

TEST_F(CommandLineTest, WhatEscapesTheRunEndsItWithALineAndStatusThree) {
  const std::pair<std::function<void()>, const char*> faults[] = {
      {[] { throw std::bad_alloc(); }, "quendrilax-sim: stopped: out of memory\n"},
      {[] { throw std::runtime_error("broken"); },
       "quendrilax-sim: stopped: internal error: broken\n"},
  };
  for (const auto& [fault, says] : faults) {
    std::istringstream in;
    std::ostringstream out, err;
    Console console{in, true, out, err};
    console.editLine = [&](const std::string&) -> std::optional<std::string> {
      fault();
      return std::nullopt;
    };
    EXPECT_EQ(runCommandLine({"--disk", (folder_ / "disk").string()}, console), 3);
    EXPECT_EQ(err.str(), says);
  }
}

TEST_F(CommandLineTest, ThePromptEndsAtQuitOrExitAndItsVerdictMatchesItsStatus) {
  struct Case {
    const char* input;
    int status;
    const char* closing;
  };
  const Case cases[] = {
      {"user a\nquit\nfrobnicate\n", 0, "-: nothing to check: the scenario holds no expectation"},
      {"user a\n  exit  \nstart b\n", 0, "-: nothing to check: the scenario holds no expectation"},
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

TEST_F(CommandLineTest, ADiskFolderThatCannotBeMadeStopsTheRunBeforeAnythingRuns) {
  const std::string scenario = file("s.scn", "user a\nexpect a stopped\n");
  const std::string plainFile = file("plain.txt", "not a folder");
  for (const std::string& disk : {plainFile, std::string("/proc/qx-runner")}) {
    std::istringstream in;
    std::ostringstream out, err;
    const int status = runCommandLine({"--disk", disk, scenario}, {in, false, out, err});
    EXPECT_EQ(status, 2) << disk;
    EXPECT_NE(err.str().find("quendrilax-sim: --disk " + disk + ": cannot make the folder " + disk +
                             "/run1: "),
              std::string::npos)
        << err.str();
    EXPECT_EQ(out.str(), "") << "nothing runs";
  }
}

TEST_F(CommandLineTest, TheVerdictTellsFailedStepsEmptyFilesAndNothingToCheck) {
  struct Case {
    std::string text;
    int status;
    std::string closing;
  };
  const std::vector<Case> cases = {
      {"", 2, "nothing to run: the scenario holds no command"},
      {"# only a comment\n\n", 2, "nothing to run: the scenario holds no command"},
      {"user a\nstart a\n", 0, "nothing to check: the scenario holds no expectation"},
      {"user a\nexpect a stopped\n", 0, "all expectations held"},
      {"user a\nstart a\nstart a\nexpect a connected\n", 1, "1 step(s) failed"},
      {"user a\nstop a\nexpect a connected\n", 1, "1 expectation(s) failed; 1 step(s) failed"},
  };
  for (const Case& c : cases) {
    const std::string scenario = file("v.scn", c.text);
    const Ran ran = run({scenario});
    EXPECT_EQ(ran.status, c.status) << c.text;
    EXPECT_EQ(ran.err.substr(0, ran.err.find('\n')), scenario + ": " + c.closing) << c.text;
  }
  const Ran step = run({file("v.scn", "user a\nstart a\nstart a\n")});
  EXPECT_NE(step.out.find("v.scn:3: STEP FAILED: the host of a runs already"), std::string::npos)
      << step.out;
  EXPECT_NE(step.err.find("v.scn:3: step failed: the host of a runs already"), std::string::npos)
      << step.err;
}

TEST_F(CommandLineTest, BriefLeavesOutTheTicksAndScansThatChangedNothing) {
  const std::string scenario = file("b.scn",
                                    "user a\nstart a\nadvance 5m\n"
                                    "folder a add Tasks/Team\nexpect a connected\n");
  const Ran full = run({scenario});
  const Ran brief = run({"--brief", scenario});
  EXPECT_EQ(full.status, 0);
  EXPECT_EQ(brief.status, 0);
  for (const char* quiet : {"[00:01:13] a: add-in: tick: steady", "[00:02:13] a: add-in: inbox scan"}) {
    EXPECT_NE(full.out.find(quiet), std::string::npos) << quiet << "\n" << full.out;
    EXPECT_EQ(brief.out.find(quiet), std::string::npos) << quiet << "\n" << brief.out;
  }
  // Everything else stays: a tick that changed the timer comes with it.
  for (const char* kept : {"time passes: 5 min", "[00:00:13] a: add-in: tick: steady",
                           "[00:00:13] a: add-in: inbox scan", "timer 1 runs every 60 s",
                           "[00:00:10] a: add-in: tick: catch-up", "task folder \"Tasks/Team\""})
    EXPECT_NE(brief.out.find(kept), std::string::npos) << kept << "\n" << brief.out;
}

TEST_F(CommandLineTest, AtATerminalLinesComeFromTheLineEditorWithTheirPrompt) {
  std::vector<std::string> lines = {"user a", "repeat 2", "echo round {i}", "end", "help"};
  std::vector<std::string> prompts;
  std::size_t next = 0;
  std::istringstream in("never read");
  std::ostringstream out, err;
  Console console{in, true, out, err};
  console.editLine = [&](const std::string& prompt) -> std::optional<std::string> {
    prompts.push_back(prompt);
    if (next == lines.size()) return std::nullopt;
    return lines[next++];
  };
  EXPECT_EQ(runCommandLine({"--disk", (folder_ / "disk").string()}, console), 0);
  EXPECT_EQ(prompts, (std::vector<std::string>{"qx> ", "qx> ", "... ", "... ", "qx> ", "qx> "}));
  EXPECT_NE(out.str().find("round 2"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("advance DURATION | wait DURATION"), std::string::npos) << out.str();
  EXPECT_EQ(out.str().find("qx> "), std::string::npos) << "the editor shows the prompt";
}

}  // namespace
}  // namespace qx::tools

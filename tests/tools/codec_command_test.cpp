#include "quendrilax-codec/codec_command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "support/test_root.h"

namespace qx::codectool {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = 0;
  std::string err;
};

Outcome run(std::vector<std::string> words) {
  std::vector<std::string_view> args(words.begin(), words.end());
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  Outcome outcome;
  outcome.status = runCommand(args, out, err);
  std::rewind(err);
  for (int c; (c = std::fgetc(err)) != EOF;) outcome.err.push_back(static_cast<char>(c));
  std::fclose(out);
  std::fclose(err);
  return outcome;
}

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::set<std::string> namesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

class CodecCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = testsupport::freshTestRoot("qx-codec-tool-");
    fs::create_directories(root / "folder");
    writeFile(root / "plain", "abracadabra, abracadabra");
    writeFile(root / "garbage", std::string("\x10\x00\x00\x00\x05", 5));  // table cut short
    writeFile(root / "old", "the earlier result");
  }
  void TearDown() override { fs::remove_all(root); }

  std::string at(std::string_view name) const { return (root / name).string(); }

  fs::path root;
};

TEST_F(CodecCommandTest, EveryFailureIsOneLineWithStatusOneAndLeavesNoOutput) {
  struct Case {
    const char* what;
    std::vector<std::string> args;  // "@" stands for the test's folder
    const char* says;
  };
  const Case cases[] = {
      {"compress a directory", {"compress", "@/folder", "@/out"}, "Is a directory"},
      {"decompress a directory", {"decompress", "@/folder", "@/out"}, "Is a directory"},
      {"inspect a directory", {"inspect", "@/folder"}, "Is a directory"},
      {"compress a missing file", {"compress", "@/missing", "@/out"}, "No such file"},
      {"decompress a missing file", {"decompress", "@/missing", "@/out"}, "No such file"},
      {"inspect a missing file", {"inspect", "@/missing"}, "No such file"},
      {"decompress a malformed stream", {"decompress", "@/garbage", "@/out"}, "malformed stream"},
      {"inspect a malformed stream", {"inspect", "@/garbage"}, "malformed stream"},
      {"output in a missing folder", {"compress", "@/plain", "@/nowhere/out"}, "cannot create"},
      {"output below a file", {"compress", "@/plain", "@/plain/out"}, "cannot create"},
      {"output is a directory", {"compress", "@/plain", "@/folder"}, "cannot replace"},
      {"malformed stream over an old output", {"decompress", "@/garbage", "@/old"}, "malformed"},
  };
  const std::set<std::string> before = namesIn(root);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> args = c.args;
    for (auto& arg : args) {
      if (arg.starts_with('@')) arg = root.string() + arg.substr(1);
    }
    const Outcome outcome = run(args);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.err.starts_with("quendrilax-codec: ")) << outcome.err;
    EXPECT_NE(outcome.err.find(c.says), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << outcome.err;
    EXPECT_EQ(namesIn(root), before);
    EXPECT_TRUE(namesIn(root / "folder").empty());
    EXPECT_EQ(readFile(root / "old"), "the earlier result");
  }
}

TEST_F(CodecCommandTest, RoundTripReplacesTheOutputWhole) {
  EXPECT_EQ(run({"compress", at("plain"), at("old")}).status, 0);
  EXPECT_EQ(run({"inspect", at("old")}).status, 0);
  EXPECT_EQ(run({"decompress", at("old"), at("back")}).status, 0);
  EXPECT_EQ(readFile(root / "back"), "abracadabra, abracadabra");
  EXPECT_EQ(namesIn(root), (std::set<std::string>{"back", "folder", "garbage", "old", "plain"}));
}

TEST_F(CodecCommandTest, WrongUsageIsStatusTwo) {
  EXPECT_EQ(run({}).status, 2);
  EXPECT_EQ(run({"compress", at("plain")}).status, 2);
  EXPECT_EQ(run({"squeeze", at("plain"), at("out")}).status, 2);
}

}  // namespace
}  // namespace qx::codectool

#include "quendrilax-codec/codec_command.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/codec/codec_error.h"
#include "support/test_root.h"

namespace qx::codectool {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = 0;
  std::string out;
  std::string err;
};

std::string contents(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;) text.push_back(static_cast<char>(c));
  return text;
}

// `input` is what the command finds on standard input, through a pipe as from
// another program.
Outcome run(std::vector<std::string> words, const std::string& input = {}) {
  std::vector<std::string_view> args(words.begin(), words.end());
  int ends[2];
  EXPECT_EQ(::pipe(ends), 0);
  EXPECT_EQ(::write(ends[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  ::close(ends[1]);
  std::FILE* in = ::fdopen(ends[0], "rb");
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  Outcome outcome;
  outcome.status = runCommand(args, {in, out, err});
  outcome.out = contents(out);
  outcome.err = contents(err);
  std::fclose(in);
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
    fs::create_symlink(root / "plain", root / "link");
    // Sparse: 2.2 GB that take no room, and that no command should read.
    std::ofstream(root / "huge", std::ios::binary).close();
    fs::resize_file(root / "huge", std::uintmax_t{2200} << 20);
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
      {"compress a device", {"compress", "/dev/null", "@/out"}, "a character device, not a file"},
      {"inspect a device", {"inspect", "/dev/zero"}, "a character device, not a file"},
      {"the input as its own output", {"compress", "@/old", "@/old"}, "are the same file"},
      {"the input's link as output", {"decompress", "@/plain", "@/link"}, "are the same file"},
      {"compress beyond 2 GB", {"compress", "@/huge", "@/out"}, "larger than 2147483647 bytes"},
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
  EXPECT_EQ(namesIn(root),
            (std::set<std::string>{"back", "folder", "garbage", "huge", "link", "old", "plain"}));
}

TEST_F(CodecCommandTest, AnOutputThatIsNoRegularFileIsNeverRenamedOver) {
  // A link is followed: it stays a link, and what it names gets the stream.
  fs::create_symlink(root / "old", root / "to-old");
  ASSERT_EQ(run({"compress", at("plain"), at("to-old")}).status, 0);
  EXPECT_TRUE(fs::is_symlink(root / "to-old"));
  ASSERT_EQ(run({"decompress", at("old"), at("back")}).status, 0);
  EXPECT_EQ(readFile(root / "back"), "abracadabra, abracadabra");

  // A pipe takes the bytes in place: its reader gets them, and it stays a pipe.
  ASSERT_EQ(::mkfifo(at("pipe").c_str(), 0600), 0);
  const int reader = ::open(at("pipe").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const Outcome piped = run({"compress", at("plain"), at("pipe")});
  EXPECT_EQ(piped.status, 0) << piped.err;
  std::string stream(4096, '\0');
  const ssize_t got = ::read(reader, stream.data(), stream.size());
  ::close(reader);
  ASSERT_GT(got, 0);
  stream.resize(static_cast<std::size_t>(got));
  EXPECT_EQ(stream, readFile(root / "old"));
  EXPECT_TRUE(fs::is_fifo(root / "pipe"));

  // What can be neither replaced nor written is refused, and left as it was.
  fs::create_symlink(root / "nothing", root / "dangling");
  fs::create_symlink(root / "folder", root / "to-folder");
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = at("socket");
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  socketPath.copy(address.sun_path, socketPath.size());
  ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  const std::pair<const char*, const char*> refused[] = {
      {"dangling", "a symbolic link to a file that does not exist"},
      {"to-folder", "Is a directory"},
      {"socket", "a socket; the output is a file, a character device or a pipe"},
  };
  for (const auto& [name, says] : refused) {
    const Outcome outcome = run({"compress", at("plain"), at(name)});
    EXPECT_EQ(outcome.status, 1) << name;
    EXPECT_NE(outcome.err.find(says), std::string::npos) << outcome.err;
  }
  ::close(listener);
  EXPECT_TRUE(fs::is_symlink(root / "dangling"));
  EXPECT_TRUE(fs::is_symlink(root / "to-folder"));
  EXPECT_TRUE(fs::is_socket(root / "socket"));
  EXPECT_TRUE(namesIn(root / "folder").empty());
}

TEST_F(CodecCommandTest, DashIsStandardInputAndOutput) {
  const Outcome packed = run({"compress", "-", "-"}, "abracadabra, abracadabra");
  ASSERT_EQ(packed.status, 0) << packed.err;
  EXPECT_EQ(run({"inspect", "-"}, packed.out).status, 0);
  const Outcome back = run({"decompress", "-", at("back")}, packed.out);
  ASSERT_EQ(back.status, 0) << back.err;
  EXPECT_EQ(readFile(root / "back"), "abracadabra, abracadabra");
  EXPECT_EQ(run({"decompress", "-", "-"}, "not a stream").err,
            "quendrilax-codec: standard input: malformed stream: " +
                std::string(describe(CodecError::kTableTruncated)) + "\n");
}

TEST_F(CodecCommandTest, InspectGivesTheVerdictFirstAndAMalformedTableOnlyWhenAsked) {
  // A length of 100 and three entries, the first of a negative weight.
  writeFile(root / "noise", std::string("\x64\0\0\0\x02\xFB\xFF\xFF\xFF\x61\x03\0\0\0\x62"
                                        "\x02\0\0\0\x63",
                                        20));
  const Outcome brief = run({"inspect", at("noise")});
  EXPECT_EQ(brief.status, 1);
  EXPECT_TRUE(brief.out.starts_with("well formed:   no (")) << brief.out;
  EXPECT_NE(brief.out.find("3 entries present (listed with --verbose)"), std::string::npos)
      << brief.out;
  const Outcome verbose = run({"inspect", "--verbose", at("noise")});
  EXPECT_EQ(verbose.status, 1);
  EXPECT_NE(verbose.out.find("table:         #    weight"), std::string::npos) << verbose.out;
  ASSERT_EQ(run({"compress", at("plain"), at("packed")}).status, 0);
  const Outcome sound = run({"inspect", at("packed")});
  EXPECT_TRUE(sound.out.starts_with("well formed:   yes\n")) << sound.out;
  EXPECT_NE(sound.out.find("table:         #    weight"), std::string::npos) << sound.out;
}

TEST_F(CodecCommandTest, UsageGoesToOutputWhenAskedForAndNamesTheMistakeOtherwise) {
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* says;  // the first line, on standard error for a mistake
  };
  const Case cases[] = {
      {{"--help"}, 0, "usage: quendrilax-codec compress IN OUT"},
      {{}, 2, "quendrilax-codec: no command given"},
      {{"squeeze", "a", "b"}, 2, "quendrilax-codec: unknown command 'squeeze'"},
      {{"compress", "a"}, 2, "quendrilax-codec: compress takes IN and OUT, 1 given"},
      {{"inspect", "a", "b"}, 2, "quendrilax-codec: inspect takes IN, 2 given"},
      {{"compress", "--verbose", "a", "b"},
       2,
       "quendrilax-codec: unknown option '--verbose' for compress"},
  };
  for (const Case& c : cases) {
    const Outcome outcome = run(c.args);
    SCOPED_TRACE(c.says);
    EXPECT_EQ(outcome.status, c.status);
    const std::string& text = c.status == 0 ? outcome.out : outcome.err;
    EXPECT_EQ(text.substr(0, text.find('\n')), c.says);
    EXPECT_NE(text.find("usage: "), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace qx::codectool

// The queue file's text and its replacement on the stand-in's disk.
#include "basicsync/queue_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "sim/faults.h"
#include "sim/files_sim.h"
#include "sim/host_file_system.h"

namespace qx::test {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> entriesOf(std::string_view text) {
  std::vector<std::string> entries;
  for (std::string_view piece : queue_text::pieces(text))
    entries.push_back(queue_text::entryOf(piece));
  return entries;
}

TEST(QueueText, PiecesEndAtALineFeedOrAfter511Characters) {
  const std::string long600(600, 'x');
  const std::string exact511(511, 'y');
  struct Case {
    std::string text;
    std::vector<std::string> entries;
  };
  const Case cases[] = {
      {"", {}},
      {"A\nB\n", {"A", "B"}},
      {"A\nB", {"A", "B"}},
      {"\n\nA\n", {"", "", "A"}},
      {long600 + "\nB\n", {std::string(511, 'x'), std::string(89, 'x'), "B"}},
      // A line of exactly one piece leaves its line feed as an empty entry.
      {exact511 + "\n", {exact511, ""}},
      {std::string(1022, 'z'), {std::string(511, 'z'), std::string(511, 'z')}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 20));
    EXPECT_EQ(entriesOf(c.text), c.entries);
  }
  EXPECT_THAT(queue_text::pieces("A\nB"), ElementsAre("A\n", "B"));
}

TEST(QueueText, TextModeTurnsCrLfIntoLfAndStopsAtCtrlZ) {
  const auto read = [](std::string_view disk) {
    return queue_text::fromDisk({reinterpret_cast<const std::uint8_t*>(disk.data()), disk.size()});
  };
  EXPECT_EQ(read("A\r\nB\r\n"), "A\nB\n");
  EXPECT_EQ(read("A\rB\n"), "A\rB\n");
  EXPECT_EQ(read("A\r\n\x1A"
                 "B\r\n"),
            "A\n");
  EXPECT_EQ(read("A\r"), "A\r");
  const std::vector<std::string> entries{"00AB", "", "CD"};
  EXPECT_EQ(queue_text::toDisk(entries), "00AB\r\n\r\nCD\r\n");
}

class QueueFileTest : public ::testing::Test {
 protected:
  QueueFileTest()
      : root_(std::filesystem::temp_directory_path() /
              ("qx-queuefile-" + std::to_string(::getpid()))),
        disk_(root_) {
    disk_.makeFolders("C:\\Data");
  }
  ~QueueFileTest() override { std::filesystem::remove_all(root_); }

  std::filesystem::path root_;
  sim::HostFileSystem disk_;
  sim::Faults faults_;
  sim::FilesSim files_{disk_, faults_};
  QueueFile queue_{files_, "C:\\Data\\00AB.ids"};
};

TEST_F(QueueFileTest, AReplacedQueueHoldsTheEntriesAndNothingBeside) {
  ASSERT_EQ(queue_.create("1\r\n2\r\n3\r\n"), win::kSuccess);
  const std::vector<std::string> rest{"2", "3"};
  EXPECT_EQ(queue_.replace(rest), win::kSuccess);
  EXPECT_EQ(disk_.readText("C:\\Data\\00AB.ids"), "2\r\n3\r\n");
  EXPECT_FALSE(disk_.isFile(queue_.sidePath()));
  EXPECT_EQ(queue_.read(), "2\n3\n");
  EXPECT_EQ(queue_.remove(), win::kSuccess);
  EXPECT_FALSE(queue_.exists());
  ASSERT_FALSE(queue_.read());
  EXPECT_EQ(queue_.read().error(), win::kFileNotFound);
}

TEST_F(QueueFileTest, AFailedWriteBesideLeavesTheQueueAsItWas) {
  ASSERT_EQ(queue_.create("1\r\n2\r\n"), win::kSuccess);
  faults_.fail("files.writeFile", win::kWriteFault);
  const std::vector<std::string> rest{"2"};
  EXPECT_EQ(queue_.replace(rest), win::kWriteFault);
  EXPECT_EQ(queue_.read(), "1\n2\n");
  EXPECT_FALSE(disk_.isFile(queue_.sidePath()));
}

TEST_F(QueueFileTest, AFailedReplacementLeavesTheNewQueueBesideToBeReadInstead) {
  ASSERT_EQ(queue_.create("1\r\n2\r\n3\r\n"), win::kSuccess);
  faults_.fail("files.writeFile", win::kWriteFault, 2);
  const std::vector<std::string> rest{"2", "3"};
  EXPECT_EQ(queue_.replace(rest), win::kWriteFault);
  EXPECT_EQ(disk_.readText("C:\\Data\\00AB.ids"), "1\r\n2\r\n3\r\n");
  EXPECT_EQ(queue_.read(), "2\n3\n");
  // A new listing is not overridden by what waited beside the old queue.
  ASSERT_EQ(queue_.create("9\r\n"), win::kSuccess);
  EXPECT_EQ(queue_.read(), "9\n");
}

}  // namespace
}  // namespace qx::test

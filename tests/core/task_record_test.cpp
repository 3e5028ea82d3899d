// A new version of a task is later than everything its user has seen of it,
// at any stamp; equal versions are settled by the content alike at both ends.
#include "core/task_record.h"

#include <gtest/gtest.h>

#include <limits>

#include "protocol/sync_mail_fixture.h"

namespace qx {
namespace {

constexpr std::int64_t kMax = changeversion::kMaxStampMs;

TEST(TaskRecord, ANewVersionIsPastTheStoredVersionAndTheRemoval) {
  struct Case {
    const char* what;
    std::int64_t now;
    std::optional<std::int64_t> stored;
    std::optional<std::int64_t> removal;
    std::optional<std::int64_t> expected;
  };
  const Case cases[] = {
      {"the time of the change", 5000, 1000, 2000, 5000},
      {"a stored version from a clock ahead", 5000, 9000, std::nullopt, 9001},
      {"the same millisecond as the stored one", 5000, 5000, std::nullopt, 5001},
      {"a removal at the latest stamp: one past, no overflow", 5000, 1000, kMax, kMax + 1},
      {"no clock: past what was seen", -1, 7000, 8000, 8001},
      {"no clock and nothing seen", -1, std::nullopt, std::nullopt, std::nullopt},
      {"nothing seen", 0, std::nullopt, std::nullopt, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto version = [](std::optional<std::int64_t> ms) {
      return ms ? std::optional<ChangeVersion>(ChangeVersion{*ms, "ZZ"}) : std::nullopt;
    };
    const std::optional<ChangeVersion> next =
        nextVersion(c.now, "AA", version(c.stored), version(c.removal));
    EXPECT_EQ(next, c.expected ? std::optional<ChangeVersion>(ChangeVersion{*c.expected, "AA"})
                               : std::nullopt);
  }
}

TEST(TaskRecord, EqualVersionsAreSettledByTheContentTheSameWayAtBothEnds) {
  const ChangeVersion v{1000, "AA"};
  EXPECT_TRUE(wins(v, 7, v, 3));
  EXPECT_FALSE(wins(v, 3, v, 7));
  EXPECT_FALSE(wins(v, 7, v, 7));
  EXPECT_TRUE(wins({1001, "AA"}, 1, v, 9));
  EXPECT_FALSE(wins({999, "ZZ"}, 9, v, 1));
}

// A record written without a state (a change kept and not sent yet) leaves no
// state behind from an earlier content: that would take the unsent change for
// what its version stood for.
class TaskRecordOnATask : public testing::SyncMailFixture {};

TEST_F(TaskRecordOnATask, ARecordWithoutAStateRemovesTheStaleOne) {
  const std::u16string id = addTask(teamId, u"Plan",
                                    {{u"quendrilaxversion", 1, Variant(u"1000-AA")},
                                     {u"quendrilaxstate", 1, Variant(u"00000000000000FF")}});
  const std::shared_ptr<TaskItem> task = openTask(id);
  const Result<std::shared_ptr<UserProperties>> properties = task->userProperties();
  ASSERT_TRUE(properties.has_value());
  ASSERT_EQ(readTaskRecord(**properties).state, 0xFFu);
  ASSERT_EQ(writeTaskRecord(**properties, TaskRecord{ChangeVersion{2000, "AA"}, std::nullopt}),
            hr::kOk);
  EXPECT_EQ(readTaskRecord(**properties).version, (ChangeVersion{2000, "AA"}));
  EXPECT_EQ(readTaskRecord(**properties).state, std::nullopt);
  ASSERT_EQ(task->save(), hr::kOk);
  EXPECT_EQ(client.item(id)->data.findUserProperty(u"quendrilaxstate"), nullptr);
}

}  // namespace
}  // namespace qx

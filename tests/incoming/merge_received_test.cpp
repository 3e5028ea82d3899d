// A received copy merged into the task held here: the fields in which the
// task here is newer are written back, and the record says what was applied
// and what the user has still to send.
#include <gtest/gtest.h>

#include "incoming/merge_received.h"
#include "protocol/sync_mail_fixture.h"

namespace qx::testing {
namespace {

using sim::mail::ItemData;

const ChangeVersion kStart{1000, "ANNA"};
const ChangeVersion kBen{2000, "BEN"};
const ChangeVersion kAnna{3000, "ANNA"};
constexpr std::string_view kId = "{ID}";

class MergeReceivedTest : public SyncMailFixture {
 protected:
  // Anna's task as last sent (everything at kStart), then `edit` made here.
  std::shared_ptr<TaskItem> held(const std::function<void(ItemData&)>& edit) {
    ItemData data = ItemData::newTask();
    data.subject = u"Plan";
    data.dueDate = DateValue{46000};
    entryId = client.addItem(teamId, data);
    std::shared_ptr<TaskItem> task = openTask(entryId);
    const FieldRecord record = recordLocalChange(std::nullopt, kId, *readSyncedFields(*task), kStart);
    EXPECT_EQ(writeFieldRecord(*task, record), hr::kOk);
    EXPECT_EQ(task->save(), hr::kOk);
    client.changeItem(entryId, edit);
    return openTask(entryId);
  }
  // What the library's copy does: the mail's values over the working copy.
  static void copyOnto(TaskItem& task, const TaskFieldValues& mail) {
    for (const auto& [id, value] : mail) ASSERT_EQ(writeSyncedField(task, id, value), hr::kOk);
  }

  std::u16string entryId;
};

TEST_F(MergeReceivedTest, AnEditNotYetSentIsKeptAndStillToBeSent) {
  // Anna's save of the status waits behind the burst window (made at kAnna)
  // when ben's older change of the status and the due date arrives.
  std::shared_ptr<TaskItem> task = held([](ItemData& d) { d.status = 2; });
  const std::optional<LocalFields> before = readLocalFields(*task, kId, kStart, kAnna);
  ASSERT_TRUE(before.has_value());
  TaskFieldValues mail = before->values;
  mail["due"] = {Variant(DateValue{46007})};
  mail["status"] = {Variant(std::int32_t{1})};
  copyOnto(*task, mail);
  const std::optional<MergedCopy> merged =
      keepNewerLocalFields(*task, *before, FieldVersions(kBen), kId);
  ASSERT_TRUE(merged.has_value());
  EXPECT_EQ(merged->taken, (std::vector<FieldId>{"due"}));
  EXPECT_EQ(merged->kept, (std::vector<FieldId>{"status"}));
  const std::optional<TaskFieldValues> now = readSyncedFields(*task);
  EXPECT_EQ(changedFields(&merged->record, *now),
            (std::vector<FieldId>{"status", "percent", "complete"}));
  EXPECT_EQ(merged->record.versions.of("status"), kStart);
  EXPECT_EQ(merged->record.versions.of("percent"), kStart);

  ASSERT_EQ(writeFieldRecord(*task, merged->record), hr::kOk);
  ASSERT_EQ(task->save(), hr::kOk);

  // Ben's mail again (delivered twice), or the start state, while anna's
  // save still waits: nothing is news.
  struct Stale {
    FieldVersions versions;
    TaskFieldValues values;
    std::vector<FieldId> kept;
  };
  for (const Stale& stale : {Stale{FieldVersions(kBen), mail, {"status"}},
                             Stale{FieldVersions(kStart), before->values, {"due"}}}) {
    task = openTask(entryId);
    const std::optional<LocalFields> again = readLocalFields(*task, kId, kBen, kAnna);
    copyOnto(*task, stale.values);
    const std::optional<MergedCopy> none = keepNewerLocalFields(*task, *again, stale.versions, kId);
    ASSERT_TRUE(none.has_value());
    EXPECT_FALSE(none->news);
    EXPECT_EQ(none->kept, stale.kept);
  }
}

TEST_F(MergeReceivedTest, ATaskWithoutRecordIsMeasuredByItsVersion) {
  ItemData data = ItemData::newTask();
  data.subject = u"Plan";
  entryId = client.addItem(teamId, data);
  std::shared_ptr<TaskItem> task = openTask(entryId);
  const std::optional<LocalFields> before = readLocalFields(*task, kId, kBen, std::nullopt);
  ASSERT_TRUE(before.has_value());
  EXPECT_EQ(before->versions, FieldVersions(kBen));
  TaskFieldValues mail = before->values;
  mail["subject"] = {Variant(u"Plan B")};
  copyOnto(*task, mail);
  FieldVersions mailVersions(kStart);
  mailVersions.set("subject", kAnna);
  const std::optional<MergedCopy> merged = keepNewerLocalFields(*task, *before, mailVersions, kId);
  ASSERT_TRUE(merged.has_value());
  EXPECT_EQ(merged->taken, std::vector<FieldId>{"subject"});
  EXPECT_EQ(merged->record.versions.of("due"), kBen);
}

}  // namespace
}  // namespace qx::testing

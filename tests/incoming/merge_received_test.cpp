// A received copy merged into a task held here that has no field record yet
// (one saved before field versions were kept): each of its fields counts at
// the task's version.
#include "incoming/merge_received.h"

#include <gtest/gtest.h>

#include "protocol/sync_mail_fixture.h"

namespace qx::testing {
namespace {

using sim::mail::ItemData;

const ChangeVersion kStart{1000, "A1"};
const ChangeVersion kBen{2000, "BE"};
const ChangeVersion kAnna{3000, "A1"};
constexpr std::string_view kId = "{ID}";

class MergeReceivedTest : public SyncMailFixture {
 protected:
  // What the library's copy does: the mail's values over the working copy.
  static void copyOnto(TaskItem& task, const TaskFieldValues& mail) {
    for (const auto& [id, value] : mail) ASSERT_EQ(writeSyncedField(task, id, value), hr::kOk);
  }

  std::u16string entryId;
};

TEST_F(MergeReceivedTest, ATaskWithoutRecordIsMeasuredByItsVersion) {
  ItemData data = ItemData::newTask();
  data.subject = u"Plan";
  entryId = client.addItem(teamId, data);
  std::shared_ptr<TaskItem> task = openTask(entryId);
  const std::optional<LocalFields> before = readLocalFields(*task, kId, kBen);
  ASSERT_TRUE(before.has_value());
  EXPECT_EQ(before->record.versions, FieldVersions(kBen));
  EXPECT_TRUE(before->unsentFields.empty());
  MailFields mail{before->values, {}};
  mail.values["subject"] = {Variant(u"Plan B")};
  mail.state = {FieldVersions(kStart), hashFields(mail.values)};
  mail.state.versions.set("subject", kAnna);
  copyOnto(*task, mail.values);
  const std::optional<MergedCopy> merged = mergeIntoCopy(*task, *before, mail, std::nullopt, kId);
  ASSERT_TRUE(merged.has_value());
  EXPECT_EQ(merged->taken, std::vector<FieldId>{"subject"});
  EXPECT_EQ(merged->record.versions.of("due"), kBen);
  EXPECT_EQ(merged->record.versions.of("subject"), kAnna);
}

}  // namespace
}  // namespace qx::testing

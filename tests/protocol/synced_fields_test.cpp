// The synced fields of a task through the host's task item: each one read,
// written onto another task and read back the same; the add-in's own
// properties never count as fields; ids name every property unambiguously.
#include <gtest/gtest.h>

#include "protocol/field_record.h"
#include "protocol/sync_body.h"
#include "protocol/sync_mail_fixture.h"

namespace qx::testing {
namespace {

using sim::mail::UserProp;

TEST(SyncedFieldIds, NameEveryPropertyOnceAndHoldNoMarker) {
  struct Case {
    std::u16string name;
    std::string id;
  };
  const std::vector<Case> cases = {
      {u"Kunde", "p.Kunde"},
      {u"Kunde Nr", "p.Kunde%0020Nr"},
      {u"is:TRUE:is", "p.is%003ATRUE%003Ais"},
      {u"Gr\u00f6\u00dfe", "p.Gr%00F6%00DFe"},
      {u"a,b=c;d|e%", "p.a%002Cb%003Dc%003Bd%007Ce%0025"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(propertyFieldId(c.name), c.id);
    EXPECT_EQ(propertyNameOf(c.id), c.name);
    EXPECT_TRUE(isFieldId(c.id));
    EXPECT_FALSE(containsSyncMarker(c.id));
  }
  for (std::string_view bad : {"p.", "p.%0041", "p.a%00f6", "p.a%00F", "p.a b", "q.a", "Due"})
    EXPECT_FALSE(isFieldId(bad)) << bad;
  for (std::u16string_view own : {u"quendrilaxid", u"quendrilaxversion", u"quendrilaxfields",
                                  u"lastsharename"})
    EXPECT_TRUE(isOwnProperty(own));
  EXPECT_FALSE(isOwnProperty(u"Kunde"));
}

class SyncedFieldsTest : public SyncMailFixture {};

TEST_F(SyncedFieldsTest, EveryFieldWrittenOntoAnotherTaskReadsBackTheSame) {
  sim::mail::ItemData data = sim::mail::ItemData::newTask();
  data.subject = u"Plan";
  data.body = u"Zeile 1\nZeile 2";
  data.categories = u"Kunde; Bau";
  data.owner = u"anna";
  data.sensitivity = 1;
  data.importance = 2;
  data.status = 1;
  data.percentComplete = 40;
  data.startDate = DateValue{46000};
  data.dueDate = DateValue{46010.5};
  data.complete = false;
  data.userProperties = {
      {u"quendrilaxid", user_property_type::kText, Variant(u"{ID}")},
      {u"lastsharename", user_property_type::kText, Variant(u"Team")},
      {u"Kunde", user_property_type::kText, Variant(u"Hof")},
      {u"Stunden", user_property_type::kNumber, Variant(12.5)},
  };
  const std::u16string sourceId = client.addItem(teamId, data);
  const std::u16string targetId = client.addItem(
      teamId, [] {
        sim::mail::ItemData other = sim::mail::ItemData::newTask();
        // Same name, other type: replaced, not converted.
        other.userProperties = {{u"Stunden", user_property_type::kText, Variant(u"zwölf")}};
        return other;
      }());

  const std::optional<TaskFieldValues> values = readSyncedFields(*openTask(sourceId));
  ASSERT_TRUE(values.has_value());
  EXPECT_EQ(values->size(), fixedFieldIds().size() + 2);
  EXPECT_FALSE(values->contains(propertyFieldId(u"quendrilaxid")));
  EXPECT_FALSE(values->contains(propertyFieldId(u"lastsharename")));

  const std::shared_ptr<TaskItem> target = openTask(targetId);
  for (const auto& [id, value] : *values) EXPECT_EQ(writeSyncedField(*target, id, value), hr::kOk) << id;
  ASSERT_EQ(target->save(), hr::kOk);
  EXPECT_EQ(readSyncedFields(*openTask(targetId)), values);
  EXPECT_EQ(hashFields(*readSyncedFields(*openTask(targetId))), hashFields(*values));

  // Equal text, other type: another value.
  EXPECT_NE(fieldValueHash({Variant(u"1"), user_property_type::kText}),
            fieldValueHash({Variant(u"1"), user_property_type::kNumber}));
  EXPECT_NE(fieldValueHash({Variant(std::int32_t{1})}), fieldValueHash({Variant(true)}));
}

TEST_F(SyncedFieldsTest, TheRecordLivesOnTheTaskUnderItsSyncId) {
  const std::u16string entryId = addTask(teamId, u"Plan");
  const std::shared_ptr<TaskItem> task = openTask(entryId);
  const FieldRecord record = recordLocalChange(std::nullopt, "{ID}", *readSyncedFields(*task),
                                               ChangeVersion{1000, "A1"});
  ASSERT_EQ(writeFieldRecord(*task, record), hr::kOk);
  ASSERT_EQ(writeFieldRecord(*task, record), hr::kOk);  // rewritten, not added twice
  ASSERT_EQ(task->save(), hr::kOk);
  EXPECT_EQ(readFieldRecord(*openTask(entryId), "{ID}"), record);
  EXPECT_EQ(readFieldRecord(*openTask(entryId), "{COPY}"), std::nullopt);
  EXPECT_EQ(client.item(entryId)->data.userProperties.size(), 1u);
  // The record is not a field of its own.
  EXPECT_EQ(readSyncedFields(*openTask(entryId))->size(), fixedFieldIds().size());
}

}  // namespace
}  // namespace qx::testing

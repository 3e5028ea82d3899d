// The per-task record of what was last sent or applied: which fields a local
// change stamps, and that the record reads back only as written.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/mail_ids.h"
#include "protocol/field_record.h"

namespace qx {
namespace {

const ChangeVersion kOld{1000, "A1"};
const ChangeVersion kNew{2000, "A1"};
const std::string kId = "{11111111-2222-3333-4444-555555555555}";

TaskFieldValues task(std::u16string subject, double due, std::int32_t status = 0,
                     bool complete = false) {
  return {{"subject", {Variant(std::move(subject))}},
          {"due", {Variant(DateValue{due})}},
          {"status", {Variant(status)}},
          {"percent", {Variant(std::int32_t{0})}},
          {"complete", {Variant(complete)}},
          {"p.Kunde", {Variant(u"Hof"), user_property_type::kText}}};
}

std::vector<FieldId> sorted(std::vector<FieldId> ids) {
  std::sort(ids.begin(), ids.end());
  return ids;
}

TEST(FieldRecord, ALocalChangeStampsOnlyWhatDiffersFromTheRecord) {
  const TaskFieldValues before = task(u"Plan", 46000);
  const FieldRecord sent = recordLocalChange(std::nullopt, kId, before, kOld);
  struct Case {
    const char* what;
    std::optional<FieldRecord> record;
    TaskFieldValues now;
    std::optional<ChangeVersion> version;
    std::vector<FieldId> stamped;
  };
  const std::vector<Case> cases = {
      {"no record: every field", std::nullopt, before, kNew,
       {"complete", "due", "p.Kunde", "percent", "status", "subject"}},
      {"one field", sent, task(u"Plan", 46001), kNew, {"due"}},
      {"status brings percent and complete along", sent, task(u"Plan", 46000, 2), kNew,
       {"complete", "percent", "status"}},
      {"a property of another type", sent,
       [&] {
         TaskFieldValues now = before;
         now["p.Kunde"] = {Variant(std::int32_t{7}), user_property_type::kNumber};
         return now;
       }(),
       kNew, {"p.Kunde"}},
      {"nothing changed", sent, before, kNew, {}},
      {"a record of another task's id is none", FieldRecord{"{other}", sent.versions, sent.hashes},
       before, kNew, {"complete", "due", "p.Kunde", "percent", "status", "subject"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const FieldRecord next = recordLocalChange(c.record, kId, c.now, c.version);
    EXPECT_EQ(next.syncId, kId);
    EXPECT_EQ(next.hashes, hashFields(c.now));
    std::vector<FieldId> stamped;
    for (const auto& [id, value] : c.now) {
      if (next.versions.of(id) == kNew) {
        stamped.push_back(id);
      } else {
        EXPECT_EQ(next.versions.of(id), kOld) << id;
      }
    }
    EXPECT_EQ(sorted(stamped), c.stamped);
  }
  // Sent without a version, the task has none; its next change stamps all.
  const FieldRecord unversioned = recordLocalChange(sent, kId, task(u"Plan", 46001), std::nullopt);
  EXPECT_EQ(unversioned.versions, FieldVersions());
  const FieldRecord after = recordLocalChange(unversioned, kId, task(u"Plan", 46001), kNew);
  EXPECT_EQ(after.versions, FieldVersions(kNew));
}

TEST(FieldRecord, ReadsBackOnlyWhatItWrites) {
  FieldRecord record = recordLocalChange(std::nullopt, kId, task(u"Plan", 46000), kOld);
  record = recordLocalChange(record, kId, task(u"Plan", 46001), kNew);
  const std::string text = formatFieldRecord(record);
  EXPECT_EQ(parseFieldRecord(text), record);
  const std::string head = kId + "|1000-A1=*|";
  for (const std::string& bad : std::vector<std::string>{
           std::string(), kId, kId + "|", "|1000-A1=*|", kId + "|1000-A1=due|due=0",
        head + "due=00000000000000000", head + "due=000000000000000g", head + "Due=0000000000000000",
        head + "due=0000000000000000,", head + "due=0000000000000000,due=0000000000000000",
        "{a b}|1000-A1=*|", kId + "|1000=*|"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(parseFieldRecord(bad), std::nullopt);
  }
  EXPECT_TRUE(parseFieldRecord(head).has_value());
}

}  // namespace
}  // namespace qx

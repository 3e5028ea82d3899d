// The concurrent soak's expectation per field: the value of each field's
// last version, with the versions the change mails gave the edits.
#include <gtest/gtest.h>

#include "quendrilax-sim/soak_field_ledger.h"

namespace qx::tools {
namespace {

using sim::mail::ItemData;

const std::string kId = "{ID}";

ItemData task(std::vector<FieldValue> fields) {
  ItemData data = ItemData::newTask();
  data.subject = u"Plan";
  data.userProperties.push_back({u"quendrilaxid", 1, Variant(u"{ID}")});
  for (const FieldValue& field : fields) applyField(data, field);
  return data;
}

FieldVersions mailOf(ChangeVersion rest, std::vector<std::pair<std::string, ChangeVersion>> listed) {
  FieldVersions versions(rest);
  for (const auto& [id, version] : listed) versions.set(id, version);
  return versions;
}

TEST(SoakFieldLedger, EachFieldExpectsItsLastVersion) {
  const ItemData start = task({{TaskField::kDue, "2026-12-20"}});
  const ItemData anna = task({{TaskField::kDue, "2026-12-24"}});
  const ItemData ben = task({{TaskField::kDue, "2026-12-20"}, {TaskField::kStatus, "waiting"}});
  const ItemData both = task({{TaskField::kDue, "2026-12-24"}, {TaskField::kStatus, "waiting"}});
  const ItemData benDue = task({{TaskField::kDue, "2026-12-28"}});

  struct Case {
    const char* what;
    std::function<void(SoakFieldLedger&)> run;
    std::vector<std::pair<std::string, ItemData>> folders;
    std::size_t lost;
  };
  const ChangeVersion add{100, "A"};
  const std::vector<Case> cases = {
      {"different fields: both stay",
       [&](SoakFieldLedger& l) {
         l.noteEdit(kId, "anna", "A", 1000, &start, anna);
         l.noteEdit(kId, "ben", "B", 1001, &start, ben);
         l.noteChangeMail(kId, "anna", mailOf(add, {{"due", {1000, "A"}}}));
         l.noteChangeMail(kId, "ben", mailOf(add, {{"status", {1001, "B"}}, {"percent", {1001, "B"}}}));
       },
       {{"anna", both}, {"ben", both}}, 0},
      {"different fields: one lost at one user",
       [&](SoakFieldLedger& l) {
         l.noteEdit(kId, "anna", "A", 1000, &start, anna);
         l.noteEdit(kId, "ben", "B", 1001, &start, ben);
       },
       {{"anna", both}, {"ben", ben}}, 1},
      {"the burst window sent anna's edit later than ben's",
       [&](SoakFieldLedger& l) {
         l.noteEdit(kId, "anna", "A", 1000, &start, anna);
         l.noteEdit(kId, "ben", "B", 1001, &start, benDue);
         l.noteChangeMail(kId, "anna", mailOf(add, {{"due", {99, "A"}}}));  // made before the edit
         l.noteChangeMail(kId, "anna", mailOf(add, {{"due", {1500, "A"}}}));
       },
       {{"anna", anna}, {"ben", anna}}, 0},
      {"an edit set back within the burst window is no change",
       [&](SoakFieldLedger& l) {
         l.noteEdit(kId, "anna", "A", 1000, &start, anna);
         l.noteChangeMail(kId, "anna", mailOf(add, {{"due", {1000, "A"}}}));
         l.noteEdit(kId, "ben", "B", 1001, &start, benDue);
         l.noteEdit(kId, "anna", "A", 1500, &anna, start);
         l.noteEdit(kId, "anna", "A", 1800, &start, anna);
         l.noteChangeMail(kId, "anna", mailOf(add, {{"due", {1000, "A"}}}));
         l.noteChangeMail(kId, "ben", mailOf(add, {{"due", {1001, "B"}}}));
       },
       {{"anna", benDue}, {"ben", benDue}}, 0},
      {"an edit never sent counts with its own time",
       [&](SoakFieldLedger& l) {
         l.noteEdit(kId, "anna", "A", 1002, &start, anna);
         l.noteEdit(kId, "ben", "B", 1001, &start, benDue);
       },
       {{"anna", benDue}, {"ben", benDue}}, 2},
      {"a removal after every edit leaves the task to nobody",
       [&](SoakFieldLedger& l) {
         l.noteEdit(kId, "anna", "A", 1000, nullptr, anna);
         l.noteRemoval(kId, {1001, "B"});
       },
       {{"anna", anna}, {"ben", ItemData()}}, 1},
      {"a change after the removal brings the task back",
       [&](SoakFieldLedger& l) {
         l.noteEdit(kId, "anna", "A", 1000, nullptr, start);
         l.noteRemoval(kId, {1001, "B"});
         l.noteEdit(kId, "anna", "A", 1002, &start, anna);
       },
       {{"anna", anna}, {"ben", ItemData()}}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SoakFieldLedger ledger;
    c.run(ledger);
    std::vector<FolderContents> folders;
    for (const auto& [user, held] : c.folders) {
      FolderContents folder{user, {}};
      if (!held.userProperties.empty()) folder.tasks.push_back(held);
      folders.push_back(std::move(folder));
    }
    const std::vector<std::string> lost = ledger.lostFieldEdits(folders);
    EXPECT_EQ(lost.size(), c.lost);
    for (const std::string& line : lost) EXPECT_TRUE(line.starts_with("lost field edit: {ID} \"Plan\": ")) << line;
  }
}

// User properties are fields like the others, a removed one "none"; a mail
// without versions is a change of every field it carries at its derived
// version, whoever edited them.
TEST(SoakFieldLedger, UserPropertiesAndMailsWithoutVersions) {
  const FieldValue ticket{TaskField::kProperty, "T-1", "Ticket"};
  const FieldValue noTicket{TaskField::kProperty, "none", "Ticket"};
  const ItemData start = task({{TaskField::kDue, "2026-12-20"}, ticket});
  const ItemData removed = task({{TaskField::kDue, "2026-12-20"}, noTicket});
  const ItemData benDue = task({{TaskField::kDue, "2026-12-28"}, ticket});
  const ItemData carlaDue = task({{TaskField::kDue, "2026-12-31"}, ticket});
  const ItemData carlaBoth = task({{TaskField::kDue, "2026-12-31"}, noTicket});
  const ItemData carlaLater =
      task({{TaskField::kDue, "2026-12-31"}, ticket, {TaskField::kStatus, "waiting"}});
  const ChangeVersion add{100, "A"};

  struct Case {
    const char* what;
    std::function<void(SoakFieldLedger&)> run;
    std::vector<std::pair<std::string, ItemData>> folders;
    std::vector<std::string> lost;  // the field of each line
  };
  const std::vector<Case> cases = {
      {"a removed property is expected gone",
       [&](SoakFieldLedger& l) {
         l.noteEdit(kId, "anna", "A", 100, nullptr, start);
         l.noteChangeMail(kId, "anna", mailOf(add, {}));
         l.noteEdit(kId, "anna", "A", 1000, &start, removed);
         l.noteChangeMail(kId, "anna", mailOf(add, {{"p.Ticket", {1000, "A"}}}));
       },
       {{"anna", removed}, {"ben", start}},
       {"ben has property Ticket \"T-1\" where the last version (1000-A) has \"none\""}},
      {"a later derived version wins over a versioned edit before it",
       [&](SoakFieldLedger& l) {
         l.noteEdit(kId, "anna", "A", 100, nullptr, start);
         l.noteEdit(kId, "ben", "B", 1000, &start, benDue);
         l.noteChangeMail(kId, "ben", mailOf(add, {{"due", {1000, "B"}}}));
         l.noteEdit(kId, "carla", "C", 1500, &start, carlaDue);
         l.noteUnversionedChangeMail(kId, "carla", {2000, "CA"}, carlaDue);
       },
       {{"anna", carlaDue}, {"ben", benDue}},
       {"ben has due \"2026-12-28\" where the last version (2000-CA) has \"2026-12-31\""}},
      {"an earlier derived version loses, and carries no removal",
       [&](SoakFieldLedger& l) {
         l.noteEdit(kId, "anna", "A", 100, nullptr, start);
         l.noteChangeMail(kId, "anna", mailOf(add, {}));
         l.noteEdit(kId, "ben", "B", 3000, &start, benDue);
         l.noteChangeMail(kId, "ben", mailOf(add, {{"due", {3000, "B"}}}));
         l.noteUnversionedChangeMail(kId, "carla", {2000, "CA"}, carlaBoth);
       },
       {{"anna", benDue}, {"carla", carlaBoth}},
       {"carla has due \"2026-12-31\" where the last version (3000-B) has \"2026-12-28\"",
        "carla has property Ticket \"none\" where the last version (100-A) has \"T-1\""}},
      {"an edit made after the mail without versions goes with the next one",
       [&](SoakFieldLedger& l) {
         l.noteEdit(kId, "anna", "A", 100, nullptr, start);
         l.noteChangeMail(kId, "anna", mailOf(add, {}));
         l.noteEdit(kId, "carla", "C", 1500, &start, carlaDue);
         l.noteEdit(kId, "carla", "C", 1600, &carlaDue, carlaLater);
         l.noteUnversionedChangeMail(kId, "carla", {2000, "CA"}, carlaDue);
         l.noteUnversionedChangeMail(kId, "carla", {3000, "CA"}, carlaLater);
       },
       {{"anna", carlaDue}, {"ben", carlaLater}},
       {"anna has status \"not-started\" where the last version (3000-CA) has \"waiting\""}},
      {"a version kept through the older part counts when it travels",
       [&](SoakFieldLedger& l) {
         l.noteEdit(kId, "anna", "A", 100, nullptr, start);
         l.noteChangeMail(kId, "anna", mailOf(add, {}));
         l.noteUnversionedChangeMail(kId, "carla", {50, "CA"}, carlaDue);
         l.noteKeptVersions(kId, mailOf(add, {{"due", {150, "C"}}}), carlaDue);
       },
       {{"anna", start}},
       {"anna has due \"2026-12-20\" where the last version (150-C) has \"2026-12-31\""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SoakFieldLedger ledger;
    c.run(ledger);
    std::vector<FolderContents> folders;
    for (const auto& [user, held] : c.folders) folders.push_back({user, {held}});
    const std::vector<std::string> lost = ledger.lostFieldEdits(folders);
    ASSERT_EQ(lost.size(), c.lost.size());
    for (std::size_t i = 0; i < lost.size(); ++i)
      EXPECT_EQ(lost[i], "lost field edit: {ID} \"Plan\": " + c.lost[i]);
  }
}

}  // namespace
}  // namespace qx::tools

// The soak's bookkeeping and the in-step comparison, without an office.
#include <gtest/gtest.h>

#include <set>

#include "quendrilax-sim/in_step.h"
#include "quendrilax-sim/soak_ledger.h"
#include "quendrilax-sim/soak_plan.h"
#include "quendrilax-sim/text_utf.h"

namespace qx::tools {
namespace {

std::vector<SoakEdit> plan(std::uint64_t seed, int edits, SoakFaults faults = {}) {
  SoakPlan p(seed, faults);
  std::vector<SoakEdit> out;
  std::vector<std::size_t> counts = {0, 0, 0};
  for (int n = 1; n <= edits; ++n) {
    SoakEdit e = p.nextEdit(n, {0, 1, 2}, counts);
    if (e.kind == SoakEdit::Kind::kAdd) ++counts[e.user];
    if (e.kind == SoakEdit::Kind::kDelete) --counts[e.user];
    out.push_back(std::move(e));
  }
  return out;
}

bool sameEdits(const std::vector<SoakEdit>& a, const std::vector<SoakEdit>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].kind != b[i].kind || a[i].user != b[i].user || a[i].task != b[i].task ||
        a[i].fields != b[i].fields)
      return false;
  return true;
}

TEST(SoakPlanTest, SameSeedSameRunOtherSeedOtherRun) {
  EXPECT_TRUE(sameEdits(plan(7, 500), plan(7, 500)));
  EXPECT_FALSE(sameEdits(plan(7, 500), plan(8, 500)));
  // The generator's algorithm is fixed: these values hold on every machine.
  SoakRandom random(1);
  EXPECT_EQ(random.next(), 0x910A2DEC89025CC1ull);
}

TEST(SoakPlanTest, EditsStayWithinWhatTravels) {
  int adds = 0, edits = 0, deletes = 0, propertiesSet = 0, propertiesRemoved = 0;
  std::vector<std::size_t> counts = {0, 0, 0};
  SoakPlan p(42, {});
  for (int n = 1; n <= 3000; ++n) {
    // Only users 1 and 2 are ready; user 2 removes no user property.
    const SoakEdit e = p.nextEdit(n, {1, 2}, counts, 2);
    ASSERT_NE(e.user, 0u);
    switch (e.kind) {
      case SoakEdit::Kind::kAdd:
        ++adds;
        ++counts[e.user];
        // All but private, and some of the three user properties.
        EXPECT_GE(e.fields.size(), allTaskFields().size() - 1);
        EXPECT_LE(e.fields.size(), allTaskFields().size() + 2);
        break;
      case SoakEdit::Kind::kEdit:
        ++edits;
        ASSERT_LT(e.task, counts[e.user]);
        EXPECT_GE(e.fields.size(), 1u);
        EXPECT_LE(e.fields.size(), 3u);
        break;
      case SoakEdit::Kind::kDelete:
        ++deletes;
        ASSERT_LT(e.task, counts[e.user]);
        --counts[e.user];
        break;
    }
    std::set<std::pair<TaskField, std::string>> seen;
    for (const FieldValue& f : e.fields) {
      EXPECT_TRUE(seen.insert({f.field, f.property}).second) << "a field twice in one edit";
      if (f.field == TaskField::kProperty) {
        EXPECT_FALSE(f.property.empty());
        const bool removes = f.text == kRemoved;
        ++(removes ? propertiesRemoved : propertiesSet);
        EXPECT_FALSE(removes && (e.user == 2 || e.kind == SoakEdit::Kind::kAdd));
      }
      // By design private and "Feiertag" tasks never travel: the soak makes none.
      EXPECT_NE(f.field, TaskField::kPrivate);
      EXPECT_EQ(f.text.find("Feiertag"), std::string::npos);
      // Every value is one the scenario language itself would accept.
      EXPECT_EQ(canonicalFieldText(f.field, f.text), f.text);
    }
  }
  // Adds outweigh deletes, so the folders grow; all three kinds occur.
  EXPECT_GT(adds, deletes);
  EXPECT_GT(edits, 0);
  EXPECT_GT(deletes, 0);
  EXPECT_GT(propertiesSet, propertiesRemoved);
  EXPECT_GT(propertiesRemoved, 0);
}

TEST(SoakPlanTest, FaultsOnlyWhenAsked) {
  SoakPlan quiet(3, {});
  SoakPlan faulty(3, {true, true, true});
  int restarts = 0, delays = 0, doubles = 0;
  for (int i = 0; i < 1000; ++i) {
    EXPECT_FALSE(quiet.restart(3).has_value());
    const SoakPost calm = quiet.post();
    EXPECT_EQ(calm.delayMs, 0);
    EXPECT_EQ(calm.copies, 1);
    if (auto who = faulty.restart(3)) {
      ++restarts;
      EXPECT_LT(*who, 3u);
    }
    const SoakPost post = faulty.post();
    delays += post.delayMs > 0;
    doubles += post.copies == 2;
    EXPECT_LE(post.delayMs, 90'000);
  }
  EXPECT_GT(restarts, 50);
  EXPECT_GT(delays, 200);
  EXPECT_GT(doubles, 100);
}

TEST(SoakPlanTest, ProgressAndSummaryLines) {
  SoakTally tally;
  tally.edits = 1000;
  tally.adds = 400;
  tally.changes = 450;
  tally.deletes = 150;
  tally.mailsCarried = 2874;
  tally.restarts = 12;
  EXPECT_EQ(soakProgressLine("team", tally, 3'725'000, 4.25),
            "soak team: 1000 edits, 2874 mails carried, virtual 1h02m05s, real 4.2 s");
  EXPECT_EQ(soakSummary("team", tally, 3'725'000, 4.0),
            "soak team done: 1000 edits (400 adds, 450 changes, 150 deletes), 2874 mails "
            "carried, 12 restarts, 0 delayed and 0 doubled transport runs, virtual 1h02m05s, "
            "real 4.0 s, 250 edits/s");
}

sim::mail::ItemData task(const char* subject, const char* id) {
  sim::mail::ItemData t = sim::mail::ItemData::newTask();
  t.subject = utf8ToUtf16(subject);
  if (*id) t.userProperties.push_back({u"quendrilaxid", 1, Variant(utf8ToUtf16(id))});
  return t;
}

TEST(InStepTest, DifferencesUserByUserAndFieldByField) {
  auto changed = task("Cake", "{1}");
  changed.percentComplete = 50;
  changed.importance = 2;
  const std::vector<FolderContents> folders = {
      {"anna", {task("Cake", "{1}"), task("Party", "{2}"), task("Loose", "")}},
      {"ben", {changed, task("Party", "{2}"), task("Party", "{2}")}},
      {"carla", {task("Cake", "{1}"), task("Extra", "{3}")}},
  };
  const std::vector<std::string> expected = {
      "anna: task \"Loose\" has no sync id",
      "anna: missing {3} \"Extra\" (held by carla)",
      "ben: {1} \"Cake\" percent \"50\" where anna has \"0\"",
      "ben: {1} \"Cake\" importance \"high\" where anna has \"normal\"",
      "ben: 2 tasks with {2} (doubled)",
      "ben: missing {3} \"Extra\" (held by carla)",
      "carla: missing {2} \"Party\" (held by anna)",
  };
  EXPECT_EQ(inStepDifferences(folders), expected);
}

TEST(InStepTest, SameTasksInAnyOrderAreInStep) {
  const std::vector<FolderContents> folders = {
      {"anna", {task("A", "{1}"), task("B", "{2}")}},
      {"ben", {task("B", "{2}"), task("A", "{1}")}},
  };
  EXPECT_TRUE(inStepDifferences(folders).empty());
  EXPECT_TRUE(inStepDifferences({{"anna", {}}, {"ben", {}}}).empty());
}

// An edit made on a copy older than another user's version of the task
// crosses it; one made on the last version does not.
TEST(SoakLedgerTest, EditsOnAnOlderCopyAreCrossing) {
  SoakLedger ledger;
  ledger.noteEdit("{1}", {{1000, "B"}, "ben", false, task("Cake", "{1}")}, std::nullopt);
  ledger.noteEdit("{1}", {{1000, "A"}, "anna", false, task("Cake", "{1}")}, EditVersion{900, "B"});
  ledger.noteEdit("{2}", {{1000, "A"}, "anna", false, task("Party", "{2}")}, std::nullopt);
  ledger.noteEdit("{2}", {{2000, "B"}, "ben", true, {}}, EditVersion{1000, "A"});
  EXPECT_EQ(ledger.counts().crossingEdits, 1);
}

// A mail still on its way when a later one of the same task is due before it
// is overtaken, by a change or by a removal; once only.
TEST(SoakLedgerTest, OvertakenMailsAreCountedOnce) {
  SoakLedger ledger;
  ledger.noteMail("{1}", false, 0, 60'000);
  ledger.noteMail("{1}", false, 30'000, 30'000);
  ledger.noteMail("{1}", false, 40'000, 40'000);
  ledger.noteMail("{2}", false, 0, 60'000);
  ledger.noteMail("{2}", true, 30'000, 50'000);
  ledger.noteMail("{3}", false, 0, 10'000);
  ledger.noteMail("{3}", true, 30'000, 30'000);  // the change arrived first
  EXPECT_EQ(ledger.counts().overtakenChanges, 1);
  EXPECT_EQ(ledger.counts().lateChangesAfterRemovals, 1);
  EXPECT_EQ(editVersionFromText("1796630400123-0F9A"), (EditVersion{1796630400123, "0F9A"}));
  EXPECT_EQ(editVersionFromText("x-0F9A"), std::nullopt);
}

}  // namespace
}  // namespace qx::tools

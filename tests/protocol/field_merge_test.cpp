// Merging two states of a task field by field: which side's value stays, and
// that the merge is a maximum per register, so that users who receive the
// same changes in any order, any number of times, end equal.
#include "protocol/field_merge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace qx {
namespace {

const ChangeVersion k1{1000, "A1"};
const ChangeVersion k2{2000, "B2"};
const ChangeVersion k3{3000, "C3"};

FieldState state(
    std::optional<ChangeVersion> rest,
    std::vector<std::tuple<std::string, std::uint64_t, std::optional<ChangeVersion>>> fields) {
  FieldState out{FieldVersions(std::move(rest)), {}};
  for (const auto& [id, hash, version] : fields) {
    out.hashes.emplace(id, hash);
    if (version) out.versions.set(id, *version);
  }
  return out;
}

std::vector<FieldId> sorted(std::vector<FieldId> ids) {
  std::sort(ids.begin(), ids.end());
  return ids;
}

TEST(FieldMerge, EachRegisterKeepsTheNewerValue) {
  struct Case {
    const char* what;
    FieldState here;
    FieldState there;
    std::vector<FieldId> taken;
  };
  const std::vector<Case> cases = {
      {"different fields changed at once",
       state(k1, {{"due", 1, {}}, {"subject", 1, k2}}),
       state(k1, {{"due", 2, k3}, {"subject", 1, {}}}),
       {"due"}},
      {"same field, older mail", state(k1, {{"due", 1, k3}}), state(k1, {{"due", 2, k2}}), {}},
      {"the same change twice", state(k2, {{"due", 1, {}}}), state(k2, {{"due", 1, {}}}), {}},
      {"nothing versioned here", state({}, {{"due", 1, {}}}), state(k1, {{"due", 2, {}}}), {"due"}},
      {"one version, two values: the larger hash",
       state(k2, {{"due", 1, {}}}),
       state(k2, {{"due", 2, {}}}),
       {"due"}},
      {"the same the other way round",
       state(k2, {{"due", 2, {}}}),
       state(k2, {{"due", 1, {}}}),
       {}},
      // A property the mail neither carries nor names is no news of it,
      // however new the mail.
      {"a property only here stays",
       state(k1, {{"p.Kunde", 5, {}}}),
       state(k3, {{"due", 1, {}}}),
       {"due"}},
      {"a property new here comes",
       state(k3, {{"due", 1, {}}}),
       state(k1, {{"p.Kunde", 5, {}}}),
       {"p.Kunde"}},
      {"a newer removal of a property wins",
       state(k1, {{"p.Kunde", 5, {}}}),
       state(k1, {{"p.Kunde", kAbsentHash, k2}}),
       {"p.Kunde"}},
      {"a newer value wins over a removal",
       state(k1, {{"p.Kunde", kAbsentHash, k2}}),
       state(k1, {{"p.Kunde", 7, k3}}),
       {"p.Kunde"}},
      // Status, percent and complete go together: a tie on the register is
      // settled once for all three, never one from each side.
      {"progress: the newer register whole",
       state(k1, {{"status", 1, k2}, {"percent", 1, k2}, {"complete", 1, k2}}),
       state(k1, {{"status", 2, k3}, {"percent", 1, k3}, {"complete", 2, k3}}),
       {"complete", "percent", "status"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const FieldMerge merge = mergeFields(c.here, c.there);
    EXPECT_EQ(sorted(merge.taken), c.taken);
    for (const FieldId& id : merge.taken) {
      EXPECT_EQ(merge.merged.hashes.at(id), c.there.hashes.at(id)) << id;
      EXPECT_EQ(merge.merged.versions.of(id), registerVersion(c.there, id)) << id;
    }
    for (const FieldId& id : merge.kept) {
      if (c.here.hashes.contains(id)) {
        EXPECT_EQ(merge.merged.hashes.at(id), c.here.hashes.at(id));
      }
    }
  }
}

// Two users at one version (a shared tie-breaker, in one millisecond), one
// with status "complete" and 100 %, the other "in progress" at 50 %: both end
// with one side's three values, never one of each.
TEST(FieldMerge, AProgressTieGoesWholeOneWay) {
  const FieldState done = state(k2, {{"status", 2, {}}, {"percent", 100, {}}, {"complete", 1, {}}});
  const FieldState half = state(k2, {{"status", 1, {}}, {"percent", 50, {}}, {"complete", 0, {}}});
  const FieldMerge there = mergeFields(done, half);
  const FieldMerge back = mergeFields(half, done);
  EXPECT_TRUE(there.taken.size() == 0 || there.taken.size() == 3);
  EXPECT_EQ(there.taken.size() + back.taken.size(), 3u);
  EXPECT_EQ(there.merged.hashes, back.merged.hashes);
}

// Each field as the merge leaves it: its version and its value.
std::map<FieldId, std::pair<std::optional<ChangeVersion>, std::uint64_t>> meaning(
    const FieldState& s) {
  std::map<FieldId, std::pair<std::optional<ChangeVersion>, std::uint64_t>> out;
  for (const auto& [id, hash] : s.hashes) out[id] = {s.versions.of(id), hash};
  return out;
}

// Random states as users make them: fixed fields, two user properties that
// come and go, the progress fields stamped together; few versions and values,
// so that ties and equal values are common.
FieldState randomState(std::mt19937& random) {
  auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  auto version = [&]() -> ChangeVersion { return {1000 + pick(3), pick(2) ? "AB" : "CD"}; };
  FieldState s{FieldVersions(version()), {}};
  for (const char* id : {"subject", "due"}) {
    if (pick(4) == 0) continue;
    s.hashes.emplace(id, 1 + pick(3));
    if (pick(2)) s.versions.set(id, version());
  }
  for (const char* id : {"p.Kunde", "p.Ort"}) {
    const int choice = pick(4);
    if (choice == 0) continue;
    s.hashes.emplace(id, choice == 1 ? kAbsentHash : static_cast<std::uint64_t>(1 + pick(3)));
    if (pick(2)) s.versions.set(id, version());
  }
  if (pick(4) != 0) {
    const ChangeVersion progress = version();
    for (const char* id : {"status", "percent", "complete"}) {
      s.hashes.emplace(id, 1 + pick(2));
      s.versions.set(id, progress);
    }
  }
  return s;
}

FieldState merged(const FieldState& a, const FieldState& b) { return mergeFields(a, b).merged; }

TEST(FieldMerge, IsCommutativeAssociativeAndIdempotent) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 3000; ++round) {
    SCOPED_TRACE(round);
    const FieldState a = randomState(random);
    const FieldState b = randomState(random);
    const FieldState c = randomState(random);
    ASSERT_EQ(meaning(merged(a, b)), meaning(merged(b, a)));
    ASSERT_EQ(meaning(merged(merged(a, b), c)), meaning(merged(a, merged(b, c))));
    ASSERT_EQ(meaning(merged(a, a)), meaning(a));
    ASSERT_EQ(meaning(merged(merged(a, b), b)), meaning(merged(a, b)));
  }
}

// Four users start from one state; each receives the same changes, some twice,
// in an order of its own, and all end equal, on the value of each register's
// newest change.
TEST(FieldMerge, EveryDeliveryOrderEndsEqual) {
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    const FieldState start = randomState(random);
    std::vector<FieldState> changes;
    for (int i = 0; i < 5; ++i) changes.push_back(randomState(random));
    std::optional<FieldState> end;
    for (int user = 0; user < 4; ++user) {
      std::vector<FieldState> mail = changes;
      mail.push_back(changes[random() % changes.size()]);
      std::shuffle(mail.begin(), mail.end(), random);
      FieldState here = start;
      for (const FieldState& change : mail) here = merged(here, change);
      if (!end) end = here;
      ASSERT_EQ(meaning(here), meaning(*end)) << "user " << user;
    }
  }
}

}  // namespace
}  // namespace qx

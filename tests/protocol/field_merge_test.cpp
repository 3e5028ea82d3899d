// Merging a received change field by field: which side's value stays, and
// that users who receive the same changes in any order end equal.
#include <gtest/gtest.h>

#include <algorithm>

#include "protocol/field_merge.h"

namespace qx {
namespace {

const ChangeVersion k1{1000, "ANNA"};
const ChangeVersion k2{2000, "BEN"};
const ChangeVersion k3{3000, "CARL"};

FieldVersions versions(std::optional<ChangeVersion> rest,
                       std::vector<std::pair<std::string, ChangeVersion>> listed = {}) {
  FieldVersions out(std::move(rest));
  for (const auto& [id, version] : listed) out.set(id, version);
  return out;
}

std::vector<FieldId> sorted(std::vector<FieldId> ids) {
  std::sort(ids.begin(), ids.end());
  return ids;
}

FieldSide side(std::set<FieldId> ids, std::uint64_t hash = 0) {
  FieldSide out;
  for (const FieldId& id : ids) out.emplace(id, hash);
  return out;
}

TEST(FieldMerge, EachFieldKeepsTheNewerValue) {
  const FieldSide fixed = side({"due", "status", "subject"});
  struct Case {
    const char* what;
    FieldVersions local;
    FieldSide localFields;
    FieldVersions mail;
    FieldSide mailFields;
    std::vector<FieldId> taken;
    std::optional<ChangeVersion> newest;
  };
  const std::vector<Case> cases = {
      {"different fields changed at once", versions(k1, {{"status", k2}}), fixed,
       versions(k1, {{"due", k3}}), fixed, {"due"}, k3},
      {"the other way round", versions(k1, {{"due", k3}}), fixed, versions(k1, {{"status", k2}}),
       fixed, {"status"}, k3},
      {"same field: the later change", versions(k1, {{"due", k2}}), fixed,
       versions(k1, {{"due", k3}}), fixed, {"due"}, k3},
      {"same field, older mail", versions(k1, {{"due", k3}}), fixed, versions(k1, {{"due", k2}}),
       fixed, {}, k3},
      {"the same change twice", versions(k2), fixed, versions(k2), fixed, {}, k2},
      {"an older add-in's whole state", versions(k1, {{"due", k3}}), fixed, versions(k2), fixed,
       {"status", "subject"}, k3},
      {"nothing versioned here", versions(std::nullopt), fixed, versions(k1), fixed,
       {"due", "status", "subject"}, k1},
      {"a property new here comes whatever its version", versions(k3), fixed, versions(k1),
       side({"due", "p.Kunde", "status", "subject"}), {"p.Kunde"}, k3},
      {"a property only here stays", versions(k1), side({"due", "p.Kunde", "status", "subject"}),
       versions(k3), fixed, {"due", "status", "subject"}, k3},
      {"one version, two values: the larger hash, at either end", versions(k2), side({"due"}, 1),
       versions(k2), side({"due"}, 2), {"due"}, k2},
      {"the same the other way round", versions(k2), side({"due"}, 2), versions(k2),
       side({"due"}, 1), {}, k2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const FieldMerge merge = mergeFields(c.local, c.localFields, c.mail, c.mailFields);
    EXPECT_EQ(sorted(merge.taken), c.taken);
    EXPECT_EQ(merge.taken.size() + merge.kept.size(),
              std::max(c.localFields.size(), c.mailFields.size()));
    EXPECT_EQ(merge.versions.newest(), c.newest);
    for (const FieldId& id : merge.taken) EXPECT_EQ(merge.versions.of(id), c.mail.of(id)) << id;
    for (const FieldId& id : merge.kept) {
      if (c.localFields.contains(id)) {
        EXPECT_EQ(merge.versions.of(id), c.local.of(id)) << id;
      }
    }
  }
}

// Three users each change fields of one task; every user merges the others'
// changes, which reach them in every order, and all end with the same values.
TEST(FieldMerge, EveryOrderOfTheSameChangesEndsEqual) {
  struct Task {
    FieldVersions versions;
    std::map<FieldId, int> values;
  };
  const FieldSide fields = side({"due", "status", "subject"});
  const Task start{versions(ChangeVersion{500, "ANNA"}), {{"due", 0}, {"status", 0}, {"subject", 0}}};
  struct Change {
    ChangeVersion version;
    std::vector<std::pair<FieldId, int>> edits;
  };
  const std::vector<Change> changes = {{k1, {{"due", 1}}},
                                       {k2, {{"status", 2}, {"due", 2}}},
                                       {k3, {{"subject", 3}}}};
  // Each change as its author sent it: made on the starting state.
  std::vector<Task> mails;
  for (const Change& change : changes) {
    Task mail = start;
    for (const auto& [id, value] : change.edits) {
      mail.values[id] = value;
      mail.versions.set(id, change.version);
    }
    mails.push_back(mail);
  }
  std::optional<std::map<FieldId, int>> end;
  std::vector<std::size_t> order = {0, 1, 2};
  do {
    Task here = start;
    for (std::size_t i : order) {
      const FieldMerge merge = mergeFields(here.versions, fields, mails[i].versions, fields);
      for (const FieldId& id : merge.taken) here.values[id] = mails[i].values[id];
      here.versions = merge.versions;
    }
    if (!end) end = here.values;
    EXPECT_EQ(here.values, *end);
    EXPECT_EQ(here.versions.newest(), k3);
  } while (std::next_permutation(order.begin(), order.end()));
  EXPECT_EQ(*end, (std::map<FieldId, int>{{"due", 2}, {"status", 2}, {"subject", 3}}));
}

}  // namespace
}  // namespace qx

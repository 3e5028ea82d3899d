#include "protocol/field_merge.h"

#include <set>

#include "protocol/content_hash.h"

namespace qx {
namespace {

struct Register {
  bool held = false;
  std::optional<ChangeVersion> version;
  std::uint64_t hash = 0;
};

// Members in a fixed order, a member the side lacks hashed as absent: both
// sides hash the same register alike.
Register registerOn(const FieldState& state, std::string_view id) {
  Register reg;
  if (!isProgressField(id)) {
    const auto found = state.hashes.find(id);
    if (found == state.hashes.end()) return reg;
    return {true, state.versions.of(id), found->second};
  }
  ContentHash hash;
  for (std::string_view member : progressFieldIds()) {
    const auto found = state.hashes.find(member);
    hash.add(found == state.hashes.end() ? kAbsentHash : found->second);
    if (found == state.hashes.end()) continue;
    reg.held = true;
    const std::optional<ChangeVersion> version = state.versions.of(member);
    if (version && (!reg.version || *reg.version < *version)) reg.version = version;
  }
  reg.hash = hash.value();
  return reg;
}

bool thereWins(const Register& here, const Register& there) {
  if (!there.held) return false;
  if (!here.held) return true;
  if (here.version != there.version) return here.version < there.version;
  return here.hash < there.hash;
}

}  // namespace

std::optional<ChangeVersion> registerVersion(const FieldState& state, std::string_view id) {
  return registerOn(state, id).version;
}

FieldMerge mergeFields(const FieldState& here, const FieldState& there) {
  FieldMerge merge;
  std::set<FieldId> fields;
  for (const auto& [id, hash] : here.hashes) fields.insert(id);
  for (const auto& [id, hash] : there.hashes) fields.insert(id);
  std::optional<ChangeVersion> rest = here.versions.rest();
  if (there.versions.rest() && (!rest || *rest < *there.versions.rest()))
    rest = there.versions.rest();
  merge.merged.versions = FieldVersions(rest);
  for (const FieldId& id : fields) {
    const Register mine = registerOn(here, id);
    const Register theirs = registerOn(there, id);
    const bool take = thereWins(mine, theirs);
    const FieldState& winner = take ? there : here;
    const auto value = winner.hashes.find(id);
    // A progress member the winner lacks is absent with the register.
    merge.merged.hashes.emplace(id, value == winner.hashes.end() ? kAbsentHash : value->second);
    const std::optional<ChangeVersion>& version = take ? theirs.version : mine.version;
    if (version) merge.merged.versions.set(id, *version);
    (take ? merge.taken : merge.kept).push_back(id);
  }
  merge.merged.versions.compact({fields.begin(), fields.end()});
  return merge;
}

}  // namespace qx

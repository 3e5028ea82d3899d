#pragma once
// Merging two states of a task field by field. A state is each field's
// version and a hash of its value (kAbsentHash for a user property that was
// removed); the fields are merged in registers (every field on its own, the
// progress fields as one), and in each register the newer version wins, equal
// versions with other values going to the larger hash. That is a maximum per
// register, so the merge is commutative, associative and idempotent: every
// user ends on the same state from the same mails, whatever their order, and
// nothing need be mailed back. A field one side does not hold at all is no
// information from that side: the other's stays.
#include <cstdint>
#include <map>
#include <vector>

#include "protocol/field_versions.h"

namespace qx {

// Each field's value hash.
using FieldSide = std::map<FieldId, std::uint64_t, std::less<>>;

struct FieldState {
  FieldVersions versions;
  FieldSide hashes;
  friend bool operator==(const FieldState&, const FieldState&) = default;
};

struct FieldMerge {
  std::vector<FieldId> taken;  // the other side's register won: its value replaces this one's
  std::vector<FieldId> kept;   // this side's register won, or the other says nothing of it
  FieldState merged;
};

FieldMerge mergeFields(const FieldState& here, const FieldState& there);

// The version of a field's register in `state`: the newest of its members the
// state holds. None when it holds none of them or they have no version.
std::optional<ChangeVersion> registerVersion(const FieldState& state, std::string_view id);

}  // namespace qx

#pragma once
// Merging a received change into the task held here, field by field: for each
// field the value with the newer field version stays. Every user computes the
// same merge from the same mails, so all end equal without mailing the merged
// state back. A user property is never removed by a change (the library's
// copy adds and replaces, and never removes), so a property the task lacks
// takes the mail's value whatever its version: a missing property has none.
#include <cstdint>
#include <map>
#include <vector>

#include "protocol/field_versions.h"

namespace qx {

struct FieldMerge {
  std::vector<FieldId> taken;  // the mail's value replaces the one here
  std::vector<FieldId> kept;   // the value here stays
  FieldVersions versions;      // of the merged task
};

// The fields each side holds, with a hash of each value.
using FieldSide = std::map<FieldId, std::uint64_t, std::less<>>;

// Equal versions are one change, and keep the value here; unless the values
// differ (two users with one tie-breaker, a copied profile, in one
// millisecond): then the larger hash wins, the same way at every user.
FieldMerge mergeFields(const FieldVersions& local, const FieldSide& localFields,
                       const FieldVersions& mail, const FieldSide& mailFields);

}  // namespace qx

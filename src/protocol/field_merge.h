#pragma once
// Merging a received change into the task held here, field by field: for each
// field the value with the newer field version stays. Every user computes the
// same merge from the same mails, so all end equal without mailing the merged
// state back. A user property is never removed by a change (the library's
// copy adds and replaces, and never removes), so a property the task lacks
// takes the mail's value whatever its version: a missing property has none.
#include <set>
#include <vector>

#include "protocol/field_versions.h"

namespace qx {

struct FieldMerge {
  std::vector<FieldId> taken;  // the mail's value replaces the one here
  std::vector<FieldId> kept;   // the value here stays
  FieldVersions versions;      // of the merged task
};

// `localFields` and `mailFields` are the fields each side holds. Ties keep
// the value here: the same version is the same change.
FieldMerge mergeFields(const FieldVersions& local, const std::set<FieldId>& localFields,
                       const FieldVersions& mail, const std::set<FieldId>& mailFields);

}  // namespace qx

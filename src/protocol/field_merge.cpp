#include "protocol/field_merge.h"

#include <set>

namespace qx {

namespace {

bool mailWins(const std::optional<ChangeVersion>& here, std::uint64_t hereValue,
              const std::optional<ChangeVersion>& there, std::uint64_t thereValue) {
  if (!there) return false;
  if (!here || *here < *there) return true;
  return *here == *there && hereValue < thereValue;
}

}  // namespace

FieldMerge mergeFields(const FieldVersions& local, const FieldSide& localFields,
                       const FieldVersions& mail, const FieldSide& mailFields) {
  FieldMerge merge;
  std::set<FieldId> fields;
  for (const auto& [id, hash] : localFields) fields.insert(id);
  for (const auto& [id, hash] : mailFields) fields.insert(id);
  std::optional<ChangeVersion> rest = local.rest();
  if (mail.rest() && (!rest || *rest < *mail.rest())) rest = mail.rest();
  merge.versions = FieldVersions(rest);
  for (const FieldId& id : fields) {
    const std::optional<ChangeVersion> here = local.of(id);
    const std::optional<ChangeVersion> there = mail.of(id);
    const auto mine = localFields.find(id);
    const auto theirs = mailFields.find(id);
    const bool take = theirs == mailFields.end() ? false
                      : mine == localFields.end()
                          ? true
                          : mailWins(here, mine->second, there, theirs->second);
    (take ? merge.taken : merge.kept).push_back(id);
    const std::optional<ChangeVersion>& version = take ? there : here;
    if (version) merge.versions.set(id, *version);
  }
  merge.versions.compact({fields.begin(), fields.end()});
  return merge;
}

}  // namespace qx

#include "protocol/field_merge.h"

namespace qx {

FieldMerge mergeFields(const FieldVersions& local, const std::set<FieldId>& localFields,
                       const FieldVersions& mail, const std::set<FieldId>& mailFields) {
  FieldMerge merge;
  std::set<FieldId> fields = localFields;
  fields.insert(mailFields.begin(), mailFields.end());
  std::optional<ChangeVersion> rest = local.rest();
  if (mail.rest() && (!rest || *rest < *mail.rest())) rest = mail.rest();
  merge.versions = FieldVersions(rest);
  for (const FieldId& id : fields) {
    const std::optional<ChangeVersion> here = local.of(id);
    const std::optional<ChangeVersion> there = mail.of(id);
    const bool take = !mailFields.contains(id)     ? false
                      : !localFields.contains(id) ? true
                                                  : there && (!here || *here < *there);
    (take ? merge.taken : merge.kept).push_back(id);
    const std::optional<ChangeVersion>& version = take ? there : here;
    if (version) merge.versions.set(id, *version);
  }
  merge.versions.compact({fields.begin(), fields.end()});
  return merge;
}

}  // namespace qx

#include "incoming/sync_mail_walk.h"

#include "protocol/sync_envelope.h"

namespace qx {

std::vector<std::shared_ptr<Dispatch>> findSyncMails(Folder& folder) {
  std::vector<std::shared_ptr<Dispatch>> found;
  const Result<std::shared_ptr<Items>> items = folder.items();
  if (!items) return found;
  // Unsorted, the host would search the whole folder for every next match.
  if (failed((*items)->sort(syncmail::kSubjectSort, false))) return found;
  Result<std::shared_ptr<Dispatch>> item = (*items)->find(syncmail::kSubjectFilter);
  while (item && *item) {
    found.push_back(std::move(*item));
    item = (*items)->findNext();
  }
  return found;
}

}  // namespace qx

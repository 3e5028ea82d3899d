#pragma once
// The sync identity of a task item: the user property that carries its sync
// id, the lookups by id in a folder, and the way from a received task to its
// local counterpart.
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/diagnostics.h"
#include "platform/guid.h"
#include "platform/mail_client.h"
#include "platform/safe_library.h"

namespace qx {

namespace syncid {
inline constexpr std::u16string_view kPropertyName = u"quendrilaxid";
inline constexpr std::u16string_view kFieldReference = u"[quendrilaxid]";
// Subject of the task that defines the field in a folder; it lives only for
// the length of one lookup.
inline constexpr std::u16string_view kFieldDefinerSubject = u"Quendrilax field definition";
}  // namespace syncid

struct TaskSyncId {
  // Empty when the task's property holds something other than text.
  std::u16string id;
  // A new id was written to the task's working copy: the caller saves it.
  bool assigned = false;
};

// The id in the first user property named exactly "quendrilaxid"; a new one
// from the generator when there is none. A property list that cannot be read
// fails rather than risk a second id property on the task.
Result<TaskSyncId> getOrAssignSyncId(UserProperties& properties, GuidSource& guids);
Result<TaskSyncId> getOrAssignSyncId(TaskItem& task, GuidSource& guids);

// The first item of the folder's sorted collection whose sync id is `id`, or
// nullptr. The folder is taken over and released. An empty id, or one that
// would change the meaning of the filter, names no task.
std::shared_ptr<Dispatch> findTaskBySyncId(Namespace& session, std::shared_ptr<Folder> folder,
                                           std::u16string_view id);

// Makes the folder know the sync-id field, using a private task made for the
// purpose and deleted for good afterwards; no user task is touched. Returns
// the first failing status.
Hresult ensureSyncIdField(Namespace& session, const std::shared_ptr<Folder>& folder);

// The target folder's task with the received item's sync id, or nullptr when
// the received item has none or no local task has it. Fails only when the
// safe-item library is missing; that has been reported, and as the host may
// be tearing the add-in down, the caller must end its work at once.
Result<std::shared_ptr<Dispatch>> findCounterpart(Namespace& session, SafeLibrary& library,
                                                  Diagnostics& diagnostics,
                                                  const std::shared_ptr<Dispatch>& received,
                                                  std::shared_ptr<Folder> target);

// The text of a user property of the received item (read from a message file),
// where it is a named property of the public-strings set; none when the item
// has no such property or it holds no text.
std::optional<std::u16string> readReceivedText(MapiUtilities& utilities,
                                               const std::shared_ptr<Dispatch>& received,
                                               std::u16string_view name);

}  // namespace qx

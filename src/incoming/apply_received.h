#pragma once
// Making the local task folder agree with a received sync mail: the task a
// removal mail names is removed, a received task is added or copied onto its
// local counterpart. Every task written here is put on the engine's
// dontTouchList, so that the change events of these writes are not mailed
// back out as the user's own changes.
#include <memory>
#include <string_view>

#include "incoming/incoming_step.h"
#include "platform/mail_client.h"
#include "protocol/change_version.h"
#include "protocol/sync_mail_reader.h"

namespace qx {

class SyncEngine;

// The target folder's task with that sync id loses every user property (so
// that its arrival in Deleted Items sends no removal mail back) and is
// deleted. An unknown id changes nothing. A task whose properties cannot all
// be removed is left alone and its mail kept: deleted with them, it would
// announce its removal to everyone once more.
// A versioned removal is recorded, and deletes no copy newer than itself.
InboxStep applyRemoval(SyncEngine& engine, std::shared_ptr<Folder> target,
                       const SyncMailReading& mail);

// Removes every user property from the task's working copy; false when one
// could not be removed. A task that reaches Deleted Items without its sync id
// and share name announces no removal to the peers.
bool removeUserProperties(TaskItem& task);

// Copies the received task onto the target folder's task with the same sync
// id, or onto a new task that is then moved into the target folder; a
// versioned change that is not newer than the local copy (or than the task's
// recorded removal) is dropped. The task keeps the mail's version, with the
// content it stood for; a change without one leaves it unversioned. A change
// that cannot be made leaves the local task as it was and keeps the mail; a
// new task that cannot be filled is removed for good.
InboxStep applyTask(SyncEngine& engine, const std::shared_ptr<Dispatch>& received,
                    const std::shared_ptr<Folder>& target, Application& application,
                    const SyncMailReading& mail);

// The library's copy of the received item onto the local task's working copy,
// "\nCopyTo" reported when it fails. The value is the copy's status; fails
// only when the safe-item library is missing, which has been reported, and the
// caller must then end its work at once.
Result<Hresult> copyTaskOnto(SyncEngine& engine, const std::shared_ptr<Dispatch>& received,
                             const std::shared_ptr<Dispatch>& local);

}  // namespace qx

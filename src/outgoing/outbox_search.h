#pragma once
// Finding the change mail of a task that still waits in the Outbox, so that a
// second change rewrites it instead of queueing a second mail.
#include <memory>
#include <string_view>

#include "platform/mail_client.h"

namespace qx {

class SyncEngine;

struct OutboxSearch {
  // The waiting change mail with the sync id, stopped so that it may be
  // rewritten; none when there is none.
  std::shared_ptr<MailItem> mail;
  // The safe-item library is missing and has been reported: the host may be
  // tearing the add-in down, so the caller ends at once.
  bool libraryMissing = false;
};

// Every sync mail the search looks at before the one sought was stopped by
// being opened and is handed to the host for sending once more.
OutboxSearch findMailInOutBox(SyncEngine& engine, std::u16string_view syncId);

}  // namespace qx

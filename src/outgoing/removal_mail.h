#pragma once
// The removal mail of a task, to the recipients of the folder it was last sent
// from: for a task the user deleted, and for one that stopped travelling.
#include "outgoing/mail_send_end.h"

namespace qx {

class SyncEngine;
class TaskItem;

// Sends nothing (and succeeds) for a task that was never sent or whose folder
// is no longer shared under the name it was sent under.
MailSendEnd sendRemovalMail(SyncEngine& engine, TaskItem& task);

}  // namespace qx

#pragma once
// The removal mail of a task, to the recipients of the folder it was last sent
// from: for a task the user deleted, and for one that stopped travelling.
#include "outgoing/mail_send_end.h"

namespace qx {

class SyncEngine;
class TaskItem;

// A shared task that became private or a holiday must not stay public at the
// peers: they are told to remove it, as for a deletion, and a change of it
// still waiting in the Outbox goes. The task keeps its sync id, so that made
// public again it goes out anew; only its "lastsharename" goes, so that its
// later edits withdraw nothing more. Nothing happens for a task never sent.
MailSendEnd withdrawTask(SyncEngine& engine, TaskItem& task);

}  // namespace qx

#pragma once
// Finding the sync mails of a mail folder. The collection is sorted on the
// subject and walked with the subject filter, so that the host's own index
// does the searching and a scan costs the same however much other mail the
// folder holds.
#include <memory>
#include <vector>

#include "platform/mail_client.h"

namespace qx {

// Every item whose subject marks it as a sync mail, in the sorted order. All
// of them are gathered before the first is handled: handling deletes mails,
// and a walk that deletes as it goes would rely on the host to neither skip
// nor repeat an item. A collection that cannot be had, sorted or searched
// gives none; a failing find-next ends the list where it failed.
std::vector<std::shared_ptr<Dispatch>> findSyncMails(Folder& folder);

}  // namespace qx

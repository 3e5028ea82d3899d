#pragma once
// The user properties the outgoing side keeps on a task: the sync id (whose
// form belongs to the protocol) and the share name under which the task was
// last sent, which is all a removal mail needs once the task is deleted.
#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "platform/mail_client.h"

namespace qx {

namespace syncprop {
inline constexpr std::u16string_view kLastShareName = u"lastsharename";
}  // namespace syncprop

// Removes every "quendrilaxid" property from the task's working copy, so that
// a task copied or moved into a shared folder goes out under a new id once it
// is saved. Returns the first failing status; nothing is saved here.
Hresult removeSyncIdProperties(TaskItem& task);

// Writes the share name into the task's "lastsharename" property, adding the
// property when there is none. True when the task must be saved for it: the
// property was added, or held anything but this share name.
Result<bool> stampLastShareName(UserProperties& properties, CodePage& codePage,
                                std::string_view shareName);

// Removes every "lastsharename" property from the task's working copy: the
// task is no longer out under any share name. Returns the first failing
// status; nothing is saved here.
Hresult removeLastShareName(UserProperties& properties);

// What a deleted task says about where it was last sent.
struct RemovalNames {
  bool hasShareName = false;  // a "lastsharename" property exists
  std::u16string shareName;   // its text; empty when it holds no text
  std::u16string syncId;      // the "quendrilaxid" text; empty when none
};

// Every property is looked at, so the last of several with a name wins.
Result<RemovalNames> readRemovalNames(UserProperties& properties);

}  // namespace qx

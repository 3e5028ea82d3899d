#pragma once
// How the Inbox scan goes on after one received sync mail, and the debug
// entries of the incoming side, which are written only when the configuration
// switched the debug log on.
#include <string_view>

#include "common/diagnostics.h"

namespace qx {

enum class InboxStep {
  // Handled, or of no use here: the mail is deleted.
  kDeleteMail,
  // Could not be handled now: the mail stays in the Inbox for a later scan,
  // and the scan goes on with the next one.
  kKeepMail,
  // The safe-item library is missing. That has been reported, and the host
  // may be tearing the add-in down: the scan ends at once.
  kEndScan,
};

inline void debugEntry(Diagnostics& diagnostics, std::string_view text) {
  if (diagnostics.debugOn()) diagnostics.logDebug(text);
}

}  // namespace qx

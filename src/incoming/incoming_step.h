#pragma once
// How the Inbox scan goes on after one received sync mail.
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
  // The task the mail carries is one that never travels (a holiday): no
  // add-in sends it, so the mail is refused and deleted.
  kRefuseHoliday,
};

}  // namespace qx

// What the module does with the host's NewMail event. OptionsPagesAdd is the
// user interface's, in ui/page_offer.cpp.
#include "core/addin_module.h"
#include "core/sync_engine.h"

namespace qx {

void AddinModule::onNewMail() {
  if (!engine_) return;
  // Inside a modal loop of a running scan or send a scan would overlap it on
  // the same working files; the next steady tick scans instead. While only the
  // basic-sync question waits, the mail is scanned at once.
  if (workOnStack()) {
    trace("new mail: scan skipped, earlier work still running");
    return;
  }
  EngineCall call(*this);
  trace("new mail");
  call.engine()->processInbox();
}

}  // namespace qx

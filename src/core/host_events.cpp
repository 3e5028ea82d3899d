// What the module does with the host's NewMail event. OptionsPagesAdd is the
// user interface's, in ui/page_offer.cpp.
#include "core/addin_module.h"
#include "core/sync_engine.h"

namespace qx {

void AddinModule::onNewMail() {
  if (!engine_) return;
  // Inside a modal loop of running work a scan would overlap it on the same
  // working files; the next steady tick scans instead.
  if (engineBusy()) {
    trace("new mail: scan skipped, earlier work still running");
    return;
  }
  EngineCall call(*this);
  trace("new mail");
  call.engine()->processInbox();
}

}  // namespace qx

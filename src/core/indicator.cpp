// The temporary toolbar that shows the basic synchronization's progress in the
// host's explorer window during the catch-up phase.
#include "core/sync_engine.h"
#include "platform/mail_command_bars.h"

namespace qx {

void SyncEngine::showIndicator() {
  // Putting the toolbar up comes with the progress display.
}

void SyncEngine::removeIndicator() {
  if (indicatorButton_) indicatorButton_->deleteControl();
  if (indicatorToolbar_) indicatorToolbar_->deleteBar();
}

}  // namespace qx

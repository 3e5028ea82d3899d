// The timer's two phases. In the catch-up phase every tick sends at most one
// queued task of the basic synchronization and runs every 3 seconds; once the
// queues are done the steady phase scans the Inbox on every second tick.
#include "core/addin_module.h"
#include "core/sync_engine.h"

namespace qx {

namespace {
constexpr std::uint32_t kCatchUpIntervalMs = 3000;
constexpr std::uint32_t kSteadyIntervalMs = 60000;
}  // namespace

void AddinModule::onTimerTick() {
  if (!engine_) return;
  // A tick can arrive inside a modal loop opened by earlier work (a message
  // box of an Inbox scan or of a send). Starting a send or a scan there would
  // run it twice at once over the same working files, so such a tick is
  // skipped; the timer keeps running. The basic-sync question holds nothing
  // half done: ticks while it waits do their work.
  if (workOnStack()) {
    ++counters_.skippedTicks;
    trace("tick skipped: earlier work still running");
    return;
  }
  EngineCall call(*this);
  SyncEngine& engine = *call.engine();
  ++counters_.ticks;
  // Saves the burst window swallowed go out once it has closed, in either
  // phase.
  if (!engine.sendPendingChanges(false) || !call.stillConnected()) return;

  if (!engine.basicSyncDone()) {
    trace("tick: catch-up");
    const bool done = engine.nextBackgroundItems();
    if (!call.stillConnected()) return;
    engine.setBasicSyncDone(done);
    engine.restartTimer(kCatchUpIntervalMs);
    if (done) {
      engine.removeIndicator();
    } else {
      engine.showIndicator();
    }
    return;
  }

  trace("tick: steady");
  if (scanToggle_) {
    scanToggle_ = false;
    engine.processInbox();
    if (!call.stillConnected()) return;
  } else {
    scanToggle_ = true;
  }
  if (!engine.sweepSlice() || !call.stillConnected()) return;
  if (firstSteady_) {
    firstSteady_ = false;
    engine.restartTimer(kSteadyIntervalMs);
  }
}

}  // namespace qx

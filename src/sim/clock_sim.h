#pragma once
// The system clock of one simulated user, read off the office's virtual clock.
// Virtual time 0 stands for a configurable instant; the user's time zone is a
// fixed offset from UTC (no daylight saving), which is all the add-in needs to
// stamp its debug log.
#include <cstdint>

#include "platform/clock.h"
#include "sim/faults.h"
#include "sim/ui_thread.h"

namespace qx::sim {

// 2026-12-07 08:00:00 UTC.
inline constexpr std::int64_t kDefaultStartSeconds = 1796630400;

// The host's date value of a time in seconds since 1970 UTC, seen from a time
// zone `utcOffsetMinutes` east of UTC.
double hostDateOf(std::int64_t seconds, int utcOffsetMinutes);

class ClockSim final : public Clock {
 public:
  ClockSim(const VirtualClock& clock, Faults& faults,
           std::int64_t startSeconds = kDefaultStartSeconds, int utcOffsetMinutes = 0);

  // "clock.now" fails like time() does: it returns -1.
  std::int64_t now() override;
  // "clock.nowMs" fails it: -1.
  std::int64_t nowMs() override;
  // "clock.toLocalDate" fails with the scheduled status. Times before 1970 or
  // after the year 3000 cannot be converted, as with the host's runtime.
  Result<double> toLocalDate(std::int64_t seconds) override;

  void setUtcOffsetMinutes(int minutes) { utcOffsetMinutes_ = minutes; }
  // A machine whose clock runs ahead (positive) or behind the office's: every
  // reading moves by that much, while timers still fire on the office's clock.
  void setDriftMs(std::int64_t driftMs) { driftMs_ = driftMs; }
  std::int64_t driftMs() const { return driftMs_; }
  // What the clock shows now, in UTC milliseconds, without counting as a call.
  std::int64_t readingMs() const;
  int utcOffsetMinutes() const { return utcOffsetMinutes_; }
  std::int64_t startSeconds() const { return startSeconds_; }

 private:
  const VirtualClock& clock_;
  Faults& faults_;
  std::int64_t startSeconds_;
  int utcOffsetMinutes_;
  std::int64_t driftMs_ = 0;
};

}  // namespace qx::sim

#include "sim/clock_sim.h"

namespace qx::sim {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
// Days from 1899-12-30, the host's day 0, to 1970-01-01.
constexpr std::int64_t kHostDaysAtEpoch = 25569;
// The last second the host's runtime converts to local time: 3000-12-31 23:59:59.
constexpr std::int64_t kLastConvertible = 32535215999;

std::int64_t floorDiv(std::int64_t value, std::int64_t divisor) {
  std::int64_t quotient = value / divisor;
  if (value % divisor != 0 && value < 0) --quotient;
  return quotient;
}

}  // namespace

double hostDateOf(std::int64_t seconds, int utcOffsetMinutes) {
  const std::int64_t local = seconds + std::int64_t{utcOffsetMinutes} * 60;
  // A local time before 1970 still lies after the host's day 0, so the date
  // value stays positive and the fraction is the time of day.
  const std::int64_t days = floorDiv(local, kSecondsPerDay);
  const std::int64_t secondOfDay = local - days * kSecondsPerDay;
  return static_cast<double>(days + kHostDaysAtEpoch) +
         static_cast<double>(secondOfDay) / static_cast<double>(kSecondsPerDay);
}

ClockSim::ClockSim(const VirtualClock& clock, Faults& faults, std::int64_t startSeconds,
                   int utcOffsetMinutes)
    : clock_(clock),
      faults_(faults),
      startSeconds_(startSeconds),
      utcOffsetMinutes_(utcOffsetMinutes) {}

std::int64_t ClockSim::now() {
  if (faults_.check("clock.now")) return -1;
  // Whole seconds: a time stamp taken 999 ms into a second still reads that second.
  return floorDiv(readingMs(), 1000);
}

std::int64_t ClockSim::nowMs() {
  if (faults_.check("clock.nowMs")) return -1;
  return readingMs();
}

std::int64_t ClockSim::readingMs() const { return startSeconds_ * 1000 + clock_.nowMs() + driftMs_; }

Result<double> ClockSim::toLocalDate(std::int64_t seconds) {
  if (auto status = faults_.check("clock.toLocalDate")) return failure(*status);
  if (seconds < 0 || seconds > kLastConvertible) return failure(hr::kInvalidArg);
  return hostDateOf(seconds, utcOffsetMinutes_);
}

}  // namespace qx::sim

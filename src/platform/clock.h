#pragma once
// The system clock, in whole seconds and in milliseconds, and the host's date values (days since
// 30 December 1899, local time, the fraction being the time of day).
#include <cstdint>

#include "platform/status.h"

namespace qx {

class Clock {
 public:
  virtual ~Clock() = default;
  // time(): seconds since 1970-01-01 UTC.
  virtual std::int64_t now() = 0;
  // GetSystemTimeAsFileTime: milliseconds since 1970-01-01 UTC; -1 when the
  // time cannot be had.
  virtual std::int64_t nowMs() = 0;
  // Converts such a time to local time and to the host's date value.
  virtual Result<double> toLocalDate(std::int64_t seconds) = 0;
};

}  // namespace qx

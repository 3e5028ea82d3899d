#pragma once
// The clock port over the C runtime's time and the system's date conversion.
#include "platform/clock.h"

namespace qx::win32 {

class ClockWin final : public Clock {
 public:
  std::int64_t now() override;
  std::int64_t nowMs() override;
  Result<double> toLocalDate(std::int64_t seconds) override;
};

}  // namespace qx::win32

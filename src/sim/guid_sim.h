#pragma once
// GUIDs of a simulated user: random ones as the system makes them, or a
// reproducible series from a seed, so that a scenario's sync ids repeat from
// run to run.
#include <cstdint>
#include <random>
#include <span>
#include <string>

#include "platform/guid.h"
#include "sim/faults.h"

namespace qx::sim {

class GuidSim final : public GuidSource {
 public:
  // Random GUIDs.
  explicit GuidSim(Faults& faults);
  // The same series of GUIDs for the same seed.
  GuidSim(Faults& faults, std::uint64_t seed);

  // "guid.create" can fail it.
  Hresult create(Guid& guid) override;
  // "guid.toString" makes it write nothing and return 0.
  int toString(const Guid& guid, std::span<char16_t> buffer) override;

  // The braced upper-case text form, for expectations.
  static std::u16string format(const Guid& guid);

 private:
  Faults& faults_;
  std::mt19937_64 random_;
};

}  // namespace qx::sim

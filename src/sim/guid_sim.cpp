#include "sim/guid_sim.h"

#include <algorithm>
#include <cstdio>

namespace qx::sim {

GuidSim::GuidSim(Faults& faults) : faults_(faults), random_(std::random_device{}()) {}

GuidSim::GuidSim(Faults& faults, std::uint64_t seed) : faults_(faults), random_(seed) {}

Hresult GuidSim::create(Guid& guid) {
  if (auto status = faults_.check("guid.create")) return *status;
  std::uint64_t high = random_();
  std::uint64_t low = random_();
  guid.data1 = static_cast<std::uint32_t>(high >> 32);
  guid.data2 = static_cast<std::uint16_t>(high >> 16);
  // Marked as a random GUID (version 4, variant 1), as the system's are.
  guid.data3 = static_cast<std::uint16_t>((high & 0x0FFF) | 0x4000);
  for (int i = 0; i < 8; ++i) guid.data4[i] = static_cast<std::uint8_t>(low >> (56 - 8 * i));
  guid.data4[0] = static_cast<std::uint8_t>((guid.data4[0] & 0x3F) | 0x80);
  return hr::kOk;
}

std::u16string GuidSim::format(const Guid& guid) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(guid.data1), guid.data2, guid.data3, guid.data4[0],
                guid.data4[1], guid.data4[2], guid.data4[3], guid.data4[4], guid.data4[5],
                guid.data4[6], guid.data4[7]);
  return {text, text + 38};
}

int GuidSim::toString(const Guid& guid, std::span<char16_t> buffer) {
  if (faults_.check("guid.toString")) return 0;
  constexpr std::size_t kWithTerminator = 39;
  if (buffer.size() < kWithTerminator) return 0;
  std::u16string text = format(guid);
  std::copy(text.begin(), text.end(), buffer.begin());
  buffer[text.size()] = u'\0';
  return static_cast<int>(kWithTerminator);
}

}  // namespace qx::sim

#include "quendrilax-sim/runner_text.h"

#include <cstdio>

#include "quendrilax-sim/text_utf.h"

namespace qx::tools {

std::string hex32(std::int32_t status) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<std::uint32_t>(status));
  return buffer;
}

std::string statusText(std::int32_t status) { return status == 0 ? "S_OK" : hex32(status); }

std::string inQuotes(std::string_view utf8) { return "\"" + printable(utf8) + "\""; }

std::string buttonName(int button) {
  switch (button) {
    case 1:
      return "OK";
    case 2:
      return "Cancel";
    case 6:
      return "Yes";
    case 7:
      return "No";
    default:
      return "button " + std::to_string(button);
  }
}

std::string durationText(std::int64_t ms) {
  if (ms >= 120'000 && ms % 60'000 == 0) return std::to_string(ms / 60'000) + " min";
  if (ms % 1000 == 0) return std::to_string(ms / 1000) + " s";
  return std::to_string(ms) + " ms";
}

}  // namespace qx::tools

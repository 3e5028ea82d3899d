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
  if (ms >= 86'400'000 && ms % 86'400'000 == 0) return std::to_string(ms / 86'400'000) + " d";
  if (ms >= 7'200'000 && ms % 3'600'000 == 0) return std::to_string(ms / 3'600'000) + " h";
  if (ms >= 120'000 && ms % 60'000 == 0) return std::to_string(ms / 60'000) + " min";
  if (ms % 1000 == 0) return std::to_string(ms / 1000) + " s";
  return std::to_string(ms) + " ms";
}

}  // namespace qx::tools

namespace qx::tools {

std::string counted(std::size_t n, std::string_view thing, std::string_view things) {
  if (n == 1) return "1 " + std::string(thing);
  return std::to_string(n) + " " + (things.empty() ? std::string(thing) + "s" : std::string(things));
}

std::string languageText(std::uint16_t language) {
  struct Known {
    std::uint16_t id;
    const char* name;
  };
  static constexpr Known kNames[] = {
      {0x0409, "English (United States)"}, {0x0809, "English (United Kingdom)"},
      {0x0407, "German (Germany)"},        {0x0C07, "German (Austria)"},
      {0x0807, "German (Switzerland)"},    {0x0C0A, "Spanish (Spain)"},
      {0x080A, "Spanish (Mexico)"},        {0x040C, "French (France)"},
  };
  char id[8];
  std::snprintf(id, sizeof id, "%04X", language);
  for (const Known& known : kNames)
    if (known.id == language) return std::string(known.name) + " " + id;
  return std::string("id ") + id;
}

}  // namespace qx::tools

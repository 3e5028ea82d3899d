#pragma once
// The entries of a debug log as the tests compare them: each without its
// time stamp, an entry running on over line breaks up to the next stamp.
#include <string>
#include <string_view>
#include <vector>

namespace qx::testsupport {

inline std::vector<std::string> debugLogEntries(std::string_view log) {
  std::vector<std::string> entries;
  std::size_t start = 0;
  while (start < log.size()) {
    const std::size_t arrow = log.find(" -> ", start);
    if (arrow == std::string_view::npos) break;
    const std::size_t next = log.find(" -> ", arrow + 4);
    // An entry ends at the line break before the next stamp.
    const std::size_t end = next == std::string_view::npos ? log.size() : log.rfind('\n', next) + 1;
    entries.emplace_back(log.substr(arrow + 4, end - arrow - 5));
    start = end;
  }
  return entries;
}

}  // namespace qx::testsupport

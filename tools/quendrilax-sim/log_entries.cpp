#include "quendrilax-sim/log_entries.h"

namespace qx::tools {

namespace {
constexpr std::string_view kSeparator = " -> ";
}

std::vector<std::string> logLines(std::string_view content) {
  std::vector<std::string> lines;
  while (!content.empty()) {
    const std::size_t eol = content.find('\n');
    if (eol == std::string_view::npos) {
      lines.emplace_back(content);
      break;
    }
    lines.emplace_back(content.substr(0, eol));
    content.remove_prefix(eol + 1);
  }
  return lines;
}

bool looksLikeStamp(std::string_view text) {
  if (text == "Invalid DateTime") return true;
  bool digit = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      digit = true;
      continue;
    }
    if (std::string_view("./:- APM").find(c) == std::string_view::npos) return false;
  }
  return digit;
}

std::vector<LogEntry> readDebugLog(std::string_view content) {
  std::vector<LogEntry> entries;
  for (const std::string& line : logLines(content)) {
    const std::size_t separator = line.find(kSeparator);
    if (separator != std::string::npos && looksLikeStamp(line.substr(0, separator))) {
      entries.push_back({line.substr(0, separator), line.substr(separator + kSeparator.size())});
    } else if (!entries.empty()) {
      entries.back().text += '\n';
      entries.back().text += line;
    } else {
      // Text before the first stamp: not written by the add-in, kept visible.
      entries.push_back({"", line});
    }
  }
  return entries;
}

std::vector<LogEntry> readErrorLog(std::string_view content) {
  std::vector<LogEntry> entries;
  for (std::string& line : logLines(content)) entries.push_back({"", std::move(line)});
  return entries;
}

}  // namespace qx::tools

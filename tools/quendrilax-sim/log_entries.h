#pragma once
// Reads the add-in's two log files back into entries, for expectations and
// the transcript. A debug entry is "<time stamp> -> <text>\n"; its text may
// itself hold line feeds, so a line that does not begin with a time stamp
// continues the entry before it. The error log has no stamps: each line is
// an entry.
#include <string>
#include <string_view>
#include <vector>

namespace qx::tools {

struct LogEntry {
  std::string stamp;  // empty in the error log
  std::string text;
};

std::vector<LogEntry> readDebugLog(std::string_view content);
std::vector<LogEntry> readErrorLog(std::string_view content);
// The file's lines without their line feeds (a last empty line dropped).
std::vector<std::string> logLines(std::string_view content);

// Whether `text` can be a time stamp the add-in wrote: a date and time as a
// locale writes them, or the stand-in text for a time it could not format.
bool looksLikeStamp(std::string_view text);

}  // namespace qx::tools

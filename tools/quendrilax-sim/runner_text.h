#pragma once
// How the transcript and failure messages write statuses, texts, durations and
// answers.
#include <cstdint>
#include <string>
#include <string_view>

namespace qx::tools {

std::string hex32(std::int32_t status);
// "S_OK" or the status in hexadecimal.
std::string statusText(std::int32_t status);
// A UTF-8 text in double quotes, control characters made visible.
std::string inQuotes(std::string_view utf8);
std::string buttonName(int button);
// "10 s", "2 min", "1500 ms".
std::string durationText(std::int64_t ms);

}  // namespace qx::tools

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
// "10 s", "2 min", "1500 ms", "3 h", "7 d".
std::string durationText(std::int64_t ms);
// "1 task", "2 tasks"; "1 entry", "2 entries" with the plural given.
std::string counted(std::size_t n, std::string_view thing, std::string_view things = {});
// A UI language by its name and id: "German (Austria) 0C07"; "id 0413" for
// one without a name here.
std::string languageText(std::uint16_t language);

}  // namespace qx::tools

#pragma once
// Reading a file that a scenario names (the scenario itself, a file it
// imports) whole, or saying why it cannot be read.
#include <expected>
#include <filesystem>
#include <string>

namespace qx::tools {

// A folder opens as a stream on some systems and reads as nothing, which
// would pass for an empty file: only a regular file read to its end counts.
std::expected<std::string, std::string> readTextFile(const std::filesystem::path& path);

}  // namespace qx::tools

#include "quendrilax-sim/text_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace qx::tools {

std::expected<std::string, std::string> readTextFile(const std::filesystem::path& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (error) return std::unexpected(error.message());
  if (fs::is_directory(status)) return std::unexpected("is a directory, not a file");
  if (!fs::is_regular_file(status)) return std::unexpected("is not a regular file");
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::unexpected(std::strerror(errno));
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::unexpected("cannot be read to its end");
  return text.str();
}

}  // namespace qx::tools

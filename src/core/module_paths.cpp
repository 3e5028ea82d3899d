#include "core/module_paths.h"

#include "platform/shell.h"

namespace qx {

std::string folderOfPath(std::string_view modulePath) {
  const std::size_t slash = modulePath.find_last_of('\\');
  if (slash == std::string_view::npos) return {};
  return std::string(modulePath.substr(0, slash + 1));
}

std::string moduleFolderOf(Shell& shell) {
  auto path = shell.moduleFileName();
  if (!path) return {};
  return folderOfPath(*path);
}

}  // namespace qx

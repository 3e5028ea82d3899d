#include "sim/shell_sim.h"

#include <system_error>

namespace qx::sim {
namespace fs = std::filesystem;

ShellSim::ShellSim(HostFileSystem& disk, Faults& faults, std::string_view userName)
    : ShellSim(disk, faults, "C:\\Users\\" + std::string(userName) + "\\AppData\\Roaming",
               "C:\\Program Files\\Vantrosse\\Quendrilax\\Quendrilax.dll") {}

ShellSim::ShellSim(HostFileSystem& disk, Faults& faults, std::string appDataPath,
                   std::string moduleFileName)
    : disk_(disk), faults_(faults), appDataPath_(std::move(appDataPath)) {
  disk_.makeFolders(appDataPath_);
  setModuleFileName(std::move(moduleFileName));
}

void ShellSim::setModuleFileName(std::string path) {
  moduleFileName_ = std::move(path);
  // The module is loaded from its file, so the file is there.
  if (!disk_.isFile(moduleFileName_)) disk_.writeText(moduleFileName_, "");
}

Hresult ShellSim::folderPath(int csidl, std::string& path) {
  if (auto status = faults_.check("shell.folderPath")) return *status;
  if (csidl != shell::kCsidlAppData) return hr::kInvalidArg;
  // Asked without creating it: a folder that is not there cannot be given.
  if (!appDataAvailable_ || !disk_.isFolder(appDataPath_)) {
    path.clear();
    return hr::kFail;
  }
  path = appDataPath_;
  return hr::kOk;
}

Result<std::string> ShellSim::moduleFileName() {
  if (auto status = faults_.check("shell.moduleFileName")) return failure(*status);
  return moduleFileName_;
}

bool ShellSim::setCurrentDirectory(std::string_view path) {
  if (faults_.check("shell.setCurrentDirectory")) return false;
  return disk_.setCurrentDirectory(path) == win::kSuccess;
}

std::string ShellSim::currentDirectory() {
  if (faults_.check("shell.currentDirectory")) return {};
  return disk_.currentDirectory();
}

bool ShellSim::createDirectory(std::string_view path) {
  if (faults_.check("shell.createDirectory")) return false;
  auto disk = disk_.diskPath(path);
  if (!disk) return false;
  std::error_code error;
  if (fs::exists(*disk, error) || !fs::is_directory(disk->parent_path(), error)) return false;
  return fs::create_directory(*disk, error);
}

std::intptr_t ShellSim::execute(std::string_view verb, std::string_view file,
                                std::string_view parameters, std::string_view directory, int show) {
  ShellExecution call{std::string(verb),
                      std::string(file),
                      std::string(parameters),
                      std::string(directory),
                      show,
                      0};
  if (auto status = faults_.check("shell.execute")) {
    call.result = *status;
  } else if (!verb.empty() && !equalsIgnoringCase(verb, "open")) {
    call.result = kSeErrNoAssociation;
  } else if (disk_.isFile(file)) {
    call.result = kExecuteSucceeded;
  } else {
    auto disk = disk_.diskPath(file);
    std::error_code error;
    call.result = disk && fs::is_directory(disk->parent_path(), error) ? kSeErrFileNotFound
                                                                       : kSeErrPathNotFound;
  }
  executions_.push_back(call);
  return call.result;
}

}  // namespace qx::sim

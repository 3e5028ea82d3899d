#pragma once
// The shell and process calls of one simulated user, on that user's host disk:
// the application-data folder (which can be made unavailable), the add-in's
// module file, the current directory, folders and documents opened with a
// verb. Every call first asks the faults under its own name ("shell.folderPath",
// "shell.moduleFileName", "shell.setCurrentDirectory", "shell.currentDirectory",
// "shell.createDirectory", "shell.execute").
#include <cstdint>
#include <string>
#include <vector>

#include "platform/shell.h"
#include "sim/faults.h"
#include "sim/host_file_system.h"

namespace qx::sim {

// ShellExecute's small error results (all at most 32).
inline constexpr std::intptr_t kSeErrFileNotFound = 2;
inline constexpr std::intptr_t kSeErrPathNotFound = 3;
inline constexpr std::intptr_t kSeErrNoAssociation = 31;
// What a successful ShellExecute returns here (any value above 32 means success).
inline constexpr std::intptr_t kExecuteSucceeded = 42;

// One ShellExecute call, as the add-in made it.
struct ShellExecution {
  std::string verb;
  std::string file;
  std::string parameters;
  std::string directory;
  int show = 0;
  std::intptr_t result = 0;
};

class ShellSim final : public Shell {
 public:
  // Lays out the usual folders of user `userName`: "C:\Users\<name>\AppData\Roaming"
  // and the module "C:\Program Files\Vantrosse\Quendrilax\Quendrilax.dll", where
  // the 64-bit package installs it.
  ShellSim(HostFileSystem& disk, Faults& faults, std::string_view userName);
  // Any other layout; the folders and the module file are created on the disk.
  ShellSim(HostFileSystem& disk, Faults& faults, std::string appDataPath,
           std::string moduleFileName);

  // kOk with the path; kFail while the folder is unavailable or missing on the
  // disk; kInvalidArg for a folder other than the application data.
  Hresult folderPath(int csidl, std::string& path) override;
  Result<std::string> moduleFileName() override;
  bool setCurrentDirectory(std::string_view path) override;
  std::string currentDirectory() override;
  bool createDirectory(std::string_view path) override;
  // Opens an existing file with "open" (or the default verb); records every call.
  std::intptr_t execute(std::string_view verb, std::string_view file, std::string_view parameters,
                        std::string_view directory, int show) override;

  void setAppDataAvailable(bool available) { appDataAvailable_ = available; }
  bool appDataAvailable() const { return appDataAvailable_; }
  const std::string& appDataPath() const { return appDataPath_; }
  // Places the module file elsewhere (creating it), as another installation would.
  void setModuleFileName(std::string path);
  const std::string& modulePath() const { return moduleFileName_; }
  const std::vector<ShellExecution>& executions() const { return executions_; }
  HostFileSystem& disk() { return disk_; }

 private:
  HostFileSystem& disk_;
  Faults& faults_;
  std::string appDataPath_;
  std::string moduleFileName_;
  bool appDataAvailable_ = true;
  std::vector<ShellExecution> executions_;
};

}  // namespace qx::sim

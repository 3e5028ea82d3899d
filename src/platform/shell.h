#pragma once
// The shell and the process: special folders, the module's own path, the
// current directory and documents opened with a verb. Paths are ANSI texts in
// the host's form (drive letter, backslashes).
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace qx {

namespace shell {
inline constexpr int kCsidlAppData = 0x1A;  // CSIDL_APPDATA
}

class Shell {
 public:
  virtual ~Shell() = default;
  // SHGetFolderPath without creating the folder: kFail when it is unavailable.
  virtual Hresult folderPath(int csidl, std::string& path) = 0;
  // GetModuleFileName of the add-in's module.
  virtual Result<std::string> moduleFileName() = 0;
  // SetCurrentDirectory / GetCurrentDirectory.
  virtual bool setCurrentDirectory(std::string_view path) = 0;
  virtual std::string currentDirectory() = 0;
  // CreateDirectory with default security; false if it fails (it exists, the
  // parent is missing, ...).
  virtual bool createDirectory(std::string_view path) = 0;
  // ShellExecute: a value above 32 means success.
  virtual std::intptr_t execute(std::string_view verb, std::string_view file,
                                std::string_view parameters, std::string_view directory,
                                int show) = 0;
};

}  // namespace qx

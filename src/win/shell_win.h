#pragma once
// The shell port over the ANSI shell and process functions. The module whose
// file name it reports is the one that holds the add-in.
#include <windows.h>

#include "platform/shell.h"

namespace qx::win32 {

class ShellWin final : public Shell {
 public:
  explicit ShellWin(HMODULE module) : module_(module) {}
  Hresult folderPath(int csidl, std::string& path) override;
  Result<std::string> moduleFileName() override;
  bool setCurrentDirectory(std::string_view path) override;
  std::string currentDirectory() override;
  bool createDirectory(std::string_view path) override;
  std::intptr_t execute(std::string_view verb, std::string_view file, std::string_view parameters,
                        std::string_view directory, int show) override;

 private:
  HMODULE module_;
};

}  // namespace qx::win32

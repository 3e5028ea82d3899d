#include "win/shell_win.h"

#include <shellapi.h>
#include <shlobj.h>

#include "win/win_text.h"

namespace qx::win32 {

Hresult ShellWin::folderPath(int csidl, std::string& path) {
  char buffer[MAX_PATH] = {};
  // Without CSIDL_FLAG_CREATE; the ANSI call answers a folder that does not
  // exist with S_FALSE and no path, which the port reports as unavailable.
  HRESULT status = SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer);
  if (status == S_FALSE) return E_FAIL;
  if (SUCCEEDED(status)) path = buffer;
  return status;
}

Result<std::string> ShellWin::moduleFileName() {
  char buffer[MAX_PATH] = {};
  DWORD length = GetModuleFileNameA(module_, buffer, MAX_PATH);
  if (length == 0) return failure(lastErrorStatus());
  return std::string(buffer, length);
}

bool ShellWin::setCurrentDirectory(std::string_view path) {
  const std::string name = terminated(path);
  return SetCurrentDirectoryA(name.c_str()) != FALSE;
}

std::string ShellWin::currentDirectory() {
  char buffer[MAX_PATH] = {};
  DWORD length = GetCurrentDirectoryA(MAX_PATH, buffer);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::string(buffer, length);
}

bool ShellWin::createDirectory(std::string_view path) {
  const std::string name = terminated(path);
  return CreateDirectoryA(name.c_str(), nullptr) != FALSE;
}

std::intptr_t ShellWin::execute(std::string_view verb, std::string_view file,
                                std::string_view parameters, std::string_view directory, int show) {
  const std::string verbText = terminated(verb), fileText = terminated(file),
                    parameterText = terminated(parameters), directoryText = terminated(directory);
  HINSTANCE result = ShellExecuteA(nullptr, verbText.c_str(), fileText.c_str(),
                                   parameterText.empty() ? nullptr : parameterText.c_str(),
                                   directoryText.empty() ? nullptr : directoryText.c_str(), show);
  return reinterpret_cast<std::intptr_t>(result);
}

}  // namespace qx::win32

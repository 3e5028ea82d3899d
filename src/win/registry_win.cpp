#include "win/registry_win.h"

#include <algorithm>
#include <string>

#include "win/win_text.h"

namespace qx::win32 {
namespace {

// The predefined roots are sign-extended on 64-bit Windows, so the port's
// 32-bit values are mapped rather than cast.
HKEY toHkey(RegKey key) {
  if (key == reg::kClassesRoot) return HKEY_CLASSES_ROOT;
  if (key == reg::kCurrentUser) return HKEY_CURRENT_USER;
  if (key == reg::kLocalMachine) return HKEY_LOCAL_MACHINE;
  return reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(key));
}

RegKey fromHkey(HKEY key) { return static_cast<RegKey>(reinterpret_cast<std::uintptr_t>(key)); }

}  // namespace

WinError RegistryWin::openKey(RegKey parent, std::string_view subKey, std::uint32_t access,
                              RegKey& opened) {
  HKEY key = nullptr;
  const std::string path = terminated(subKey);
  LSTATUS status = RegOpenKeyExA(toHkey(parent), path.c_str(), 0, access, &key);
  if (status == ERROR_SUCCESS) opened = fromHkey(key);
  return winError(status);
}

WinError RegistryWin::createKey(RegKey parent, std::string_view subKey, std::uint32_t access,
                                RegKey& opened) {
  HKEY key = nullptr;
  const std::string path = terminated(subKey);
  LSTATUS status = RegCreateKeyExA(toHkey(parent), path.c_str(), 0, nullptr,
                                   REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr);
  if (status == ERROR_SUCCESS) opened = fromHkey(key);
  return winError(status);
}

WinError RegistryWin::closeKey(RegKey key) { return winError(RegCloseKey(toHkey(key))); }

WinError RegistryWin::enumKey(RegKey key, std::uint32_t index, std::span<char> name,
                              std::uint32_t& nameLength) {
  DWORD length = std::min<std::uint32_t>(nameLength, static_cast<std::uint32_t>(name.size()));
  LSTATUS status =
      RegEnumKeyExA(toHkey(key), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
  if (status == ERROR_SUCCESS) nameLength = length;
  return winError(status);
}

WinError RegistryWin::queryValue(RegKey key, std::string_view name, std::uint32_t* type,
                                 std::span<std::uint8_t> data, std::uint32_t& size) {
  const std::string valueName = terminated(name);
  DWORD valueType = REG_NONE;
  DWORD length = data.empty() ? 0 : std::min<std::uint32_t>(size, data.size());
  LSTATUS status = RegQueryValueExA(toHkey(key), valueName.c_str(), nullptr, &valueType,
                                    data.empty() ? nullptr : data.data(), &length);
  if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    size = length;
    if (type) *type = valueType;
  }
  return winError(status);
}

WinError RegistryWin::setValue(RegKey key, std::string_view name, std::uint32_t type,
                               std::span<const std::uint8_t> data) {
  const std::string valueName = terminated(name);
  return winError(RegSetValueExA(toHkey(key), valueName.c_str(), 0, type, data.data(),
                                 static_cast<DWORD>(data.size())));
}

WinError RegistryWin::deleteValue(RegKey key, std::string_view name) {
  const std::string valueName = terminated(name);
  return winError(RegDeleteValueA(toHkey(key), valueName.c_str()));
}

WinError RegistryWin::deleteTree(RegKey key, std::string_view subKey) {
  const std::string path = terminated(subKey);
  // With no name the call would empty the key itself and keep it.
  if (path.empty()) return win::kInvalidParameter;
  return winError(RegDeleteTreeA(toHkey(key), path.c_str()));
}

}  // namespace qx::win32

#include "win/com/class_registration.h"

#include <vector>

#include "ui/registration.h"

namespace qx::win32 {
namespace {

std::wstring fromUtf8(const std::string& text) {
  if (text.empty()) return {};
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string toUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), length,
                      nullptr, nullptr);
  return narrow;
}

// The root every class key goes under; closed by the caller.
HRESULT openRoot(RegistrationScope scope, HKEY& root) {
  if (scope == RegistrationScope::machine) {
    root = HKEY_CLASSES_ROOT;
    return S_OK;
  }
  const LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0,
                                         KEY_ALL_ACCESS, nullptr, &root, nullptr);
  return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

void closeRoot(RegistrationScope scope, HKEY root) {
  if (scope == RegistrationScope::user) RegCloseKey(root);
}

LSTATUS writeEntry(HKEY root, const RegistryEntry& entry) {
  HKEY key = nullptr;
  LSTATUS status = RegCreateKeyExW(root, fromUtf8(entry.path).c_str(), 0, nullptr, 0,
                                   KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  if (entry.hasValue) {
    const std::wstring name = fromUtf8(std::string(entry.valueName));
    const std::wstring text = fromUtf8(entry.text);
    status = RegSetValueExW(key, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }
  RegCloseKey(key);
  return status;
}

}  // namespace

HRESULT writeClassKeys(RegistrationScope scope, const std::wstring& modulePath) {
  HKEY root = nullptr;
  if (HRESULT status = openRoot(scope, root); FAILED(status)) return status;
  // The list carries the path through as UTF-8, the one narrow form that
  // keeps every character of it.
  LSTATUS status = ERROR_SUCCESS;
  for (const RegistryEntry& entry : registryEntries(toUtf8(modulePath))) {
    status = writeEntry(root, entry);
    if (status != ERROR_SUCCESS) break;
  }
  closeRoot(scope, root);
  return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

HRESULT removeClassKeys(RegistrationScope scope) {
  HKEY root = nullptr;
  if (HRESULT status = openRoot(scope, root); FAILED(status)) return status;
  LSTATUS result = ERROR_SUCCESS;
  for (const std::string& path : registeredKeys()) {
    const LSTATUS status = RegDeleteTreeW(root, fromUtf8(path).c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND && result == ERROR_SUCCESS)
      result = status;
  }
  closeRoot(scope, root);
  return result == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(result);
}

}  // namespace qx::win32

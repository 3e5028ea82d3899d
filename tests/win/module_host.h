#pragma once
// The module as the Windows tests meet it: its path beside the test program,
// regsvr32 run on it, class keys read back, and a small host of recording
// objects around the connected add-in.
#include <windows.h>

#include <oleauto.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/mail_ids.h"
#include "win/com_guid.h"
#include "win/recording_object.h"
#include "win/registry_win.h"

namespace qx::wintest {

using win32::ComPtr;

inline std::wstring moduleDirectory() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring text(path);
  return text.substr(0, text.find_last_of(L'\\') + 1);
}

inline std::wstring modulePath() { return moduleDirectory() + L"Quendrilax.dll"; }

// regsvr32's exit code.
inline DWORD runRegsvr32(const std::wstring& arguments, const std::wstring& module = modulePath()) {
  std::wstring command = L"regsvr32.exe /s " + arguments + L" \"" + module + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return GetLastError() | 0x10000;
  WaitForSingleObject(process.hProcess, 60000);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

// A text value of a key under the classes root, or none.
inline std::optional<std::string> classesText(const std::string& path,
                                              const std::string& name = "") {
  win32::RegistryWin registry;
  RegKey key = reg::kNoKey;
  if (registry.openKey(reg::kClassesRoot, path, reg::kKeyRead, key) != win::kSuccess)
    return std::nullopt;
  char buffer[512] = {};
  std::uint32_t size = sizeof buffer - 1, type = 0;
  WinError status = registry.queryValue(
      key, name, &type, {reinterpret_cast<std::uint8_t*>(buffer), sizeof buffer - 1}, size);
  registry.closeKey(key);
  if (status != win::kSuccess) return std::nullopt;
  return std::string(buffer);
}

// The loaded module's DllCanUnloadNow, or none.
inline auto moduleCanUnloadNow() {
  HMODULE module = GetModuleHandleW(modulePath().c_str());
  return module ? reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
                      reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")))
                : nullptr;
}

inline std::string narrowPath() {
  std::wstring wide = modulePath();
  return std::string(wide.begin(), wide.end());
}

// Every value below a key, by "subkey\\name" (the default value has no name).
inline DWORD dwordOf(const wchar_t* bytes) {
  DWORD number = 0;
  std::memcpy(&number, bytes, sizeof number);
  return number;
}

inline std::map<std::wstring, std::wstring> valuesBelow(HKEY root, const std::wstring& path) {
  std::map<std::wstring, std::wstring> found;
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return found;
  wchar_t name[256];
  wchar_t text[512];
  for (DWORD i = 0;; ++i) {
    DWORD nameLength = 256, size = sizeof text - sizeof(wchar_t), type = 0;
    if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(text),
                      &size) != ERROR_SUCCESS)
      break;
    text[size / sizeof(wchar_t)] = L'\0';
    // Numbers as their decimal text.
    found[std::wstring(L"\\") + name] = type == REG_DWORD ? std::to_wstring(dwordOf(text)) : text;
  }
  for (DWORD i = 0;; ++i) {
    DWORD nameLength = 256;
    if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    const auto below = valuesBelow(key, name);
    // A key without values shows as its path with a trailing backslash.
    if (below.empty()) found[std::wstring(L"\\") + name + L"\\"] = L"";
    for (auto& [path, text] : below) found[std::wstring(L"\\") + name + path] = text;
  }
  RegCloseKey(key);
  return found;
}

inline void writeText(HKEY root, const std::wstring& path, const wchar_t* name,
                      const std::wstring& text) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return;
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

inline std::optional<std::wstring> wideText(HKEY root, const std::wstring& path,
                                            const wchar_t* name = nullptr) {
  auto values = valuesBelow(root, path);
  auto it = values.find(std::wstring(L"\\") + (name ? name : L""));
  if (it == values.end()) return std::nullopt;
  return it->second;
}

// A GUID in the registry's text form.
inline std::string guidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return std::string(text, text + wcslen(text));
}

// The host around the add-in: application, namespace, a folder with its item
// collection, and the add-in's own record.
struct Host {
  Host(const wchar_t* version = L"11.0.0.8166") {
    using namespace qx::iid;
    using win32::toGuid;
    application =
        makeRecordingObject("application", {toGuid(kApplication)}, {toGuid(kApplicationEvents)});
    nameSpace = makeRecordingObject("namespace", {}, {toGuid(kNamespaceEvents)});
    folder = makeRecordingObject("folder", {toGuid(kFolder)});
    items = makeRecordingObject("items", {}, {toGuid(kItemsEvents)});
    addIn = makeRecordingObject("addin", {toGuid(kComAddIn)});
    VARIANT v = textVariant(version);
    application->defineValue(L"Version", v);
    VariantClear(&v);
    application->define(L"GetNamespace", [this](const std::vector<VARIANT>&, VARIANT* result) {
      *result = objectVariant(nameSpace.get());
      return S_OK;
    });
    nameSpace->define(L"GetDefaultFolder", [this](const std::vector<VARIANT>&, VARIANT* result) {
      *result = objectVariant(folder.get());
      return S_OK;
    });
    folder->define(L"Items", [this](const std::vector<VARIANT>&, VARIANT* result) {
      *result = objectVariant(items.get());
      return S_OK;
    });
    for (auto [name, value] :
         {std::pair{L"EntryID", L"00DE"}, std::pair{L"StoreID", L"5707"},
          std::pair{L"Name", L"Tasks"}, std::pair{L"DefaultMessageClass", L"IPM.Task"}}) {
      VARIANT text = textVariant(value);
      folder->defineValue(name, text);
      VariantClear(&text);
    }
    VARIANT zero = longVariant(0);
    items->defineValue(L"Count", zero);
    addIn->define(L"Connect", [](const std::vector<VARIANT>&, VARIANT*) { return S_OK; });
  }
  std::size_t subscriptions() const {
    using namespace qx::iid;
    using win32::toGuid;
    return application->sinks(toGuid(kApplicationEvents)).size() +
           nameSpace->sinks(toGuid(kNamespaceEvents)).size() +
           items->sinks(toGuid(kItemsEvents)).size();
  }

  ComPtr<RecordingObject> application, nameSpace, folder, items, addIn;
};

inline bool noted(const ComPtr<RecordingObject>& object, const std::string& call) {
  const auto& calls = object->calls();
  return std::find(calls.begin(), calls.end(), call) != calls.end();
}

}  // namespace qx::wintest

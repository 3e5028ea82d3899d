#include "ui/registration.h"

#include <cstdint>
#include <string>
#include <vector>

#include "ui/class_ids.h"

namespace qx {

namespace {

using namespace addin_class;

constexpr AddinClass kClasses[] = {
    {kConnectProgId, "Connect Class", kConnectClassId, 0},
    {kFolderPageProgId, "OLFoldersPropPage Class", kFolderPageClassId, kFolderPageToolboxBitmap},
    {kEmptyPageProgId, "PropPageEmpty Class", kEmptyPageClassId, kEmptyPageToolboxBitmap},
};

void addKeysOf(std::vector<RegistryEntry>& keys, const AddinClass& c, std::string_view modulePath) {
  const std::string progId(c.progId);
  const std::string versioned = progId + ".1";
  const std::string classKey = "CLSID\\" + std::string(c.classId);
  const std::string text(c.text);
  const std::string classId(c.classId);
  const RegistryEntry common[] = {
      {versioned, "", text},
      {versioned + "\\CLSID", "", classId},
      {progId, "", text},
      {progId + "\\CLSID", "", classId},
      {progId + "\\CurVer", "", versioned},
      {classKey, "", text},
      {classKey + "\\ProgID", "", versioned},
      {classKey + "\\VersionIndependentProgID", "", progId},
      {classKey + "\\Programmable", "", "", false},
      {classKey + "\\InprocServer32", "", std::string(modulePath)},
      {classKey + "\\InprocServer32", "ThreadingModel", "Apartment"},
      {classKey + "\\TypeLib", "", std::string(kTypeLibId)},
  };
  keys.insert(keys.end(), std::begin(common), std::end(common));
  if (c.toolboxBitmap != 0) {
    keys.push_back({classKey + "\\Control", "", "", false});
    keys.push_back({classKey + "\\ToolboxBitmap32", "",
                    std::string(modulePath) + ", " + std::to_string(c.toolboxBitmap)});
    keys.push_back({classKey + "\\MiscStatus", "", "0"});
    keys.push_back({classKey + "\\MiscStatus\\1", "", std::to_string(kControlMiscStatus)});
    keys.push_back({classKey + "\\Version", "", "1.0"});
  }
}

WinError writeKey(Registry& registry, const RegistryEntry& entry) {
  RegKey key = reg::kNoKey;
  WinError status = registry.createKey(reg::kClassesRoot, entry.path, reg::kKeyAllAccess, key);
  if (status != win::kSuccess) return status;
  if (entry.hasValue) {
    std::string terminated = entry.text;
    terminated.push_back('\0');
    status = registry.setValue(
        key, entry.valueName, reg::kSz,
        {reinterpret_cast<const std::uint8_t*>(terminated.data()), terminated.size()});
  }
  const WinError closed = registry.closeKey(key);
  return status != win::kSuccess ? status : closed;
}

}  // namespace

std::span<const AddinClass> addinClasses() { return kClasses; }

std::vector<RegistryEntry> registryEntries(std::string_view modulePath) {
  std::vector<RegistryEntry> keys;
  for (const AddinClass& c : kClasses) addKeysOf(keys, c, modulePath);
  return keys;
}

std::vector<std::string> registeredKeys() {
  std::vector<std::string> keys;
  for (const AddinClass& c : kClasses) {
    const std::string progId(c.progId);
    keys.insert(keys.end(), {progId + ".1", progId, "CLSID\\" + std::string(c.classId)});
  }
  return keys;
}

WinError registerServer(Registry& registry, std::string_view modulePath) {
  for (const RegistryEntry& entry : registryEntries(modulePath)) {
    if (WinError status = writeKey(registry, entry); status != win::kSuccess) return status;
  }
  return win::kSuccess;
}

WinError unregisterServer(Registry& registry) {
  WinError result = win::kSuccess;
  for (const std::string& path : registeredKeys()) {
    const WinError status = registry.deleteTree(reg::kClassesRoot, path);
    if (status != win::kSuccess && status != win::kFileNotFound && result == win::kSuccess)
      result = status;
  }
  return result;
}

}  // namespace qx

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

// The controls' OLE miscellaneous status: recompose on resize, no linking
// inside, inside-out, activate when visible, client site before loading.
constexpr std::string_view kControlMiscStatus = "131473";

struct KeyEntry {
  std::string path;
  std::string_view valueName;  // "" is the key's default value
  std::string text;
  bool hasValue = true;
};

std::vector<KeyEntry> keysOf(const AddinClass& c, std::string_view modulePath) {
  const std::string progId(c.progId);
  const std::string versioned = progId + ".1";
  const std::string classKey = "CLSID\\" + std::string(c.classId);
  const std::string text(c.text);
  const std::string classId(c.classId);
  std::vector<KeyEntry> keys = {
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
  if (c.toolboxBitmap != 0) {
    keys.push_back({classKey + "\\Control", "", "", false});
    keys.push_back({classKey + "\\ToolboxBitmap32", "",
                    std::string(modulePath) + ", " + std::to_string(c.toolboxBitmap)});
    keys.push_back({classKey + "\\MiscStatus", "", "0"});
    keys.push_back({classKey + "\\MiscStatus\\1", "", std::string(kControlMiscStatus)});
    keys.push_back({classKey + "\\Version", "", "1.0"});
  }
  return keys;
}

WinError writeKey(Registry& registry, const KeyEntry& entry) {
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

WinError registerServer(Registry& registry, std::string_view modulePath) {
  for (const AddinClass& c : kClasses) {
    for (const KeyEntry& entry : keysOf(c, modulePath)) {
      if (WinError status = writeKey(registry, entry); status != win::kSuccess) return status;
    }
  }
  return win::kSuccess;
}

WinError unregisterServer(Registry& registry) {
  WinError result = win::kSuccess;
  for (const AddinClass& c : kClasses) {
    const std::string progId(c.progId);
    for (const std::string& path : {progId + ".1", progId, "CLSID\\" + std::string(c.classId)}) {
      const WinError status = registry.deleteTree(reg::kClassesRoot, path);
      if (status != win::kSuccess && status != win::kFileNotFound && result == win::kSuccess)
        result = status;
    }
  }
  return result;
}

}  // namespace qx

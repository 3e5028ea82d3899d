#pragma once
// The module's self-registration under HKEY_CLASSES_ROOT, for DllRegisterServer
// and DllUnregisterServer: for each of the three classes the version-dependent
// ProgID (name + ".1") and the version-independent one (with CurVer), both
// with the class's text and CLSID, and the CLSID key with ProgID,
// VersionIndependentProgID, Programmable, InprocServer32 (the module's path,
// ThreadingModel "Apartment") and TypeLib. The two page controls also get
// Control, ToolboxBitmap32, MiscStatus and Version.
//
// Only the classes are written here. The type library itself is registered
// by the Windows module from its resources, and the entry that makes the host
// load the connection class as an add-in is left to the installer: the module
// never writes into the host's own configuration.
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace qx {

struct AddinClass {
  std::string_view progId;  // version-independent
  std::string_view text;    // the class's default text
  std::string_view classId;
  int toolboxBitmap = 0;  // 0: not a control
};

// Connection class, folder page, placeholder page: the order of registration.
std::span<const AddinClass> addinClasses();

// One value (or one empty key) that registration writes, by its path under
// the classes root.
struct RegistryEntry {
  std::string path;
  std::string_view valueName;  // "" is the key's default value
  std::string text;            // ASCII, apart from the module path as given
  bool hasValue = true;
};

// Every entry of every class, in the order they are written: the one list
// that the module's registration, its per-user registration and an installer
// write alike.
std::vector<RegistryEntry> registryEntries(std::string_view modulePath);

// The keys that unregistration removes with everything below them.
std::vector<std::string> registeredKeys();

// Writes every key of every class. `modulePath` is the module's full file
// name in the ANSI code page. The first failing registry call ends it and is
// the result; what was written before stays (the caller may unregister).
WinError registerServer(Registry& registry, std::string_view modulePath);

// Removes the ProgID keys and the CLSID key of every class with everything
// below them. Keys that are already gone are no failure; any other failure is
// the result, after every other key has been tried.
WinError unregisterServer(Registry& registry);

}  // namespace qx

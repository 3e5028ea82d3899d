// Writes the package's registry rows for the module's classes as a WiX
// include, from the same list the module's own registration writes: the
// package writes exactly the keys that DllRegisterServer writes, and removes
// on uninstall exactly the trees that DllUnregisterServer removes. Built and
// run by make-msi.
//   class_keys > classes.wxi
#include <cstdio>
#include <set>
#include <string>

#include "ui/registration.h"

namespace {

std::string escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// One row: `name` "+" makes the key alone, "*" also removes its tree on
// uninstall; otherwise a text value ("" the default value).
void printRow(const std::string& key, std::string_view name, const std::string* value) {
  std::printf("  <RegistryValue Root=\"HKCR\" Key=\"%s\"", escaped(key).c_str());
  if (!name.empty()) std::printf(" Name=\"%s\"", escaped(name).c_str());
  if (value) std::printf(" Value=\"%s\"", escaped(*value).c_str());
  std::printf(" Type=\"string\"/>\n");
}

}  // namespace

int main() {
  // The file's full path, as the installer formats it at install time.
  const auto entries = qx::registryEntries("[#QuendrilaxDll]");
  std::set<std::string> withValues;
  for (const auto& entry : entries)
    if (entry.hasValue) withValues.insert(entry.path);
  std::printf("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n");
  std::printf("<!-- Written by installer/make-msi from the module's registration. -->\n");
  std::printf("<Include>\n");
  for (const auto& entry : entries) {
    if (entry.hasValue) {
      printRow(entry.path, entry.valueName, &entry.text);
    } else if (!withValues.contains(entry.path)) {
      printRow(entry.path, "+", nullptr);
    }
  }
  for (const std::string& key : qx::registeredKeys()) printRow(key, "*", nullptr);
  std::printf("</Include>\n");
  return 0;
}

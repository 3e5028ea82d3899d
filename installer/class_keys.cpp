// Writes the package's registry rows for the module's classes as a WiX
// include: the module's own registration runs against a registry that only
// notes what it is asked to do, so the package writes exactly the keys that
// DllRegisterServer writes, and takes away on uninstall exactly the trees that
// DllUnregisterServer takes away. Built and run by make-msi.
//   class_keys > classes.wxi
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "ui/registration.h"

namespace {

using namespace qx;

struct Row {
  std::string key;
  std::string name;  // "+": the key alone; "*": the key and its tree, removed on uninstall
  std::string value;
  bool hasValue = false;
};

class NotingRegistry final : public Registry {
 public:
  WinError openKey(RegKey, std::string_view, std::uint32_t, RegKey&) override {
    return win::kFileNotFound;
  }
  WinError createKey(RegKey parent, std::string_view subKey, std::uint32_t,
                     RegKey& opened) override {
    if (parent != reg::kClassesRoot) return win::kAccessDenied;
    opened = nextHandle_++;
    open_[opened] = std::string(subKey);
    rows_.push_back({std::string(subKey), "+", "", false});
    return win::kSuccess;
  }
  WinError closeKey(RegKey key) override {
    return open_.erase(key) == 1 ? win::kSuccess : win::kInvalidHandle;
  }
  WinError enumKey(RegKey, std::uint32_t, std::span<char>, std::uint32_t&) override {
    return win::kNoMoreItems;
  }
  WinError queryValue(RegKey, std::string_view, std::uint32_t*, std::span<std::uint8_t>,
                      std::uint32_t&) override {
    return win::kFileNotFound;
  }
  WinError setValue(RegKey key, std::string_view name, std::uint32_t type,
                    std::span<const std::uint8_t> data) override {
    auto path = open_.find(key);
    if (path == open_.end()) return win::kInvalidHandle;
    // Only texts are written by the registration; anything else would need a
    // row type of its own.
    if (type != reg::kSz || data.empty() || data.back() != 0) return win::kInvalidParameter;
    std::string text(data.begin(), data.end() - 1);
    rows_.push_back({path->second, std::string(name), std::move(text), true});
    return win::kSuccess;
  }
  WinError deleteValue(RegKey, std::string_view) override { return win::kSuccess; }
  WinError deleteTree(RegKey key, std::string_view subKey) override {
    if (key != reg::kClassesRoot) return win::kAccessDenied;
    rows_.push_back({std::string(subKey), "*", "", false});
    return win::kSuccess;
  }

  const std::vector<Row>& rows() const { return rows_; }

 private:
  RegKey nextHandle_ = 1;
  std::map<RegKey, std::string> open_;
  std::vector<Row> rows_;
};

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

}  // namespace

int main() {
  NotingRegistry registry;
  // The file's full path, as the installer formats it at install time.
  if (registerServer(registry, "[#QuendrilaxDll]") != win::kSuccess) return 1;
  if (unregisterServer(registry) != win::kSuccess) return 1;
  // A key that both gets a value and stays bare would be noted twice.
  std::vector<Row> rows;
  for (const Row& row : registry.rows()) {
    bool later = false;
    if (row.name == "+") {
      for (const Row& other : registry.rows())
        later = later || (other.key == row.key && other.hasValue);
    }
    if (!later) rows.push_back(row);
  }
  std::printf("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n");
  std::printf("<!-- Written by installer/make-msi from the module's registration. -->\n");
  std::printf("<Include>\n");
  for (const Row& row : rows) {
    std::printf("  <RegistryValue Root=\"HKCR\" Key=\"%s\"", escaped(row.key).c_str());
    if (!row.name.empty()) std::printf(" Name=\"%s\"", escaped(row.name).c_str());
    if (row.hasValue) std::printf(" Value=\"%s\"", escaped(row.value).c_str());
    std::printf(" Type=\"string\"/>\n");
  }
  std::printf("</Include>\n");
  return 0;
}

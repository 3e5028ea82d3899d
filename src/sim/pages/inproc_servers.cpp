#include "sim/pages/inproc_servers.h"

#include <algorithm>
#include <optional>

#include "sim/dialog_controls.h"
#include "sim/faults.h"
#include "sim/registry_sim.h"

namespace qx::sim {

namespace {

std::optional<std::string> defaultText(const RegistrySim& registry, const std::string& path) {
  auto value = registry.value(reg::kClassesRoot, path, "");
  if (!value || (value->type != reg::kSz && value->type != reg::kExpandSz)) return std::nullopt;
  std::string text(value->data.begin(), value->data.end());
  if (auto end = text.find('\0'); end != std::string::npos) text.resize(end);
  return text;
}

bool equalPaths(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return foldCase(static_cast<unsigned char>(x)) ==
                  foldCase(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::string InprocServers::upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

void InprocServers::add(std::string_view classId, std::string modulePath, ClassObject create) {
  classes_[upper(classId)] = {std::move(modulePath), std::move(create)};
}

Result<std::string> InprocServers::classIdFromProgId(std::u16string_view progId) {
  if (auto f = faults_.check("com.CLSIDFromProgID")) return failure(*f);
  std::string name;
  for (char16_t c : progId) {
    if (c >= 0x80 || c == u'\\') return failure(hr::kInvalidClassString);
    name.push_back(static_cast<char>(c));
  }
  if (name.empty()) return failure(hr::kInvalidClassString);
  auto classId = defaultText(registry_, name + "\\CLSID");
  if (!classId || classId->empty()) return failure(hr::kInvalidClassString);
  return *classId;
}

Result<std::shared_ptr<PageControl>> InprocServers::createInstance(std::string_view classId) {
  if (auto f = faults_.check("com.CreateInstance")) return failure(*f);
  auto server = defaultText(registry_, "CLSID\\" + std::string(classId) + "\\InprocServer32");
  if (!server) return failure(hr::kClassNotRegistered);
  auto found = classes_.find(upper(classId));
  // The registration names a module that is not this one: it cannot be loaded.
  if (found == classes_.end() || !equalPaths(found->second.modulePath, *server))
    return failure(hr::kClassNotRegistered);
  std::shared_ptr<PageControl> object = found->second.create();
  if (!object) return failure(hr::kOutOfMemory);
  return object;
}

Result<std::shared_ptr<PageControl>> InprocServers::createByProgId(std::u16string_view progId) {
  auto classId = classIdFromProgId(progId);
  if (!classId) return failure(classId);
  return createInstance(*classId);
}

}  // namespace qx::sim

#include "sim/registry_sim.h"

#include <algorithm>
#include <cstring>

#include "sim/codepage_sim.h"

namespace qx::sim {
namespace {

constexpr std::uint32_t kQueryValue = 0x0001;
constexpr std::uint32_t kSetValue = 0x0002;
constexpr std::uint32_t kCreateSubKey = 0x0004;
constexpr std::uint32_t kEnumerateSubKeys = 0x0008;
constexpr std::uint32_t kDelete = 0x10000;
constexpr std::size_t kMaxKeyNameLength = 255;

// The host compares registry names by their upper-case UTF-16 forms; over the
// Windows-1252 repertoire that is this mapping.
char16_t upcase(char16_t c) {
  if (c >= u'a' && c <= u'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  switch (c) {
    case 0x00FF:
      return 0x0178;  // y with diaeresis
    case 0x00B5:
      return 0x039C;  // micro sign
    case 0x0161:
      return 0x0160;  // s with caron
    case 0x0153:
      return 0x0152;  // ligature oe
    case 0x017E:
      return 0x017D;  // z with caron
    case 0x0192:
      return 0x0191;  // f with hook
    default:
      return c;
  }
}

std::u16string fold(std::string_view name) {
  std::u16string folded;
  folded.reserve(name.size());
  for (char c : name) folded += upcase(CodePageSim::toWideChar(static_cast<unsigned char>(c)));
  return folded;
}

// The parts of a key path; an empty path is the key itself. kInvalidParameter
// for an empty part inside the path.
std::expected<std::vector<std::string_view>, WinError> splitPath(std::string_view path) {
  std::vector<std::string_view> parts;
  if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  while (!path.empty()) {
    std::size_t slash = path.find('\\');
    std::string_view part = path.substr(0, slash);
    if (part.empty()) return std::unexpected(win::kInvalidParameter);
    parts.push_back(part);
    path = slash == std::string_view::npos ? std::string_view{} : path.substr(slash + 1);
  }
  return parts;
}

}  // namespace

struct RegistrySim::Node {
  struct Value {
    std::string name;
    std::u16string folded;
    std::uint32_t type = reg::kNone;
    std::vector<std::uint8_t> data;
  };

  std::string name;
  std::u16string folded;
  std::vector<Value> values;                    // in the order they were created
  std::vector<std::shared_ptr<Node>> children;  // sorted by folded name
  bool deleted = false;

  std::shared_ptr<Node> child(std::string_view childName) const {
    std::u16string key = fold(childName);
    auto it = std::lower_bound(children.begin(), children.end(), key,
                               [](const auto& node, const auto& k) { return node->folded < k; });
    return it != children.end() && (*it)->folded == key ? *it : nullptr;
  }

  std::shared_ptr<Node> addChild(std::string_view childName) {
    auto node = std::make_shared<Node>();
    node->name = childName;
    node->folded = fold(childName);
    auto it =
        std::lower_bound(children.begin(), children.end(), node->folded,
                         [](const auto& existing, const auto& k) { return existing->folded < k; });
    children.insert(it, node);
    return node;
  }

  void removeChild(const std::shared_ptr<Node>& node) { std::erase(children, node); }

  Value* value(std::string_view valueName) {
    std::u16string key = fold(valueName);
    for (Value& v : values) {
      if (v.folded == key) return &v;
    }
    return nullptr;
  }

  void set(std::string_view valueName, std::uint32_t type, std::span<const std::uint8_t> data) {
    Value* v = value(valueName);
    if (v == nullptr) {
      v = &values.emplace_back();
      v->name = valueName;  // the first spelling stays, as on the host
      v->folded = fold(valueName);
    }
    v->type = type;
    v->data.assign(data.begin(), data.end());
  }

  bool eraseValue(std::string_view valueName) {
    std::u16string key = fold(valueName);
    return std::erase_if(values, [&](const Value& v) { return v.folded == key; }) != 0;
  }

  // Handles still open on a deleted key see kKeyDeleted from then on.
  void markDeleted() {
    deleted = true;
    for (auto& c : children) c->markDeleted();
  }

  void clear() {
    for (auto& c : children) c->markDeleted();
    children.clear();
    values.clear();
  }
};

RegistrySim::RegistrySim(Faults& faults)
    : faults_(faults),
      currentUser_(std::make_shared<Node>()),
      classesRoot_(std::make_shared<Node>()),
      localMachine_(std::make_shared<Node>()) {}

RegistrySim::~RegistrySim() = default;

std::shared_ptr<RegistrySim::Node> RegistrySim::root(RegKey hive) const {
  if (hive == reg::kCurrentUser) return currentUser_;
  if (hive == reg::kClassesRoot) return classesRoot_;
  if (hive == reg::kLocalMachine) return localMachine_;
  return nullptr;
}

WinError RegistrySim::resolve(RegKey key, std::shared_ptr<Node>& node,
                              std::uint32_t& access) const {
  if (auto hive = root(key)) {
    node = hive;
    access = reg::kKeyAllAccess;
    return win::kSuccess;
  }
  auto it = handles_.find(key);
  if (it == handles_.end()) return win::kInvalidHandle;
  if (it->second.node->deleted) return win::kKeyDeleted;
  node = it->second.node;
  access = it->second.access;
  return win::kSuccess;
}

RegKey RegistrySim::newHandle(std::shared_ptr<Node> node, std::uint32_t access) {
  RegKey handle = nextHandle_;
  nextHandle_ += 4;
  handles_.emplace(handle, Handle{std::move(node), access});
  return handle;
}

WinError RegistrySim::openKey(RegKey parent, std::string_view subKey, std::uint32_t access,
                              RegKey& opened) {
  opened = reg::kNoKey;
  if (auto status = faults_.check("registry.openKey")) return winError(*status);
  std::shared_ptr<Node> node;
  std::uint32_t parentAccess = 0;
  if (WinError status = resolve(parent, node, parentAccess); status != win::kSuccess) {
    return status;
  }
  auto parts = splitPath(subKey);
  if (!parts) return parts.error();
  for (std::string_view part : *parts) {
    node = node->child(part);
    if (!node) return win::kFileNotFound;
  }
  opened = newHandle(std::move(node), access);
  return win::kSuccess;
}

WinError RegistrySim::createKey(RegKey parent, std::string_view subKey, std::uint32_t access,
                                RegKey& opened) {
  opened = reg::kNoKey;
  if (auto status = faults_.check("registry.createKey")) return winError(*status);
  std::shared_ptr<Node> node;
  std::uint32_t parentAccess = 0;
  if (WinError status = resolve(parent, node, parentAccess); status != win::kSuccess) {
    return status;
  }
  auto parts = splitPath(subKey);
  if (!parts) return parts.error();
  // Check everything before creating anything, so that a refused call leaves
  // no half-made path behind.
  std::size_t existing = 0;
  for (auto probe = node; existing < parts->size(); ++existing) {
    probe = probe->child((*parts)[existing]);
    if (!probe) break;
  }
  for (std::size_t i = existing; i < parts->size(); ++i) {
    if ((*parts)[i].size() > kMaxKeyNameLength && !allowLongNames_) {
      return win::kInvalidParameter;
    }
  }
  if (existing < parts->size() && (parentAccess & kCreateSubKey) == 0) {
    return win::kAccessDenied;
  }
  for (std::string_view part : *parts) {
    auto next = node->child(part);
    node = next ? next : node->addChild(part);
  }
  opened = newHandle(std::move(node), access);
  return win::kSuccess;
}

WinError RegistrySim::closeKey(RegKey key) {
  if (auto status = faults_.check("registry.closeKey")) return winError(*status);
  if (root(key)) return win::kSuccess;
  return handles_.erase(key) != 0 ? win::kSuccess : win::kInvalidHandle;
}

WinError RegistrySim::enumKey(RegKey key, std::uint32_t index, std::span<char> name,
                              std::uint32_t& nameLength) {
  if (auto status = faults_.check("registry.enumKey")) return winError(*status);
  std::shared_ptr<Node> node;
  std::uint32_t access = 0;
  if (WinError status = resolve(key, node, access); status != win::kSuccess) return status;
  if ((access & kEnumerateSubKeys) == 0) return win::kAccessDenied;
  if (index >= node->children.size()) return win::kNoMoreItems;
  const std::string& childName = node->children[index]->name;
  std::size_t capacity = std::min<std::size_t>(nameLength, name.size());
  if (childName.size() + 1 > capacity) return win::kMoreData;
  std::memcpy(name.data(), childName.data(), childName.size());
  name[childName.size()] = '\0';
  nameLength = static_cast<std::uint32_t>(childName.size());
  return win::kSuccess;
}

WinError RegistrySim::queryValue(RegKey key, std::string_view name, std::uint32_t* type,
                                 std::span<std::uint8_t> data, std::uint32_t& size) {
  if (auto status = faults_.check("registry.queryValue")) return winError(*status);
  std::shared_ptr<Node> node;
  std::uint32_t access = 0;
  if (WinError status = resolve(key, node, access); status != win::kSuccess) return status;
  if ((access & kQueryValue) == 0) return win::kAccessDenied;
  const Node::Value* value = node->value(name);
  if (value == nullptr) return win::kFileNotFound;
  if (type != nullptr) *type = value->type;
  auto stored = static_cast<std::uint32_t>(value->data.size());
  if (data.data() == nullptr) {
    size = stored;
    return win::kSuccess;
  }
  std::size_t capacity = std::min<std::size_t>(size, data.size());
  size = stored;
  if (stored > capacity) return win::kMoreData;
  std::copy(value->data.begin(), value->data.end(), data.begin());
  return win::kSuccess;
}

WinError RegistrySim::setValue(RegKey key, std::string_view name, std::uint32_t type,
                               std::span<const std::uint8_t> data) {
  if (auto status = faults_.check("registry.setValue")) return winError(*status);
  std::shared_ptr<Node> node;
  std::uint32_t access = 0;
  if (WinError status = resolve(key, node, access); status != win::kSuccess) return status;
  if ((access & kSetValue) == 0) return win::kAccessDenied;
  node->set(name, type, data);
  return win::kSuccess;
}

WinError RegistrySim::deleteValue(RegKey key, std::string_view name) {
  if (auto status = faults_.check("registry.deleteValue")) return winError(*status);
  std::shared_ptr<Node> node;
  std::uint32_t access = 0;
  if (WinError status = resolve(key, node, access); status != win::kSuccess) return status;
  if ((access & kSetValue) == 0) return win::kAccessDenied;
  return node->eraseValue(name) ? win::kSuccess : win::kFileNotFound;
}

WinError RegistrySim::deleteTree(RegKey key, std::string_view subKey) {
  if (auto status = faults_.check("registry.deleteTree")) return winError(*status);
  std::shared_ptr<Node> node;
  std::uint32_t access = 0;
  if (WinError status = resolve(key, node, access); status != win::kSuccess) return status;
  constexpr std::uint32_t kNeeded = kDelete | kEnumerateSubKeys | kQueryValue;
  if ((access & kNeeded) != kNeeded) return win::kAccessDenied;
  auto parts = splitPath(subKey);
  if (!parts) return parts.error();
  if (parts->empty()) {
    // Without a subkey the host empties the key itself but keeps it.
    node->clear();
    return win::kSuccess;
  }
  std::shared_ptr<Node> parent;
  for (std::string_view part : *parts) {
    parent = node;
    node = node->child(part);
    if (!node) return win::kFileNotFound;
  }
  node->markDeleted();
  parent->removeChild(node);
  return win::kSuccess;
}

// --- Set-up and inspection.

std::shared_ptr<RegistrySim::Node> RegistrySim::find(RegKey hive, std::string_view path) const {
  auto node = root(hive);
  auto parts = splitPath(path);
  if (!node || !parts) return nullptr;
  for (std::string_view part : *parts) {
    node = node->child(part);
    if (!node) return nullptr;
  }
  return node;
}

std::shared_ptr<RegistrySim::Node> RegistrySim::ensure(RegKey hive, std::string_view path) {
  auto node = root(hive);
  if (!node) return nullptr;
  for (std::string_view left = path; !left.empty();) {
    std::size_t slash = left.find('\\');
    std::string_view part = left.substr(0, slash);
    left = slash == std::string_view::npos ? std::string_view{} : left.substr(slash + 1);
    if (part.empty()) continue;
    auto next = node->child(part);
    node = next ? next : node->addChild(part);
  }
  return node;
}

void RegistrySim::putValue(RegKey hive, std::string_view path, std::string_view name,
                           std::uint32_t type, std::span<const std::uint8_t> data) {
  if (auto node = ensure(hive, path)) node->set(name, type, data);
}

void RegistrySim::putString(RegKey hive, std::string_view path, std::string_view name,
                            std::string_view text, std::uint32_t type) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  putValue(hive, path, name, type, bytes);
}

void RegistrySim::putDword(RegKey hive, std::string_view path, std::string_view name,
                           std::uint32_t number) {
  const std::uint8_t bytes[4] = {
      static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
      static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
  putValue(hive, path, name, reg::kDword, bytes);
}

void RegistrySim::putKey(RegKey hive, std::string_view path) { ensure(hive, path); }

bool RegistrySim::removeKey(RegKey hive, std::string_view path) {
  auto parts = splitPath(path);
  if (!parts || parts->empty()) return false;
  auto parent = root(hive);
  std::shared_ptr<Node> node = parent;
  for (std::string_view part : *parts) {
    parent = node;
    node = node ? node->child(part) : nullptr;
  }
  if (!node) return false;
  node->markDeleted();
  parent->removeChild(node);
  return true;
}

std::optional<RegistrySim::StoredValue> RegistrySim::value(RegKey hive, std::string_view path,
                                                           std::string_view name) const {
  auto node = find(hive, path);
  const Node::Value* stored = node ? node->value(name) : nullptr;
  if (stored == nullptr) return std::nullopt;
  return StoredValue{stored->type, stored->data};
}

bool RegistrySim::hasKey(RegKey hive, std::string_view path) const {
  return find(hive, path) != nullptr;
}

std::vector<std::string> RegistrySim::subkeyNames(RegKey hive, std::string_view path) const {
  std::vector<std::string> names;
  if (auto node = find(hive, path)) {
    for (const auto& c : node->children) names.push_back(c->name);
  }
  return names;
}

// --- .reg files.

void RegistrySim::apply(const RegFileOp& op) {
  switch (op.kind) {
    case RegFileOp::Kind::kCreateKey:
      ensure(op.hive, op.path);
      break;
    case RegFileOp::Kind::kDeleteKey:
      removeKey(op.hive, op.path);
      break;
    case RegFileOp::Kind::kSetValue:
      putValue(op.hive, op.path, op.valueName, op.type, op.data);
      break;
    case RegFileOp::Kind::kDeleteValue:
      if (auto node = find(op.hive, op.path)) node->eraseValue(op.valueName);
      break;
  }
}

std::expected<void, RegFileError> RegistrySim::loadRegFile(std::string_view fileBytes) {
  auto ops = parseRegFile(fileBytes);
  if (!ops) return std::unexpected(ops.error());
  for (const RegFileOp& op : *ops) apply(op);
  return {};
}

void RegistrySim::collect(RegKey hive, const std::string& path, const Node& node,
                          std::vector<RegFileKey>& out) const {
  if (!path.empty() || !node.values.empty()) {
    RegFileKey key{hive, path, {}};
    for (const auto& v : node.values) key.values.push_back({v.name, v.type, v.data});
    out.push_back(std::move(key));
  }
  for (const auto& c : node.children) {
    collect(hive, path.empty() ? c->name : path + '\\' + c->name, *c, out);
  }
}

std::string RegistrySim::saveRegFile(RegFileEncoding encoding) const {
  std::vector<RegFileKey> keys;
  collect(reg::kClassesRoot, "", *classesRoot_, keys);
  collect(reg::kCurrentUser, "", *currentUser_, keys);
  collect(reg::kLocalMachine, "", *localMachine_, keys);
  return writeRegFile(keys, encoding);
}

}  // namespace qx::sim

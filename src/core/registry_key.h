#pragma once
// An open registry key that closes itself, so that no early return of the
// configuration code leaks a handle.
#include <cstdint>
#include <string_view>
#include <utility>

#include "platform/registry.h"

namespace qx {

class RegistryKey {
 public:
  RegistryKey() = default;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  RegistryKey(RegistryKey&& other) noexcept
      : registry_(std::exchange(other.registry_, nullptr)),
        key_(std::exchange(other.key_, reg::kNoKey)) {}
  RegistryKey& operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
      close();
      registry_ = std::exchange(other.registry_, nullptr);
      key_ = std::exchange(other.key_, reg::kNoKey);
    }
    return *this;
  }
  ~RegistryKey() { close(); }

  // RegOpenKeyEx below the current user's hive, or below another root.
  static RegistryKey open(Registry& registry, std::string_view path, std::uint32_t access,
                          RegKey root = reg::kCurrentUser) {
    RegistryKey result;
    RegKey key = reg::kNoKey;
    if (registry.openKey(root, path, access, key) == win::kSuccess) {
      result.registry_ = &registry;
      result.key_ = key;
    }
    return result;
  }

  // RegCreateKeyEx below the current user's hive.
  static RegistryKey create(Registry& registry, std::string_view path, std::uint32_t access) {
    RegistryKey result;
    RegKey key = reg::kNoKey;
    if (registry.createKey(reg::kCurrentUser, path, access, key) == win::kSuccess) {
      result.registry_ = &registry;
      result.key_ = key;
    }
    return result;
  }

  explicit operator bool() const { return registry_ != nullptr; }
  RegKey handle() const { return key_; }

  void close() {
    if (registry_ != nullptr) registry_->closeKey(key_);
    registry_ = nullptr;
    key_ = reg::kNoKey;
  }

 private:
  Registry* registry_ = nullptr;
  RegKey key_ = reg::kNoKey;
};

}  // namespace qx

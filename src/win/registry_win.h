#pragma once
// The registry port over the ANSI registry functions. Handles are the
// system's own; the two predefined roots of the port name the system's.
#include "platform/registry.h"

namespace qx::win32 {

class RegistryWin final : public Registry {
 public:
  WinError openKey(RegKey parent, std::string_view subKey, std::uint32_t access,
                   RegKey& opened) override;
  WinError createKey(RegKey parent, std::string_view subKey, std::uint32_t access,
                     RegKey& opened) override;
  WinError closeKey(RegKey key) override;
  WinError enumKey(RegKey key, std::uint32_t index, std::span<char> name,
                   std::uint32_t& nameLength) override;
  WinError queryValue(RegKey key, std::string_view name, std::uint32_t* type,
                      std::span<std::uint8_t> data, std::uint32_t& size) override;
  WinError setValue(RegKey key, std::string_view name, std::uint32_t type,
                    std::span<const std::uint8_t> data) override;
  WinError deleteValue(RegKey key, std::string_view name) override;
  WinError deleteTree(RegKey key, std::string_view subKey) override;
};

}  // namespace qx::win32

#pragma once
// The registry, as the Win32 registry functions offer it: keys are opened and
// closed by handle, names and texts are ANSI single-byte strings, values are
// typed raw bytes, and every call returns a Win32 error code.
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/status.h"

namespace qx {

// An open key. The predefined roots are valid handles that need no closing.
using RegKey = std::uint64_t;

namespace reg {
inline constexpr RegKey kNoKey = 0;
inline constexpr RegKey kClassesRoot = 0x80000000u;   // HKEY_CLASSES_ROOT
inline constexpr RegKey kCurrentUser = 0x80000001u;   // HKEY_CURRENT_USER
inline constexpr RegKey kLocalMachine = 0x80000002u;  // HKEY_LOCAL_MACHINE

inline constexpr std::uint32_t kKeyRead = 0x20019;       // KEY_READ
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;  // KEY_ALL_ACCESS

// Value types.
inline constexpr std::uint32_t kNone = 0;      // REG_NONE
inline constexpr std::uint32_t kSz = 1;        // REG_SZ
inline constexpr std::uint32_t kExpandSz = 2;  // REG_EXPAND_SZ
inline constexpr std::uint32_t kBinary = 3;    // REG_BINARY
inline constexpr std::uint32_t kDword = 4;     // REG_DWORD
inline constexpr std::uint32_t kMultiSz = 7;   // REG_MULTI_SZ
inline constexpr std::uint32_t kQword = 11;    // REG_QWORD
}  // namespace reg

class Registry {
 public:
  virtual ~Registry() = default;

  // RegOpenKeyEx: opens parent\subKey (a path with backslashes) with the given
  // access mask. kFileNotFound when the key does not exist.
  virtual WinError openKey(RegKey parent, std::string_view subKey, std::uint32_t access,
                           RegKey& opened) = 0;

  // RegCreateKeyEx (non-volatile, default security): creates every missing key
  // on the path and opens the last one.
  virtual WinError createKey(RegKey parent, std::string_view subKey, std::uint32_t access,
                             RegKey& opened) = 0;

  // RegCloseKey.
  virtual WinError closeKey(RegKey key) = 0;

  // RegEnumKeyEx: the name of subkey number `index` in the registry's order
  // (sorted without regard to case). `nameLength` is the buffer's size in
  // characters on entry and the name's length without terminator on success.
  // A name that does not fit with its terminator gives kMoreData; past the
  // last subkey, kNoMoreItems.
  virtual WinError enumKey(RegKey key, std::uint32_t index, std::span<char> name,
                           std::uint32_t& nameLength) = 0;

  // RegQueryValueEx: `size` is the buffer's size in bytes on entry and the
  // value's size on return. With no buffer only type and size are returned; a
  // buffer too small gives kMoreData (and the needed size). Strings come back
  // exactly as stored, terminated or not.
  virtual WinError queryValue(RegKey key, std::string_view name, std::uint32_t* type,
                              std::span<std::uint8_t> data, std::uint32_t& size) = 0;

  // RegSetValueEx: stores the bytes as given, with the given type.
  virtual WinError setValue(RegKey key, std::string_view name, std::uint32_t type,
                            std::span<const std::uint8_t> data) = 0;

  // RegDeleteValue.
  virtual WinError deleteValue(RegKey key, std::string_view name) = 0;

  // RegDeleteTree: deletes subKey of key with everything below it.
  // kFileNotFound when there is no such subkey.
  virtual WinError deleteTree(RegKey key, std::string_view subKey) = 0;
};

}  // namespace qx

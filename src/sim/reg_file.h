#pragma once
// The text format of registry exports ("Windows Registry Editor Version
// 5.00"), so that a user can prepare a simulated registry by hand, e.g. the
// "From" and "debug" switches:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Vantrosse\Quendrilax\Config]
//   "From"="Jörg Weiß"
//   "debug"=dword:00000001
//
//   [-HKEY_CURRENT_USER\Software\Old]        ; deletes the key and its subtree
//
// Values: "name"="text" (REG_SZ; \\ and \" are the only escapes), @= for the
// default value, dword:xxxxxxxx, hex:bytes (REG_BINARY), hex(n):bytes for any
// other type (hex(2) REG_EXPAND_SZ, hex(7) REG_MULTI_SZ, hex(b) REG_QWORD),
// "name"=- deletes the value. Long hex lists continue on the next line after
// a trailing backslash. Lines starting with ';' are comments. The older
// "REGEDIT4" header is accepted too.
//
// Texts in the registry are ANSI (Windows-1252) bytes; the file holds Unicode.
// In the version 5 format the bytes of hex(1), hex(2) and hex(7) are UTF-16LE,
// as the host stores strings; in REGEDIT4 they are the ANSI bytes themselves.
//
// Reading accepts UTF-16LE with a byte-order mark and UTF-8 with or without
// one. Writing produces UTF-16LE with a byte-order mark and CR LF line ends, as
// the host's export does, or UTF-8 without a mark on request. A string value
// that the quoted form cannot carry exactly (no terminator, an inner NUL, a
// line break) is written as hex(1), so that every value survives a round trip.
#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace qx::sim {

struct RegFileError {
  int line = 0;  // 1-based; a value continued over several lines reports its first
  std::string message;
};

enum class RegFileEncoding { kUtf16Le, kUtf8 };

// One change that a file asks for, in file order.
struct RegFileOp {
  enum class Kind { kCreateKey, kDeleteKey, kSetValue, kDeleteValue };
  Kind kind = Kind::kCreateKey;
  RegKey hive = reg::kCurrentUser;
  std::string path;  // ANSI, backslash-separated, empty for the hive itself
  std::string valueName;
  std::uint32_t type = reg::kNone;
  std::vector<std::uint8_t> data;
};

std::expected<std::vector<RegFileOp>, RegFileError> parseRegFile(std::string_view fileBytes);

struct RegFileValue {
  std::string name;  // empty: the default value
  std::uint32_t type = reg::kNone;
  std::vector<std::uint8_t> data;
};

struct RegFileKey {
  RegKey hive = reg::kCurrentUser;
  std::string path;
  std::vector<RegFileValue> values;
};

// The keys are written in the order given, each as a section with its values.
std::string writeRegFile(std::span<const RegFileKey> keys, RegFileEncoding encoding);

}  // namespace qx::sim

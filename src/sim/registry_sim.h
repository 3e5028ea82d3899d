#pragma once
// The registry of a simulated user: two hives (the current user's and the
// classes root) of keys and typed values, reached through handles as the
// Win32 registry functions reach them.
//
// Faithful where the add-in depends on it: names compare without regard to
// case (the upper-case forms of the Windows-1252 letters) and keep the case
// they were created with; subkeys enumerate sorted as the host sorts them;
// values keep their type and raw bytes, so an unterminated or oversized
// string, or a value of an unexpected type, reads back exactly as stored; a
// handle opened for reading cannot write; a handle to a deleted key reports
// kKeyDeleted. Every port call first asks Faults under "registry.<member>".
#include <cstdint>
#include <expected>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "sim/faults.h"
#include "sim/reg_file.h"

namespace qx::sim {

class RegistrySim final : public Registry {
 public:
  explicit RegistrySim(Faults& faults);
  ~RegistrySim() override;
  RegistrySim(const RegistrySim&) = delete;
  RegistrySim& operator=(const RegistrySim&) = delete;

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

  // --- Set-up and inspection for tests and scenarios: no handles, no faults.

  // Applies a .reg file (see reg_file.h). The whole file is parsed first; a
  // file with an error changes nothing and reports the line.
  std::expected<void, RegFileError> loadRegFile(std::string_view fileBytes);
  // Every hive as a .reg file.
  std::string saveRegFile(RegFileEncoding encoding = RegFileEncoding::kUtf16Le) const;

  // Creates the key path as needed and stores the value.
  void putValue(RegKey hive, std::string_view path, std::string_view name, std::uint32_t type,
                std::span<const std::uint8_t> data);
  // A REG_SZ (or `type`) holding the text and its terminator.
  void putString(RegKey hive, std::string_view path, std::string_view name, std::string_view text,
                 std::uint32_t type = reg::kSz);
  void putDword(RegKey hive, std::string_view path, std::string_view name, std::uint32_t number);
  void putKey(RegKey hive, std::string_view path);
  // Deletes the key with its subtree; false when there was none.
  bool removeKey(RegKey hive, std::string_view path);

  struct StoredValue {
    std::uint32_t type = reg::kNone;
    std::vector<std::uint8_t> data;
  };
  std::optional<StoredValue> value(RegKey hive, std::string_view path, std::string_view name) const;
  bool hasKey(RegKey hive, std::string_view path) const;
  // Subkey names in enumeration order, as created (original case).
  std::vector<std::string> subkeyNames(RegKey hive, std::string_view path) const;
  // Handles opened through the port and not closed yet.
  std::size_t openHandles() const { return handles_.size(); }

  // The host refuses key names longer than 255 characters. Tests that need
  // such a name in the tree (to drive a reader's buffer limit) lift the rule.
  void allowLongKeyNames(bool allow) { allowLongNames_ = allow; }

 private:
  struct Node;
  struct Handle {
    std::shared_ptr<Node> node;
    std::uint32_t access = 0;
  };

  WinError resolve(RegKey key, std::shared_ptr<Node>& node, std::uint32_t& access) const;
  std::shared_ptr<Node> root(RegKey hive) const;
  std::shared_ptr<Node> find(RegKey hive, std::string_view path) const;
  std::shared_ptr<Node> ensure(RegKey hive, std::string_view path);
  RegKey newHandle(std::shared_ptr<Node> node, std::uint32_t access);
  void apply(const RegFileOp& op);
  void collect(RegKey hive, const std::string& path, const Node& node,
               std::vector<RegFileKey>& out) const;

  Faults& faults_;
  std::shared_ptr<Node> currentUser_;
  std::shared_ptr<Node> classesRoot_;
  std::shared_ptr<Node> localMachine_;
  std::map<RegKey, Handle> handles_;
  RegKey nextHandle_ = 0x1000;
  bool allowLongNames_ = false;
};

}  // namespace qx::sim

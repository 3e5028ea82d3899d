#pragma once
// The add-in's settings in the current user's registry hive: two global
// switches under Config, set by hand or by an installer, and one key per
// synchronized task folder under Folders, named by the folder's entry id and
// written by the folder property page. Names and texts in the registry are ANSI
// strings; the host's wide strings are converted at this boundary.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/trusted_senders.h"
#include "platform/codepage.h"
#include "platform/registry.h"

namespace qx {

namespace config {
inline constexpr std::string_view kProductKey = "Software\\Vantrosse\\Quendrilax";
inline constexpr std::string_view kConfigKey = "Software\\Vantrosse\\Quendrilax\\Config";
inline constexpr std::string_view kFoldersKey = "Software\\Vantrosse\\Quendrilax\\Folders";
// Buffer sizes in bytes, terminator included.
inline constexpr std::uint32_t kFromCapacity = 260;
inline constexpr std::uint32_t kTrustedSendersCapacity = 4096;
inline constexpr std::uint32_t kStoreIdCapacity = 780;
inline constexpr std::uint32_t kShareNameCapacity = 260;
// Key names are enumerated with room for 259 characters and a terminator.
inline constexpr std::uint32_t kKeyNameCapacity = 260;
}  // namespace config

// What Config holds, the user's own values first and the machine's where the
// user has none (global_switches.cpp). `opened` is false when neither key is
// there: the caller then keeps its debug switch as it was.
struct GlobalSwitches {
  bool opened = false;
  std::optional<std::u16string> senderName;
  bool debug = false;
  TrustedSenders trustedSenders;
};

// One synchronized folder as its key describes it.
struct FolderEntry {
  std::string entryId;     // the key's name
  std::string storeId;     // "SID", empty when unreadable
  std::string shareName;   // "ShareName", empty when unreadable
  bool processed = false;  // "isProcessed" is 1
};

// What the property page shows for one folder.
struct FolderPageSettings {
  std::uint32_t used = 0;
  std::optional<std::u16string> shareName;  // none when it cannot be read
  std::vector<std::u16string> recipients;
};

// What the property page saves for one folder.
struct FolderPageSave {
  std::u16string entryId;
  std::u16string storeId;
  bool synchronize = false;
  std::u16string shareName;
  std::vector<std::u16string> recipients;
};

class ConfigurationStore {
 public:
  ConfigurationStore(Registry& registry, CodePage& codePage)
      : registry_(registry), codePage_(codePage) {}

  GlobalSwitches readGlobalSwitches();

  // Visits every subkey of Folders in enumeration order while its key is open.
  // The enumeration ends at the first name that does not fit (260 characters or
  // more) and at any other enumeration failure; a key that does not open is
  // skipped.
  void forEachFolder(const std::function<void(const FolderEntry&)>& visit);

  // Addresses under Folders\E\Users in enumeration order; empty without the key.
  std::vector<std::u16string> readFolderUsers(std::u16string_view entryId);

  // "isProcessed" := 1 on an existing folder key; a missing key is not created.
  void setProcessed(std::u16string_view entryId);

  void saveFolder(const FolderPageSave& save);

  // None when the folder has no key.
  std::optional<FolderPageSettings> loadFolder(std::u16string_view entryId);

 private:
  std::optional<std::string> keyName(std::u16string_view wide);
  std::vector<std::string> enumerateSubkeys(RegKey key);

  Registry& registry_;
  CodePage& codePage_;
};

}  // namespace qx

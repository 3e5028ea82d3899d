#include "core/configuration_store.h"

#include <array>

#include "core/registry_key.h"
#include "core/registry_values.h"

namespace qx {

namespace {

std::string join(std::string_view a, std::string_view b) {
  std::string path(a);
  path += '\\';
  path += b;
  return path;
}

// A name the registry would take as a path, or as the parent key itself, must
// not become a key of its own: it would create keys nobody reads back.
bool usableKeyName(std::string_view name) {
  return !name.empty() && name.size() < config::kKeyNameCapacity &&
         name.find('\\') == std::string_view::npos;
}

}  // namespace

std::optional<std::string> ConfigurationStore::keyName(std::u16string_view wide) {
  auto ansi = codePage_.toAnsi(wide);
  if (!ansi || !usableKeyName(*ansi)) return std::nullopt;
  return *ansi;
}

std::vector<std::string> ConfigurationStore::enumerateSubkeys(RegKey key) {
  std::vector<std::string> names;
  std::array<char, config::kKeyNameCapacity> buffer{};
  for (std::uint32_t index = 0;; ++index) {
    std::uint32_t length = config::kKeyNameCapacity;
    if (registry_.enumKey(key, index, buffer, length) != win::kSuccess) break;
    if (length >= config::kKeyNameCapacity) break;
    names.emplace_back(buffer.data(), length);
  }
  return names;
}

void ConfigurationStore::forEachFolder(const std::function<void(const FolderEntry&)>& visit) {
  RegistryKey folders = RegistryKey::open(registry_, config::kFoldersKey, reg::kKeyRead);
  if (!folders) return;
  for (std::string& name : enumerateSubkeys(folders.handle())) {
    FolderEntry entry;
    entry.entryId = std::move(name);
    RegistryKey folder =
        RegistryKey::open(registry_, join(config::kFoldersKey, entry.entryId), reg::kKeyRead);
    if (!folder) continue;
    entry.storeId =
        readString(registry_, folder.handle(), "SID", config::kStoreIdCapacity).value_or("");
    entry.processed = readFourBytes(registry_, folder.handle(), "isProcessed").value_or(0) == 1;
    entry.shareName =
        readString(registry_, folder.handle(), "ShareName", config::kShareNameCapacity)
            .value_or("");
    visit(entry);
  }
}

std::vector<std::u16string> ConfigurationStore::readFolderUsers(std::u16string_view entryId) {
  std::vector<std::u16string> users;
  auto name = keyName(entryId);
  if (!name) return users;
  RegistryKey key =
      RegistryKey::open(registry_, join(join(config::kFoldersKey, *name), "Users"), reg::kKeyRead);
  if (!key) return users;
  for (const std::string& address : enumerateSubkeys(key.handle())) {
    if (auto wide = codePage_.toWide(address)) users.push_back(std::move(*wide));
  }
  return users;
}

void ConfigurationStore::setProcessed(std::u16string_view entryId) {
  auto name = keyName(entryId);
  if (!name) return;
  RegistryKey key =
      RegistryKey::open(registry_, join(config::kFoldersKey, *name), reg::kKeyAllAccess);
  if (key) writeDword(registry_, key.handle(), "isProcessed", 1);
}

void ConfigurationStore::saveFolder(const FolderPageSave& save) {
  auto name = keyName(save.entryId);
  if (!name) return;
  const std::string folderPath = join(config::kFoldersKey, *name);
  if (!save.synchronize) {
    RegistryKey folders = RegistryKey::open(registry_, config::kFoldersKey, reg::kKeyAllAccess);
    if (folders) registry_.deleteTree(folders.handle(), *name);
    return;
  }
  RegistryKey folder = RegistryKey::create(registry_, folderPath, reg::kKeyAllAccess);
  if (!folder) return;
  writeDword(registry_, folder.handle(), "used", 1);
  // A text that cannot be converted is written empty, as a failed read would
  // show it.
  writeString(registry_, folder.handle(), "SID", codePage_.toAnsi(save.storeId).value_or(""));
  writeString(registry_, folder.handle(), "ShareName",
              codePage_.toAnsi(save.shareName).value_or(""));
  registry_.deleteTree(folder.handle(), "Users");
  const std::string usersPath = join(folderPath, "Users");
  RegistryKey users = RegistryKey::create(registry_, usersPath, reg::kKeyAllAccess);
  for (const std::u16string& recipient : save.recipients) {
    auto address = keyName(recipient);
    if (!address) continue;
    RegistryKey::create(registry_, join(usersPath, *address), reg::kKeyAllAccess);
  }
}

std::optional<FolderPageSettings> ConfigurationStore::loadFolder(std::u16string_view entryId) {
  auto name = keyName(entryId);
  if (!name) return std::nullopt;
  const std::string folderPath = join(config::kFoldersKey, *name);
  RegistryKey folder = RegistryKey::open(registry_, folderPath, reg::kKeyRead);
  if (!folder) return std::nullopt;
  FolderPageSettings settings;
  settings.used = readFourBytes(registry_, folder.handle(), "used").value_or(0);
  if (auto share =
          readString(registry_, folder.handle(), "ShareName", config::kShareNameCapacity)) {
    if (auto wide = codePage_.toWide(*share)) settings.shareName = std::move(*wide);
  }
  if (settings.used != 0) settings.recipients = readFolderUsers(entryId);
  return settings;
}

}  // namespace qx

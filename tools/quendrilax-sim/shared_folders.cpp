#include "quendrilax-sim/shared_folders.h"

#include "platform/registry.h"
#include "quendrilax-sim/office_user.h"
#include "quendrilax-sim/text_utf.h"
#include "sim/office/host_process.h"
#include "sim/registry_sim.h"

namespace qx::tools {

std::optional<std::u16string> sharedFolder(OfficeUser& u, const std::string& shareName) {
  constexpr std::string_view kFolders = "Software\\Vantrosse\\Quendrilax\\Folders";
  auto& registry = u.host->registry();
  std::string wanted = utf8ToAnsi(shareName);
  for (const std::string& id : registry.subkeyNames(reg::kCurrentUser, kFolders)) {
    const std::string key = std::string(kFolders) + "\\" + id;
    const auto used = registry.value(reg::kCurrentUser, key, "used");
    const auto name = registry.value(reg::kCurrentUser, key, "ShareName");
    if (!used || !name || used->type != reg::kDword || used->data.size() != 4 ||
        used->data[0] != 1 || used->data[1] != 0 || used->data[2] != 0 || used->data[3] != 0)
      continue;
    std::string stored(name->data.begin(), name->data.end());
    if (!stored.empty() && stored.back() == '\0') stored.pop_back();
    if (stored == wanted) return utf8ToUtf16(ansiToUtf8(id));
  }
  return std::nullopt;
}

}  // namespace qx::tools

// The small lookups the outgoing side shares: a folder's recipient line, a
// folder's share name and a shared folder by its share name.
#include <exception>

#include "core/addin_module.h"
#include "core/sync_engine.h"
#include "platform/mail_client.h"

namespace qx {

bool SyncEngine::fillUserList(std::u16string_view folderEntryId) {
  recipientLine_.clear();
  const std::vector<std::u16string> users = readFolderUsers(folderEntryId);
  // Each address goes in front of the line built so far: peers have always
  // seen the recipients in reverse order of the registry's enumeration.
  for (const std::u16string& user : users) {
    std::u16string line = user;
    line += u';';
    line += recipientLine_;
    recipientLine_ = std::move(line);
  }
  if (diagnostics_.debugOn()) {
    try {
      const Result<std::string> line = module_.platform().codePage.toAnsi(recipientLine_);
      diagnostics_.logDebug(line ? "user list:" + *line : std::string("Debugger error"));
    } catch (const std::exception&) {
      diagnostics_.logDebug("Debugger error");
    }
  }
  return !users.empty();
}

void SyncEngine::shareNameOfFolder(Folder& folder, std::string& shareName) {
  const Result<std::u16string> wanted = folder.entryId();
  if (!wanted) return;
  // Every watch of the folder writes its name, so with a folder configured
  // twice the later watch decides, as it always has.
  for (const auto& watch : watches_) {
    if (!watch->folder()) return;
    const Result<std::u16string> id = watch->folder()->entryId();
    if (!id) return;
    if (*id == *wanted) shareName = watch->shareName();
  }
}

std::shared_ptr<Folder> SyncEngine::sharedFolderByName(std::string_view shareName) {
  for (const auto& watch : watches_) {
    if (watch->shareName() == shareName) return watch->folder();
  }
  return nullptr;
}

}  // namespace qx

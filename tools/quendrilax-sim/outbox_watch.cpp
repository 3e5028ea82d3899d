#include "quendrilax-sim/outbox_watch.h"

#include <functional>

#include "platform/mail_ids.h"
#include "protocol/sync_body.h"
#include "protocol/sync_envelope.h"
#include "quendrilax-sim/commands_tasks.h"
#include "quendrilax-sim/office_user.h"
#include "quendrilax-sim/runner_text.h"
#include "quendrilax-sim/sync_mail_contents.h"
#include "quendrilax-sim/text_utf.h"
#include "sim/codepage_sim.h"
#include "sim/mail/mail_client.h"
#include "sim/office/host_process.h"

namespace qx::tools {

namespace {

std::size_t signatureOf(const sim::mail::ItemData& mail) {
  std::size_t signature = std::hash<std::u16string>{}(mail.body);
  for (const auto& attachment : mail.attachments)
    signature = signature * 31 +
                std::hash<std::string_view>{}(std::string_view(
                    reinterpret_cast<const char*>(attachment.content.data()),
                    attachment.content.size()));
  return signature;
}

// The subject of the user's task with that sync id (a deleted one in Deleted
// Items included), for a removal, which carries no task.
std::string subjectOfSyncId(OfficeUser& u, const std::string& syncId) {
  auto& mail = u.host->mail();
  for (const sim::MailFolderInfo& folder : mail.folders())
    for (const sim::MailItemInfo& item : mail.folderItems(folder.entryId))
      if (item.data.kind == sim::mail::ItemKind::kTask && syncIdOf(item.data) == syncId)
        return inQuotes(utf16ToUtf8(item.data.subject)) + " (" + syncId + ")";
  return syncId.empty() ? std::string("a task without sync id") : syncId;
}

std::string describe(OfficeUser& u, const sim::mail::ItemData& mail, bool rewritten) {
  const SyncBodyFields fields = parseSyncBodyText(sim::CodePageSim::narrow(mail.body));
  const std::string share =
      inQuotes(ansiToUtf8(readShareNameText(sim::CodePageSim::narrow(mail.body))));
  std::string task;
  if (!fields.removal) {
    const Carried carried = carriedTask(mail);
    task = carried.task ? inQuotes(utf16ToUtf8(carried.task->subject)) : carried.problem;
  } else {
    task = subjectOfSyncId(u, ansiToUtf8(fields.syncId));
  }
  const std::string kind = !fields.valid ? "a sync mail that does not read as one"
                           : fields.removal ? "a removal of " + task
                                            : "a change of " + task;
  return std::string("add-in ") + (rewritten ? "rewrites the waiting mail as " : "puts ") +
         kind + " in " + share + (rewritten ? "" : " into the Outbox") + " for " +
         utf16ToUtf8(mail.to);
}

}  // namespace

void OutboxWatch::known(const std::u16string& entryId, std::size_t signature) {
  seen_[entryId] = signature;
}

std::vector<std::string> OutboxWatch::look(OfficeUser& u, bool quiet) {
  std::vector<std::string> lines;
  auto& mail = u.host->mail();
  // Most looks find the store as it was: nothing to look at.
  const std::uint64_t changes = mail.defaultStoreChanges();
  if (changes == storeChanges_) return lines;
  storeChanges_ = changes;
  const std::u16string outbox = mail.defaultFolderId(default_folder::kOutbox);
  const std::uint64_t version = mail.folderVersion(outbox);
  if (version == version_) return lines;
  version_ = version;
  std::map<std::u16string, std::size_t> now;
  for (const sim::MailItemInfo& item : mail.folderItems(outbox)) {
    if (item.data.subject != syncmail::kSubjectText) continue;
    const std::size_t signature = signatureOf(item.data);
    now[item.entryId] = signature;
    const auto before = seen_.find(item.entryId);
    if (before != seen_.end() && before->second == signature) continue;
    if (!quiet) lines.push_back(describe(u, item.data, before != seen_.end()));
  }
  seen_ = std::move(now);
  return lines;
}

std::size_t outboxSignature(const sim::mail::ItemData& mail) { return signatureOf(mail); }

}  // namespace qx::tools

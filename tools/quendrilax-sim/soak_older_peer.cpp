// The soak's older peer: one user who, for part of the run, sends what an
// add-in without versions sends, the sync body without its version and field
// lines. Documented in docs/scenarios.md "Keeping in step".
#include <string_view>

#include "platform/mail_ids.h"
#include "quendrilax-sim/soak_run.h"
#include "sim/mail/mail_client.h"
#include "sim/office/host_process.h"

namespace qx::tools {

namespace {

// Edits before his part of the run in which the older peer already removes
// no user property: a save of those may still wait in his Outbox when his
// mails start going out without versions.
constexpr int kKeepBeforeEdits = 30;

// Takes the line from `open` to `close` and its line end out of the body,
// after the id line; whether there was one.
bool eraseLine(std::u16string& body, std::u16string_view open, std::u16string_view close) {
  const std::size_t idEnd = body.find(u":id");
  if (idEnd == std::u16string::npos) return false;
  const std::size_t from = body.find(open, idEnd);
  if (from == std::u16string::npos) return false;
  std::size_t to = body.find(close, from + open.size());
  if (to == std::u16string::npos) return false;
  to += close.size();
  if (to < body.size() && body[to] == u'\r') ++to;
  if (to < body.size() && body[to] == u'\n') ++to;
  body.erase(from, to - from);
  return true;
}

}  // namespace

std::optional<std::size_t> SoakRun::keepsProperties(int n) const {
  if (!olderPeer_ || n < olderPeer_->fromEdit - kKeepBeforeEdits || n > olderPeer_->toEdit)
    return std::nullopt;
  return olderPeer_->member;
}

void SoakRun::stripOlderPeerMails() {
  if (!olderPeer_ || editNumber_ > olderPeer_->toEdit) return;
  const bool before = editNumber_ < olderPeer_->fromEdit;
  OfficeUser& u = *members_[olderPeer_->member].user;
  auto& mail = u.host->mail();
  const std::u16string outbox = mail.defaultFolderId(default_folder::kOutbox);
  sim::mail::Store* store = mail.core().storeOfEntryId(outbox);
  sim::mail::FolderData* folder = store ? store->folder(outbox) : nullptr;
  if (!folder) return;
  for (const auto& [seq, id] : folder->order) {
    sim::mail::StoredItem* item = store->item(id);
    if (!item || !item->submitted || item->data.subject != u"TaskSynchronisation") continue;
    // A mail made before his part of the run (waiting in a stopped host's
    // Outbox) leaves as it was made.
    if (before) {
      madeVersioned_.insert(id);
      continue;
    }
    if (madeVersioned_.contains(id)) continue;
    // The field line follows the version line: gone with it in any case.
    const bool version = eraseLine(item->data.body, u"ver:", u":ver");
    const bool fields = eraseLine(item->data.body, u"fv:", u":fv");
    if (version || fields) ++strippedMails_;
  }
}

}  // namespace qx::tools

#pragma once
// A soak's run against the office: the users' shared folders, the edits made
// on them, the post office carrying mail with the soak's faults, host restarts,
// and the wait until the office is quiet. The quiet soak edits only when the
// office has settled; the concurrent soak (soak_concurrent.cpp) edits on a
// clock of its own while mail is still on the way.
#include <chrono>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "quendrilax-sim/runner.h"
#include "quendrilax-sim/soak_field_ledger.h"
#include "quendrilax-sim/soak_ledger.h"
#include "quendrilax-sim/soak_plan.h"
#include "sim/mail/mail_store.h"

namespace qx::tools {

struct SoakMember {
  std::string name;
  OfficeUser* user = nullptr;
  std::u16string folder;
};

// A member's shared folder as the store holds it. The soak reads its tasks
// through the store's ranks rather than walking the folder, so that an edit
// costs the same however many tasks the folders have gathered.
sim::mail::FolderData* soakFolderOf(OfficeUser& u, const std::u16string& folderId);

// One member acts as an add-in without versions for the edits `fromEdit` to
// `toEdit`: before each run of the post office the version and field lines
// are taken out of the sync mails waiting in his Outbox, which is what such
// an add-in sends. His add-in itself keeps its versions.
struct SoakOlderPeer {
  std::size_t member = 0;
  int fromEdit = 0;
  int toEdit = 0;
};

class SoakRun {
 public:
  SoakRun(Runner& runner, const SourceLocation& where, const std::string& shareName,
          std::vector<SoakMember> members, std::uint64_t seed, SoakFaults faults,
          std::optional<SoakOlderPeer> olderPeer = std::nullopt);

  // Each edit followed by enough virtual time for it to reach everyone.
  void run(int edits);
  // Edits 0 to 20 s apart, the post office carrying mail every 30 s, then
  // the office settles and every user must hold every task's last version.
  void runConcurrent(int edits);

  void progress();
  std::string summary() const;

 private:
  std::int64_t virtualMs() const;
  double realSeconds() const;
  std::vector<std::size_t> readyUsers(bool quietOnly);
  bool toggleHost(SoakMember& m, bool settleAfter);
  // The entry id of the task the edit made or changed; empty for a delete or
  // when it could not be made.
  // Makes the edit; lastEditChanged_ tells whether it changed a field.
  bool apply(const SoakEdit& edit, int n, std::u16string& edited);
  bool settle(std::int64_t quietGapMs);
  bool quiet();
  void stuck(const std::string& why);
  // One run of the post office with the soak's faults; what it collects is
  // counted, and for a concurrent soak noted in the ledger.
  void carryMail();
  void noteMailsLeaving(std::int64_t delayMs);
  // The older peer's mails lose their version lines while he acts as one.
  void stripOlderPeerMails();
  // The user the soak's plan keeps from removing user properties: the older
  // peer, from a little before his part of the run until it ends, since a
  // mail without versions cannot tell a removal.
  std::optional<std::size_t> keepsProperties(int n) const;

  // Concurrent soak.
  void noteConcurrentEdit(const SoakEdit& edit, const std::u16string& edited,
                          const std::string& deletedId,
                          const std::optional<EditVersion>& copyVersion,
                          const std::optional<sim::mail::ItemData>& editedBefore);
  // What a sync mail leaving says of its task's versions, for the field
  // ledger.
  void noteFieldVersions(const std::string& syncId, bool removal, const std::string& user,
                         const std::u16string& address, std::int64_t nowMs,
                         const sim::mail::ItemData& mail);
  std::optional<EditVersion> copyVersion(OfficeUser& u, const std::u16string& entryId);
  std::string syncIdOfItem(OfficeUser& u, const std::u16string& entryId);
  const std::string& tagOf(SoakMember& m);
  void advanceCarrying(std::int64_t ms);
  void checkLastEdits();

  bool lastEditChanged_ = true;
  Runner& runner_;
  SourceLocation where_;
  std::string shareName_;
  std::vector<SoakMember> members_;
  SoakPlan plan_;
  SoakTally tally_;
  bool concurrent_ = false;
  SoakLedger ledger_;
  SoakFieldLedger fields_;
  // The sync mails the post office took, and their size in bytes: the body
  // as the host holds it (UTF-16) and the attachment.
  long long syncMails_ = 0;
  long long bodyBytes_ = 0;
  long long attachmentBytes_ = 0;
  std::int64_t nextTransportMs_ = 0;
  int smtpStoppedRuns_ = 0;  // fault outage: runs left with the SMTP side stopped
  std::vector<std::string> tags_;
  std::optional<SoakOlderPeer> olderPeer_;
  int editNumber_ = 0;  // the edit being made, from 1
  long long strippedMails_ = 0;
  std::set<std::u16string> madeVersioned_;  // the older peer's mails from before his part
  // Fields the older peer's own copy holds at other values than their last
  // version: his add-in merges by the versions it keeps, not as he sends.
  std::size_t olderPeerApart_ = 0;
};

}  // namespace qx::tools

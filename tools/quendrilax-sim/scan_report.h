#pragma once
// What an Inbox scan did with each sync mail it took in, told from what the
// user's host holds before and after it (the Inbox and the folders the mails
// name), not from inside the add-in: the task added, changed or deleted, or
// the mail dropped and why, or kept in the Inbox.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sim/mail/mail_client.h"

namespace qx::tools {

class Runner;
struct OfficeUser;

struct ScanView {
  std::vector<sim::MailItemInfo> inbox;  // the sync mails, in the Inbox's order
  // The tasks of the folders the mails name, by folder entry id.
  std::map<std::u16string, std::vector<sim::mail::ItemData>> folders;
};

struct ScanPlaces {
  // The folder the user's configuration shares under that name (UTF-8).
  std::function<std::optional<std::u16string>(const std::string& shareName)> folderOfShare;
  std::function<std::string(const std::u16string& folderId)> pathOf;
  // Whether the user's add-in keeps a removal record of that sync id (read
  // from its record file as the scan left it).
  std::function<bool(const std::string& syncId)> removalRecorded;
};

// One line per sync mail of `before`, in its order. A mail left in the Inbox
// is told once: `toldKept` remembers it.
std::vector<std::string> scanOutcomes(const ScanView& before, const ScanView& after,
                                      const ScanPlaces& places,
                                      std::set<std::u16string>& toldKept);

// The runner's side: a snapshot when the add-in starts a scan, the lines when
// the host has settled.
class ScanWatch {
 public:
  void begin(OfficeUser& user);
  void end(Runner& runner, OfficeUser& user);

 private:
  std::optional<ScanView> before_;
  std::int64_t beganMs_ = 0;  // virtual time
  std::set<std::u16string> toldKept_;
};

}  // namespace qx::tools

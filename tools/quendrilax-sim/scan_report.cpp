#include "quendrilax-sim/scan_report.h"

#include <algorithm>

#include "protocol/change_version.h"
#include "protocol/sync_body.h"
#include "protocol/sync_envelope.h"
#include "quendrilax-sim/commands_tasks.h"
#include "quendrilax-sim/merge_outcome.h"
#include "quendrilax-sim/office_user.h"
#include "quendrilax-sim/runner.h"
#include "quendrilax-sim/runner_text.h"
#include "quendrilax-sim/shared_folders.h"
#include "quendrilax-sim/sync_mail_contents.h"
#include "sim/office/host_process.h"
#include "sim/ui_thread.h"
#include "quendrilax-sim/task_fields.h"
#include "quendrilax-sim/text_utf.h"
#include "sim/codepage_sim.h"
#include "sim/host_file_system.h"
#include "sim/office/host_process.h"

namespace qx::tools {
namespace {

using sim::mail::ItemData;

struct Reading {
  SyncBodyFields fields;
  std::string shareName;  // UTF-8
  std::optional<ChangeVersion> version;
};

Reading readMail(const ItemData& mail) {
  const std::string body = sim::CodePageSim::narrow(mail.body);
  return {parseSyncBodyText(body), ansiToUtf8(readShareNameText(body)), readVersionLine(body)};
}

std::optional<ChangeVersion> versionOf(const ItemData* task) {
  const sim::mail::UserProp* property = task ? task->findUserProperty(u"quendrilaxversion") : nullptr;
  if (!property || property->value.text() == nullptr) return std::nullopt;
  return parseVersion(utf16ToUtf8(*property->value.text()));
}

const ItemData* withId(const std::vector<ItemData>* tasks, const std::string& id) {
  if (!tasks || id.empty()) return nullptr;
  for (const ItemData& task : *tasks)
    if (syncIdOf(task) == id) return &task;
  return nullptr;
}

const std::vector<ItemData>* tasksOf(const ScanView& view, const std::u16string& folder) {
  const auto found = view.folders.find(folder);
  return found == view.folders.end() ? nullptr : &found->second;
}

// Follows the scan through its mails: a task one mail added is there for the
// next mail of the same scan, one it deleted is not.
class Outcomes {
 public:
  Outcomes(const ScanView& before, const ScanView& after, const ScanPlaces& places)
      : before_(before), after_(after), places_(places) {}

  std::string of(const Reading& reading, const ItemData& mail) {
    const std::optional<std::u16string> folder = places_.folderOfShare(reading.shareName);
    if (!folder) return "dropped: no folder is shared as " + inQuotes(reading.shareName);
    const std::string path = places_.pathOf(*folder);
    if (reading.fields.removal) {
      const std::string& id = reading.fields.syncId;
      const ItemData* held = withId(tasksOf(before_, *folder), id);
      if (!held || !present(*folder, id, true))
        return "removal of a task " + path + " does not hold: nothing deleted";
      if (withId(tasksOf(after_, *folder), id))
        return "removal of " + inQuotes(utf16ToUtf8(held->subject)) + " not applied";
      present_[{*folder, id}] = false;
      return "deleted " + inQuotes(utf16ToUtf8(held->subject)) + " from " + path;
    }
    const Carried carried = carriedTask(mail);
    if (!carried.task) return "dropped: a change without its task (" + carried.problem + ")";
    const std::string id = syncIdOf(*carried.task);
    const std::string subject = inQuotes(utf16ToUtf8(carried.task->subject));
    if (id.empty()) return "a task without a sync id, " + subject + ", for " + path;
    const ItemData* now = withId(tasksOf(after_, *folder), id);
    const ItemData* was = withId(tasksOf(before_, *folder), id);
    const bool added = !present(*folder, id, was != nullptr);
    if (!now) {
      if (added && reading.version && places_.removalRecorded && places_.removalRecorded(id))
        return "dropped: " + subject + " is older than its removal here";
      return "dropped: " + subject + " did not reach " + path;
    }
    // The task as the mail before this one in the scan left it.
    const auto last = state_.find({*folder, id});
    const ItemData* previous = last != state_.end() ? &last->second : was;
    const auto lastVersion = version_.find({*folder, id});
    const std::optional<ChangeVersion> held =
        lastVersion != version_.end() ? lastVersion->second : versionOf(previous);
    const bool unchanged = !added && previous && sameTaskFields(*previous, *carried.task);
    std::optional<ChangeVersion> version = reading.version;
    if (held && (!version || *version < *held)) version = held;
    // A versioned change is merged field by field: the folder tells which of
    // the fields in which the mail differs it took. None is a change no newer
    // than the copy here (and a doubled mail, with nothing to take).
    std::optional<std::string> merged;
    if (!added && reading.version && previous) {
      if (unchanged && held && !(*held < *reading.version))
        return "dropped: not newer than the copy here";
      const FieldSplit split = splitFields(*previous, *carried.task, *now);
      if (!unchanged && split.taken.empty()) return "dropped: not newer than the copy here";
      if (!split.kept.empty()) merged = mergeOutcome(*now, split, utf16ToUtf8(mail.senderAddress));
    }
    present_[{*folder, id}] = true;
    state_[{*folder, id}] = merged ? *now : *carried.task;
    version_[{*folder, id}] = version;
    if (added) return "added " + inQuotes(utf16ToUtf8(now->subject)) + " to " + path;
    if (merged) return *merged + " in " + path;
    return "changed " + inQuotes(utf16ToUtf8(now->subject)) + " in " + path +
           (unchanged ? " (no field changed)" : "");
  }

 private:
  bool present(const std::u16string& folder, const std::string& id, bool before) const {
    const auto found = present_.find({folder, id});
    return found == present_.end() ? before : found->second;
  }

  const ScanView& before_;
  const ScanView& after_;
  const ScanPlaces& places_;
  std::map<std::pair<std::u16string, std::string>, bool> present_;
  std::map<std::pair<std::u16string, std::string>, ItemData> state_;
  std::map<std::pair<std::u16string, std::string>, std::optional<ChangeVersion>> version_;
};

// With the runner, also what the add-in's removal records hold.
ScanPlaces placesOf(OfficeUser& u, Runner* runner = nullptr) {
  ScanPlaces places;
  if (runner) {
    places.removalRecorded = [runner, &u](const std::string& syncId) {
      const std::optional<std::string> records =
          u.host->disk().readText(runner->dataDirectory(u) + "removals.dat");
      return records && records->find(syncId + " ") != std::string::npos;
    };
  }
  places.folderOfShare = [&u](const std::string& shareName) { return sharedFolder(u, shareName); };
  places.pathOf = [&u](const std::u16string& folderId) {
    const auto folders = u.host->mail().folders();
    std::string path;
    std::u16string id = folderId;
    while (!id.empty()) {
      const auto found = std::ranges::find(folders, id, &sim::MailFolderInfo::entryId);
      if (found == folders.end()) break;
      path = utf16ToUtf8(found->name) + (path.empty() ? "" : "/" + path);
      id = found->parentId;
    }
    return path;
  };
  return places;
}

ScanView viewOf(OfficeUser& u, const ScanPlaces& places, const std::vector<sim::MailItemInfo>* mails) {
  auto& mail = u.host->mail();
  ScanView view;
  for (sim::MailItemInfo& item : mail.folderItems(mail.defaultFolderId(default_folder::kInbox)))
    if (item.data.subject == syncmail::kSubjectText) view.inbox.push_back(std::move(item));
  // The folders named by the mails present before the scan.
  for (const sim::MailItemInfo& item : mails ? *mails : view.inbox) {
    const std::optional<std::u16string> folder =
        places.folderOfShare(readMail(item.data).shareName);
    if (!folder || view.folders.contains(*folder)) continue;
    std::vector<ItemData>& tasks = view.folders[*folder];
    for (sim::MailItemInfo& task : mail.folderItems(*folder))
      if (task.data.kind == sim::mail::ItemKind::kTask) tasks.push_back(std::move(task.data));
  }
  return view;
}

}  // namespace

std::vector<std::string> scanOutcomes(const ScanView& before, const ScanView& after,
                                      const ScanPlaces& places,
                                      std::set<std::u16string>& toldKept) {
  std::vector<std::string> lines;
  Outcomes outcomes(before, after, places);
  for (const sim::MailItemInfo& mail : before.inbox) {
    const Reading reading = readMail(mail.data);
    const std::string from =
        "sync mail from " +
        (mail.data.senderAddress.empty() ? std::string("nobody")
                                         : utf16ToUtf8(mail.data.senderAddress)) +
        ": ";
    const bool kept = std::ranges::find(after.inbox, mail.entryId, &sim::MailItemInfo::entryId) !=
                      after.inbox.end();
    if (kept) {
      if (!toldKept.insert(mail.entryId).second) continue;
      lines.push_back(from + (reading.fields.valid
                                  ? "kept in the Inbox for a later scan"
                                  : "left in the Inbox: not a sync mail (its body does not read "
                                    "as one)"));
      continue;
    }
    lines.push_back(from + (reading.fields.valid ? outcomes.of(reading, mail.data)
                                                 : std::string("gone from the Inbox")));
  }
  return lines;
}

void ScanWatch::begin(OfficeUser& u) {
  before_ = viewOf(u, placesOf(u), nullptr);
  beganMs_ = u.host->thread().clock().nowMs();
}

void ScanWatch::end(Runner& runner, OfficeUser& u) {
  if (!before_) return;
  const ScanView before = std::move(*before_);
  before_.reset();
  if (before.inbox.empty()) return;
  const ScanPlaces places = placesOf(u, &runner);
  const ScanView after = viewOf(u, places, &before.inbox);
  // Dated with their scan, not with the moment the host had settled.
  for (const std::string& line : scanOutcomes(before, after, places, toldKept_))
    runner.sayAt(beganMs_, u.setup.name, line);
}

}  // namespace qx::tools

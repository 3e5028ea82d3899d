#pragma once
// The add-in's one engine, created at connection and destroyed at
// disconnection. It holds the host's namespace, the folder watches, the
// settings loaded from the registry, the paths of the working files and logs,
// the timer window and the state of the basic synchronization; the sends, the
// scans and the basic-sync steps are its operations.
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/configuration_store.h"
#include "core/diagnostics_log.h"
#include "core/dont_touch_list.h"
#include "core/folder_watch.h"
#include "core/pending_changes.h"
#include "core/task_record.h"
#include "core/tombstones.h"
#include "platform/status.h"
#include "platform/window_system.h"

namespace qx {

class AddinModule;
class Application;
class CommandBar;
class CommandBarButton;
class Folder;
class Namespace;
class TaskItem;

// Why a task goes out: the user changed it, or it is sent again as it stands
// (basic synchronization), with the version it has.
enum class SendReason { kChange, kResend };


namespace file_name {
inline constexpr std::string_view kShareFile = "share.syn";
inline constexpr std::string_view kCompressedFile = "sync.huf";
inline constexpr std::string_view kMessageFile = "sync.msg";
inline constexpr std::string_view kDebugLog = "debug.log";
inline constexpr std::string_view kErrorLog = "error.log";
inline constexpr std::string_view kQueueSuffix = ".ids";
}  // namespace file_name

class SyncEngine {
 public:
  // Loads the configuration, watches every configured folder and Deleted
  // Items. The logs move to `logFallback` when their folder refuses writes.
  SyncEngine(AddinModule& module, std::shared_ptr<Namespace> hostNamespace,
             std::string debugLogPath, std::string logFallback = {});
  ~SyncEngine();
  SyncEngine(const SyncEngine&) = delete;
  SyncEngine& operator=(const SyncEngine&) = delete;

  AddinModule& module() const { return module_; }
  const std::shared_ptr<Namespace>& hostNamespace() const { return namespace_; }
  DiagnosticsLog& diagnostics() { return diagnostics_; }
  ConfigurationStore& configuration() { return configuration_; }

  // --- Configuration ----------------------------------------------------------
  void loadConfiguration();
  // Rebuilds the folder watches after the property page saved a folder;
  // empties dontTouchList. Deleted Items stays watched.
  bool reloadFolders();
  std::vector<std::u16string> readFolderUsers(std::u16string_view entryId);
  void setProcessed(std::u16string_view entryId);

  const std::optional<std::u16string>& senderName() const { return senderName_; }
  const TrustedSenders& trustedSenders() const { return trustedSenders_; }
  const std::vector<std::unique_ptr<FolderWatch>>& folderWatches() const { return watches_; }
  const FolderWatch* deletedItemsWatch() const { return deletedItemsWatch_.get(); }
  DontTouchList& dontTouchList() { return dontTouchList_; }

  // --- Paths -------------------------------------------------------------------
  // The data directory ends in a backslash; the share and compressed file
  // paths are formed from it.
  void setDataDirectory(std::string directory);
  const std::string& dataDirectory() const { return dataDirectory_; }
  const std::string& shareFilePath() const { return shareFilePath_; }
  const std::string& compressedFilePath() const { return compressedFilePath_; }
  std::string messageFilePath() const;

  // --- Working files -----------------------------------------------------------
  // The outgoing task's share file into the compressed attachment file.
  bool compressFile();
  // A received attachment file into the message file the scan reads next.
  bool decompressFile();

  // --- Outgoing changes (src/outgoing) ------------------------------------------
  // Builds the recipient line of the folder; true when it has a recipient.
  bool fillUserList(std::u16string_view folderEntryId);
  const std::u16string& recipientLine() const { return recipientLine_; }
  // The share name of the folder's watch (the last equal watch wins); the
  // text keeps what it had when no watch matches.
  void shareNameOfFolder(Folder& folder, std::string& shareName);
  // The folder of the first watch with exactly this share name.
  std::shared_ptr<Folder> sharedFolderByName(std::string_view shareName);
  // A task of a shared folder as a change mail; negative is failure. A task
  // whose content is what was last sent or applied goes out with the version
  // it has; the fields it changed since with `stamp` (a held-back save's
  // version, fixed when it was made), or a new version now. Sent again, a
  // task keeps a version it has whose content is not known.
  Hresult sendMessage(TaskItem& task, Folder& folder, SendReason reason = SendReason::kChange,
                      std::optional<ChangeVersion> stamp = std::nullopt);
  // A task that landed in Deleted Items as a removal mail; non-zero is failure.
  Hresult DeleteMessage(TaskItem& task);
  // A shared task that stopped travelling (made private or a holiday) is
  // withdrawn from the peers. False when that ended in the library-missing
  // report: the engine is retired.
  bool withdrawTask(TaskItem& task);

  // --- Versions of changes ------------------------------------------------------
  // The clock in UTC milliseconds; -1 when it cannot be had.
  std::int64_t nowMs();
  // The user's tie-breaker, made once; none when no id can be made.
  const std::optional<std::string>& changeTag();
  // The version of a new change of the task made at `atMs` (negative when the
  // clock failed): later than its stored version and its recorded removal in
  // that share. None without tie-breaker or any time, and the change then
  // goes out without one.
  std::optional<ChangeVersion> newVersion(const TaskRecord& stored, std::string_view shareName,
                                          std::string_view syncId, std::int64_t atMs);
  // The version of the user's changes of the task not sent yet: the save
  // waiting behind the burst window, or, when none waits (the host stopped
  // before it went, or the add-in was not running), a new one now, noted as
  // a waiting save so that the changes go out.
  std::optional<ChangeVersion> unsentVersion(TaskItem& task, std::u16string_view entryId,
                                             std::string_view shareName, std::string_view syncId);
  TombstoneStore& tombstones() { return tombstones_; }
  PendingChanges& pendingChanges() { return pending_; }
  // A save of the user that the burst window swallowed, to be sent once the
  // window has closed, with the version it has now.
  void notePendingChange(TaskItem& task, std::u16string_view entryId);
  // A task whose changes must go out at the next tick, at `version`.
  void notePendingSend(TaskItem& task, std::u16string_view entryId, const ChangeVersion& version);
  // The content (fingerprint) the add-in is about to save into the task,
  // noted before the save: every change event of that content is the
  // add-in's own, however many the host raises and whenever. None forgets.
  void noteOwnWrite(std::u16string_view entryId, std::optional<std::uint64_t> content);
  bool isOwnWrite(std::u16string_view entryId, std::optional<std::uint64_t> content);
  // The add-in wrote the task lately (what it wrote is still remembered).
  bool wroteLately(std::u16string_view entryId) const;
  // Sends the swallowed saves whose window has closed, or all of them. False
  // when a send ended in the library-missing report: the engine is retired.
  bool sendPendingChanges(bool all);
  // The start's sweep for changes not sent before the stop: begun after the
  // first Inbox scan, a slice of tasks each tick until every shared folder
  // was walked. False when a send retired the engine.
  void startSweep();
  bool sweepSlice();

  // --- Timer and basic synchronization ----------------------------------------
  WindowHandle timerWindow() const { return timerWindow_; }
  void setTimerWindow(WindowHandle window) { timerWindow_ = window; }
  bool basicSyncDone() const { return basicSyncDone_; }
  void setBasicSyncDone(bool done) { basicSyncDone_ = done; }
  // Restarts timer 1 of the timer window.
  void restartTimer(std::uint32_t milliseconds);

  // Offers (force false) or runs (force true) the listing of every folder,
  // then starts the catch-up phase.
  void processFolders(bool force);
  // Sends at most one queued task; true when the basic synchronization has
  // nothing left.
  bool nextBackgroundItems();
  // Sends a task taken from the watch's queue; false when it was not sent.
  bool sendQueuedTask(TaskItem& task, FolderWatch& watch);
  // Writes into the indicator button; an empty text leaves that one as it is.
  void setIndicatorText(std::u16string_view caption, std::u16string_view tooltip);

  // --- Inbox -------------------------------------------------------------------
  void processInbox();
  // The entry ids of the altered sync mails already in the error log.
  std::set<std::u16string>& alteredMailsReported() { return alteredMailsReported_; }
  // The entry ids of the sync mails kept for a later scan whose failure is
  // already in the error log this session.
  std::set<std::u16string>& keptMailsReported() { return keptMailsReported_; }

  // --- Indicator toolbar ------------------------------------------------------
  void showIndicator();
  void removeIndicator();

 private:
  void watchDeletedItems();
  // False when the folder could not be watched.
  bool addFolderWatch(const FolderEntry& entry);
  void watchOtherStoresDeletedItems(const std::vector<std::u16string>& storeIds);
  void logHostVersion();
  // False when something failed that the caller reports.
  bool processFolder(FolderWatch& watch, bool force);
  void logProcessedFolder(FolderWatch& watch);

  AddinModule& module_;
  std::shared_ptr<Namespace> namespace_;
  DiagnosticsLog diagnostics_;
  ConfigurationStore configuration_;
  std::optional<std::u16string> senderName_;
  TrustedSenders trustedSenders_;
  std::vector<std::unique_ptr<FolderWatch>> watches_;
  std::unique_ptr<FolderWatch> deletedItemsWatch_;
  // The Deleted Items of each other store that holds a shared folder.
  std::vector<std::unique_ptr<FolderWatch>> otherDeletedItemsWatches_;
  DontTouchList dontTouchList_;
  std::optional<std::string> changeTag_;
  bool changeTagLoaded_ = false;
  TombstoneStore tombstones_;
  PendingChanges pending_;
  struct StartupSweep {
    bool started = false;
    std::size_t folder = 0;
    std::int32_t index = 1;
  };
  StartupSweep sweep_;
  bool swept_ = false;
  std::u16string recipientLine_;
  std::string dataDirectory_;
  std::string shareFilePath_;
  std::string compressedFilePath_;
  WindowHandle timerWindow_ = kNoWindow;
  bool basicSyncDone_ = false;
  std::shared_ptr<CommandBar> indicatorToolbar_;
  std::shared_ptr<CommandBarButton> indicatorButton_;
  std::set<std::u16string> alteredMailsReported_;
  std::set<std::u16string> keptMailsReported_;
};

}  // namespace qx

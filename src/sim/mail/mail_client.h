#pragma once
// One simulated user's mail client and safe-item library. The add-in reaches
// it through the ports (applicationObject(), comAddInObject(), library());
// scenarios and tests act as the user and inspect it through the plain API
// below, which raises the same events as the user's actions in the host.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/mail_client.h"
#include "platform/safe_library.h"
#include "sim/faults.h"
#include "sim/mail/client_core.h"
#include "sim/mail/item_data.h"
#include "sim/ui_thread.h"

namespace qx::sim {

class SafeLibrarySim;

struct MailItemInfo {
  std::u16string entryId;
  std::u16string folderId;
  mail::ItemData data;
  bool submitted = false;
  std::u16string sendFailure;  // why its last sending failed; empty when none did
};

struct MailFolderInfo {
  std::u16string entryId;
  std::u16string storeId;
  std::u16string name;
  std::u16string messageClass;
  std::u16string parentId;
};

class MailClient {
 public:
  MailClient(UiThread& thread, Files& files, Faults& faults, std::u16string address);
  ~MailClient();
  MailClient(const MailClient&) = delete;
  MailClient& operator=(const MailClient&) = delete;

  const std::u16string& address() const { return core_->address(); }
  UiThread& thread() { return core_->thread(); }

  // What the host hands the add-in at connection.
  std::shared_ptr<Dispatch> applicationObject();
  std::shared_ptr<Dispatch> comAddInObject();
  SafeLibrary& library();

  // Host settings.
  void setVersion(std::u16string version) { core_->version = std::move(version); }
  void setExplorerPresent(bool present) { core_->explorerPresent = present; }
  void setLibraryState(mail::LibraryState state) { core_->libraryState = state; }
  // Called when the add-in sets its Connect to false; the host disconnects it.
  void onAddInDisconnect(std::function<void()> disconnect);
  bool addInConnected() const { return core_->addInConnected; }
  // Whether the host process runs (true for a client made on its own). While
  // it does not, nothing raises events: the store changes silently.
  void setRunning(bool running) { core_->setRunning(running); }
  bool running() const { return core_->isRunning(); }
  // Each stored change raises `count` ItemChange events, as real hosts often
  // do for one save (1 by default).
  void setChangeEventsPerSave(int count) { core_->setChangeEventsPerSave(count); }
  // A host item's Save raises its change events before it returns, as a real
  // host may, instead of when the UI thread next pumps.
  void setChangeEventsInSave(bool atOnce) { core_->setChangeEventsInSave(atOnce); }

  // Stores and folders.
  const std::u16string& defaultStoreId() { return core_->defaultStore().id(); }
  std::u16string defaultFolderId(std::int32_t which) const;
  // A second store, e.g. a server store (kind 3); returns its store id.
  std::u16string addStore(std::u16string_view name, std::int32_t kind);
  // A folder below `parentId`, or at the top of `storeId` (the default store
  // when empty) when no parent is given. Returns its entry id.
  std::u16string createFolder(std::u16string_view name, std::u16string_view messageClass,
                              std::u16string_view parentId = {}, std::u16string_view storeId = {});
  std::vector<MailFolderInfo> folders();
  std::optional<MailFolderInfo> folder(std::u16string_view folderId);
  // Moves whenever the folder's contents change (an item added, changed or
  // gone); 0 for no such folder. Lets an observer skip a folder that stayed.
  std::uint64_t folderVersion(std::u16string_view folderId);
  // The same for everything in the default store, at the cost of one read.
  std::uint64_t defaultStoreChanges() { return core_->defaultStore().changes(); }
  // Events raised on the folder's items while advised (for tests).
  std::size_t itemSubscriptions(std::u16string_view folderId);
  std::size_t applicationSubscriptions();
  std::size_t namespaceSubscriptions();

  // Items, as the user handles them. Entry ids name their store.
  std::u16string addItem(std::u16string_view folderId, mail::ItemData data);
  bool changeItem(std::u16string_view entryId, const std::function<void(mail::ItemData&)>& change);
  // The user's Delete: to Deleted Items, or for good from there. Returns the
  // new entry id in Deleted Items (empty when removed for good).
  std::optional<std::u16string> deleteItem(std::u16string_view entryId);
  // Removes the item without passing Deleted Items.
  bool hardDelete(std::u16string_view entryId);
  std::optional<std::u16string> moveItem(std::u16string_view entryId, std::u16string_view folderId);
  // The user's copy into a folder: a new item with a new entry id and the
  // same content, user properties included; raises ItemAdd in the target.
  // Returns the copy's entry id.
  std::optional<std::u16string> copyItem(std::u16string_view entryId, std::u16string_view folderId);
  std::optional<MailItemInfo> item(std::u16string_view entryId);
  // In arrival order.
  std::vector<MailItemInfo> folderItems(std::u16string_view folderId);

  // The folder's Properties dialog: raises the namespace's OptionsPagesAdd
  // (pages, folder) and returns the pages offered. The Options dialog raises
  // the application's OptionsPagesAdd (pages).
  std::vector<mail::OfferedPage> openFolderProperties(std::u16string_view folderId);
  std::vector<mail::OfferedPage> openOptions();

  // Command bars of the active explorer.
  void addCommandBar(std::u16string_view name, bool visible);
  const std::vector<mail::BarState>& commandBars() const { return core_->bars; }

  // The address book's next answer (none: the user cancels).
  void scriptAddressBook(std::optional<std::vector<mail::AddressChoice>> choice);
  const std::vector<std::vector<Variant>>& addressBookCalls() const {
    return core_->addressBookCalls;
  }

  // The transport's side: submitted mails leave the Outbox, or the folder of
  // the default store where the library submitted them (a copy goes to Sent
  // Items unless delete-after-submit is set); delivered mails arrive in the
  // Inbox and raise NewMail.
  // Mails opened by the safe-item library since they were submitted are
  // stopped and stay behind until sent again.
  std::vector<mail::ItemData> takeSubmitted();
  // The same in two steps, as a client keeps a mail in its Outbox until the
  // server has accepted it: the submitted mails as they wait, then each one
  // either sent (it leaves as above) or failed (it stays submitted, with the
  // reason, and goes again with the next transport).
  struct Submitted {
    std::u16string entryId;
    mail::ItemData data;
  };
  std::vector<Submitted> submittedMails();
  void markSent(std::u16string_view entryId);
  void markSendFailed(std::u16string_view entryId, std::u16string_view reason);
  // The transport starts transmitting a submitted mail of the Outbox and
  // holds it so until it next runs: the library cannot stop it, and reading
  // its fields through the library fails (hr::kMapiBusy). False when the
  // item is no submitted mail in the Outbox.
  bool holdInTransmission(std::u16string_view entryId);
  // The same for every submitted mail in the Outbox; returns how many.
  std::size_t holdOutboxInTransmission();
  void deliver(std::vector<mail::ItemData> mails);

  mail::ClientCore& core() { return *core_; }
  const std::shared_ptr<mail::ClientCore>& corePtr() { return core_; }

 private:
  std::shared_ptr<mail::ClientCore> core_;
  std::unique_ptr<SafeLibrarySim> library_;
};

}  // namespace qx::sim

#pragma once
// The inside of one simulated user's mail client: stores, default folders,
// event subscriptions and the state behind the host objects. The host objects
// (host_*.h) and the safe-item library's objects (safe_*_sim.h) work on it;
// scenarios reach it through MailClient.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dispatch.h"
#include "platform/files.h"
#include "sim/faults.h"
#include "sim/mail/mail_store.h"
#include "sim/ui_thread.h"

namespace qx::sim::mail {

class ItemHandle;

// Whom a subscription listens to.
struct EventTarget {
  enum class Kind { kApplication, kNamespace, kItems } kind = Kind::kApplication;
  std::u16string storeId;   // kItems only
  std::u16string folderId;  // kItems only
  friend bool operator==(const EventTarget&, const EventTarget&) = default;
};

struct ButtonState {
  std::uint32_t id = 0;
  std::int32_t style = 0;
  std::int32_t faceId = 0;
  bool visible = true;
  bool enabled = true;
  bool temporary = false;
  std::u16string caption;
  std::u16string tooltipText;
  std::u16string tag;
};

struct BarState {
  std::uint32_t id = 0;
  std::u16string name;
  bool visible = true;
  bool temporary = false;
  std::vector<ButtonState> buttons;
};

struct OfferedPage {
  Variant page;
  std::u16string title;
};

struct AddressChoice {
  std::u16string address;
  bool resolved = true;
};

// How the safe-item library is installed for the user.
enum class LibraryState {
  kInstalled,
  kProgIdUnknown,       // CLSIDFromProgID fails: kInvalidClassString
  kClassNotRegistered,  // creating the instance fails: kClassNotRegistered
};

class ClientCore : public std::enable_shared_from_this<ClientCore> {
 public:
  ClientCore(UiThread& thread, Files& files, Faults& faults, std::u16string address);
  ClientCore(const ClientCore&) = delete;
  ClientCore& operator=(const ClientCore&) = delete;

  // Every host and library operation asks first: the status to fail with when
  // a failure is scheduled for `operation` or the client has shut down.
  // Operations are named "mail.<Interface>.<Member>" for the host
  // ("mail.Items.Find", "mail.TaskItem.Save", "mail.TaskItem.SetSubject",
  // "mail.Namespace.GetDefaultFolder", "mail.ConnectionPoint.Advise", ...) and
  // "safe.<Class>.<Member>" for the library ("safe.CLSIDFromProgID",
  // "safe.CreateInstance", "safe.SafeMailItem.Send",
  // "safe.MapiUtilities.GetItemFromMsgFile", "safe.Message.Fields", ...).
  // Interface queries are "mail.QueryInterface.<Interface>" (TaskItem,
  // MailItem, Folder, Application, PropertyPages, CommandBarButton, ComAddIn,
  // and PropertyPageSite on the Properties dialog's site) and
  // "safe.QueryInterface.<Class>" (SafeMailItem, SafeTaskItem, MapiUtilities,
  // SafeSession, SafeMessage); only queries that the object would answer are
  // counted and failed.
  std::optional<Hresult> fault(std::string_view operation);
  // Drops every subscription (and with it every reference the host holds on
  // the add-in's sinks); later calls fail with kDisconnected.
  void shutdown();
  bool isShutDown() const { return shutDown_; }

  Files& files() { return *files_; }
  UiThread& thread() { return *thread_; }
  const std::u16string& address() const { return address_; }

  // Stores and folders.
  Store& defaultStore() { return *stores_.front(); }
  Store& addStore(std::u16string_view displayName, std::int32_t kind);
  Store* storeById(std::u16string_view storeId);
  Store* storeOfEntryId(std::u16string_view entryId);
  std::vector<Store*> stores();
  // Entry id of a default folder of the default store; empty when unknown.
  std::u16string defaultFolderId(std::int32_t which) const;
  // The store's Deleted Items (created on first need for additional stores).
  std::u16string deletedItemsOf(Store& store);

  // Whether the host process runs. A host that is not running raises no
  // events at all: what happens to the store meanwhile (mail delivered, tasks
  // added by a scenario before the start) reaches no sink, not even one
  // advised after the next start.
  // A host that stops takes its temporary command bars and controls with it.
  void setRunning(bool running);
  // The host process died: whoever listened to its events is gone with it.
  void forgetSubscriptions() { subscriptions_.clear(); }
  bool isRunning() const { return running_; }
  // How many ItemChange events one stored change raises. Real hosts often
  // raise more than one for one save; 1 by default.
  void setChangeEventsPerSave(int count) { changeEventsPerSave_ = count < 1 ? 1 : count; }
  int changeEventsPerSave() const { return changeEventsPerSave_; }
  // Whether a save through a host item raises the item's change events
  // before Save returns, as a real host may, rather than when the UI thread
  // next pumps; off by default.
  void setChangeEventsInSave(bool atOnce) { changeEventsInSave_ = atOnce; }

  // Changes that raise the host's events (posted to the user's UI thread).
  std::u16string insertItem(Store& store, std::u16string_view folderId, ItemData data,
                            bool submitted = false);
  void updateItem(Store& store, std::u16string_view entryId, ItemData data);
  // The same change made by a host item's Save.
  void saveItem(Store& store, std::u16string_view entryId, ItemData data);
  void removeItem(Store& store, std::u16string_view entryId);
  // The item's new entry id in the destination folder.
  std::u16string moveItem(Store& store, std::u16string_view entryId, Store& destination,
                          std::u16string_view destinationFolderId);
  // Outside Deleted Items: moved there (new entry id returned); inside:
  // removed for good (empty result).
  std::u16string deleteItem(Store& store, std::u16string_view entryId);
  void addField(Store& store, std::u16string_view folderId, std::u16string_view field);
  // Raises NewMail on the UI thread.
  void postNewMail();

  // Subscriptions. Cookies are unique within the client and never 0.
  // `source` names the event source object the sink was advised on (an item
  // collection); releaseSource() ends its subscriptions when that object
  // goes, as the host's collection releases its sinks when it is destroyed.
  std::uint32_t advise(const EventTarget& target, std::shared_ptr<EventSink> sink,
                       const void* source = nullptr);
  bool unadvise(const EventTarget& target, std::uint32_t cookie);
  void releaseSource(const void* source);
  std::size_t subscriptionCount(const EventTarget& target) const;
  // Calls the target's sinks at once (a top-level user action); nothing when
  // the host is not running.
  void fire(const EventTarget& target, std::int32_t dispId, std::vector<Variant> args);

  // Host objects.
  std::shared_ptr<Dispatch> openItem(Store& store, std::u16string_view entryId);
  std::shared_ptr<Dispatch> itemObject(std::shared_ptr<ItemHandle> handle);
  std::shared_ptr<Folder> folderObject(Store& store, std::u16string_view folderId);
  std::shared_ptr<Application> applicationObject();
  std::shared_ptr<Namespace> namespaceObject();

  // Host state behind the user-interface objects.
  std::u16string version = u"10.0.0.6626";
  // The user's time zone, east of UTC: the host shows the transport's times in it.
  int utcOffsetMinutes = 0;
  bool explorerPresent = true;
  std::vector<BarState> bars;
  std::uint32_t nextUiId = 1;
  bool addInConnected = true;
  std::function<void()> onAddInDisconnect;
  std::deque<std::optional<std::vector<AddressChoice>>> addressBookAnswers;
  std::vector<std::vector<Variant>> addressBookCalls;
  LibraryState libraryState = LibraryState::kInstalled;

 private:
  void postItemEvent(Store& store, std::u16string_view folderId, std::int32_t dispId,
                     std::u16string_view entryId, bool atOnce = false);
  void storeChange(Store& store, std::u16string_view entryId, ItemData data, bool atOnce);
  void deliverItemEvent(const std::u16string& storeId, const std::u16string& folderId,
                        std::int32_t dispId, const std::u16string& entryId,
                        const std::vector<std::uint32_t>& listeners);
  // The sinks listening to `target` now: an event reaches only these.
  std::vector<std::uint32_t> listeners(const EventTarget& target) const;
  void deliver(const EventTarget& target, const std::vector<std::uint32_t>& listeners,
               std::int32_t dispId, const std::vector<Variant>& args);
  void post(std::function<void(ClientCore&)> message);

  UiThread* thread_;
  Files* files_;
  Faults* faults_;
  std::u16string address_;
  bool shutDown_ = false;
  bool running_ = true;
  int changeEventsPerSave_ = 1;
  bool changeEventsInSave_ = false;
  std::vector<std::unique_ptr<Store>> stores_;
  std::map<std::int32_t, std::u16string> defaultFolders_;
  std::map<std::u16string, std::u16string> deletedItems_;  // store id -> folder id
  struct Subscription {
    EventTarget target;
    std::shared_ptr<EventSink> sink;
    const void* source = nullptr;
  };
  std::map<std::uint32_t, Subscription> subscriptions_;
  std::uint32_t nextCookie_ = 1;
};

}  // namespace qx::sim::mail

#pragma once
// One simulated user's machine with the host running and the add-in module
// loaded into it, as the add-in's own tests need it: the stand-in host
// (registry, disk, windows and timers on a virtual clock, the mail client and
// the safe-item library), sim::Faults for every failure, and the add-in's
// connection object. Nothing is connected until a test says so.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/addin_module.h"
#include "core/connect.h"
#include "core/sync_engine.h"
#include "platform/mail_client.h"
#include "sim/faults.h"
#include "sim/host_file_system.h"
#include "sim/locale_sim.h"
#include "sim/mail/mail_client.h"
#include "sim/office/host_process.h"
#include "sim/registry_sim.h"
#include "sim/shell_sim.h"
#include "sim/temp_folder.h"
#include "sim/ui_thread.h"
#include "sim/window_system_sim.h"
#include "support/debug_log.h"

namespace qx::testsupport {

inline constexpr std::string_view kConfigKey = "Software\\Vantrosse\\Quendrilax\\Config";
inline constexpr std::string_view kFoldersKey = "Software\\Vantrosse\\Quendrilax\\Folders";

inline std::string folderKey(std::string_view entryId) {
  return std::string(kFoldersKey) + "\\" + std::string(entryId);
}

inline std::string ansi(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) out.push_back(static_cast<char>(c));
  return out;
}

class HostTest : public ::testing::Test {
 protected:
  HostTest() {
    host.onDisconnectRequest([this] {
      ++selfDisconnections;
      if (onDisconnectRequest) {
        onDisconnectRequest();
      } else if (connection) {
        connection->onDisconnection(1);
      }
    });
    host.startRun();
    host.markAddInConnected();
  }
  ~HostTest() override {
    connection.reset();
    module.reset();
  }

  static sim::UserSetup aliceSetup() {
    sim::UserSetup setup;
    setup.name = "alice";
    setup.address = "alice@example.org";
    return setup;
  }

  // --- The add-in --------------------------------------------------------------
  // Loads the connection object if there is none and connects it.
  Hresult connect() { return connectWith(host.applicationObject(), host.addInObject()); }
  Hresult connectWith(const std::shared_ptr<Dispatch>& application,
                      const std::shared_ptr<Dispatch>& addIn) {
    if (!connection) connection = module->createConnect();
    return connection->onConnection(application, 0, addIn);
  }
  Hresult connectAndStart() {
    const Hresult status = connect();
    connection->onStartupComplete();
    return status;
  }
  SyncEngine* engine() const { return module->engine(); }

  // --- The timer ---------------------------------------------------------------
  WindowHandle timerWindow() const { return connection->hiddenWindow().handle(); }
  std::optional<std::uint32_t> timerInterval() const {
    return host.timerInterval(timerWindow(), 1);
  }
  // Lets virtual time run to the timer's next tick; false when no timer runs.
  bool tick() {
    const std::optional<std::uint32_t> interval = timerInterval();
    if (!interval) return false;
    clock.advance(*interval);
    return true;
  }
  // Delivers what the host has posted (events, messages) as its loop would.
  void pump() { host.thread().pump(); }
  void raiseNewMail() {
    host.raiseNewMail();
    pump();
  }

  // --- The host's parts ----------------------------------------------------------
  sim::WindowSystemSim& windows() {
    return dynamic_cast<sim::WindowSystemSim&>(host.platform().windows);
  }
  sim::ShellSim& shell() { return dynamic_cast<sim::ShellSim&>(host.platform().shell); }
  sim::LocaleSim& locale() { return dynamic_cast<sim::LocaleSim&>(host.platform().locale); }
  sim::MailClient& mail() { return host.mail(); }
  sim::RegistrySim& registry() { return host.registry(); }
  sim::HostFileSystem& disk() { return host.disk(); }
  std::vector<sim::ShownBox> boxes() const { return host.shownBoxes(); }

  // The host's namespace, as the add-in reaches it.
  std::shared_ptr<Namespace> session() {
    auto application = host.applicationObject()->queryApplication();
    if (!application) return nullptr;
    auto ns = (*application)->getNamespace(u"MAPI");
    return ns ? *ns : nullptr;
  }
  std::shared_ptr<Folder> hostFolder(std::u16string_view entryId) {
    auto found = session()->getFolderFromId(entryId, Variant::missing());
    return found ? *found : nullptr;
  }
  std::u16string deletedItemsId() { return mail().defaultFolderId(default_folder::kDeletedItems); }

  // --- Files and logs ----------------------------------------------------------------
  std::string moduleFolder() const { return host.moduleFolder(); }
  std::string dataDirectory() const { return host.appDataFolder() + "\\Vantrosse\\"; }
  void putFile(std::string_view path, std::string_view text) { disk().writeText(path, text); }
  std::optional<std::string> fileText(std::string_view path) { return disk().readText(path); }
  std::string debugLog() { return fileText(moduleFolder() + "debug.log").value_or(""); }
  std::string errorLog() { return fileText(moduleFolder() + "error.log").value_or(""); }
  // The debug log's entries without their time stamps.
  std::vector<std::string> debugEntries() { return debugLogEntries(debugLog()); }

  // --- Configuration ---------------------------------------------------------------
  // A task folder of the user's default store; its entry id.
  std::u16string addTaskFolder(std::u16string_view name) {
    return mail().createFolder(name, u"IPM.Task");
  }
  std::string storeId() { return ansi(mail().defaultStoreId()); }
  void configureFolder(std::string_view entryId, std::string_view storeId,
                       std::string_view shareName) {
    const std::string path = folderKey(entryId);
    registry().putDword(reg::kCurrentUser, path, "used", 1);
    registry().putString(reg::kCurrentUser, path, "SID", storeId);
    registry().putString(reg::kCurrentUser, path, "ShareName", shareName);
  }
  // A task folder of the default store, synchronized under `shareName`.
  std::u16string addSharedFolder(std::u16string_view name, std::string_view shareName) {
    const std::u16string id = addTaskFolder(name);
    configureFolder(ansi(id), storeId(), shareName);
    return id;
  }
  void setDebug(std::uint32_t value) {
    registry().putDword(reg::kCurrentUser, kConfigKey, "debug", value);
  }

  sim::testing::TempFolder temp;
  sim::VirtualClock clock;
  sim::HostProcess host{clock, aliceSetup(), temp.path() / "alice"};
  sim::Faults& faults = host.faults();
  std::unique_ptr<AddinModule> module = std::make_unique<AddinModule>(host.platform());
  std::unique_ptr<CConnect> connection;
  // What the host does when the add-in sets Connect to false; by default it
  // disconnects the connection object before the call returns.
  std::function<void()> onDisconnectRequest;
  int selfDisconnections = 0;
};

}  // namespace qx::testsupport

#pragma once
// One user's machine with the add-in connected and its classes registered:
// the folder Properties dialog hosts the add-in's pages as the host does, by
// ProgID through the registration and the module's class objects.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "core/addin_module.h"
#include "core/connect.h"
#include "platform/mail_ids.h"
#include "sim/mail/mail_client.h"
#include "sim/office/host_process.h"
#include "sim/pages/folder_properties.h"
#include "sim/pages/inproc_servers.h"
#include "sim/registry_sim.h"
#include "sim/shell_sim.h"
#include "sim/ui_thread.h"
#include "sim/window_system_sim.h"
#include "support/test_root.h"
#include "ui/class_ids.h"
#include "ui/empty_page.h"
#include "ui/folder_page.h"
#include "ui/folder_page_template.h"
#include "ui/registration.h"

namespace qx::test {

inline constexpr std::string_view kFoldersKey = "Software\\Vantrosse\\Quendrilax\\Folders";

class PageTest : public ::testing::Test {
 protected:
  void SetUp() override { root_ = testsupport::freshTestRoot("qx-ui-"); }
  void TearDown() override {
    dialog.reset();
    servers.reset();
    connection.reset();
    module.reset();
    host.reset();
    std::filesystem::remove_all(root_);
  }

  // The machine as after installation, with the host running and the add-in
  // connected.
  void start(LangId language = lang::kEnglishUs) {
    sim::UserSetup setup;
    setup.name = "alice";
    setup.address = "alice@example.org";
    setup.language = language;
    host = std::make_unique<sim::HostProcess>(clock, setup, root_);
    ASSERT_EQ(registerServer(host->registry(), host->moduleFile()), win::kSuccess);
    host->startRun();
    module = std::make_unique<AddinModule>(host->platform());
    host->markAddInConnected();
    connection = module->createConnect();
    ASSERT_EQ(connection->onConnection(host->applicationObject(), 0, host->addInObject()), hr::kOk);
    connection->onStartupComplete();
    host->thread().pump();
    servers = std::make_unique<sim::InprocServers>(host->registry(), host->faults());
    servers->add(addin_class::kFolderPageClassId, host->moduleFile(),
                 [this] { return COLFoldersPropPage::create(*module); });
    servers->add(addin_class::kEmptyPageClassId, host->moduleFile(),
                 [this] { return CPropPageEmpty::create(*module); });
    dialog =
        std::make_unique<sim::FolderPropertiesDialog>(mail(), windows(), *servers, host->faults());
  }

  sim::MailClient& mail() { return host->mail(); }
  sim::WindowSystemSim& windows() {
    return dynamic_cast<sim::WindowSystemSim&>(host->platform().windows);
  }
  sim::ShellSim& shell() { return dynamic_cast<sim::ShellSim&>(host->platform().shell); }
  sim::RegistrySim& registry() { return host->registry(); }
  std::u16string tasksId() { return mail().defaultFolderId(default_folder::kTasks); }
  std::string ansi(std::u16string_view id) { return std::string(id.begin(), id.end()); }
  std::string folderKey(std::u16string_view id) {
    return std::string(kFoldersKey) + "\\" + ansi(id);
  }

  void configure(std::u16string_view id, std::string_view shareName,
                 const std::vector<std::string>& users, bool usersKey = true) {
    const std::string key = folderKey(id);
    registry().putDword(reg::kCurrentUser, key, "used", 1);
    registry().putString(reg::kCurrentUser, key, "SID", ansi(mail().defaultStoreId()));
    registry().putString(reg::kCurrentUser, key, "ShareName", shareName);
    if (usersKey) registry().putKey(reg::kCurrentUser, key + "\\Users");
    for (const std::string& user : users)
      registry().putKey(reg::kCurrentUser, key + "\\Users\\" + user);
  }

  // Opens the folder's Properties; the add-in's page must be hosted.
  WindowHandle openPage(std::u16string_view folderId) {
    EXPECT_TRUE(dialog->open(folderId));
    const sim::HostedPage* page = dialog->firstHosted();
    EXPECT_NE(page, nullptr);
    return page ? page->window : kNoWindow;
  }
  const sim::HostedPage& hosted() { return *dialog->firstHosted(); }

  std::u16string text(int id) { return windows().control(page, id)->text; }
  bool enabled(int id) { return windows().control(page, id)->enabled; }
  bool checked() { return windows().control(page, folder_page::kSyncCheckBox)->checked; }
  std::vector<std::u16string> list() {
    return windows().listEntries(page, folder_page::kRecipientList);
  }
  bool type(std::u16string_view t) {
    return windows().typeText(page, folder_page::kAddressField, t);
  }
  bool click(int id) { return windows().click(page, id); }
  bool addAddress(std::u16string_view t) { return type(t) && click(folder_page::kAddButton); }

  sim::VirtualClock clock;
  std::filesystem::path root_;
  std::unique_ptr<sim::HostProcess> host;
  std::unique_ptr<AddinModule> module;
  std::unique_ptr<CConnect> connection;
  std::unique_ptr<sim::InprocServers> servers;
  std::unique_ptr<sim::FolderPropertiesDialog> dialog;
  WindowHandle page = kNoWindow;
};

}  // namespace qx::test

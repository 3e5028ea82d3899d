#pragma once
// An office of three for the outgoing side: alice runs the add-in with shared
// task folders, bob and carol receive what it mails. Tests act as alice does
// in the host (add, edit, delete tasks) and look at her Outbox, the post
// office's deliveries and her logs.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/addin_module.h"
#include "core/connect.h"
#include "core/sync_engine.h"
#include "platform/mail_client.h"
#include "protocol/codec/huffman_decompress.h"
#include "protocol/sync_body.h"
#include "sim/faults.h"
#include "sim/host_file_system.h"
#include "sim/mail/mail_client.h"
#include "sim/mail/msg_file.h"
#include "sim/mail/post_office.h"
#include "sim/office/host_process.h"
#include "sim/office/office.h"
#include "sim/registry_sim.h"
#include "support/debug_log.h"
#include "support/test_root.h"

namespace qx::test {

inline std::string narrow(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) out.push_back(static_cast<char>(c));
  return out;
}

class OutgoingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testsupport::freshTestRoot("qx-outgoing-");
    office_ = std::make_unique<sim::Office>(root_);
    alice = &office_->addUser({.name = "alice", .address = "alice@example.org"});
    bob = &office_->addUser({.name = "bob", .address = "bob@example.org"});
    carol = &office_->addUser({.name = "carol", .address = "carol@example.org"});
    alice->onDisconnectRequest([this] {
      if (connection) connection->onDisconnection(1);
    });
    team = mail().createFolder(u"Team", u"IPM.Task");
    alice->registry().putDword(reg::kCurrentUser, "Software\\Vantrosse\\Quendrilax\\Config",
                               "debug", 1);
  }
  void TearDown() override {
    connection.reset();
    module.reset();
    office_.reset();
    std::filesystem::remove_all(root_);
  }

  sim::MailClient& mail() { return alice->mail(); }
  sim::Faults& faults() { return alice->faults(); }
  sim::VirtualClock& clock() { return office_->clock(); }
  SyncEngine& engine() { return *module->engine(); }

  // Marks a folder of alice's as shared under `shareName` with these
  // recipients, as the property page saves it.
  void share(const std::u16string& folderId, std::string_view shareName,
             const std::vector<std::string>& recipients) {
    const std::string key = "Software\\Vantrosse\\Quendrilax\\Folders\\" + narrow(folderId);
    sim::RegistrySim& registry = alice->registry();
    registry.putDword(reg::kCurrentUser, key, "used", 1);
    registry.putString(reg::kCurrentUser, key, "SID", narrow(mail().defaultStoreId()));
    registry.putString(reg::kCurrentUser, key, "ShareName", shareName);
    for (const std::string& address : recipients) {
      registry.putKey(reg::kCurrentUser, key + "\\Users\\" + address);
    }
  }
  void unshare(const std::u16string& folderId) {
    alice->registry().removeKey(reg::kCurrentUser,
                                "Software\\Vantrosse\\Quendrilax\\Folders\\" + narrow(folderId));
  }

  void connect() {
    alice->startRun();
    module = std::make_unique<AddinModule>(alice->platform());
    alice->markAddInConnected();
    connection = module->createConnect();
    ASSERT_EQ(connection->onConnection(alice->applicationObject(), 0, alice->addInObject()),
              hr::kOk);
    connection->onStartupComplete();
    pump();
  }
  // Delivers what the host has posted to alice's UI thread: item events.
  void pump() { alice->thread().pump(); }
  // Lets virtual time pass (no timer of the add-in falls due in tests that
  // stay below its first ten seconds).
  void wait(std::int64_t ms) { clock().advance(ms); }

  // --- Acting as alice -------------------------------------------------------
  std::u16string addTask(const std::u16string& folderId, std::u16string subject,
                         const std::function<void(sim::mail::ItemData&)>& fill = {}) {
    sim::mail::ItemData data = sim::mail::ItemData::newTask();
    data.subject = std::move(subject);
    if (fill) fill(data);
    std::u16string id = mail().addItem(folderId, std::move(data));
    pump();
    return id;
  }
  void edit(const std::u16string& entryId,
            const std::function<void(sim::mail::ItemData&)>& change) {
    ASSERT_TRUE(mail().changeItem(entryId, change));
    pump();
  }
  std::u16string remove(const std::u16string& entryId) {
    std::optional<std::u16string> binned = mail().deleteItem(entryId);
    pump();
    return binned.value_or(u"");
  }
  std::u16string move(const std::u16string& entryId, const std::u16string& folderId) {
    std::optional<std::u16string> moved = mail().moveItem(entryId, folderId);
    pump();
    return moved.value_or(u"");
  }
  sim::mail::ItemData stored(const std::u16string& entryId) {
    std::optional<sim::MailItemInfo> info = mail().item(entryId);
    EXPECT_TRUE(info.has_value());
    return info ? info->data : sim::mail::ItemData();
  }

  // --- Looking at the mail ---------------------------------------------------
  std::u16string folderOf(std::int32_t which) { return mail().defaultFolderId(which); }
  std::vector<sim::MailItemInfo> syncMails(sim::HostProcess& user, std::int32_t which) {
    std::vector<sim::MailItemInfo> out;
    for (sim::MailItemInfo& info : user.mail().folderItems(user.mail().defaultFolderId(which))) {
      if (info.data.subject == u"TaskSynchronisation") out.push_back(std::move(info));
    }
    return out;
  }
  // Every mail in Drafts and the Outbox, whatever its subject: a mail saved
  // before its subject was set has none yet.
  std::vector<sim::MailItemInfo> unsentMails() {
    std::vector<sim::MailItemInfo> out = mail().folderItems(folderOf(default_folder::kDrafts));
    for (sim::MailItemInfo& info : mail().folderItems(folderOf(default_folder::kOutbox))) {
      out.push_back(std::move(info));
    }
    return out;
  }
  std::vector<sim::MailItemInfo> outbox() { return syncMails(*alice, default_folder::kOutbox); }
  std::vector<sim::MailItemInfo> inbox(sim::HostProcess& user) {
    return syncMails(user, default_folder::kInbox);
  }
  void transport() {
    office_->postOffice().runTransport();
    pump();
  }

  // The task a change mail carries, as its attachment decodes.
  static sim::mail::ItemData carried(const sim::mail::ItemData& mail) {
    EXPECT_EQ(mail.attachments.size(), 1u);
    if (mail.attachments.empty()) return {};
    auto file = huffmanDecompress(mail.attachments.front().content);
    EXPECT_TRUE(file.has_value());
    if (!file) return {};
    auto task = sim::mail::decodeMessageFile(*file);
    EXPECT_TRUE(task.has_value());
    return task ? *task : sim::mail::ItemData();
  }
  static SyncBodyFields fields(const sim::mail::ItemData& mail) {
    return parseSyncBodyText(narrow(mail.body));
  }
  static std::string shareOf(const sim::mail::ItemData& mail) {
    return readShareNameText(narrow(mail.body));
  }
  static std::u16string property(const sim::mail::ItemData& item, std::u16string_view name) {
    const sim::mail::UserProp* p = item.findUserProperty(name);
    return p && p->value.text() ? *p->value.text() : u"<absent>";
  }
  static int propertyCount(const sim::mail::ItemData& item, std::u16string_view name) {
    int n = 0;
    for (const auto& p : item.userProperties) n += p.name == name ? 1 : 0;
    return n;
  }

  // --- Alice's logs ------------------------------------------------------------
  std::string errorLog() {
    return alice->disk().readText(alice->moduleFolder() + "error.log").value_or("");
  }
  // Debug entries without their time stamps.
  std::vector<std::string> debugEntries() {
    return testsupport::debugLogEntries(
        alice->disk().readText(alice->moduleFolder() + "debug.log").value_or(""));
  }
  // The last debug entry that begins with `prefix`.
  std::string lastEntry(std::string_view prefix) {
    const std::vector<std::string> entries = debugEntries();
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
      if (it->starts_with(prefix)) return *it;
    }
    return "<none>";
  }
  int debugCount(std::string_view text) {
    int n = 0;
    for (const std::string& entry : debugEntries()) n += entry == text ? 1 : 0;
    return n;
  }

  std::filesystem::path root_;
  std::unique_ptr<sim::Office> office_;
  sim::HostProcess* alice = nullptr;
  sim::HostProcess* bob = nullptr;
  sim::HostProcess* carol = nullptr;
  std::unique_ptr<AddinModule> module;
  std::unique_ptr<CConnect> connection;
  std::u16string team;
};

}  // namespace qx::test

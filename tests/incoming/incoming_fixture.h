#pragma once
// One receiving user on the stand-in host with the add-in connected, a task
// folder shared under a name, and sync mails made as a peer's add-in makes
// them: the sync body, and the task saved as a message file and compressed.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/addin_module.h"
#include "core/connect.h"
#include "core/sync_engine.h"
#include "protocol/codec/huffman_compress.h"
#include "protocol/sync_body.h"
#include "protocol/sync_envelope.h"
#include "protocol/sync_identity.h"
#include "sim/codepage_sim.h"
#include "sim/faults.h"
#include "sim/host_file_system.h"
#include "sim/mail/mail_client.h"
#include "sim/mail/msg_file.h"
#include "sim/office/host_process.h"
#include "sim/registry_sim.h"
#include "sim/ui_thread.h"
#include "support/test_root.h"

namespace qx::test {

namespace mail = sim::mail;

inline constexpr std::u16string_view kIdA = u"{0A0A0A0A-0000-4000-8000-00000000000A}";
inline constexpr std::u16string_view kIdB = u"{0B0B0B0B-0000-4000-8000-00000000000B}";

inline std::u16string widen(std::string_view text) { return sim::CodePageSim::widen(text); }

// A task as the sender's folder holds it.
inline mail::ItemData sentTask(std::u16string subject, std::u16string_view syncId,
                               std::u16string body = u"") {
  mail::ItemData task = mail::ItemData::newTask();
  task.subject = std::move(subject);
  task.body = std::move(body);
  if (!syncId.empty()) {
    task.userProperties.push_back({u"quendrilaxid", 1, Variant(std::u16string(syncId))});
  }
  task.userProperties.push_back({u"lastsharename", 1, Variant(std::u16string(u"Team"))});
  return task;
}

inline mail::AttachmentData attachmentOf(const std::vector<std::uint8_t>& messageFile,
                                         std::uint32_t id) {
  auto stream = huffmanCompress(messageFile);
  EXPECT_TRUE(stream.has_value());
  return {id, u"C:\\sync.huf", u"sync.huf", stream.value_or(std::vector<std::uint8_t>{})};
}

// A sync mail with the given tasks as attachments (a change mail carries one).
inline mail::ItemData syncMail(SyncKind kind, std::string_view share, std::u16string_view syncId,
                               const std::vector<mail::ItemData>& tasks = {}) {
  mail::ItemData data = mail::ItemData::newMail();
  data.subject = std::u16string(syncmail::kSubjectText);
  std::string id(syncId.begin(), syncId.end());
  data.body = widen(buildSyncBody("\"Sent by the add-in\"", kind, share, id));
  std::uint32_t next = 1;
  for (const mail::ItemData& task : tasks) {
    data.attachments.push_back(attachmentOf(mail::encodeMessageFile(task), next++));
  }
  return data;
}
inline mail::ItemData changeMail(const mail::ItemData& task, std::string_view share = "Team") {
  const mail::UserProp* id = task.findUserProperty(u"quendrilaxid");
  return syncMail(SyncKind::kChange, share, id ? *id->value.text() : u"", {task});
}

class IncomingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testsupport::freshTestRoot("qx-in-");
    sim::UserSetup setup;
    setup.name = "bob";
    setup.address = "bob@office.test";
    host = std::make_unique<sim::HostProcess>(clock, setup, root_);
    host->onDisconnectRequest([this] {
      if (connection) connection->onDisconnection(1);
    });
    team = mail().createFolder(u"Team", u"IPM.Task", tasks());
    // The folder knows the sync-id field already, as after its first lookup,
    // so that a test's host calls are the scan's own.
    auto session = *(*host->applicationObject()->queryApplication())->getNamespace(u"MAPI");
    ASSERT_EQ(ensureSyncIdField(*session, *session->getFolderFromId(team, Variant::missing())),
              hr::kOk);
    setDebug(1);
  }
  void TearDown() override {
    connection.reset();
    module.reset();
    host.reset();
    std::filesystem::remove_all(root_);
  }

  sim::MailClient& mail() { return host->mail(); }
  sim::Faults& faults() { return host->faults(); }
  SyncEngine& engine() { return *module->engine(); }
  std::u16string tasks() { return mail().defaultFolderId(default_folder::kTasks); }
  std::u16string inbox() { return mail().defaultFolderId(default_folder::kInbox); }
  std::u16string deleted() { return mail().defaultFolderId(default_folder::kDeletedItems); }
  std::u16string outbox() { return mail().defaultFolderId(default_folder::kOutbox); }

  void setDebug(std::uint32_t on) {
    host->registry().putDword(reg::kCurrentUser, "Software\\Vantrosse\\Quendrilax\\Config", "debug",
                              on);
  }
  // Shared before the add-in connects; processed, so no basic sync is offered.
  void share(const std::u16string& folderId, std::string_view shareName) {
    const std::string key = "Software\\Vantrosse\\Quendrilax\\Folders\\" +
                            std::string(folderId.begin(), folderId.end());
    const std::u16string& store = mail().defaultStoreId();
    host->registry().putDword(reg::kCurrentUser, key, "used", 1);
    host->registry().putDword(reg::kCurrentUser, key, "isProcessed", 1);
    host->registry().putString(reg::kCurrentUser, key, "SID",
                               std::string(store.begin(), store.end()));
    host->registry().putString(reg::kCurrentUser, key, "ShareName", shareName);
    host->registry().putKey(reg::kCurrentUser, key + "\\Users\\alice@office.test");
  }
  void connect() {
    host->startRun();
    module = std::make_unique<AddinModule>(host->platform());
    host->markAddInConnected();
    connection = module->createConnect();
    ASSERT_EQ(connection->onConnection(host->applicationObject(), 0, host->addInObject()), hr::kOk);
    connection->onStartupComplete();
    host->thread().pump();
  }

  // Mail in the Inbox without NewMail, so that each test decides when to scan.
  // Unless a test says when a mail was sent, the mails were sent one second
  // apart in the order given.
  void deliver(std::vector<mail::ItemData> mails) {
    for (mail::ItemData& m : mails) {
      if (m.sentOn == kNoDate) m.sentOn = sentAt(++sent_);
      mail().addItem(inbox(), std::move(m));
    }
  }
  static DateValue sentAt(int second) { return DateValue{46363.0 + second / 86400.0}; }
  // One scan as the host's NewMail starts it; then, unless told otherwise,
  // the host delivers the events of its writes.
  void scan(bool deliverEvents = true) {
    {
      EngineCall call(*module);
      engine().processInbox();
    }
    if (deliverEvents) host->thread().pump();
  }

  std::vector<sim::MailItemInfo> in(const std::u16string& folderId) {
    return mail().folderItems(folderId);
  }
  std::vector<std::u16string> subjects(const std::u16string& folderId) {
    std::vector<std::u16string> out;
    for (const auto& item : in(folderId)) out.push_back(item.data.subject);
    return out;
  }
  std::string log(std::string_view name) {
    return host->disk().readText(host->moduleFolder() + std::string(name)).value_or("");
  }
  bool logged(std::string_view text) { return log("debug.log").find(text) != std::string::npos; }

  sim::VirtualClock clock;
  std::filesystem::path root_;
  std::unique_ptr<sim::HostProcess> host;
  std::unique_ptr<AddinModule> module;
  std::unique_ptr<CConnect> connection;
  std::u16string team;
  int sent_ = 0;
};

}  // namespace qx::test

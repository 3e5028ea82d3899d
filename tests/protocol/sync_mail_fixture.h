#pragma once
// One simulated user's mail client with a task folder "Team", reached through
// the ports as the add-in reaches it, and through the client's plain API as
// the user and the test see it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/mail_client.h"
#include "platform/safe_library.h"
#include "sim/codepage_sim.h"
#include "sim/faults.h"
#include "sim/files_sim.h"
#include "sim/guid_sim.h"
#include "sim/host_file_system.h"
#include "sim/mail/mail_client.h"
#include "sim/temp_folder.h"
#include "sim/ui_thread.h"
#include "support/recording_diagnostics.h"
#include "support/recording_sink.h"

namespace qx::testing {

using testsupport::RecordingSink;

class SyncMailFixture : public ::testing::Test {
 protected:
  SyncMailFixture() {
    auto application = client.applicationObject()->queryApplication();
    if (!application) std::abort();
    app = *application;
    auto ns = app->getNamespace(u"MAPI");
    if (!ns) std::abort();
    session = *ns;
    teamId = client.createFolder(u"Team", u"IPM.Task");
  }

  std::shared_ptr<Folder> folder(const std::u16string& id) {
    auto found = session->getFolderFromId(id, Variant::missing());
    return found ? *found : nullptr;
  }
  std::shared_ptr<Folder> team() { return folder(teamId); }
  std::u16string tasksId() { return client.defaultFolderId(default_folder::kTasks); }
  std::u16string deletedId() { return client.defaultFolderId(default_folder::kDeletedItems); }

  // A user's task in a folder, with user properties (name, value) of text type
  // unless the value says otherwise.
  std::u16string addTask(const std::u16string& folderId, const std::u16string& subject,
                         std::vector<sim::mail::UserProp> properties = {}) {
    sim::mail::ItemData data = sim::mail::ItemData::newTask();
    data.subject = subject;
    data.userProperties = std::move(properties);
    return client.addItem(folderId, std::move(data));
  }
  static sim::mail::UserProp idProperty(std::u16string value,
                                        std::u16string name = u"quendrilaxid") {
    return {std::move(name), user_property_type::kText, Variant(std::move(value))};
  }

  std::shared_ptr<TaskItem> openTask(const std::u16string& entryId) {
    auto item = session->getItemFromId(entryId, Variant::missing());
    if (!item || !*item) return nullptr;
    auto task = (*item)->queryTask();
    return task ? *task : nullptr;
  }
  std::u16string entryIdOf(const std::shared_ptr<Dispatch>& item) {
    if (!item) return {};
    auto task = item->queryTask();
    if (!task) return {};
    auto id = (*task)->entryId();
    return id ? *id : std::u16string();
  }

  // Subjects of a folder's items in arrival order.
  std::vector<std::u16string> subjects(const std::u16string& folderId) {
    std::vector<std::u16string> out;
    for (const auto& item : client.folderItems(folderId)) out.push_back(item.data.subject);
    return out;
  }

  sim::testing::TempFolder temp;
  sim::VirtualClock clock;
  sim::UiThread thread{clock};
  sim::HostFileSystem disk{temp.path()};
  sim::Faults faults;
  sim::FilesSim files{disk, faults};
  sim::MailClient client{thread, files, faults, u"anna@example.org"};
  sim::GuidSim guids{faults, 7};
  sim::CodePageSim codePage{faults};
  testsupport::RecordingDiagnostics diagnostics;
  std::shared_ptr<Application> app;
  std::shared_ptr<Namespace> session;
  std::u16string teamId;
};

}  // namespace qx::testing

#pragma once
// Shared pieces of the mail stand-in's tests: an in-memory file port, a sink
// that records events, and one simulated user.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/mail_client.h"
#include "platform/safe_library.h"
#include "sim/faults.h"
#include "sim/mail/mail_client.h"
#include "sim/ui_thread.h"

namespace qx::sim::mailtest {

class MemoryFiles : public Files {
 public:
  WinResult<std::vector<std::uint8_t>> readFile(std::string_view path) override {
    auto it = files.find(std::string(path));
    if (it == files.end()) return failure(win::kFileNotFound);
    return it->second;
  }
  WinError writeFile(std::string_view path, std::span<const std::uint8_t> bytes) override {
    files[std::string(path)].assign(bytes.begin(), bytes.end());
    return win::kSuccess;
  }
  WinError appendFile(std::string_view path, std::span<const std::uint8_t> bytes) override {
    auto& file = files[std::string(path)];
    file.insert(file.end(), bytes.begin(), bytes.end());
    return win::kSuccess;
  }
  WinError deleteFile(std::string_view path) override {
    return files.erase(std::string(path)) ? win::kSuccess : win::kFileNotFound;
  }
  WinError replaceFile(std::string_view from, std::string_view to) override {
    auto node = files.extract(std::string(from));
    if (!node) return win::kFileNotFound;
    files[std::string(to)] = std::move(node.mapped());
    return win::kSuccess;
  }
  bool exists(std::string_view path) override { return files.contains(std::string(path)); }

  std::map<std::string, std::vector<std::uint8_t>> files;
};

struct Event {
  std::int32_t dispId;
  std::vector<Variant> args;
};

class RecordingSink : public EventSink {
 public:
  Hresult invoke(std::int32_t dispId, std::span<const Variant> args) override {
    events.push_back({dispId, std::vector<Variant>(args.begin(), args.end())});
    if (onEvent) onEvent(events.back());
    return hr::kOk;
  }
  std::vector<std::int32_t> ids() const {
    std::vector<std::int32_t> out;
    for (const Event& e : events) out.push_back(e.dispId);
    return out;
  }
  std::vector<Event> events;
  std::function<void(const Event&)> onEvent;
};

// Unwraps a result that the test expects to succeed.
template <class T>
T ok(Result<T> result) {
  EXPECT_TRUE(result.has_value()) << std::hex << (result ? 0 : result.error());
  if (!result) throw std::runtime_error("unexpected failure");
  return std::move(*result);
}

inline mail::ItemData task(std::u16string subject) {
  mail::ItemData data = mail::ItemData::newTask();
  data.subject = std::move(subject);
  return data;
}

inline mail::ItemData mailTo(std::u16string to, std::u16string subject) {
  mail::ItemData data = mail::ItemData::newMail();
  data.to = std::move(to);
  data.subject = std::move(subject);
  return data;
}

class MailFixture : public ::testing::Test {
 protected:
  std::shared_ptr<Application> app() { return ok(client.applicationObject()->queryApplication()); }
  std::shared_ptr<Namespace> ns() { return ok(app()->getNamespace(u"MAPI")); }
  std::shared_ptr<Folder> folder(std::int32_t which) { return ok(ns()->getDefaultFolder(which)); }
  std::shared_ptr<Folder> folderById(const std::u16string& id) {
    return ok(ns()->getFolderFromId(id, Variant::missing()));
  }
  std::shared_ptr<Items> items(const std::shared_ptr<Folder>& f) { return ok(f->items()); }
  std::shared_ptr<TaskItem> openTask(const std::u16string& entryId) {
    return ok(ok(ns()->getItemFromId(entryId, Variant::missing()))->queryTask());
  }
  std::shared_ptr<MailItem> openMail(const std::u16string& entryId) {
    return ok(ok(ns()->getItemFromId(entryId, Variant::missing()))->queryMail());
  }
  // Subscribes a recording sink to a folder's item events. The collection is
  // held for the test's life: events reach a sink only while it is.
  std::shared_ptr<RecordingSink> watch(const std::shared_ptr<Items>& collection) {
    auto sink = std::make_shared<RecordingSink>();
    auto point = ok(collection->findConnectionPoint(iid::kItemsEvents));
    ok(point->advise(sink));
    heldCollections.push_back(collection);
    return sink;
  }
  std::u16string tasksId() { return client.defaultFolderId(default_folder::kTasks); }
  std::u16string deletedId() { return client.defaultFolderId(default_folder::kDeletedItems); }
  std::u16string entryIdOf(const std::shared_ptr<Dispatch>& item) {
    if (auto t = item->queryTask()) return ok((*t)->entryId());
    return ok(ok(item->queryMail())->entryId());
  }

  VirtualClock clock;
  UiThread thread{clock};
  MemoryFiles files;
  Faults faults;
  MailClient client{thread, files, faults, u"alice@example.org"};
  std::vector<std::shared_ptr<Items>> heldCollections;
};

}  // namespace qx::sim::mailtest

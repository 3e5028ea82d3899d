// The basic synchronization's two costs on the stand-in host: the listing of
// a folder of many tasks into its queue file, and one catch-up step against a
// long queue. A step reads and rewrites the whole queue, so its cost must grow
// no faster than the queue's length.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "core/addin_module.h"
#include "core/connect.h"
#include "core/sync_engine.h"
#include "sim/host_file_system.h"
#include "sim/mail/mail_client.h"
#include "sim/office/host_process.h"
#include "sim/registry_sim.h"
#include "sim/ui_thread.h"

namespace {

using namespace qx;

constexpr std::string_view kFolders = "Software\\Vantrosse\\Quendrilax\\Folders\\";

std::string narrow(std::u16string_view text) { return std::string(text.begin(), text.end()); }

// One user whose shared folder holds `tasks` tasks, with the add-in connected
// and the folder already offered.
class SharedFolder {
 public:
  explicit SharedFolder(std::int64_t tasks)
      : root_(std::filesystem::temp_directory_path() /
              ("qx-basicsync-bench-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(root_);
    sim::UserSetup setup;
    setup.name = "alice";
    setup.address = "alice@office.test";
    host_ = std::make_unique<sim::HostProcess>(clock_, setup, root_);
    folderId_ = host_->mail().createFolder(u"Tasks", u"IPM.Task");
    const std::string key = std::string(kFolders) + narrow(folderId_);
    auto& registry = host_->registry();
    registry.putDword(reg::kCurrentUser, key, "used", 1);
    registry.putString(reg::kCurrentUser, key, "SID", narrow(host_->mail().defaultStoreId()));
    registry.putString(reg::kCurrentUser, key, "ShareName", "Tasks");
    registry.putDword(reg::kCurrentUser, key, "isProcessed", 1);
    registry.putKey(reg::kCurrentUser, key + "\\Users\\bob@office.test");
    for (std::int64_t i = 0; i < tasks; ++i) {
      auto task = sim::mail::ItemData::newTask();
      task.subject = u"Task " + std::u16string(1, u'A' + static_cast<char16_t>(i % 26));
      host_->mail().addItem(folderId_, std::move(task));
    }
    host_->startRun();
    module_ = std::make_unique<AddinModule>(host_->platform());
    host_->markAddInConnected();
    connection_ = module_->createConnect();
    connection_->onConnection(host_->applicationObject(), 0, host_->addInObject());
  }
  ~SharedFolder() {
    connection_->onDisconnection(0);
    connection_.reset();
    module_.reset();
    host_.reset();
    std::filesystem::remove_all(root_);
  }

  SyncEngine& engine() { return *module_->engine(); }
  std::string queuePath() const {
    return host_->appDataFolder() + "\\Vantrosse\\" + narrow(folderId_) + ".ids";
  }
  sim::HostProcess& host() { return *host_; }

 private:
  std::filesystem::path root_;
  sim::VirtualClock clock_;
  std::unique_ptr<sim::HostProcess> host_;
  std::u16string folderId_;
  std::unique_ptr<AddinModule> module_;
  std::unique_ptr<CConnect> connection_;
};

// The listing from the property page's button: every task of the folder into
// a new queue file, the progress window fed item by item.
void listing(benchmark::State& state) {
  SharedFolder folder(state.range(0));
  for (auto _ : state) folder.engine().processFolders(true);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(listing)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// One step whose front entry no longer opens: the queue is read, its front
// dropped and the rest written anew. Nothing is sent, so this is the queue's
// own cost.
void stepDroppingTheFront(benchmark::State& state) {
  SharedFolder folder(state.range(0));
  folder.engine().processFolders(true);
  auto& disk = folder.host().disk();
  const std::string queue = disk.readText(folder.queuePath()).value_or("");
  const std::string front = queue.substr(0, queue.find('\r'));
  folder.host().mail().hardDelete(std::u16string(front.begin(), front.end()));
  for (auto _ : state) {
    state.PauseTiming();
    disk.writeText(folder.queuePath(), queue);
    state.ResumeTiming();
    benchmark::DoNotOptimize(folder.engine().nextBackgroundItems());
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(stepDroppingTheFront)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// One step that sends the front task to the folder's recipient.
void stepSendingTheFront(benchmark::State& state) {
  SharedFolder folder(state.range(0));
  folder.engine().processFolders(true);
  auto& disk = folder.host().disk();
  const std::string queue = disk.readText(folder.queuePath()).value_or("");
  for (auto _ : state) {
    state.PauseTiming();
    disk.writeText(folder.queuePath(), queue);
    folder.host().mail().takeSubmitted();
    state.ResumeTiming();
    benchmark::DoNotOptimize(folder.engine().nextBackgroundItems());
  }
}
BENCHMARK(stepSendingTheFront)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// One Inbox scan that applies 100 sync mails, in an Inbox that also holds 0,
// 10,000 or 100,000 ordinary mails. The scan finds its mails through the
// host's sorted search, so its cost must not grow with the ordinary mail.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/addin_module.h"
#include "core/connect.h"
#include "core/sync_engine.h"
#include "protocol/codec/huffman_compress.h"
#include "protocol/sync_body.h"
#include "protocol/sync_envelope.h"
#include "sim/mail/mail_client.h"
#include "sim/mail/msg_file.h"
#include "sim/office/host_process.h"
#include "sim/registry_sim.h"
#include "sim/ui_thread.h"

namespace {

using namespace qx;
namespace mail = sim::mail;

constexpr int kSyncMails = 100;

std::u16string widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::string syncId(int n) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-0000-4000-8000-000000000000}", n);
  return text;
}

mail::ItemData changeMail(int n) {
  mail::ItemData task = mail::ItemData::newTask();
  task.subject = u"Task " + widen(std::to_string(n));
  task.body = u"What is to be done, and by when.";
  task.userProperties.push_back({u"quendrilaxid", 1, Variant(widen(syncId(n)))});
  mail::ItemData data = mail::ItemData::newMail();
  data.subject = std::u16string(syncmail::kSubjectText);
  data.body = widen(buildSyncBody("\"Sent by the add-in\"", SyncKind::kChange, "Team", syncId(n)));
  auto stream = huffmanCompress(mail::encodeMessageFile(task));
  data.attachments.push_back(
      {1, u"sync.huf", u"sync.huf", stream.value_or(std::vector<std::uint8_t>{})});
  return data;
}

// Bob's host with the add-in connected, a folder shared as "Team" and an
// Inbox of ordinary mail whose subjects sort on both sides of the sync
// subject.
class Receiver {
 public:
  explicit Receiver(std::int64_t ordinaryMails)
      : root_(std::filesystem::temp_directory_path() /
              ("qx-inbox-bench-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(root_);
    sim::UserSetup setup;
    setup.name = "bob";
    setup.address = "bob@office.test";
    host_ = std::make_unique<sim::HostProcess>(clock_, setup, root_);
    sim::MailClient& client = host_->mail();
    const std::u16string team =
        client.createFolder(u"Team", u"IPM.Task", client.defaultFolderId(default_folder::kTasks));
    const std::string key =
        "Software\\Vantrosse\\Quendrilax\\Folders\\" + std::string(team.begin(), team.end());
    const std::u16string& store = client.defaultStoreId();
    host_->registry().putString(reg::kCurrentUser, key, "SID",
                                std::string(store.begin(), store.end()));
    host_->registry().putString(reg::kCurrentUser, key, "ShareName", "Team");
    host_->registry().putDword(reg::kCurrentUser, key, "isProcessed", 1);
    inbox_ = client.defaultFolderId(default_folder::kInbox);
    for (std::int64_t i = 0; i < ordinaryMails; ++i) {
      mail::ItemData ordinary = mail::ItemData::newMail();
      ordinary.subject = (i % 2 ? u"Re: " : u"Z: ") + widen(std::to_string(i));
      client.addItem(inbox_, std::move(ordinary));
    }
    host_->startRun();
    module_ = std::make_unique<AddinModule>(host_->platform());
    host_->markAddInConnected();
    connection_ = module_->createConnect();
    ok_ = connection_->onConnection(host_->applicationObject(), 0, host_->addInObject()) == hr::kOk;
    host_->thread().pump();
  }
  ~Receiver() {
    connection_.reset();
    module_.reset();
    host_.reset();
    std::filesystem::remove_all(root_);
  }

  bool ok() const { return ok_ && module_->engine() != nullptr; }
  void deliverSyncMails() {
    for (int n = 0; n < kSyncMails; ++n) host_->mail().addItem(inbox_, changeMail(n));
    host_->thread().pump();
  }
  void scan() {
    EngineCall call(*module_);
    module_->engine()->processInbox();
  }
  // Lets the host deliver the events of the scan's writes.
  void settle() { host_->thread().pump(); }
  std::size_t inboxSize() { return host_->mail().folderItems(inbox_).size(); }
  // Host calls the add-in made of this kind so far.
  int hostCalls(std::string_view operation) { return host_->faults().calls(operation); }

 private:
  std::filesystem::path root_;
  sim::VirtualClock clock_;
  std::unique_ptr<sim::HostProcess> host_;
  std::unique_ptr<AddinModule> module_;
  std::unique_ptr<CConnect> connection_;
  std::u16string inbox_;
  bool ok_ = false;
};

void processInbox(benchmark::State& state) {
  Receiver receiver(state.range(0));
  if (!receiver.ok()) {
    state.SkipWithError("the add-in did not connect");
    return;
  }
  const std::size_t ordinary = receiver.inboxSize();
  // Walking the collection item by item would show here: the scan must reach
  // its mails through find and find-next alone.
  const int itemCallsBefore = receiver.hostCalls("mail.Items.Item");
  const int findNextBefore = receiver.hostCalls("mail.Items.FindNext");
  for (auto _ : state) {
    state.PauseTiming();
    receiver.deliverSyncMails();
    state.ResumeTiming();
    receiver.scan();
    state.PauseTiming();
    receiver.settle();
    if (receiver.inboxSize() != ordinary) state.SkipWithError("sync mails left in the Inbox");
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kSyncMails);
  const auto perScan = [&](int calls) {
    return static_cast<double>(calls) / static_cast<double>(state.iterations());
  };
  state.counters["item_calls_per_scan"] =
      perScan(receiver.hostCalls("mail.Items.Item") - itemCallsBefore);
  state.counters["find_next_per_scan"] =
      perScan(receiver.hostCalls("mail.Items.FindNext") - findNextBefore);
  state.counters["ordinary_mails"] = static_cast<double>(ordinary);
}

BENCHMARK(processInbox)->Arg(0)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

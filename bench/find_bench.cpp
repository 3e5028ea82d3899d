// Find by subject in a folder of 10^3, 10^4 and 10^5 items of the simulated
// mail client, as the add-in's Inbox and Outbox scans use it: the time must
// not grow with the folder.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "no_files.h"
#include "platform/mail_client.h"
#include "sim/faults.h"
#include "sim/mail/mail_client.h"
#include "sim/ui_thread.h"

namespace {

using namespace qx;

using bench::NoFiles;

std::u16string subjectNumber(std::int64_t n) { return u"Subject " + bench::wideNumber(n); }

// One user whose Inbox holds `count` mails with distinct subjects.
struct Office {
  explicit Office(std::int64_t count) {
    std::u16string inbox = client.defaultFolderId(default_folder::kInbox);
    for (std::int64_t i = 0; i < count; ++i) {
      sim::mail::ItemData mail = sim::mail::ItemData::newMail();
      mail.subject = subjectNumber(i);
      client.addItem(inbox, std::move(mail));
    }
    thread.pump();
    auto app = *client.applicationObject()->queryApplication();
    items = *(*(*app->getNamespace(u"MAPI"))->getDefaultFolder(default_folder::kInbox))->items();
  }
  sim::VirtualClock clock;
  sim::UiThread thread{clock};
  NoFiles files;
  sim::Faults faults;
  sim::MailClient client{thread, files, faults, u"alice@example.org"};
  std::shared_ptr<Items> items;
};

void findBySubject(benchmark::State& state, bool sorted) {
  Office office(state.range(0));
  if (sorted && failed(office.items->sort(u"[Subject]", false))) {
    state.SkipWithError("sort failed");
    return;
  }
  std::u16string filter = u"[Subject] = '" + subjectNumber(state.range(0) / 2) + u"'";
  for (auto _ : state) {
    auto found = office.items->find(filter);
    if (!found || !*found) {
      state.SkipWithError("not found");
      break;
    }
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_FindBySubjectSorted(benchmark::State& state) { findBySubject(state, true); }
void BM_FindBySubjectUnsorted(benchmark::State& state) { findBySubject(state, false); }

BENCHMARK(BM_FindBySubjectSorted)->RangeMultiplier(10)->Range(1000, 100000);
BENCHMARK(BM_FindBySubjectUnsorted)->RangeMultiplier(10)->Range(1000, 100000);

}  // namespace

BENCHMARK_MAIN();

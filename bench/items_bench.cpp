// Item collections of the simulated mail client at 10^3, 10^4 and 10^5 items,
// as long runs of the synchronization use them: Item(i) right after a change,
// Find/FindNext walks sorted on the filtered field, on another field and not
// at all, and a walk that deletes what it finds and adds as it goes. The time
// per call must not grow with the folder.
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

std::u16string number(std::int64_t n) { return bench::wideNumber(n); }

constexpr std::int64_t kMatches = 100;

// A task folder of `count` tasks, each with a sync id; every (count /
// kMatches)-th task has the subject "match", the others distinct subjects.
struct TaskFolder {
  explicit TaskFolder(std::int64_t count) : size(count) {
    folderId = client.createFolder(u"Shared", u"IPM.Task");
    for (std::int64_t i = 0; i < count; ++i) add(i);
    client.core().addField(client.core().defaultStore(), folderId, u"quendrilaxid");
    auto app = *client.applicationObject()->queryApplication();
    auto ns = *app->getNamespace(u"MAPI");
    items = *(*ns->getFolderFromId(folderId, Variant::missing()))->items();
  }
  std::u16string add(std::int64_t i) {
    sim::mail::ItemData data = sim::mail::ItemData::newTask();
    data.subject = i % (size / kMatches) == 0 ? u"match" : u"task " + number(i);
    data.userProperties.push_back(
        {u"quendrilaxid", user_property_type::kText, Variant(u"{" + number(size - i) + u"}")});
    return client.addItem(folderId, std::move(data));
  }
  sim::VirtualClock clock;
  sim::UiThread thread{clock};
  NoFiles files;
  sim::Faults faults;
  sim::MailClient client{thread, files, faults, u"alice@example.org"};
  std::int64_t size;
  std::u16string folderId;
  std::shared_ptr<Items> items;
};

// Item(i) right after a change of another item, in arrival or sorted order.
void itemAfterChange(benchmark::State& state, const char16_t* sortField) {
  TaskFolder folder(state.range(0));
  if (sortField && failed(folder.items->sort(sortField, false))) {
    state.SkipWithError("sort failed");
    return;
  }
  auto ids = folder.client.folderItems(folder.folderId);
  std::int64_t step = 0;
  for (auto _ : state) {
    const auto& id = ids[static_cast<std::size_t>(step % folder.size)].entryId;
    folder.client.changeItem(id, [&](sim::mail::ItemData& d) { d.body = number(step); });
    auto item = folder.items->item(static_cast<std::int32_t>(1 + (step * 7919) % folder.size));
    if (!item) {
      state.SkipWithError("Item failed");
      break;
    }
    benchmark::DoNotOptimize(item);
    ++step;
  }
  state.SetItemsProcessed(state.iterations());
}

// One Find and FindNext to the end over the kMatches tasks named "match";
// items processed counts the steps.
void findWalk(benchmark::State& state, const char16_t* sortField, bool descending) {
  TaskFolder folder(state.range(0));
  if (sortField && failed(folder.items->sort(sortField, descending))) {
    state.SkipWithError("sort failed");
    return;
  }
  // The first Find on a view sorted on another field builds that pair's
  // index once, as a host builds a view; the walks after it are measured.
  (void)folder.items->find(u"[Subject] = 'match'");
  std::int64_t steps = 0;
  for (auto _ : state) {
    for (auto found = folder.items->find(u"[Subject] = 'match'"); found && *found;
         found = folder.items->findNext()) {
      ++steps;
    }
  }
  if (steps != kMatches * state.iterations()) state.SkipWithError("wrong number of matches");
  state.SetItemsProcessed(steps);
}

// A walk sorted on another field that deletes each match it finds and adds a
// new one behind it, as a scan that deletes what it handles while mail
// arrives.
void walkDeletingAndAdding(benchmark::State& state) {
  TaskFolder folder(state.range(0));
  if (failed(folder.items->sort(u"[quendrilaxid]", false))) {
    state.SkipWithError("sort failed");
    return;
  }
  std::int64_t next = folder.size;
  auto found = folder.items->find(u"[Subject] = 'match'");
  for (auto _ : state) {
    if (!found || !*found) {
      found = folder.items->find(u"[Subject] = 'match'");
      if (!found || !*found) {
        state.SkipWithError("no match left");
        break;
      }
    }
    auto task = (*found)->queryTask();
    if (!task || failed((*task)->deleteItem())) {
      state.SkipWithError("delete failed");
      break;
    }
    folder.add(next - (next % (folder.size / kMatches)));  // a new match
    ++next;
    found = folder.items->findNext();
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_ItemAfterChangeUnsorted(benchmark::State& s) { itemAfterChange(s, nullptr); }
void BM_ItemAfterChangeSorted(benchmark::State& s) { itemAfterChange(s, u"[Subject]"); }
void BM_FindWalkUnsorted(benchmark::State& s) { findWalk(s, nullptr, false); }
void BM_FindWalkSortedOnFilter(benchmark::State& s) { findWalk(s, u"[Subject]", false); }
void BM_FindWalkSortedOnOther(benchmark::State& s) { findWalk(s, u"[quendrilaxid]", false); }
void BM_FindWalkSortedOnOtherDescending(benchmark::State& s) {
  findWalk(s, u"[quendrilaxid]", true);
}
void BM_WalkDeletingAndAdding(benchmark::State& s) { walkDeletingAndAdding(s); }

BENCHMARK(BM_ItemAfterChangeUnsorted)->RangeMultiplier(10)->Range(1000, 100000);
BENCHMARK(BM_ItemAfterChangeSorted)->RangeMultiplier(10)->Range(1000, 100000);
BENCHMARK(BM_FindWalkUnsorted)->RangeMultiplier(10)->Range(1000, 100000);
BENCHMARK(BM_FindWalkSortedOnFilter)->RangeMultiplier(10)->Range(1000, 100000);
BENCHMARK(BM_FindWalkSortedOnOther)->RangeMultiplier(10)->Range(1000, 100000);
BENCHMARK(BM_FindWalkSortedOnOtherDescending)->RangeMultiplier(10)->Range(1000, 100000);
BENCHMARK(BM_WalkDeletingAndAdding)->RangeMultiplier(10)->Range(1000, 100000);

}  // namespace

BENCHMARK_MAIN();

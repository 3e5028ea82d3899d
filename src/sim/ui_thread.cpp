#include "sim/ui_thread.h"

#include <algorithm>
#include <tuple>

namespace qx::sim {

void VirtualClock::attach(UiThread* thread) { threads_.push_back(thread); }

void VirtualClock::detach(UiThread* thread) {
  threads_.erase(std::remove(threads_.begin(), threads_.end(), thread), threads_.end());
}

void VirtualClock::every(std::int64_t intervalMs, std::function<void()> job) {
  intervalMs = std::max<std::int64_t>(intervalMs, 1);
  jobs_.push_back({intervalMs, nowMs_ + intervalMs, std::move(job)});
}

void VirtualClock::advance(std::int64_t ms) { runUntil(nowMs_ + std::max<std::int64_t>(ms, 0)); }

void VirtualClock::pumpIdleThreads() {
  // A message may end a user's session and remove its thread: work on a copy
  // and skip threads that are gone.
  for (UiThread* thread : std::vector<UiThread*>(threads_)) {
    if (std::find(threads_.begin(), threads_.end(), thread) == threads_.end()) continue;
    if (!thread->busy()) thread->pump();
  }
}

void VirtualClock::runUntil(std::int64_t targetMs) {
  for (;;) {
    // The earliest event due by the target: a timer of a thread that is free
    // to take it, or a job that is not running already.
    UiThread* timerThread = nullptr;
    std::tuple<std::int64_t, std::uint64_t, UiThread::TimerKey> best{};
    for (UiThread* thread : threads_) {
      if (thread->busy()) continue;
      auto next = thread->nextTimer();
      if (next && std::get<0>(*next) <= targetMs &&
          (!timerThread || std::tie(std::get<0>(*next), std::get<1>(*next)) <
                               std::tie(std::get<0>(best), std::get<1>(best)))) {
        timerThread = thread;
        best = *next;
      }
    }
    std::optional<std::size_t> job;
    for (std::size_t i = 0; i < jobs_.size(); ++i) {
      if (!jobs_[i].running && jobs_[i].dueMs <= targetMs &&
          (!job || jobs_[i].dueMs < jobs_[*job].dueMs)) {
        job = i;
      }
    }
    if (job && (!timerThread || jobs_[*job].dueMs <= std::get<0>(best))) {
      // Jobs are only ever added, so the index stays valid while it runs.
      nowMs_ = std::max(nowMs_, jobs_[*job].dueMs);
      jobs_[*job].dueMs += jobs_[*job].intervalMs;
      jobs_[*job].running = true;
      auto run = jobs_[*job].run;  // the job may add jobs
      run();
      jobs_[*job].running = false;
      pumpIdleThreads();
      continue;
    }
    if (!timerThread) break;
    nowMs_ = std::max(nowMs_, std::get<0>(best));
    timerThread->fire(std::get<2>(best));
    pumpIdleThreads();
  }
  nowMs_ = std::max(nowMs_, targetMs);
  pumpIdleThreads();
}

UiThread::UiThread(VirtualClock& clock) : clock_(clock) { clock_.attach(this); }

UiThread::~UiThread() { clock_.detach(this); }

void UiThread::post(std::function<void()> message) { queue_.push_back(std::move(message)); }

void UiThread::runBusy(const std::function<void()>& call) {
  ++busy_;
  call();
  --busy_;
}

void UiThread::dispatch(const std::function<void()>& call) {
  runBusy(call);
  pump();
}

void UiThread::pump() {
  // A message may open a modal loop that pumps again; the inner loop then
  // delivers what follows, in the same order.
  while (!queue_.empty()) {
    auto message = std::move(queue_.front());
    queue_.pop_front();
    runBusy(message);
  }
}

void UiThread::setTimer(std::uint64_t window, std::uint32_t id, std::uint32_t intervalMs,
                        std::function<void()> tick) {
  timers_[{window, id}] =
      Timer{intervalMs, clock_.nowMs() + intervalMs, clock_.nextSequence(), std::move(tick)};
}

bool UiThread::killTimer(std::uint64_t window, std::uint32_t id) {
  return timers_.erase({window, id}) > 0;
}

void UiThread::killTimers(std::uint64_t window) {
  std::erase_if(timers_, [&](const auto& entry) { return entry.first.first == window; });
}

std::optional<std::uint32_t> UiThread::timerInterval(std::uint64_t window, std::uint32_t id) const {
  auto it = timers_.find({window, id});
  if (it == timers_.end()) return std::nullopt;
  return it->second.intervalMs;
}

std::optional<std::tuple<std::int64_t, std::uint64_t, UiThread::TimerKey>> UiThread::nextTimer()
    const {
  std::optional<std::tuple<std::int64_t, std::uint64_t, TimerKey>> best;
  for (const auto& [key, timer] : timers_) {
    auto candidate = std::make_tuple(timer.dueMs, timer.sequence, key);
    if (!best || std::tie(std::get<0>(candidate), std::get<1>(candidate)) <
                     std::tie(std::get<0>(*best), std::get<1>(*best))) {
      best = candidate;
    }
  }
  return best;
}

void UiThread::fire(const TimerKey& key) {
  auto it = timers_.find(key);
  if (it == timers_.end()) return;
  // WM_TIMER is not queued up: a late timer fires once and is due again one
  // interval after now.
  it->second.dueMs = clock_.nowMs() + it->second.intervalMs;
  auto tick = it->second.tick;  // the tick may kill or replace the timer
  runBusy(tick);
}

void UiThread::modalLoop(std::int64_t openMs) {
  ++modalDepth_;
  // Inside its own modal loop the thread takes messages again.
  const int busy = std::exchange(busy_, 0);
  pump();
  clock_.runUntil(clock_.nowMs() + std::max<std::int64_t>(openMs, 0));
  busy_ = busy;
  --modalDepth_;
}

}  // namespace qx::sim

#include "sim/ui_thread.h"

#include <algorithm>
#include <tuple>

namespace qx::sim {

void VirtualClock::attach(UiThread* thread) { threads_.push_back(thread); }

void VirtualClock::detach(UiThread* thread) {
  threads_.erase(std::remove(threads_.begin(), threads_.end(), thread), threads_.end());
}

void VirtualClock::every(std::int64_t intervalMs, std::function<void()> job) {
  jobs_.push_back({intervalMs, nowMs_ + intervalMs, std::move(job)});
}

void VirtualClock::advance(std::int64_t ms) { runUntil(nowMs_ + std::max<std::int64_t>(ms, 0)); }

void VirtualClock::runUntil(std::int64_t targetMs) {
  for (;;) {
    // The earliest event due by the target: a timer of some thread or a job.
    UiThread* timerThread = nullptr;
    std::tuple<std::int64_t, std::uint64_t, UiThread::TimerKey> best{};
    for (UiThread* thread : threads_) {
      auto next = thread->nextTimer();
      if (next && std::get<0>(*next) <= targetMs &&
          (!timerThread || std::tie(std::get<0>(*next), std::get<1>(*next)) <
                               std::tie(std::get<0>(best), std::get<1>(best)))) {
        timerThread = thread;
        best = *next;
      }
    }
    Job* job = nullptr;
    for (Job& candidate : jobs_) {
      if (candidate.dueMs <= targetMs && (!job || candidate.dueMs < job->dueMs)) job = &candidate;
    }
    if (job && (!timerThread || job->dueMs <= std::get<0>(best))) {
      nowMs_ = std::max(nowMs_, job->dueMs);
      job->dueMs += job->intervalMs;
      auto run = job->run;  // the job may add jobs
      run();
      for (UiThread* thread : std::vector<UiThread*>(threads_)) thread->pump();
      continue;
    }
    if (!timerThread) break;
    nowMs_ = std::max(nowMs_, std::get<0>(best));
    timerThread->fire(std::get<2>(best));
    for (UiThread* thread : std::vector<UiThread*>(threads_)) thread->pump();
  }
  nowMs_ = std::max(nowMs_, targetMs);
  for (UiThread* thread : std::vector<UiThread*>(threads_)) thread->pump();
}

UiThread::UiThread(VirtualClock& clock) : clock_(clock) { clock_.attach(this); }

UiThread::~UiThread() { clock_.detach(this); }

void UiThread::post(std::function<void()> message) { queue_.push_back(std::move(message)); }

void UiThread::pump() {
  // A message may open a modal loop that pumps again; the inner loop then
  // delivers what follows, in the same order.
  while (!queue_.empty()) {
    auto message = std::move(queue_.front());
    queue_.pop_front();
    message();
  }
}

void UiThread::setTimer(std::uint64_t window, std::uint32_t id, std::uint32_t intervalMs,
                        std::function<void()> tick) {
  timers_[{window, id}] = Timer{intervalMs, clock_.nowMs() + intervalMs, clock_.nextSequence(),
                                std::move(tick)};
}

bool UiThread::killTimer(std::uint64_t window, std::uint32_t id) {
  return timers_.erase({window, id}) > 0;
}

void UiThread::killTimers(std::uint64_t window) {
  std::erase_if(timers_, [&](const auto& entry) { return entry.first.first == window; });
}

std::optional<std::uint32_t> UiThread::timerInterval(std::uint64_t window,
                                                     std::uint32_t id) const {
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
  tick();
}

void UiThread::modalLoop(std::int64_t openMs) {
  ++modalDepth_;
  pump();
  const std::int64_t until = clock_.nowMs() + std::max<std::int64_t>(openMs, 0);
  // Only this thread runs inside its own modal loop: advance the shared clock
  // but deliver only this thread's timers, as other users' threads are not
  // pumped by this loop.
  for (;;) {
    auto next = nextTimer();
    if (!next || std::get<0>(*next) > until) break;
    clock_.nowMs_ = std::max(clock_.nowMs_, std::get<0>(*next));
    fire(std::get<2>(*next));
    pump();
  }
  clock_.nowMs_ = std::max(clock_.nowMs_, until);
  pump();
  --modalDepth_;
}

}  // namespace qx::sim

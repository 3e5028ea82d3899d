#pragma once
// The virtual clock of a simulated office and the UI thread of each simulated
// user. Time moves only when advance() is called; timers fire in time order
// across all users; posted messages (host events, deliveries) wait in a user's
// queue until that user's thread pumps messages: after a top-level call
// returns, or inside a modal loop.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace qx::sim {

class UiThread;

class VirtualClock {
 public:
  explicit VirtualClock(std::int64_t startMs = 0) : nowMs_(startMs) {}
  VirtualClock(const VirtualClock&) = delete;
  VirtualClock& operator=(const VirtualClock&) = delete;

  std::int64_t nowMs() const { return nowMs_; }

  // Moves time forward by `ms`, firing every timer that falls due on the way,
  // in time order (ties in the order the timers were set), and pumping each
  // thread's posted messages after each tick.
  void advance(std::int64_t ms);

  // Office-wide jobs on the clock (the post office's transport, ...): called
  // every `intervalMs` while time advances.
  void every(std::int64_t intervalMs, std::function<void()> job);

 private:
  friend class UiThread;
  void attach(UiThread* thread);
  void detach(UiThread* thread);
  std::uint64_t nextSequence() { return ++sequence_; }
  // Moves time to `targetMs`, firing what falls due on the way.
  void runUntil(std::int64_t targetMs);

  struct Job {
    std::int64_t intervalMs;
    std::int64_t dueMs;
    std::function<void()> run;
  };
  std::int64_t nowMs_;
  std::uint64_t sequence_ = 0;
  std::vector<UiThread*> threads_;
  std::vector<Job> jobs_;
};

class UiThread {
 public:
  explicit UiThread(VirtualClock& clock);
  ~UiThread();
  UiThread(const UiThread&) = delete;
  UiThread& operator=(const UiThread&) = delete;

  VirtualClock& clock() { return clock_; }

  // PostMessage: the message runs when the thread next pumps.
  void post(std::function<void()> message);
  // Delivers posted messages in order until the queue is empty (messages
  // posted meanwhile included).
  void pump();
  std::size_t pendingMessages() const { return queue_.size(); }

  // Timers of a window (SetTimer replaces a timer of the same window and id).
  void setTimer(std::uint64_t window, std::uint32_t id, std::uint32_t intervalMs,
                std::function<void()> tick);
  bool killTimer(std::uint64_t window, std::uint32_t id);
  void killTimers(std::uint64_t window);
  // The interval of a running timer, for expectations.
  std::optional<std::uint32_t> timerInterval(std::uint64_t window, std::uint32_t id) const;

  // A modal loop that stays open for `openMs` of virtual time: the clock
  // advances meanwhile and this thread's timers and posted messages are
  // delivered inside the loop, as a real modal loop does.
  void modalLoop(std::int64_t openMs);
  int modalDepth() const { return modalDepth_; }

 private:
  friend class VirtualClock;
  struct Timer {
    std::uint32_t intervalMs;
    std::int64_t dueMs;
    std::uint64_t sequence;
    std::function<void()> tick;
  };
  using TimerKey = std::pair<std::uint64_t, std::uint32_t>;
  // The earliest due timer: (due, sequence, key).
  std::optional<std::tuple<std::int64_t, std::uint64_t, TimerKey>> nextTimer() const;
  void fire(const TimerKey& key);

  VirtualClock& clock_;
  std::deque<std::function<void()>> queue_;
  std::map<TimerKey, Timer> timers_;
  int modalDepth_ = 0;
};

}  // namespace qx::sim

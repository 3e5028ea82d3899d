#pragma once
// The virtual clock of a simulated office and the UI thread of each simulated
// user. Time moves only when advance() is called or a modal loop stays open;
// timers fire in time order across all users; posted messages (host events,
// deliveries) wait in a user's queue until that user's thread pumps messages:
// after a top-level call returns, or inside a modal loop.
//
// The users' threads stand for separate processes, so the office goes on
// while one user's modal loop is open: the other users' timers, their posted
// messages and the office-wide jobs run on time. Everything runs on one real
// stack, though, so a thread that is busy with a message (and not inside a
// modal loop of its own) is not dispatched to until it returns; it then gets
// what fell due meanwhile, late, as a busy real thread would.
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
  // every `intervalMs` (at least 1) while time advances. A job is never
  // started again while it runs (a modal loop opened inside it).
  void every(std::int64_t intervalMs, std::function<void()> job);

 private:
  friend class UiThread;
  void attach(UiThread* thread);
  void detach(UiThread* thread);
  std::uint64_t nextSequence() { return ++sequence_; }
  // Moves time to `targetMs`, firing what falls due on the way.
  void runUntil(std::int64_t targetMs);
  // Delivers the posted messages of every thread that is free to take them.
  void pumpIdleThreads();

  struct Job {
    std::int64_t intervalMs;
    std::int64_t dueMs;
    std::function<void()> run;
    bool running = false;
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
  // Runs `call` now as a message of this thread (a host calling into the
  // add-in on its UI thread), then delivers what was posted meanwhile.
  void dispatch(const std::function<void()>& call);
  // Delivers posted messages in order until the queue is empty (messages
  // posted meanwhile included).
  void pump();
  std::size_t pendingMessages() const { return queue_.size(); }
  // The process ends: what was posted is never delivered.
  void discardPending() { queue_.clear(); }

  // Timers of a window (SetTimer replaces a timer of the same window and id).
  void setTimer(std::uint64_t window, std::uint32_t id, std::uint32_t intervalMs,
                std::function<void()> tick);
  bool killTimer(std::uint64_t window, std::uint32_t id);
  void killTimers(std::uint64_t window);
  // The interval of a running timer, for expectations.
  std::optional<std::uint32_t> timerInterval(std::uint64_t window, std::uint32_t id) const;

  // A modal loop that stays open for `openMs` of virtual time: the clock
  // advances meanwhile and this thread's timers and posted messages are
  // delivered inside the loop, as a real modal loop does; the rest of the
  // office runs on as well. When a loop of another thread opens inside this
  // one, this one can only close after it.
  void modalLoop(std::int64_t openMs);
  int modalDepth() const { return modalDepth_; }
  // Handling a message outside a modal loop of its own: nothing more is
  // dispatched to the thread until it returns.
  bool busy() const { return busy_ > 0; }

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
  // Counts the thread busy while `call` runs.
  void runBusy(const std::function<void()>& call);

  VirtualClock& clock_;
  std::deque<std::function<void()>> queue_;
  std::map<TimerKey, Timer> timers_;
  int modalDepth_ = 0;
  int busy_ = 0;
};

}  // namespace qx::sim

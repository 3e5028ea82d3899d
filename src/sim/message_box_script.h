#pragma once
// The user's side of message boxes: answers scripted in advance (each may keep
// its box open for a while of virtual time) and the log of every box shown.
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/window_system.h"

namespace qx::sim {

// Message box types and answers beyond those the add-in uses.
inline constexpr std::uint32_t kMbOkCancel = 0x1;
inline constexpr std::uint32_t kMbAbortRetryIgnore = 0x2;
inline constexpr std::uint32_t kMbYesNoCancel = 0x3;
inline constexpr std::uint32_t kMbRetryCancel = 0x5;
inline constexpr std::uint32_t kMbTypeMask = 0xF;
inline constexpr int kIdAbort = 3;
inline constexpr int kIdRetry = 4;
inline constexpr int kIdIgnore = 5;

struct ScriptedAnswer {
  int button = 0;           // IDOK, IDYES, IDNO, ...
  std::int64_t openMs = 0;  // how long the box stays open, in virtual time
};

struct MessageBoxRecord {
  WindowHandle owner = kNoWindow;
  std::u16string caption;
  std::u16string text;
  std::uint32_t type = 0;
  int answer = 0;
  std::int64_t shownAtMs = 0;
  std::int64_t openMs = 0;
  // Modal loops already open on the thread when the box came up: a box shown
  // from a tick inside another box's loop has depth 1.
  int modalDepth = 0;
  // The answer came from the script (not the default).
  bool scripted = false;
  // The script's answer was no button of this box; the default was taken.
  bool scriptMismatch = false;
};

// The buttons a box of `type` offers, and the one a user who just presses
// Enter would choose.
bool offersButton(std::uint32_t type, int button);
int defaultButton(std::uint32_t type);

class MessageBoxScript {
 public:
  void push(ScriptedAnswer answer) { pending_.push_back(answer); }
  std::size_t pending() const { return pending_.size(); }
  void clearPending() { pending_.clear(); }

  // Answers a box of `type` that is about to be shown and logs it.
  MessageBoxRecord show(WindowHandle owner, std::u16string_view text, std::u16string_view caption,
                        std::uint32_t type, std::int64_t nowMs, int modalDepth);

  const std::vector<MessageBoxRecord>& shown() const { return shown_; }
  void clearShown() { shown_.clear(); }
  // Called for every box as it comes up (the scenario runner's transcript).
  void setObserver(std::function<void(const MessageBoxRecord&)> observer) {
    observer_ = std::move(observer);
  }

 private:
  std::deque<ScriptedAnswer> pending_;
  std::vector<MessageBoxRecord> shown_;
  std::function<void(const MessageBoxRecord&)> observer_;
};

}  // namespace qx::sim

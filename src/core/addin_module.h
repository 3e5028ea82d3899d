#pragma once
// One loaded add-in module: everything the add-in keeps process-wide. On the
// host there is one per process; several simulated users run side by side in
// one process here, each with a module of its own, so none of this may live in
// globals.
//
// The module also owns the engine's lifetime. Every entry point that reaches
// the engine (timer tick, host events, the property page) holds an EngineCall
// while it works. A disconnection that arrives from inside such a call (the
// add-in asks the host to unload it when the safe-item library is missing, and
// the host disconnects at once) retires the engine instead of destroying it;
// the retired engine is destroyed when the outermost call returns. So no
// operation on the stack can find its engine gone, whatever it does next.
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/locale.h"
#include "platform/platform.h"
#include "platform/window_system.h"

namespace qx {

class CConnect;
class ComAddIn;
class Dispatch;
class Folder;
class SyncEngine;

class AddinModule {
 public:
  explicit AddinModule(const Platform& platform);
  ~AddinModule();
  AddinModule(const AddinModule&) = delete;
  AddinModule& operator=(const AddinModule&) = delete;

  // The class factory of the connection class.
  std::unique_ptr<CConnect> createConnect();

  const Platform& platform() const { return platform_; }

  // --- Process-wide state --------------------------------------------------

  // The current engine; none before connection, after disconnection and on a
  // refused host version.
  SyncEngine* engine() const { return engine_.get(); }

  LangId uiLanguage() const { return uiLanguage_; }
  void setUiLanguage(LangId language) { uiLanguage_ = language; }

  // The host's record of this add-in, used only to disconnect on a fatal error.
  const std::shared_ptr<ComAddIn>& addInObject() const { return addInObject_; }
  void setAddInObject(std::shared_ptr<ComAddIn> object) { addInObject_ = std::move(object); }

  // The folder whose properties the host showed last.
  const std::shared_ptr<Folder>& pageFolder() const { return pageFolder_; }
  void setPageFolder(std::shared_ptr<Folder> folder);

  // The steady phase's flags: set when the module is loaded, never set again.
  bool scanToggle() const { return scanToggle_; }
  bool firstSteady() const { return firstSteady_; }

  // Cleared for good when writing a debug entry fails.
  bool logWriteEnabled() const { return logWriteEnabled_; }
  void disableLogWrite() { logWriteEnabled_ = false; }

  // --- Engine lifetime ------------------------------------------------------

  // Makes `engine` the process-wide engine.
  void installEngine(std::unique_ptr<SyncEngine> engine);
  // Clears the process-wide engine. Destroyed at once when no engine call is on
  // the stack, otherwise retired and destroyed when the outermost call returns.
  void destroyEngine();
  // True while any entry point is working on an engine (including inside the
  // modal loops it opens).
  bool engineBusy() const { return engineCallDepth_ > 0; }
  // True when a scan or send started now could overlap work on the stack
  // (they share the working files): any engine call is working, unless the
  // innermost one only waits for the user to answer the basic-sync question.
  bool workOnStack() const { return engineCallDepth_ > 0 && engineCallDepth_ != questionDepth_; }

  // --- Entry points -----------------------------------------------------------

  // WM_TIMER on the hidden window.
  void onTimerTick();
  // The application's NewMail event.
  void onNewMail();
  // The namespace's OptionsPagesAdd event.
  void onOptionsPagesAdd(const std::shared_ptr<Dispatch>& pages,
                         const std::shared_ptr<Dispatch>& folder);

  // Sets Connect to false on the add-in object: the host disconnects the add-in
  // before this returns.
  void requestDisconnect();

  // --- Observation --------------------------------------------------------------

  // Short notes of what the add-in does ("tick: catch-up", "inbox scan", ...),
  // for transcripts; not the add-in's logs.
  void setTrace(std::function<void(std::string_view)> trace) { trace_ = std::move(trace); }
  void trace(std::string_view note) const {
    if (trace_) trace_(note);
  }

  struct Counters {
    int ticks = 0;         // ticks that found an engine and did their work
    int skippedTicks = 0;  // ticks that arrived while engine work was running
    int inboxScans = 0;    // processInbox runs started
  };
  const Counters& counters() const { return counters_; }
  Counters& counters() { return counters_; }

 private:
  friend class EngineCall;
  friend class UserQuestion;
  void leaveEngineCall();

  Platform platform_;
  std::unique_ptr<SyncEngine> engine_;
  std::vector<std::unique_ptr<SyncEngine>> retired_;
  int engineCallDepth_ = 0;
  int questionDepth_ = 0;  // engine calls on the stack when the question opened
  std::shared_ptr<ComAddIn> addInObject_;
  std::shared_ptr<Folder> pageFolder_;
  LangId uiLanguage_ = lang::kNeutral;
  bool scanToggle_ = true;
  bool firstSteady_ = true;
  bool logWriteEnabled_ = true;
  std::function<void(std::string_view)> trace_;
  Counters counters_;
};

// Held by every entry point while it works on the engine: keeps the engine it
// found alive until the outermost call has returned.
class EngineCall {
 public:
  explicit EngineCall(AddinModule& module) : module_(module), engine_(module.engine()) {
    ++module_.engineCallDepth_;
  }
  ~EngineCall() { module_.leaveEngineCall(); }
  EngineCall(const EngineCall&) = delete;
  EngineCall& operator=(const EngineCall&) = delete;

  // The engine that was current when the call began, or none.
  SyncEngine* engine() const { return engine_; }
  // False once that engine has been retired by a disconnection: the caller must
  // end its operation without touching the engine or the connection again.
  bool stillConnected() const { return engine_ != nullptr && module_.engine() == engine_; }

 private:
  AddinModule& module_;
  SyncEngine* engine_;
};

// Held while the basic-sync question waits for the user's answer. The call
// that asks has nothing half done then, so ticks and new mail arriving in
// the question's modal loop do their work instead of being dropped.
class UserQuestion {
 public:
  explicit UserQuestion(AddinModule& module)
      : module_(module), outer_(std::exchange(module.questionDepth_, module.engineCallDepth_)) {}
  ~UserQuestion() { module_.questionDepth_ = outer_; }
  UserQuestion(const UserQuestion&) = delete;
  UserQuestion& operator=(const UserQuestion&) = delete;

 private:
  AddinModule& module_;
  int outer_;
};

}  // namespace qx

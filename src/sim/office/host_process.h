#pragma once
// One simulated user's machine with the host running on it: the registry, the
// disk with its application-data and module folders, the windows and timers of
// the user's UI thread, the clock, locale, GUIDs and code page, the mail
// client with its application and add-in objects, and the safe-item library.
// It hands the add-in a Platform and the host's dispatch objects; whoever
// loads the add-in (a test, the scenario runner) wires it to them, since the
// stand-in never includes add-in code.
//
// What persists on a user's machine (registry, disk, mail store) lives as long
// as the HostProcess; what a host run owns (windows, timers, posted messages,
// event subscriptions) dies with stopRun().
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/locale.h"
#include "platform/platform.h"
#include "platform/window_system.h"

namespace qx {
class Dispatch;
}

namespace qx::sim {

class Faults;
class HostFileSystem;
class MailClient;
class RegistrySim;
class UiThread;
class VirtualClock;

struct UserSetup {
  std::string name;     // also the user's folder name, as in C:\Users\<name>
  std::string address;  // mail address, in the machine's code page
  // The mail address as the host's profile holds it, in UTF-16; set, it takes
  // the place of `address`, so an address beyond the code page arrives as
  // written.
  std::u16string wideAddress = {};
  LangId language = lang::kEnglishUs;
  std::string hostVersion = "10.0.0.6626";
  bool appDataAvailable = true;
  bool libraryInstalled = true;
  int utcOffsetMinutes = 60;
  std::uint64_t guidSeed = 1;
};

// A message box as the user saw it.
struct ShownBox {
  std::int64_t atMs = 0;
  WindowHandle owner = kNoWindow;
  std::u16string caption, text;
  std::uint32_t type = 0;
  int answer = 0;
  std::int64_t openMs = 0;  // how long it stayed open in virtual time
};

class HostProcess {
 public:
  // `diskRoot`: a folder on the real disk that becomes this user's drives.
  HostProcess(VirtualClock& clock, UserSetup setup, std::filesystem::path diskRoot);
  ~HostProcess();
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  const UserSetup& setup() const { return setup_; }

  // --- What the add-in is given -------------------------------------------------
  const Platform& platform() const;
  // OnConnection's arguments: the host application and the add-in's own record.
  std::shared_ptr<Dispatch> applicationObject();
  std::shared_ptr<Dispatch> addInObject();
  // Called when the add-in sets Connect to false on its record: the loader
  // disconnects the add-in before the call returns.
  void onDisconnectRequest(std::function<void()> handler);

  // --- Host runs -------------------------------------------------------------------
  // A new run of the host.
  void startRun();
  // The host connects the add-in: its record reads connected again.
  void markAddInConnected();
  // The host process ends: its windows, timers and posted messages go.
  void stopRun();
  bool running() const { return running_; }

  // --- Acting as the host and the user ---------------------------------------------
  // The application's NewMail event, posted to the UI thread.
  void raiseNewMail();
  // The next message box gets this answer, staying open `openMs` of virtual time.
  void queueAnswer(int button, std::int64_t openMs);
  // Scripted answers that no box has taken yet.
  std::size_t pendingAnswers() const;
  // Called as each message box comes up, before its modal loop runs.
  void onMessageBox(std::function<void(const ShownBox&)> observer);
  // Message boxes shown so far, oldest first.
  std::vector<ShownBox> shownBoxes() const;
  // Interval of a running timer of a window, in ms.
  std::optional<std::uint32_t> timerInterval(WindowHandle window, std::uint32_t id) const;

  // The machine's clock runs `driftMs` ahead of the office's (behind when
  // negative); its timers still fire on the office's clock.
  void setClockDriftMs(std::int64_t driftMs);
  // What the machine's clock shows now (UTC milliseconds), as no call of the port.
  std::int64_t clockReadingMs() const;

  // The process ends without warning: windows, timers, posted messages and
  // event subscriptions go, nothing queued is delivered and no code of the
  // add-in runs; the store, the registry and the disk keep what was saved.
  void crash();

  // --- Inspection ------------------------------------------------------------------
  Faults& faults();
  UiThread& thread();
  RegistrySim& registry();
  HostFileSystem& disk();
  // The mail client, for acting as the user on folders, items and mail.
  MailClient& mail();
  // Host paths of the user's folders: the application-data folder (whether or
  // not the shell offers it) and the add-in's module file and folder (with
  // trailing backslash).
  std::string appDataFolder() const;
  std::string moduleFile() const;
  std::string moduleFolder() const;

 private:
  struct Parts;
  UserSetup setup_;
  std::unique_ptr<Parts> parts_;
  bool running_ = false;
};

}  // namespace qx::sim

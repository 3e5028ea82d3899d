#pragma once
// Small in-memory stand-ins for the system ports the add-in's spine uses, with
// every call able to fail through sim::Faults, and a window system that lets a
// test act inside a message box's modal loop.
#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "sim/codepage_sim.h"
#include "sim/faults.h"
#include "sim/registry_sim.h"

namespace qx::test {

inline std::string lowered(std::string_view path) {
  std::string result(path);
  for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

class FakeFiles final : public Files {
 public:
  explicit FakeFiles(sim::Faults& faults) : faults_(faults) {}

  Result<std::vector<std::uint8_t>> readFile(std::string_view path) override {
    if (auto status = faults_.check("files.readFile")) return failure(*status);
    auto it = files_.find(lowered(path));
    if (it == files_.end()) return failure(win::kFileNotFound);
    return it->second;
  }
  WinError writeFile(std::string_view path, std::span<const std::uint8_t> bytes) override {
    if (auto status = faults_.check("files.writeFile")) return *status;
    if (path.empty()) return win::kPathNotFound;
    files_[lowered(path)].assign(bytes.begin(), bytes.end());
    return win::kSuccess;
  }
  WinError appendFile(std::string_view path, std::span<const std::uint8_t> bytes) override {
    if (auto status = faults_.check("files.appendFile")) return *status;
    if (path.empty()) return win::kPathNotFound;
    if (thrower) thrower();
    auto& file = files_[lowered(path)];
    file.insert(file.end(), bytes.begin(), bytes.end());
    return win::kSuccess;
  }
  WinError deleteFile(std::string_view path) override {
    if (auto status = faults_.check("files.deleteFile")) return *status;
    return files_.erase(lowered(path)) == 1 ? win::kSuccess : win::kFileNotFound;
  }
  bool exists(std::string_view path) override { return files_.contains(lowered(path)); }

  void put(std::string_view path, std::string_view text) {
    files_[lowered(path)].assign(text.begin(), text.end());
  }
  std::optional<std::string> text(std::string_view path) const {
    auto it = files_.find(lowered(path));
    if (it == files_.end()) return std::nullopt;
    return std::string(it->second.begin(), it->second.end());
  }

  // Called inside appendFile, to make a write fail the hard way.
  std::function<void()> thrower;

 private:
  sim::Faults& faults_;
  std::map<std::string, std::vector<std::uint8_t>> files_;
};

class FakeShell final : public Shell {
 public:
  explicit FakeShell(sim::Faults& faults) : faults_(faults) {}

  Hresult folderPath(int csidl, std::string& path) override {
    if (auto status = faults_.check("shell.folderPath")) return *status;
    if (csidl != shell::kCsidlAppData || !appDataAvailable) return hr::kFail;
    path = appData;
    return hr::kOk;
  }
  Result<std::string> moduleFileName() override {
    if (auto status = faults_.check("shell.moduleFileName")) return failure(*status);
    return modulePath;
  }
  bool setCurrentDirectory(std::string_view path) override {
    if (faults_.check("shell.setCurrentDirectory")) return false;
    if (!directories.contains(lowered(path))) return false;
    current = path;
    return true;
  }
  std::string currentDirectory() override { return current; }
  bool createDirectory(std::string_view path) override {
    if (faults_.check("shell.createDirectory")) return false;
    ++createCalls;
    return directories.insert(lowered(path)).second;
  }
  std::intptr_t execute(std::string_view, std::string_view, std::string_view, std::string_view,
                        int) override {
    return 2;
  }

  bool appDataAvailable = true;
  std::string appData = "C:\\Users\\alice\\AppData\\Roaming";
  std::string modulePath = "C:\\Program Files\\Quendrilax\\Quendrilax.dll";
  std::string current = "C:\\";
  std::set<std::string> directories;
  int createCalls = 0;

 private:
  sim::Faults& faults_;
};

class FakeClock final : public Clock {
 public:
  explicit FakeClock(sim::Faults& faults) : faults_(faults) {}
  std::int64_t now() override { return seconds; }
  Result<double> toLocalDate(std::int64_t value) override {
    if (auto status = faults_.check("clock.toLocalDate")) return failure(*status);
    return 25569.0 + static_cast<double>(value) / 86400.0;
  }
  std::int64_t seconds = 1796630400;  // 2026-12-07 08:00:00 UTC

 private:
  sim::Faults& faults_;
};

// Writes a date value as "D<days>" so that tests can see which time was used.
class FakeLocale final : public Locale {
 public:
  explicit FakeLocale(sim::Faults& faults) : faults_(faults) {}
  LangId threadLanguage() override { return language; }
  Result<std::u16string> formatDate(double hostDate) override {
    if (auto status = faults_.check("locale.formatDate")) return failure(*status);
    std::string text = "D" + std::to_string(static_cast<long long>(hostDate * 86400.0 + 0.5));
    return std::u16string(text.begin(), text.end());
  }
  LangId language = lang::kEnglishUs;

 private:
  sim::Faults& faults_;
};

class FakeGuids final : public GuidSource {
 public:
  Hresult create(Guid& guid) override {
    guid = Guid{++next_, 0, 0, {}};
    return hr::kOk;
  }
  int toString(const Guid&, std::span<char16_t>) override { return 0; }

 private:
  std::uint32_t next_ = 0;
};

struct MessageBoxShown {
  WindowHandle owner = kNoWindow;
  std::u16string text;
  std::u16string caption;
  std::uint32_t type = 0;
};

// Windows and timers without a message loop: a test fires the timer itself and
// may run code inside a message box, as its modal loop would.
class FakeWindows final : public WindowSystem {
 public:
  explicit FakeWindows(sim::Faults& faults) : faults_(faults) {}

  WindowHandle desktopWindow() override { return kDesktop; }
  WinError createWindow(WindowHandle parent, std::uint32_t style, WindowSink& sink,
                        WindowHandle& created) override {
    if (auto status = faults_.check("windows.createWindow")) return *status;
    created = ++lastHandle_;
    windows_[created] = Window{parent, style, &sink, true};
    return win::kSuccess;
  }
  WinError createDialog(const DialogTemplate&, WindowHandle, DialogSink&, WindowHandle&) override {
    return win::kInvalidParameter;
  }
  bool destroyWindow(WindowHandle window) override {
    auto it = windows_.find(window);
    if (it == windows_.end()) return false;
    windows_.erase(it);
    std::erase_if(timers_, [&](const auto& entry) { return entry.first.first == window; });
    ++destroyed;
    return true;
  }
  bool showWindow(WindowHandle window, int command) override {
    auto it = windows_.find(window);
    if (it == windows_.end()) return false;
    it->second.visible = command != win::kSwHide;
    return true;
  }
  bool updateWindow(WindowHandle window) override { return windows_.contains(window); }
  bool isWindow(WindowHandle window) override { return windows_.contains(window); }
  bool setTimer(WindowHandle window, std::uint32_t id, std::uint32_t milliseconds) override {
    if (faults_.check("windows.setTimer")) return false;
    if (!windows_.contains(window)) return false;
    timers_[{window, id}] = milliseconds;
    timerHistory.push_back(milliseconds);
    return true;
  }
  bool killTimer(WindowHandle window, std::uint32_t id) override {
    return timers_.erase({window, id}) == 1;
  }
  int messageBox(WindowHandle owner, std::u16string_view text, std::u16string_view caption,
                 std::uint32_t type) override {
    if (faults_.check("windows.messageBox")) return 0;
    boxes.push_back({owner, std::u16string(text), std::u16string(caption), type});
    // Whatever a modal loop would deliver while the box is open.
    if (insideModalLoop) {
      auto work = std::exchange(insideModalLoop, nullptr);
      work();
    }
    return (type & win::kMbYesNo) == win::kMbYesNo ? win::kIdYes : win::kIdOk;
  }
  bool setItemText(WindowHandle, int, std::u16string_view) override { return false; }
  Result<std::u16string> itemText(WindowHandle, int) override { return failure(hr::kFail); }
  bool enableItem(WindowHandle, int, bool) override { return false; }
  bool isItemEnabled(WindowHandle, int) override { return false; }
  bool checkButton(WindowHandle, int, bool) override { return false; }
  bool isButtonChecked(WindowHandle, int) override { return false; }
  int listAddString(WindowHandle, int, std::u16string_view) override { return win::kLbErr; }
  int listDeleteString(WindowHandle, int, int) override { return win::kLbErr; }
  int listCount(WindowHandle, int) override { return win::kLbErr; }
  int listSelection(WindowHandle, int) override { return win::kLbErr; }
  int listSetSelection(WindowHandle, int, int) override { return win::kLbErr; }
  Result<std::u16string> listText(WindowHandle, int, int) override { return failure(hr::kFail); }
  int listResetContent(WindowHandle, int) override { return win::kLbErr; }
  int listFindExact(WindowHandle, int, int, std::u16string_view) override { return win::kLbErr; }
  bool progressSetRange(WindowHandle, int, std::uint16_t, std::uint16_t) override { return false; }
  bool progressSetPos(WindowHandle, int, int) override { return false; }

  // The interval of timer `id` of `window`, if it runs.
  std::optional<std::uint32_t> timer(WindowHandle window, std::uint32_t id = 1) const {
    auto it = timers_.find({window, id});
    if (it == timers_.end()) return std::nullopt;
    return it->second;
  }
  // Delivers WM_TIMER to the window, as the message loop does when it is due.
  bool fire(WindowHandle window, std::uint32_t id = 1) {
    if (!timers_.contains({window, id})) return false;
    WindowSink* sink = windows_.at(window).sink;
    sink->onTimer(window, id);
    return true;
  }
  struct Window {
    WindowHandle parent = kNoWindow;
    std::uint32_t style = 0;
    WindowSink* sink = nullptr;
    bool visible = true;
  };
  const Window* window(WindowHandle handle) const {
    auto it = windows_.find(handle);
    return it == windows_.end() ? nullptr : &it->second;
  }

  static constexpr WindowHandle kDesktop = 0x10010;
  std::vector<MessageBoxShown> boxes;
  std::vector<std::uint32_t> timerHistory;
  std::function<void()> insideModalLoop;
  int destroyed = 0;

 private:
  sim::Faults& faults_;
  WindowHandle lastHandle_ = 0x20000;
  std::map<WindowHandle, Window> windows_;
  std::map<std::pair<WindowHandle, std::uint32_t>, std::uint32_t> timers_;
};

}  // namespace qx::test

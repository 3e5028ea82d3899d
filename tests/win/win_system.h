#pragma once
// The Win32 adapters of the system ports, with what the contract suites need
// around them: a fresh folder, a message pump and an answer for the next
// message box (given from a second thread that finds the box by its caption).
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "win/clock_win.h"
#include "win/codepage_win.h"
#include "win/files_win.h"
#include "win/guid_win.h"
#include "win/locale_win.h"
#include "win/registry_win.h"
#include "win/shell_win.h"
#include "win/window_system_win.h"

namespace qx::wintest {

// Runs the calling thread's messages for `ms` milliseconds.
inline void pumpMessages(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

// Answers the first top-level window with `caption` that appears within 30
// seconds (a loaded machine may be slow to show it) by clicking `button`.
class BoxAnswer {
 public:
  BoxAnswer() = default;
  ~BoxAnswer() { wait(); }
  BoxAnswer(const BoxAnswer&) = delete;
  BoxAnswer& operator=(const BoxAnswer&) = delete;

  void start(std::u16string caption, int button) {
    wait();
    thread_ = std::thread([caption = std::move(caption), button] {
      const std::wstring title(caption.begin(), caption.end());
      for (int i = 0; i < 3000; ++i) {
        if (HWND box = FindWindowW(nullptr, title.c_str())) {
          PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
          return;
        }
        Sleep(10);
      }
    });
  }
  void wait() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::thread thread_;
};

class WinSystem {
 public:
  WinSystem() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    static int serial = 0;
    folder_ = std::string(temp) + "qxcontract" + std::to_string(GetCurrentProcessId()) + "_" +
              std::to_string(++serial) + "\\";
    CreateDirectoryA(folder_.c_str(), nullptr);
  }
  ~WinSystem() {
    answer_.wait();
    std::error_code error;
    std::filesystem::remove_all(folder_, error);
  }

  Registry& registry() { return registry_; }
  Files& files() { return files_; }
  Shell& shell() { return shell_; }
  Clock& clock() { return clock_; }
  Locale& locale() { return locale_; }
  CodePage& codePage() { return codePage_; }
  GuidSource& guids() { return guids_; }
  WindowSystem& windows() { return windows_; }

  std::string folder() const { return folder_; }
  void pump(int ms) { pumpMessages(ms); }
  void answerNextBox(std::u16string_view caption, int button) {
    answer_.start(std::u16string(caption), button);
  }

 private:
  std::string folder_;
  win32::RegistryWin registry_;
  win32::FilesWin files_;
  win32::ShellWin shell_{GetModuleHandleW(nullptr)};
  win32::ClockWin clock_;
  win32::LocaleWin locale_;
  win32::CodePageWin codePage_;
  win32::GuidWin guids_;
  win32::WindowSystemWin windows_{GetModuleHandleW(nullptr)};
  BoxAnswer answer_;
};

}  // namespace qx::wintest

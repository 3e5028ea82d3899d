#pragma once
// One user's mail client in the end-to-end run: the stand-in mail client on
// real files, the add-in slot, the message loop's timers, the post office
// transport and the driver's commands.
#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "addin_loader.h"
#include "sim/faults.h"
#include "sim/mail/mail_client.h"
#include "sim/ui_thread.h"
#include "win/files_win.h"
#include "win/page_container.h"

namespace qx::e2e {

class HostSession {
 public:
  HostSession(std::u16string address, std::wstring commandFolder, std::wstring postOffice);
  ~HostSession();
  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

  sim::MailClient& mail() { return mail_; }
  // Connects the add-in when its entry says so, then runs the message loop
  // until the driver says "quit". The process's exit code.
  int run();

 private:
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM w, LPARAM l);
  void onTimer(UINT_PTR id);
  void pumpEvents();
  void runTransport();
  void takeCommands();
  std::string execute(const std::vector<std::string>& words);
  std::string connectAddIn();
  void log(const std::string& line);

  // Commands.
  std::string folderCommand(const std::vector<std::string>& words);
  std::string storeCommand(const std::vector<std::string>& words);
  std::u16string storeId(const std::string& name) const;
  std::string shareCommand(const std::vector<std::string>& words);
  std::string addCommand(const std::vector<std::string>& words);
  std::string editCommand(const std::vector<std::string>& words);
  std::string deleteCommand(const std::vector<std::string>& words);
  std::string dumpCommand(const std::vector<std::string>& words);
  std::string boxesCommand();
  std::string answerCommand(const std::vector<std::string>& words);
  std::string barsCommand();
  // The folder's Properties dialog with the page the add-in offers
  // (host_pages.cpp).
  std::string propertiesCommand(const std::vector<std::string>& words);
  std::string pageCommand(const std::vector<std::string>& words);
  void closePage();
  std::u16string folderId(const std::string& name);
  std::u16string itemBySubject(const std::u16string& folder, const std::string& subject);

  sim::VirtualClock clock_;
  sim::UiThread thread_;
  sim::Faults faults_;
  win32::FilesWin files_;
  sim::MailClient mail_;
  AddInLoader addIn_;
  std::u16string address_;
  std::filesystem::path commands_;
  std::filesystem::path postOffice_;
  std::ofstream log_;
  HWND window_ = nullptr;
  wintest::HostedControl page_;
  bool quit_ = false;
  bool pumping_ = false;
  bool carrying_ = false;
  bool holding_ = false;
  // The stores of storeCommand, by the driver's names.
  std::vector<std::pair<std::string, std::u16string>> stores_;
  std::uint64_t sent_ = 0;
  IDispatch* application_ = nullptr;
  IDispatch* record_ = nullptr;
};

}  // namespace qx::e2e

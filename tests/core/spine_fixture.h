#pragma once
// One simulated host process for the spine's tests: system fakes, the stand-in
// registry and code page, a minimal host object model, and the add-in module
// loaded into it.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/addin_module.h"
#include "core/connect.h"
#include "core/sync_engine.h"
#include "fake_host.h"
#include "fake_platform.h"

namespace qx::test {

inline constexpr std::string_view kModuleFolder = "C:\\Program Files\\Quendrilax\\";
inline constexpr std::string_view kDataDirectory =
    "C:\\Users\\alice\\AppData\\Roaming\\Vantrosse\\";

class SpineTest : public ::testing::Test {
 protected:
  SpineTest() {
    application->ns->folders.clear();
    // The host disconnects the add-in as soon as it sets Connect to false.
    addIn->onDisconnect = [this] {
      ++selfDisconnections;
      if (connection) connection->onDisconnection(1);
    };
  }

  // Loads the connection object and connects it; the result of OnConnection.
  Hresult connect() {
    if (!connection) connection = module.createConnect();
    return connection->onConnection(application, 0, addIn);
  }
  Hresult connectAndStart() {
    Hresult status = connect();
    connection->onStartupComplete();
    return status;
  }

  WindowHandle timerWindow() const { return connection->hiddenWindow().handle(); }
  std::optional<std::uint32_t> timerInterval() const { return windows.timer(timerWindow()); }
  bool tick() { return windows.fire(timerWindow()); }
  SyncEngine* engine() const { return module.engine(); }

  std::string debugLog() const {
    return files.text(std::string(kModuleFolder) + "debug.log").value_or("");
  }
  std::string errorLog() const {
    return files.text(std::string(kModuleFolder) + "error.log").value_or("");
  }
  // The debug log's entries without their time stamps.
  std::vector<std::string> debugEntries() const {
    std::vector<std::string> entries;
    std::string log = debugLog();
    std::size_t start = 0;
    while (start < log.size()) {
      std::size_t arrow = log.find(" -> ", start);
      if (arrow == std::string::npos) break;
      std::size_t next = log.find(" -> ", arrow + 4);
      // An entry ends at the line break before the next stamp.
      std::size_t end = next == std::string::npos ? log.size() : log.rfind('\n', next) + 1;
      entries.push_back(log.substr(arrow + 4, end - arrow - 5));
      start = end;
    }
    return entries;
  }

  std::shared_ptr<FakeFolder> addHostFolder(std::u16string entryId, std::u16string storeId,
                                            std::u16string name) {
    auto folder = std::make_shared<FakeFolder>(faults, entryId, storeId, std::move(name));
    application->ns->folders[entryId] = folder;
    return folder;
  }
  void configureFolder(std::string_view entryId, std::string_view storeId,
                       std::string_view shareName) {
    const std::string path = "Software\\Vantrosse\\Quendrilax\\Folders\\" + std::string(entryId);
    registry.putDword(reg::kCurrentUser, path, "used", 1);
    registry.putString(reg::kCurrentUser, path, "SID", storeId);
    registry.putString(reg::kCurrentUser, path, "ShareName", shareName);
  }
  void setDebug(std::uint32_t value) {
    registry.putDword(reg::kCurrentUser, "Software\\Vantrosse\\Quendrilax\\Config", "debug", value);
  }

  sim::Faults faults;
  sim::RegistrySim registry{faults};
  sim::CodePageSim codePage{faults};
  FakeFiles files{faults};
  FakeShell shell{faults};
  FakeClock clock{faults};
  FakeLocale locale{faults};
  FakeGuids guids;
  FakeWindows windows{faults};
  FakeSafeLibrary safeLibrary;
  Platform platform{registry, windows, shell, files, clock, locale, guids, codePage, safeLibrary};
  AddinModule module{platform};
  std::shared_ptr<FakeApplication> application = std::make_shared<FakeApplication>(faults);
  std::shared_ptr<FakeComAddIn> addIn = std::make_shared<FakeComAddIn>();
  std::unique_ptr<CConnect> connection;
  int selfDisconnections = 0;
};

}  // namespace qx::test

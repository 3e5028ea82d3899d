// The spine against the full stand-in host: real timers on the virtual clock,
// message boxes whose modal loops deliver ticks and posted events, the mail
// client's connection points and the add-in record that disconnects us.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "core/addin_module.h"
#include "core/connect.h"
#include "core/sync_engine.h"
#include "sim/host_file_system.h"
#include "sim/office/host_process.h"
#include "sim/registry_sim.h"
#include "sim/ui_thread.h"

namespace qx::test {
namespace {

class SimulatedHost : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = std::filesystem::temp_directory_path() /
            ("qx-spine-" + std::to_string(::getpid()) + "-" + info->name());
    std::filesystem::remove_all(root_);
  }
  void TearDown() override {
    connection.reset();
    module.reset();
    host.reset();
    std::filesystem::remove_all(root_);
  }

  void createHost(sim::UserSetup setup) {
    setup.name = "alice";
    setup.address = "alice@example.org";
    host = std::make_unique<sim::HostProcess>(clock, setup, root_);
    host->onDisconnectRequest([this] {
      ++disconnectRequests;
      if (disconnectOnRequest && connection) connection->onDisconnection(1);
    });
  }
  void startHost(sim::UserSetup setup) {
    createHost(std::move(setup));
    connectAddin();
  }
  void connectAddin() {
    host->startRun();
    module = std::make_unique<AddinModule>(host->platform());
    host->markAddInConnected();
    connection = module->createConnect();
    ASSERT_EQ(connection->onConnection(host->applicationObject(), 0, host->addInObject()), hr::kOk);
    connection->onStartupComplete();
    host->thread().pump();
  }
  std::optional<std::uint32_t> interval() const {
    return host->timerInterval(connection->hiddenWindow().handle(), 1);
  }
  std::string debugLog() const {
    return host->disk().readText(host->moduleFolder() + "debug.log").value_or("");
  }

  sim::VirtualClock clock;
  std::filesystem::path root_;
  std::unique_ptr<sim::HostProcess> host;
  std::unique_ptr<AddinModule> module;
  std::unique_ptr<CConnect> connection;
  int disconnectRequests = 0;
  bool disconnectOnRequest = true;
};

TEST_F(SimulatedHost, TimerRunsThroughCatchUpIntoTheSteadyPhase) {
  startHost({});
  EXPECT_EQ(interval(), 10000u);
  clock.advance(9999);
  EXPECT_EQ(module->counters().ticks, 0);
  clock.advance(1);
  EXPECT_EQ(module->counters().ticks, 1);
  EXPECT_EQ(interval(), 3000u);
  clock.advance(3000);
  EXPECT_EQ(module->counters().inboxScans, 1);
  EXPECT_EQ(interval(), 60000u);
  clock.advance(4 * 60000);
  EXPECT_EQ(module->counters().inboxScans, 3);
  host->raiseNewMail();
  host->thread().pump();
  EXPECT_EQ(module->counters().inboxScans, 4);
}

TEST_F(SimulatedHost, DebugSwitchStartsTheLogWithTheHostVersion) {
  sim::UserSetup setup;
  setup.hostVersion = "11.0.0.5510";
  setup.language = lang::kGerman;
  createHost(setup);
  host->registry().putDword(reg::kCurrentUser, "Software\\Vantrosse\\Quendrilax\\Config", "debug",
                            1);
  connectAddin();
  const std::string log = debugLog();
  const std::size_t first = log.find(" -> Debugger started\n");
  const std::size_t second = log.find(" -> 11.0.0.5510\n");
  ASSERT_NE(first, std::string::npos) << log;
  ASSERT_NE(second, std::string::npos) << log;
  EXPECT_LT(first, second);
  // A German stamp: day.month.year hours:minutes:seconds.
  EXPECT_EQ(log.substr(0, 20).find_first_of('.'), 2u) << log;
}

TEST_F(SimulatedHost, TicksAndNewMailInsideAnOpenBoxAreSkipped) {
  sim::UserSetup setup;
  setup.libraryInstalled = false;
  startHost(setup);
  disconnectOnRequest = false;
  clock.advance(10000);  // catch-up tick: done, 3 s
  ASSERT_EQ(interval(), 3000u);
  // The first steady tick's scan shows the library box, which stays open for
  // ten virtual seconds; the timer at 3 s and a new mail come in meanwhile.
  host->queueAnswer(win::kIdOk, 10000);
  host->onMessageBox([this](const sim::ShownBox&) { host->raiseNewMail(); });
  clock.advance(3000);
  EXPECT_EQ(host->shownBoxes().size(), 1u);
  EXPECT_EQ(module->counters().inboxScans, 1);
  EXPECT_EQ(module->counters().skippedTicks, 3);
  EXPECT_EQ(disconnectRequests, 1);
  EXPECT_EQ(interval(), 60000u);
  EXPECT_FALSE(module->engineBusy());
}

TEST_F(SimulatedHost, MissingLibraryDisconnectsTheAddInFromInsideItsTick) {
  sim::UserSetup setup;
  setup.libraryInstalled = false;
  startHost(setup);
  clock.advance(13000);
  EXPECT_EQ(disconnectRequests, 1);
  EXPECT_EQ(module->engine(), nullptr);
  EXPECT_FALSE(interval());
  const auto boxes = host->shownBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, u"Hessaplex is not right registered");
  EXPECT_EQ(boxes[0].text, u"Quendrilax");
  EXPECT_EQ(host->disk().readText(host->moduleFolder() + "error.log"),
            "Hessaplex may be not registered\n");
  // Time goes on without the add-in.
  clock.advance(120000);
  EXPECT_EQ(module->counters().inboxScans, 1);
}

}  // namespace
}  // namespace qx::test

#include "sim/office/office.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/mail_addin.h"
#include "platform/mail_application.h"
#include "platform/mail_ids.h"
#include "platform/safe_library.h"
#include "platform/window_system.h"
#include "sim/clock_sim.h"
#include "sim/host_file_system.h"
#include "sim/mail/mail_client.h"
#include "sim/registry_sim.h"

namespace qx::sim {
namespace {

// Counts the events it hears.
struct TickSink : EventSink {
  Hresult invoke(std::int32_t, std::span<const Variant>) override {
    ++events;
    return hr::kOk;
  }
  int events = 0;
};

class OfficeTest : public ::testing::Test {
 protected:
  void TearDown() override {
    office_.reset();
    std::filesystem::remove_all(root_);
  }

  UserSetup setup(std::string name) {
    UserSetup user;
    user.name = name;
    user.address = name + "@office.test";
    return user;
  }

  // CTest runs these tests side by side: each gets a disk of its own.
  std::filesystem::path root_ = std::filesystem::temp_directory_path() /
                                ("qx_office_test_" + std::to_string(::getpid()) + "_" +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::unique_ptr<Office> office_ = std::make_unique<Office>(root_);
};

TEST_F(OfficeTest, EachUserHasAMachineOfTheirOwn) {
  HostProcess& alice = office_->addUser(setup("alice"));
  HostProcess& bob = office_->addUser(setup("bob"));
  EXPECT_EQ(office_->find("bob"), &bob);
  EXPECT_EQ(office_->find("carol"), nullptr);

  alice.registry().putDword(reg::kCurrentUser, "Software\\X", "v", 1);
  EXPECT_TRUE(alice.registry().hasKey(reg::kCurrentUser, "Software\\X"));
  EXPECT_FALSE(bob.registry().hasKey(reg::kCurrentUser, "Software\\X"));

  ASSERT_TRUE(alice.disk().writeText(alice.moduleFolder() + "debug.log", "a"));
  EXPECT_FALSE(bob.disk().isFile(bob.moduleFolder() + "debug.log"));
  EXPECT_EQ(alice.moduleFolder(), "C:\\Program Files\\Vantrosse\\Quendrilax\\");
  EXPECT_EQ(alice.moduleFile(), "C:\\Program Files\\Vantrosse\\Quendrilax\\Quendrilax.dll");
  EXPECT_EQ(bob.appDataFolder(), "C:\\Users\\bob\\AppData\\Roaming");

  // A call failed on one machine leaves the other alone.
  alice.faults().fail("registry.openKey", win::kAccessDenied, 0);
  bob.registry().putKey(reg::kCurrentUser, "Software");
  RegKey key = reg::kNoKey;
  EXPECT_EQ(bob.platform().registry.openKey(reg::kCurrentUser, "Software", reg::kKeyRead, key),
            win::kSuccess);
  bob.platform().registry.closeKey(key);
}

TEST_F(OfficeTest, SetupReachesThePortsTheAddinSees) {
  UserSetup old = setup("old");
  old.hostVersion = "10.0.0.4024";
  old.language = lang::kGerman;
  old.appDataAvailable = false;
  old.libraryInstalled = false;
  HostProcess& host = office_->addUser(old);
  const Platform& platform = host.platform();

  auto application = host.applicationObject()->queryApplication();
  ASSERT_TRUE(application.has_value());
  EXPECT_EQ((*application)->version().value_or(u""), u"10.0.0.4024");
  EXPECT_EQ(platform.locale.threadLanguage(), lang::kGerman);
  std::string appData;
  EXPECT_TRUE(failed(platform.shell.folderPath(shell::kCsidlAppData, appData)));
  auto safeMail = createSafeMailItem(platform.safeLibrary);
  ASSERT_FALSE(safeMail.has_value());
  EXPECT_EQ(safeMail.error(), hr::kClassNotRegistered);

  HostProcess& fine = office_->addUser(setup("fine"));
  EXPECT_TRUE(succeeded(fine.platform().shell.folderPath(shell::kCsidlAppData, appData)));
  EXPECT_TRUE(createSafeMailItem(fine.platform().safeLibrary).has_value());
}

TEST_F(OfficeTest, ConnectFalseReachesTheLoaderEveryTimeTheAddinIsConnected) {
  HostProcess& host = office_->addUser(setup("a"));
  int requests = 0;
  host.onDisconnectRequest([&]() { ++requests; });
  host.startRun();
  host.markAddInConnected();
  auto addIn = host.addInObject()->queryComAddIn();
  ASSERT_TRUE(addIn.has_value());
  EXPECT_EQ((*addIn)->setConnect(false), hr::kOk);
  EXPECT_EQ(requests, 1);
  // Connected again by the host: the next request is heard as well.
  host.markAddInConnected();
  (*addIn)->setConnect(false);
  EXPECT_EQ(requests, 2);
}

TEST_F(OfficeTest, MessageBoxesAreSeenAsTheyComeUpWithTheirScriptedAnswers) {
  HostProcess& host = office_->addUser(setup("a"));
  std::vector<ShownBox> seen;
  host.onMessageBox([&](const ShownBox& box) { seen.push_back(box); });
  host.queueAnswer(win::kIdNo, 2000);
  const int answer =
      host.platform().windows.messageBox(kNoWindow, u"text", u"caption", win::kMbYesNo);
  EXPECT_EQ(answer, win::kIdNo);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].caption, u"caption");
  EXPECT_EQ(seen[0].answer, win::kIdNo);
  EXPECT_EQ(seen[0].openMs, 2000);
  // The box kept the office's clock running while it was open.
  EXPECT_EQ(office_->clock().nowMs(), 2000);
  ASSERT_EQ(host.shownBoxes().size(), 1u);
  EXPECT_EQ(host.shownBoxes()[0].type, win::kMbYesNo);
}

TEST_F(OfficeTest, ThePostOfficeCarriesMailBetweenTheUsers) {
  HostProcess& alice = office_->addUser(setup("alice"));
  HostProcess& bob = office_->addUser(setup("bob"));
  alice.startRun();  // a stopped host hands over nothing
  auto& outbox = alice.mail();
  mail::ItemData data = mail::ItemData::newMail();
  data.to = u"BOB@office.test";
  data.subject = u"Hi";
  outbox.core().insertItem(outbox.core().defaultStore(),
                           outbox.defaultFolderId(default_folder::kOutbox), std::move(data), true);
  office_->postOffice().runTransport();
  const auto inbox = bob.mail().folderItems(bob.mail().defaultFolderId(default_folder::kInbox));
  ASSERT_EQ(inbox.size(), 1u);
  EXPECT_EQ(inbox[0].data.subject, u"Hi");
}

// A window sink counting its timer ticks, with when each came.
struct TickCounter : WindowSink {
  explicit TickCounter(VirtualClock& clock) : clock(clock) {}
  void onTimer(WindowHandle, std::uint32_t) override { ticksAtMs.push_back(clock.nowMs()); }
  VirtualClock& clock;
  std::vector<std::int64_t> ticksAtMs;
};

TEST_F(OfficeTest, AMachineClockAheadOrBehindMovesEveryReadingButNotItsTimers) {
  HostProcess& fast = office_->addUser(setup("fast"));
  HostProcess& slow = office_->addUser(setup("slow"));
  HostProcess& right = office_->addUser(setup("right"));
  fast.setClockDriftMs(90'000);
  slow.setClockDriftMs(-2'500);
  fast.startRun();
  TickCounter ticks(office_->clock());
  WindowHandle window = kNoWindow;
  ASSERT_EQ(fast.platform().windows.createWindow(kNoWindow, 0, ticks, window), win::kSuccess);
  ASSERT_TRUE(fast.platform().windows.setTimer(window, 1, 1000));
  office_->clock().advance(2000);

  const std::int64_t officeMs = kDefaultStartSeconds * 1000 + 2000;
  EXPECT_EQ(fast.platform().clock.nowMs(), officeMs + 90'000);
  EXPECT_EQ(fast.platform().clock.now(), officeMs / 1000 + 90);
  EXPECT_EQ(slow.platform().clock.nowMs(), officeMs - 2'500);
  // Whole seconds round down, before the epoch of the office's clock too.
  EXPECT_EQ(slow.platform().clock.now(), (officeMs - 2'500) / 1000);
  EXPECT_EQ(right.platform().clock.nowMs(), officeMs);
  EXPECT_EQ(fast.clockReadingMs(), officeMs + 90'000);
  // The reading for the scenario is no call of the port, so no fault takes it.
  slow.faults().fail("clock.nowMs", hr::kFail, 1);
  EXPECT_EQ(slow.clockReadingMs(), officeMs - 2'500);
  EXPECT_EQ(slow.platform().clock.nowMs(), -1);
  // The timer ticks by the office's time, not by the machine's reading.
  EXPECT_EQ(ticks.ticksAtMs, (std::vector<std::int64_t>{1000, 2000}));
}

TEST_F(OfficeTest, ACrashEndsTheRunWithoutDeliveringAnythingAndKeepsWhatWasSaved) {
  HostProcess& host = office_->addUser(setup("a"));
  host.startRun();
  auto& mail = host.mail();
  const std::u16string saved =
      mail.addItem(mail.defaultFolderId(default_folder::kTasks), mail::ItemData::newTask());
  mail::ItemData waiting = mail::ItemData::newMail();
  waiting.subject = u"waiting";
  mail.core().insertItem(mail.core().defaultStore(),
                         mail.defaultFolderId(default_folder::kOutbox), std::move(waiting), true);
  TickCounter ticks(office_->clock());
  WindowHandle window = kNoWindow;
  ASSERT_EQ(host.platform().windows.createWindow(kNoWindow, 0, ticks, window), win::kSuccess);
  ASSERT_TRUE(host.platform().windows.setTimer(window, 1, 1000));
  auto application = *host.applicationObject()->queryApplication();
  auto sink = std::make_shared<TickSink>();
  ASSERT_TRUE((*application->findConnectionPoint(iid::kApplicationEvents))->advise(sink));
  int posted = 0;
  host.thread().post([&]() { ++posted; });
  host.raiseNewMail();

  host.crash();
  EXPECT_FALSE(host.running());
  office_->clock().advance(5000);
  host.thread().pump();
  EXPECT_EQ(posted, 0);
  EXPECT_EQ(sink->events, 0);
  EXPECT_TRUE(ticks.ticksAtMs.empty());
  EXPECT_FALSE(host.platform().windows.isWindow(window));
  EXPECT_EQ(mail.folderItems(mail.defaultFolderId(default_folder::kTasks)).size(), 1u);
  EXPECT_EQ(mail.folderItems(mail.defaultFolderId(default_folder::kOutbox)).size(), 1u);
  EXPECT_FALSE(saved.empty());

  // The next run is like any other: a new listener hears the host again.
  host.startRun();
  auto again = std::make_shared<TickSink>();
  ASSERT_TRUE((*application->findConnectionPoint(iid::kApplicationEvents))->advise(again));
  host.raiseNewMail();
  host.thread().pump();
  EXPECT_EQ(again->events, 1);
  EXPECT_EQ(sink->events, 0);
}

}  // namespace
}  // namespace qx::sim

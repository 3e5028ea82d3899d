#include "core/connect.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/hidden_window.h"
#include "core/host_event_sinks.h"
#include "sim/clock_sim.h"
#include "sim/codepage_sim.h"
#include "sim/files_sim.h"
#include "sim/guid_sim.h"
#include "support/host_fixture.h"

namespace qx::testsupport {
namespace {

class Connection : public HostTest {
 protected:
  std::size_t subscriptions() {
    return mail().applicationSubscriptions() + mail().namespaceSubscriptions();
  }
};

TEST_F(Connection, HiddenWindowExistsBeforeConnectionAndIsHidden) {
  connection = module->createConnect();
  const WindowHandle window = timerWindow();
  ASSERT_TRUE(windows().isWindow(window));
  EXPECT_EQ(windows().parentOf(window), windows().desktopWindow());
  EXPECT_FALSE(windows().isVisible(window));
  EXPECT_FALSE(timerInterval());
}

TEST_F(Connection, SetsUpEngineSubscriptionsPathsAndTimer) {
  ASSERT_EQ(connect(), hr::kOk);
  ASSERT_NE(engine(), nullptr);
  EXPECT_EQ(mail().applicationSubscriptions(), 1u);
  EXPECT_EQ(mail().namespaceSubscriptions(), 1u);
  EXPECT_NE(connection->applicationEventsCookie(), kNoSubscription);
  EXPECT_NE(connection->namespaceEventsCookie(), kNoSubscription);
  // Deleted Items is watched from the start.
  ASSERT_NE(engine()->deletedItemsWatch(), nullptr);
  EXPECT_TRUE(engine()->deletedItemsWatch()->sink()->isDeletedItemsSink());
  EXPECT_EQ(mail().itemSubscriptions(deletedItemsId()), 1u);

  const std::string data = dataDirectory();
  EXPECT_EQ(data, "C:\\Users\\alice\\AppData\\Roaming\\Vantrosse\\");
  EXPECT_EQ(engine()->dataDirectory(), data);
  EXPECT_EQ(engine()->shareFilePath(), data + "share.syn");
  EXPECT_EQ(engine()->compressedFilePath(), data + "sync.huf");
  EXPECT_EQ(engine()->messageFilePath(), data + "sync.msg");
  EXPECT_EQ(engine()->diagnostics().debugLogPath(), moduleFolder() + "debug.log");
  EXPECT_EQ(engine()->diagnostics().errorLogPath(), moduleFolder() + "error.log");
  EXPECT_EQ(engine()->timerWindow(), timerWindow());
  // The data directory did not exist: it was created.
  EXPECT_TRUE(disk().isFolder(data));
  // processFolders starts the catch-up phase at one second; start-up complete
  // replaces it with ten.
  EXPECT_FALSE(engine()->basicSyncDone());
  EXPECT_EQ(timerInterval(), 1000u);
  EXPECT_EQ(connection->onStartupComplete(), hr::kOk);
  EXPECT_EQ(timerInterval(), 10000u);
  EXPECT_EQ(errorLog(), "");
}

TEST_F(Connection, ExistingDataDirectoryBecomesCurrentWithoutCreation) {
  ASSERT_TRUE(disk().makeFolders(dataDirectory()));
  ASSERT_EQ(connect(), hr::kOk);
  EXPECT_EQ(disk().currentDirectory(), disk().fullPath(dataDirectory()).value());
  EXPECT_EQ(faults.calls("shell.createDirectory"), 0);
}

TEST_F(Connection, DataDirectoryThatCannotBeCreatedIsIgnored) {
  faults.fail("shell.createDirectory", hr::kFail);
  ASSERT_EQ(connect(), hr::kOk);
  EXPECT_EQ(engine()->dataDirectory(), dataDirectory());
  EXPECT_FALSE(disk().isFolder(dataDirectory()));
  EXPECT_EQ(disk().currentDirectory(), "C:\\");
}

TEST_F(Connection, MissingApplicationDataFolderPutsWorkingFilesBesideTheModule) {
  shell().setAppDataAvailable(false);
  ASSERT_EQ(connect(), hr::kOk);
  EXPECT_EQ(engine()->dataDirectory(), moduleFolder());
  EXPECT_EQ(engine()->shareFilePath(), moduleFolder() + "share.syn");
  EXPECT_EQ(engine()->compressedFilePath(), moduleFolder() + "sync.huf");
  EXPECT_EQ(engine()->messageFilePath(), moduleFolder() + "sync.msg");
  EXPECT_EQ(faults.calls("shell.createDirectory"), 0);
  EXPECT_EQ(disk().currentDirectory(), "C:\\");
}

TEST_F(Connection, ModuleOfAnotherNameKeepsItsOwnFolder) {
  // The same machine with the module installed elsewhere under another name.
  sim::ShellSim otherShell(disk(), faults, "C:\\Users\\alice\\AppData\\Roaming",
                           "D:\\Tools\\Sync\\Quendrilax2.dll");
  const Platform& base = host.platform();
  Platform platform{base.registry, base.windows, otherShell,    base.files,      base.clock,
                    base.locale,   base.guids,   base.codePage, base.safeLibrary};
  AddinModule other(platform);
  auto otherConnection = other.createConnect();
  ASSERT_EQ(otherConnection->onConnection(host.applicationObject(), 0, host.addInObject()),
            hr::kOk);
  EXPECT_EQ(other.engine()->diagnostics().debugLogPath(), "D:\\Tools\\Sync\\debug.log");
  EXPECT_EQ(other.engine()->diagnostics().errorLogPath(), "D:\\Tools\\Sync\\error.log");
  otherConnection->onDisconnection(0);
}

TEST_F(Connection, LogsOfThePreviousConnectionAreDeleted) {
  putFile(moduleFolder() + "debug.log", "old debug\n");
  putFile(moduleFolder() + "error.log", "old error\n");
  ASSERT_EQ(connect(), hr::kOk);
  EXPECT_FALSE(fileText(moduleFolder() + "debug.log"));
  EXPECT_FALSE(fileText(moduleFolder() + "error.log"));
}

TEST_F(Connection, LogsGoToTheDataDirectoryWhenTheModulesFolderRefusesWrites) {
  struct Case {
    bool refused;
    std::string logFolder;
  };
  const Case cases[] = {{false, moduleFolder()}, {true, dataDirectory()}};
  setDebug(1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.refused);
    putFile(c.logFolder + "debug.log", "old debug\n");
    putFile(c.logFolder + "error.log", "old error\n");
    if (c.refused) {
      disk().remove(moduleFolder() + "debug.log");
      disk().remove(moduleFolder() + "error.log");
      disk().refuseWrites(moduleFolder());
    }
    connection = module->createConnect();
    ASSERT_EQ(connect(), hr::kOk);
    engine()->diagnostics().reportError("\nput_To()");
    EXPECT_EQ(engine()->diagnostics().debugLogPath(), c.logFolder + "debug.log");
    EXPECT_EQ(engine()->diagnostics().errorLogPath(), c.logFolder + "error.log");
    // Same names, same content, started afresh, wherever they are.
    const std::vector<std::string> entries =
        debugLogEntries(fileText(c.logFolder + "debug.log").value_or(""));
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front(), "Debugger started");
    EXPECT_NE(std::find(entries.begin(), entries.end(), "--ERROR--"), entries.end());
    EXPECT_EQ(fileText(c.logFolder + "error.log"), "\nput_To()\n");
    if (c.refused) {
      EXPECT_EQ(disk().list(moduleFolder()), std::vector<std::string>{"Quendrilax.dll"});
    }
    EXPECT_EQ(connection->onDisconnection(0), hr::kOk);
  }
}

struct FailedStep {
  const char* operation;
  int occurrence;
  Hresult status;
  bool appSubscribed;  // the application events stay subscribed until disconnection
};

TEST_F(Connection, FailingStepEndsConnectionWithItsStatusAndNoEngine) {
  const FailedStep steps[] = {
      {"mail.Application.GetNamespace", 1, hr::kMapiNotFound, false},
      {"mail.ConnectionPoint.Advise", 1, hr::kNoConnection, false},  // application events
      {"mail.ConnectionPoint.Advise", 2, hr::kOutOfMemory, true},    // namespace events
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.operation + std::to_string(step.occurrence));
    putFile(moduleFolder() + "debug.log", "old\n");
    faults.fail(step.operation, step.status, step.occurrence);
    connection = module->createConnect();
    EXPECT_EQ(connect(), step.status);
    EXPECT_EQ(engine(), nullptr);
    EXPECT_FALSE(timerInterval());
    EXPECT_EQ(mail().applicationSubscriptions(), step.appSubscribed ? 1u : 0u);
    EXPECT_EQ(mail().namespaceSubscriptions(), 0u);
    // Nothing beyond the failed step ran: the old log is still there.
    EXPECT_TRUE(fileText(moduleFolder() + "debug.log"));
    EXPECT_EQ(connection->onDisconnection(0), hr::kOk);
    EXPECT_EQ(subscriptions(), 0u);
    faults.clearAll();
  }
}

TEST_F(Connection, ApplicationArgumentThatIsNoApplicationIsRefused) {
  EXPECT_EQ(connectWith(host.addInObject(), host.addInObject()), hr::kNoInterface);
  EXPECT_EQ(connectWith(nullptr, nullptr), hr::kNoInterface);
  EXPECT_EQ(engine(), nullptr);
}

TEST_F(Connection, HiddenWindowThatCannotBeCreatedIsReportedAndNoTimerIsTouched) {
  std::vector<std::string> traces;
  module->setTrace([&](std::string_view note) { traces.emplace_back(note); });
  faults.fail("windows.createWindow", win::kNotEnoughMemory, 0);
  ASSERT_EQ(connectAndStart(), hr::kOk);
  ASSERT_NE(engine(), nullptr);
  EXPECT_EQ(timerWindow(), kNoWindow);
  EXPECT_EQ(engine()->timerWindow(), kNoWindow);
  // No timer call went to the host: on a real desktop a timer set on no
  // window is a thread timer that nothing would ever kill.
  EXPECT_EQ(faults.calls("windows.setTimer"), 0);
  EXPECT_EQ(faults.calls("windows.killTimer"), 0);
  EXPECT_NE(std::find(traces.begin(), traces.end(), "hidden window not created"), traces.end());
  // processFolders and start-up complete could not start the timer.
  EXPECT_EQ(errorLog(), std::string(kTimerNotSet) + "\n" + std::string(kTimerNotSet) + "\n");
  // A later catch-up phase cannot start it either, and says so again.
  engine()->processFolders(true);
  EXPECT_EQ(faults.calls("windows.setTimer"), 0);
  EXPECT_EQ(connection->onDisconnection(0), hr::kOk);
  EXPECT_EQ(faults.calls("windows.killTimer"), 0);
}

TEST_F(Connection, TimerThatCannotBeSetIsReported) {
  faults.fail("windows.setTimer", hr::kFail, 1);  // processFolders' one second
  ASSERT_EQ(connect(), hr::kOk);
  EXPECT_EQ(errorLog(), std::string(kTimerNotSet) + "\n");
  EXPECT_FALSE(timerInterval());
  faults.fail("windows.setTimer", hr::kFail, 1);  // start-up complete's ten seconds
  connection->onStartupComplete();
  EXPECT_EQ(errorLog(), std::string(kTimerNotSet) + "\n" + std::string(kTimerNotSet) + "\n");
}

TEST_F(Connection, DisconnectionTearsDownInOrderAndDeletesWorkingFiles) {
  const std::u16string team = addSharedFolder(u"Team tasks", "team");
  ASSERT_EQ(connectAndStart(), hr::kOk);
  ASSERT_EQ(mail().itemSubscriptions(team), 1u);
  auto folder = hostFolder(team);
  module->onOptionsPagesAdd(nullptr, folder);
  EXPECT_EQ(module->pageFolder(), folder);

  const std::string queue = ansi(team) + ".ids";
  for (const std::string& name :
       {std::string("share.syn"), std::string("sync.huf"), std::string("sync.msg"), queue})
    putFile(dataDirectory() + name, "x");
  engine()->diagnostics().reportError("kept");
  const WindowHandle window = timerWindow();

  EXPECT_EQ(connection->onDisconnection(0), hr::kOk);
  EXPECT_EQ(engine(), nullptr);
  EXPECT_FALSE(windows().isWindow(window));
  EXPECT_FALSE(host.timerInterval(window, 1));
  for (auto name : {"share.syn", "sync.huf", "sync.msg"})
    EXPECT_FALSE(fileText(dataDirectory() + name)) << name;
  // Queues outlive the host; logs stay until the next connection.
  EXPECT_TRUE(fileText(dataDirectory() + queue));
  EXPECT_NE(errorLog().find("kept"), std::string::npos);
  // Every subscription ended, the folder watches included.
  EXPECT_EQ(mail().itemSubscriptions(team), 0u);
  EXPECT_EQ(mail().itemSubscriptions(deletedItemsId()), 0u);
  EXPECT_EQ(subscriptions(), 0u);
  EXPECT_EQ(connection->applicationEventsCookie(), kNoSubscription);
  EXPECT_EQ(connection->namespaceEventsCookie(), kNoSubscription);
  EXPECT_EQ(module->pageFolder(), nullptr);
  // A second disconnection finds nothing left to do.
  EXPECT_EQ(connection->onDisconnection(0), hr::kOk);
}

TEST_F(Connection, CodecFileOperationsWorkOnTheDataDirectorysFiles) {
  ASSERT_EQ(connect(), hr::kOk);
  const std::string task = "a task saved as a message file, with some repetition repetition";
  putFile(engine()->shareFilePath(), task);
  ASSERT_TRUE(engine()->compressFile());
  const auto compressed = fileText(dataDirectory() + "sync.huf");
  ASSERT_TRUE(compressed);
  EXPECT_NE(*compressed, task);
  ASSERT_TRUE(engine()->decompressFile());
  EXPECT_EQ(fileText(dataDirectory() + "sync.msg"), task);
}

TEST_F(Connection, ReleasedWithoutDisconnectionStillEndsSubscriptions) {
  ASSERT_EQ(connect(), hr::kOk);
  const WindowHandle window = timerWindow();
  connection.reset();
  EXPECT_FALSE(windows().isWindow(window));
  EXPECT_EQ(subscriptions(), 0u);
}

TEST_F(Connection, HostEventsReachTheModuleOnlyWhileSubscribed) {
  ASSERT_EQ(connectAndStart(), hr::kOk);
  raiseNewMail();
  EXPECT_EQ(module->counters().inboxScans, 1);
  // The application's OptionsPagesAdd (the Options dialog) does nothing; the
  // namespace's (a folder's Properties) replaces the page folder, also with a
  // folder that gets no page.
  const std::u16string mailFolder = mail().createFolder(u"Mail", u"IPM.Note");
  mail().openOptions();
  EXPECT_EQ(module->pageFolder(), nullptr);
  mail().openFolderProperties(mailFolder);
  ASSERT_NE(module->pageFolder(), nullptr);
  EXPECT_EQ(module->pageFolder()->entryId().value(), mailFolder);

  // An event raised while subscribed may reach the sink after the
  // subscription ended: it does nothing then.
  host.raiseNewMail();
  connection->onDisconnection(0);
  pump();
  EXPECT_EQ(module->counters().inboxScans, 1);
}

TEST_F(Connection, EventOfAnotherShapeIsIgnored) {
  NamespaceEventsSink sink(*module);
  auto folder = hostFolder(addTaskFolder(u"Team"));
  EXPECT_EQ(sink.invoke(dispid::kOptionsPagesAdd, std::vector<Variant>{Variant(std::int32_t{1})}),
            hr::kOk);
  EXPECT_EQ(module->pageFolder(), nullptr);
  const std::vector<Variant> args{Variant(std::shared_ptr<Dispatch>()),
                                  Variant(std::shared_ptr<Dispatch>(folder))};
  sink.detach();
  EXPECT_EQ(sink.invoke(dispid::kOptionsPagesAdd, args), hr::kOk);
  EXPECT_EQ(module->pageFolder(), nullptr);
}

}  // namespace
}  // namespace qx::testsupport

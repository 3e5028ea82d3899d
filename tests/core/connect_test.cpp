#include "core/connect.h"

#include <gtest/gtest.h>

#include "spine_fixture.h"

namespace qx::test {
namespace {

class Connection : public SpineTest {};

TEST_F(Connection, HiddenWindowExistsBeforeConnectionAndIsHidden) {
  connection = module.createConnect();
  const auto* window = windows.window(timerWindow());
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->parent, FakeWindows::kDesktop);
  EXPECT_EQ(window->style, 0x56000000u);
  EXPECT_FALSE(window->visible);
  EXPECT_FALSE(timerInterval());
}

TEST_F(Connection, SetsUpEngineSubscriptionsPathsAndTimer) {
  ASSERT_EQ(connect(), hr::kOk);
  ASSERT_NE(engine(), nullptr);
  EXPECT_EQ(application->events->sinks.size(), 1u);
  EXPECT_EQ(application->ns->events->sinks.size(), 1u);
  EXPECT_NE(connection->applicationEventsCookie(), kNoSubscription);
  EXPECT_NE(connection->namespaceEventsCookie(), kNoSubscription);
  // Deleted Items is watched from the start.
  ASSERT_NE(engine()->deletedItemsWatch(), nullptr);
  EXPECT_TRUE(engine()->deletedItemsWatch()->sink()->isDeletedItemsSink());
  EXPECT_EQ(application->ns->deletedItems->itemEvents->sinks.size(), 1u);

  EXPECT_EQ(engine()->dataDirectory(), kDataDirectory);
  EXPECT_EQ(engine()->shareFilePath(), std::string(kDataDirectory) + "share.syn");
  EXPECT_EQ(engine()->compressedFilePath(), std::string(kDataDirectory) + "sync.huf");
  EXPECT_EQ(engine()->messageFilePath(), std::string(kDataDirectory) + "sync.msg");
  EXPECT_EQ(engine()->diagnostics().debugLogPath(), std::string(kModuleFolder) + "debug.log");
  EXPECT_EQ(engine()->diagnostics().errorLogPath(), std::string(kModuleFolder) + "error.log");
  EXPECT_EQ(engine()->timerWindow(), timerWindow());
  // The data directory did not exist: it was created.
  EXPECT_TRUE(shell.directories.contains(lowered(kDataDirectory)));
  // processFolders starts the catch-up phase at one second; start-up complete
  // replaces it with ten.
  EXPECT_FALSE(engine()->basicSyncDone());
  EXPECT_EQ(timerInterval(), 1000u);
  EXPECT_EQ(connection->onStartupComplete(), hr::kOk);
  EXPECT_EQ(timerInterval(), 10000u);
  EXPECT_EQ(connection->onAddInsUpdate(), hr::kOk);
  EXPECT_EQ(connection->onBeginShutdown(), hr::kOk);
}

TEST_F(Connection, ExistingDataDirectoryBecomesCurrentWithoutCreation) {
  shell.directories.insert(lowered(kDataDirectory));
  ASSERT_EQ(connect(), hr::kOk);
  EXPECT_EQ(shell.current, kDataDirectory);
  EXPECT_EQ(shell.createCalls, 0);
}

TEST_F(Connection, DataDirectoryThatCannotBeCreatedIsIgnored) {
  faults.fail("shell.createDirectory", hr::kFail);
  ASSERT_EQ(connect(), hr::kOk);
  EXPECT_EQ(engine()->dataDirectory(), kDataDirectory);
  EXPECT_EQ(shell.current, "C:\\");
}

TEST_F(Connection, MissingApplicationDataFolderPutsWorkingFilesBesideTheModule) {
  shell.appDataAvailable = false;
  ASSERT_EQ(connect(), hr::kOk);
  EXPECT_EQ(engine()->dataDirectory(), kModuleFolder);
  EXPECT_EQ(engine()->shareFilePath(), std::string(kModuleFolder) + "share.syn");
  EXPECT_EQ(engine()->compressedFilePath(), std::string(kModuleFolder) + "sync.huf");
  EXPECT_EQ(engine()->messageFilePath(), std::string(kModuleFolder) + "sync.msg");
  EXPECT_EQ(shell.createCalls, 0);
  EXPECT_EQ(shell.current, "C:\\");
}

TEST_F(Connection, ModuleOfAnotherNameKeepsItsOwnFolder) {
  shell.modulePath = "D:\\Tools\\Sync\\Quendrilax2.dll";
  ASSERT_EQ(connect(), hr::kOk);
  EXPECT_EQ(engine()->diagnostics().debugLogPath(), "D:\\Tools\\Sync\\debug.log");
  EXPECT_EQ(engine()->diagnostics().errorLogPath(), "D:\\Tools\\Sync\\error.log");
}

TEST_F(Connection, LogsOfThePreviousConnectionAreDeleted) {
  files.put(std::string(kModuleFolder) + "debug.log", "old debug\n");
  files.put(std::string(kModuleFolder) + "error.log", "old error\n");
  ASSERT_EQ(connect(), hr::kOk);
  EXPECT_FALSE(files.text(std::string(kModuleFolder) + "debug.log"));
  EXPECT_FALSE(files.text(std::string(kModuleFolder) + "error.log"));
}

struct FailedStep {
  const char* operation;
  Hresult status;
  bool appSubscribed;  // the application events stay subscribed until disconnection
};

TEST_F(Connection, FailingStepEndsConnectionWithItsStatusAndNoEngine) {
  const FailedStep steps[] = {
      {"application.GetNamespace", hr::kMapiNotFound, false},
      {"applicationEvents.advise", hr::kNoConnection, false},
      {"namespaceEvents.advise", hr::kOutOfMemory, true},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.operation);
    files.put(std::string(kModuleFolder) + "debug.log", "old\n");
    faults.fail(step.operation, step.status);
    connection = module.createConnect();
    EXPECT_EQ(connect(), step.status);
    EXPECT_EQ(engine(), nullptr);
    EXPECT_FALSE(timerInterval());
    EXPECT_EQ(application->events->sinks.size(), step.appSubscribed ? 1u : 0u);
    EXPECT_TRUE(application->ns->events->sinks.empty());
    // Nothing beyond the failed step ran: the old log is still there.
    EXPECT_TRUE(files.text(std::string(kModuleFolder) + "debug.log"));
    EXPECT_EQ(connection->onDisconnection(0), hr::kOk);
    EXPECT_TRUE(application->events->sinks.empty());
    faults.clearAll();
  }
}

TEST_F(Connection, ApplicationArgumentThatIsNoApplicationIsRefused) {
  connection = module.createConnect();
  EXPECT_EQ(connection->onConnection(addIn, 0, addIn), hr::kNoInterface);
  EXPECT_EQ(connection->onConnection(nullptr, 0, nullptr), hr::kNoInterface);
  EXPECT_EQ(engine(), nullptr);
}

TEST_F(Connection, DisconnectionTearsDownInOrderAndDeletesWorkingFiles) {
  addHostFolder(u"F1", u"S1", u"Team tasks");
  configureFolder("F1", "S1", "team");
  ASSERT_EQ(connectAndStart(), hr::kOk);
  auto folder = application->ns->folders[u"F1"];
  ASSERT_EQ(folder->itemEvents->sinks.size(), 1u);
  module.onOptionsPagesAdd(nullptr, folder);
  EXPECT_EQ(module.pageFolder(), folder);

  for (auto name : {"share.syn", "sync.huf", "sync.msg", "F1.ids"})
    files.put(std::string(kDataDirectory) + name, "x");
  engine()->diagnostics().reportError("kept");
  const WindowHandle window = timerWindow();

  EXPECT_EQ(connection->onDisconnection(0), hr::kOk);
  EXPECT_EQ(engine(), nullptr);
  EXPECT_FALSE(windows.isWindow(window));
  EXPECT_FALSE(windows.timer(window));
  for (auto name : {"share.syn", "sync.huf", "sync.msg"})
    EXPECT_FALSE(files.text(std::string(kDataDirectory) + name)) << name;
  // Queues outlive the host; logs stay until the next connection.
  EXPECT_TRUE(files.text(std::string(kDataDirectory) + "F1.ids"));
  EXPECT_NE(errorLog().find("kept"), std::string::npos);
  // Every subscription ended, the folder watches included.
  EXPECT_TRUE(folder->itemEvents->sinks.empty());
  EXPECT_TRUE(application->ns->deletedItems->itemEvents->sinks.empty());
  EXPECT_TRUE(application->events->sinks.empty());
  EXPECT_TRUE(application->ns->events->sinks.empty());
  EXPECT_EQ(connection->applicationEventsCookie(), kNoSubscription);
  EXPECT_EQ(connection->namespaceEventsCookie(), kNoSubscription);
  EXPECT_EQ(module.pageFolder(), nullptr);
  // A second disconnection finds nothing left to do.
  EXPECT_EQ(connection->onDisconnection(0), hr::kOk);
}

TEST_F(Connection, CodecFileOperationsWorkOnTheDataDirectorysFiles) {
  ASSERT_EQ(connect(), hr::kOk);
  const std::string task = "a task saved as a message file, with some repetition repetition";
  files.put(engine()->shareFilePath(), task);
  ASSERT_TRUE(engine()->compressFile());
  ASSERT_TRUE(files.text(std::string(kDataDirectory) + "sync.huf"));
  EXPECT_NE(*files.text(std::string(kDataDirectory) + "sync.huf"), task);
  ASSERT_TRUE(engine()->decompressFile());
  EXPECT_EQ(files.text(std::string(kDataDirectory) + "sync.msg"), task);
}

TEST_F(Connection, ReleasedWithoutDisconnectionStillEndsSubscriptions) {
  ASSERT_EQ(connect(), hr::kOk);
  const WindowHandle window = timerWindow();
  connection.reset();
  EXPECT_FALSE(windows.isWindow(window));
  EXPECT_TRUE(application->events->sinks.empty());
  EXPECT_TRUE(application->ns->events->sinks.empty());
}

TEST_F(Connection, HostEventsReachTheModuleOnlyWhileSubscribed) {
  ASSERT_EQ(connectAndStart(), hr::kOk);
  application->events->raise(dispid::kNewMail);
  EXPECT_EQ(module.counters().inboxScans, 1);
  // The application's OptionsPagesAdd does nothing; the namespace's replaces the
  // page folder, also with a folder that gets no page.
  auto folder = addHostFolder(u"M1", u"S1", u"Mail");
  application->events->raise(dispid::kOptionsPagesAdd, {Variant(std::shared_ptr<Dispatch>())});
  EXPECT_EQ(module.pageFolder(), nullptr);
  application->ns->events->raise(
      dispid::kOptionsPagesAdd,
      {Variant(std::shared_ptr<Dispatch>()), Variant(std::shared_ptr<Dispatch>(folder))});
  EXPECT_EQ(module.pageFolder(), folder);
  // A call of another shape is ignored.
  application->ns->events->raise(dispid::kOptionsPagesAdd, {Variant(std::int32_t{1})});
  EXPECT_EQ(module.pageFolder(), folder);

  // A sink the host still holds after the subscription ended does nothing.
  auto appSink = application->events->sinks.begin()->second;
  connection->onDisconnection(0);
  appSink->invoke(dispid::kNewMail, {});
  EXPECT_EQ(module.counters().inboxScans, 1);
}

}  // namespace
}  // namespace qx::test

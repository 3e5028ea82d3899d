#include <gtest/gtest.h>

#include <stdexcept>

#include "spine_fixture.h"
#include "common/messages.h"

namespace qx::test {
namespace {

class LibraryMissing : public SpineTest {
 protected:
  void SetUp() override {
    addHostFolder(u"F1", u"S1", u"Team tasks");
    configureFolder("F1", "S1", "team");
    // Listed before: no basic-sync question at connection.
    registry.putDword(reg::kCurrentUser, "Software\\Vantrosse\\Quendrilax\\Folders\\F1",
                      "isProcessed", 1);
    safeLibrary.installed = false;
  }
  void reachSteadyPhase() {
    ASSERT_EQ(connectAndStart(), hr::kOk);
    ASSERT_TRUE(tick());
    ASSERT_TRUE(engine()->basicSyncDone());
  }
};

TEST_F(LibraryMissing, ScanReportsShowsItsBoxAndDisconnectsTheAddIn) {
  reachSteadyPhase();
  auto folder = application->ns->folders[u"F1"];
  const WindowHandle window = timerWindow();
  // While the host disconnects us the engine is retired but still alive: its
  // folder watches are still advised.
  std::size_t watchedDuringDisconnection = 99;
  addIn->onDisconnect = [&] {
    ++selfDisconnections;
    connection->onDisconnection(1);
    EXPECT_EQ(engine(), nullptr);
    watchedDuringDisconnection = folder->itemEvents->sinks.size();
  };
  ASSERT_TRUE(tick());

  EXPECT_EQ(selfDisconnections, 1);
  EXPECT_FALSE(addIn->connected);
  EXPECT_EQ(watchedDuringDisconnection, 1u);
  // Once the tick returned the engine is gone for good.
  EXPECT_TRUE(folder->itemEvents->sinks.empty());
  EXPECT_TRUE(application->ns->deletedItems->itemEvents->sinks.empty());
  EXPECT_EQ(engine(), nullptr);
  // The tick did not go on with the engine's timer after the disconnection.
  EXPECT_FALSE(windows.isWindow(window));
  EXPECT_EQ(windows.timerHistory.back(), 3000u);
  EXPECT_TRUE(module.firstSteady());

  ASSERT_EQ(windows.boxes.size(), 1u);
  EXPECT_EQ(windows.boxes[0].owner, kNoWindow);
  EXPECT_EQ(windows.boxes[0].type, win::kMbOk);
  EXPECT_EQ(windows.boxes[0].caption, u"Hessaplex is not right registered");
  EXPECT_EQ(windows.boxes[0].text, u"Quendrilax");
  EXPECT_EQ(errorLog(), "Hessaplex may be not registered\n");
  EXPECT_EQ(debugEntries(),
            (std::vector<std::string>{"--ERROR--", "Hessaplex may be not registered"}));
}

TEST_F(LibraryMissing, NewMailScanDisconnectsTheSameWay) {
  ASSERT_EQ(connectAndStart(), hr::kOk);
  locale.language = lang::kSpanish;  // the language captured at connection counts
  application->events->raise(dispid::kNewMail);
  EXPECT_EQ(selfDisconnections, 1);
  EXPECT_EQ(engine(), nullptr);
  EXPECT_TRUE(application->events->sinks.empty());
  ASSERT_EQ(windows.boxes.size(), 1u);
  EXPECT_EQ(windows.boxes[0].caption, u"Hessaplex is not right registered");
  // A further new mail finds no subscription and no engine.
  application->events->raise(dispid::kNewMail);
  EXPECT_EQ(windows.boxes.size(), 1u);
}

TEST_F(LibraryMissing, BoxSpeaksTheLanguageCapturedAtConnection) {
  const std::pair<LangId, std::u16string> cases[] = {
      {lang::kGerman, u"Hessaplex ist nicht richtig registriert"},
      {lang::kSpanish, u"\u00a1Hessaplex ni esta regitrada correctamente!"},
      {0x0807, u"Hessaplex ist nicht richtig registriert"},  // Swiss German
      {0x040C, u"Hessaplex is not right registered"},        // French: neutral table
  };
  for (const auto& [language, caption] : cases) {
    locale.language = language;
    windows.boxes.clear();
    connection.reset();
    ASSERT_EQ(connectAndStart(), hr::kOk);
    application->events->raise(dispid::kNewMail);
    ASSERT_EQ(windows.boxes.size(), 1u);
    EXPECT_EQ(windows.boxes[0].caption, caption);
    EXPECT_EQ(windows.boxes[0].text, u"Quendrilax");
  }
}

TEST_F(LibraryMissing, HostThatReleasesTheConnectionObjectInsideTheTickIsSafe) {
  reachSteadyPhase();
  // The host disconnects and releases the connection object (and with it the
  // hidden window whose tick is on the stack).
  addIn->onDisconnect = [&] {
    connection->onDisconnection(1);
    connection.reset();
  };
  const WindowHandle window = timerWindow();
  ASSERT_TRUE(windows.fire(window));
  EXPECT_EQ(connection, nullptr);
  EXPECT_EQ(engine(), nullptr);
  EXPECT_FALSE(windows.isWindow(window));
}

TEST_F(LibraryMissing, WithoutAddInObjectTheReportStaysAndTheAddInRuns) {
  // The add-in instance argument did not answer the add-in interface: no
  // self-disconnection is possible, the work simply ends.
  connection = module.createConnect();
  ASSERT_EQ(connection->onConnection(application, 0, nullptr), hr::kOk);
  connection->onStartupComplete();
  application->events->raise(dispid::kNewMail);
  EXPECT_EQ(windows.boxes.size(), 1u);
  EXPECT_NE(engine(), nullptr);
  EXPECT_FALSE(module.engineBusy());
}

TEST_F(LibraryMissing, ItemEventKeepsTheEngineAliveWhileItRuns) {
  ASSERT_EQ(connectAndStart(), hr::kOk);
  auto folder = application->ns->folders[u"F1"];
  auto sink = folder->itemEvents->sinks.begin()->second;
  const std::vector<Variant> args{Variant(std::shared_ptr<Dispatch>(folder))};
  EXPECT_EQ(sink->invoke(dispid::kItemChange, args), hr::kOk);
  // After the engine is gone the host may still deliver to the sink it holds.
  connection->onDisconnection(0);
  EXPECT_EQ(sink->invoke(dispid::kItemChange, args), hr::kOk);
  EXPECT_FALSE(module.engineBusy());
}

TEST_F(LibraryMissing, ExceptionsNeverReachTheHost) {
  reachSteadyPhase();
  windows.insideModalLoop = [] { throw std::runtime_error("host failure in a modal loop"); };
  EXPECT_NO_THROW(tick());
  // The call that unwound gave its engine call back: later ticks run.
  EXPECT_FALSE(module.engineBusy());
  EXPECT_NE(engine(), nullptr);
  windows.insideModalLoop = [] { throw std::runtime_error("again"); };
  EXPECT_NO_THROW(application->events->raise(dispid::kNewMail));
  EXPECT_FALSE(module.engineBusy());

  // A refused version's box that throws: the connection fails, nothing leaks.
  connection->onDisconnection(0);
  connection.reset();
  application->hostVersion = u"10.0.0.4024";
  windows.insideModalLoop = [] { throw std::runtime_error("box"); };
  EXPECT_EQ(connect(), hr::kUnexpected);
  EXPECT_EQ(engine(), nullptr);
}

TEST_F(LibraryMissing, EngineIsDestroyedAtOnceWhenNoCallIsOnTheStack) {
  ASSERT_EQ(connectAndStart(), hr::kOk);
  auto folder = application->ns->folders[u"F1"];
  EXPECT_FALSE(module.engineBusy());
  module.destroyEngine();
  EXPECT_TRUE(folder->itemEvents->sinks.empty());
}

TEST_F(LibraryMissing, NestedCallsDeferDestructionToTheOutermost) {
  ASSERT_EQ(connectAndStart(), hr::kOk);
  auto folder = application->ns->folders[u"F1"];
  {
    EngineCall outer(module);
    {
      EngineCall inner(module);
      module.destroyEngine();
      EXPECT_FALSE(inner.stillConnected());
      EXPECT_NE(inner.engine(), nullptr);
    }
    // The inner call returned; the outer one still works on the engine.
    EXPECT_EQ(folder->itemEvents->sinks.size(), 1u);
    EXPECT_EQ(outer.engine()->folderWatches().size(), 1u);
  }
  EXPECT_TRUE(folder->itemEvents->sinks.empty());
}

}  // namespace
}  // namespace qx::test

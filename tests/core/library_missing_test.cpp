#include <gtest/gtest.h>

#include <stdexcept>

#include "common/messages.h"
#include "sim/mail/item_data.h"
#include "support/host_fixture.h"

namespace qx::testsupport {
namespace {

class LibraryMissing : public HostTest {
 protected:
  void SetUp() override {
    team = addSharedFolder(u"Team tasks", "team");
    // Listed before: no basic-sync question at connection.
    registry().putDword(reg::kCurrentUser, folderKey(ansi(team)), "isProcessed", 1);
    mail().setLibraryState(sim::mail::LibraryState::kClassNotRegistered);
  }
  void reachSteadyPhase() {
    ASSERT_EQ(connectAndStart(), hr::kOk);
    ASSERT_TRUE(tick());
    ASSERT_TRUE(engine()->basicSyncDone());
  }
  // A task of the shared folder, which is shared with one recipient.
  std::u16string addTeamTask() {
    registry().putKey(reg::kCurrentUser, folderKey(ansi(team)) + "\\Users\\bob@example.org");
    sim::mail::ItemData task = sim::mail::ItemData::newTask();
    task.subject = u"Report";
    return mail().addItem(team, task);
  }
  std::u16string team;
};

TEST_F(LibraryMissing, ScanReportsShowsItsBoxAndDisconnectsTheAddIn) {
  reachSteadyPhase();
  const WindowHandle window = timerWindow();
  // While the host disconnects us the engine is retired but still alive: its
  // folder watches are still advised.
  std::size_t watchedDuringDisconnection = 99;
  onDisconnectRequest = [&] {
    connection->onDisconnection(1);
    EXPECT_EQ(engine(), nullptr);
    watchedDuringDisconnection = mail().itemSubscriptions(team);
  };
  const int timerCalls = faults.calls("windows.setTimer");
  ASSERT_TRUE(tick());

  EXPECT_EQ(selfDisconnections, 1);
  EXPECT_FALSE(mail().addInConnected());
  EXPECT_EQ(watchedDuringDisconnection, 1u);
  // Once the tick returned the engine is gone for good.
  EXPECT_EQ(mail().itemSubscriptions(team), 0u);
  EXPECT_EQ(mail().itemSubscriptions(deletedItemsId()), 0u);
  EXPECT_EQ(engine(), nullptr);
  // The tick did not go on with the engine's timer after the disconnection.
  EXPECT_FALSE(windows().isWindow(window));
  EXPECT_EQ(faults.calls("windows.setTimer"), timerCalls);
  EXPECT_TRUE(module->firstSteady());

  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxes()[0].owner, kNoWindow);
  EXPECT_EQ(boxes()[0].type, win::kMbOk);
  EXPECT_EQ(boxes()[0].caption, u"Hessaplex is not right registered");
  EXPECT_EQ(boxes()[0].text, u"Quendrilax");
  EXPECT_EQ(errorLog(), "Hessaplex may be not registered\n");
  EXPECT_EQ(debugEntries(),
            (std::vector<std::string>{"--ERROR--", "Hessaplex may be not registered"}));
}

TEST_F(LibraryMissing, NewMailScanDisconnectsTheSameWay) {
  ASSERT_EQ(connectAndStart(), hr::kOk);
  locale().setLanguage(lang::kSpanish);  // the language captured at connection counts
  raiseNewMail();
  EXPECT_EQ(selfDisconnections, 1);
  EXPECT_EQ(engine(), nullptr);
  EXPECT_EQ(mail().applicationSubscriptions(), 0u);
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxes()[0].caption, u"Hessaplex is not right registered");
  // A further new mail finds no subscription and no engine.
  raiseNewMail();
  EXPECT_EQ(boxes().size(), 1u);
}

TEST_F(LibraryMissing, BoxSpeaksTheLanguageCapturedAtConnection) {
  const std::pair<LangId, std::u16string> cases[] = {
      {lang::kGerman, u"Hessaplex ist nicht richtig registriert"},
      {lang::kSpanish, u"\u00a1Hessaplex ni esta regitrada correctamente!"},
      {0x0807, u"Hessaplex ist nicht richtig registriert"},  // Swiss German
      {0x040C, u"Hessaplex is not right registered"},        // French: neutral table
  };
  for (const auto& [language, caption] : cases) {
    locale().setLanguage(language);
    const std::size_t shown = boxes().size();
    connection.reset();
    host.markAddInConnected();
    ASSERT_EQ(connectAndStart(), hr::kOk);
    raiseNewMail();
    ASSERT_EQ(boxes().size(), shown + 1);
    EXPECT_EQ(boxes().back().caption, caption);
    EXPECT_EQ(boxes().back().text, u"Quendrilax");
  }
}

TEST_F(LibraryMissing, HostThatReleasesTheConnectionObjectInsideTheTickIsSafe) {
  reachSteadyPhase();
  // The host disconnects and releases the connection object (and with it the
  // hidden window whose tick is on the stack).
  onDisconnectRequest = [&] {
    connection->onDisconnection(1);
    connection.reset();
  };
  const WindowHandle window = timerWindow();
  clock.advance(*host.timerInterval(window, 1));
  EXPECT_EQ(connection, nullptr);
  EXPECT_EQ(engine(), nullptr);
  EXPECT_FALSE(windows().isWindow(window));
}

TEST_F(LibraryMissing, WithoutAddInObjectTheReportStaysAndTheAddInRuns) {
  // The add-in instance argument did not answer the add-in interface: no
  // self-disconnection is possible, the work simply ends.
  ASSERT_EQ(connectWith(host.applicationObject(), nullptr), hr::kOk);
  connection->onStartupComplete();
  raiseNewMail();
  EXPECT_EQ(boxes().size(), 1u);
  EXPECT_EQ(selfDisconnections, 0);
  EXPECT_NE(engine(), nullptr);
  EXPECT_FALSE(module->engineBusy());
}

TEST_F(LibraryMissing, ItemEventKeepsTheEngineAliveWhileItRuns) {
  const std::u16string entry = addTeamTask();
  ASSERT_EQ(connectAndStart(), hr::kOk);
  // The user changes the task: its change mail needs the library, whose
  // report has the host disconnect us while the sink still runs.
  std::size_t watchedDuringDisconnection = 99;
  onDisconnectRequest = [&] {
    connection->onDisconnection(1);
    watchedDuringDisconnection = mail().itemSubscriptions(team);
  };
  mail().changeItem(entry, [](sim::mail::ItemData& data) { data.subject = u"Report 2"; });
  pump();
  EXPECT_EQ(selfDisconnections, 1);
  EXPECT_EQ(boxes().size(), 1u);
  EXPECT_EQ(watchedDuringDisconnection, 1u);
  EXPECT_EQ(engine(), nullptr);
  EXPECT_EQ(mail().itemSubscriptions(team), 0u);
  EXPECT_FALSE(module->engineBusy());
}

TEST_F(LibraryMissing, ItemEventDeliveredAfterTheEngineIsGoneDoesNothing) {
  const std::u16string entry = addTeamTask();
  ASSERT_EQ(connectAndStart(), hr::kOk);
  // Raised while the folder was watched, delivered to the sink the host still
  // holds after the disconnection.
  mail().changeItem(entry, [](sim::mail::ItemData& data) { data.subject = u"Report 2"; });
  connection->onDisconnection(0);
  pump();
  EXPECT_TRUE(boxes().empty());
  EXPECT_EQ(selfDisconnections, 0);
  EXPECT_FALSE(module->engineBusy());
}

TEST_F(LibraryMissing, ExceptionsNeverReachTheHost) {
  reachSteadyPhase();
  host.onMessageBox(
      [](const sim::ShownBox&) { throw std::runtime_error("host failure in a modal loop"); });
  EXPECT_NO_THROW(tick());
  // The call that unwound gave its engine call back: later ticks run.
  EXPECT_FALSE(module->engineBusy());
  EXPECT_NE(engine(), nullptr);
  host.onMessageBox([](const sim::ShownBox&) { throw std::runtime_error("again"); });
  EXPECT_NO_THROW(raiseNewMail());
  EXPECT_FALSE(module->engineBusy());

  // A refused version's box that throws: the connection fails, nothing leaks.
  connection->onDisconnection(0);
  connection.reset();
  mail().setVersion(u"10.0.0.4024");
  host.onMessageBox([](const sim::ShownBox&) { throw std::runtime_error("box"); });
  EXPECT_EQ(connect(), hr::kUnexpected);
  EXPECT_EQ(engine(), nullptr);
}

TEST_F(LibraryMissing, EngineIsDestroyedAtOnceWhenNoCallIsOnTheStack) {
  ASSERT_EQ(connectAndStart(), hr::kOk);
  EXPECT_FALSE(module->engineBusy());
  module->destroyEngine();
  EXPECT_EQ(mail().itemSubscriptions(team), 0u);
}

TEST_F(LibraryMissing, NestedCallsDeferDestructionToTheOutermost) {
  ASSERT_EQ(connectAndStart(), hr::kOk);
  {
    EngineCall outer(*module);
    {
      EngineCall inner(*module);
      module->destroyEngine();
      EXPECT_FALSE(inner.stillConnected());
      EXPECT_NE(inner.engine(), nullptr);
    }
    // The inner call returned; the outer one still works on the engine.
    EXPECT_EQ(mail().itemSubscriptions(team), 1u);
    EXPECT_EQ(outer.engine()->folderWatches().size(), 1u);
  }
  EXPECT_EQ(mail().itemSubscriptions(team), 0u);
}

}  // namespace
}  // namespace qx::testsupport

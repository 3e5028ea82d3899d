#include "core/diagnostics_log.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "spine_fixture.h"

namespace qx::test {
namespace {

class DiagnosticsLogTest : public SpineTest {
 protected:
  const std::string debugPath = std::string(kModuleFolder) + "debug.log";
  const std::string errorPath = std::string(kModuleFolder) + "error.log";
  DiagnosticsLog log{module, debugPath};

  void SetUp() override { log.setErrorLogPath(errorPath); }
  // The fake locale writes the local date value in seconds, "D<seconds>".
  std::string stampNow() const { return "D" + std::to_string(25569LL * 86400 + clock.seconds); }
};

TEST_F(DiagnosticsLogTest, EntryIsStampArrowTextAndLineFeed) {
  log.logDebug("Basicsync");
  clock.seconds += 61;
  log.logDebug("Item processed");
  const std::string first = "D" + std::to_string(25569LL * 86400 + clock.seconds - 61);
  EXPECT_EQ(debugLog(), first + " -> Basicsync\n" + stampNow() + " -> Item processed\n");
}

TEST_F(DiagnosticsLogTest, DebugSwitchDoesNotGateLogDebug) {
  ASSERT_FALSE(log.debugOn());
  log.logDebug("written anyway");
  EXPECT_EQ(debugEntries(), std::vector<std::string>{"written anyway"});
}

TEST_F(DiagnosticsLogTest, StampFallsBackWhenTheTimeCannotBeWritten) {
  for (const char* operation : {"clock.toLocalDate", "locale.formatDate"}) {
    SCOPED_TRACE(operation);
    files.deleteFile(debugPath);
    faults.fail(operation, hr::kFail);
    log.logDebug("text");
    EXPECT_EQ(debugLog(), "Invalid DateTime -> text\n");
  }
}

TEST_F(DiagnosticsLogTest, FailedClockGivesTheFallbackNotTheEpoch) {
  clock.seconds = -1;
  log.logDebug("text");
  EXPECT_EQ(debugLog(), "Invalid DateTime -> text\n");
}

TEST_F(DiagnosticsLogTest, StampUsesTheUsersLocaleThroughTheCodePage) {
  // The real locale stand-in writes a German date; umlauts do not occur, but
  // the conversion must still run: a failing conversion gives the fallback.
  faults.fail("codepage.toAnsi", hr::kFail);
  log.logDebug("x");
  EXPECT_EQ(debugLog(), "Invalid DateTime -> x\n");
}

TEST_F(DiagnosticsLogTest, ErrorReportGoesToBothLogs) {
  log.reportError("\nput_To()");
  log.reportError("Fehler:8004010F");
  // In the debug log: two stamped entries per report; a text that starts with
  // a line feed starts on the line after the arrow.
  EXPECT_EQ(debugLog(), stampNow() + " -> --ERROR--\n" + stampNow() + " -> \nput_To()\n" +
                            stampNow() + " -> --ERROR--\n" + stampNow() + " -> Fehler:8004010F\n");
  // In the error log: the text alone, so an empty line precedes the first.
  EXPECT_EQ(errorLog(), "\nput_To()\nFehler:8004010F\n");
}

TEST_F(DiagnosticsLogTest, ErrorBeforeTheErrorLogPathIsSetReachesOnlyTheDebugLog) {
  DiagnosticsLog early(module, debugPath);
  early.reportError("early");
  EXPECT_EQ(debugEntries(), (std::vector<std::string>{"--ERROR--", "early"}));
  EXPECT_EQ(errorLog(), "");
}

TEST_F(DiagnosticsLogTest, FileThatCannotBeOpenedLosesOnlyThatEntry) {
  faults.fail("files.appendFile", win::kSharingViolation);
  log.logDebug("lost");
  log.logDebug("kept");
  EXPECT_EQ(debugEntries(), std::vector<std::string>{"kept"});
  EXPECT_TRUE(module.logWriteEnabled());
  // The error log's entry is dropped the same way.
  faults.fail("files.appendFile", win::kAccessDenied, 3);
  log.reportError("once");
  EXPECT_EQ(errorLog(), "");
  log.reportError("twice");
  EXPECT_EQ(errorLog(), "twice\n");
}

TEST_F(DiagnosticsLogTest, FailedWriteSwitchesTheDebugLogOffForTheModule) {
  files.thrower = [] { throw std::runtime_error("disk gone"); };
  log.logDebug("first");
  EXPECT_FALSE(module.logWriteEnabled());
  files.thrower = nullptr;
  log.logDebug("second");
  EXPECT_EQ(debugLog(), "");
  // Error reports still reach the error log.
  log.reportError("still reported");
  EXPECT_EQ(errorLog(), "still reported\n");
  EXPECT_EQ(debugLog(), "");
  // The switch belongs to the module: a new engine's log stays off too.
  DiagnosticsLog next(module, debugPath);
  next.logDebug("third");
  EXPECT_EQ(debugLog(), "");
}

TEST_F(DiagnosticsLogTest, NoKindOfExceptionEscapesTheLogs) {
  const std::function<void()> throwers[] = {
      [] { throw std::runtime_error("disk gone"); },
      [] { throw 42; },  // not derived from std::exception
  };
  for (const auto& thrower : throwers) {
    AddinModule fresh(platform);
    DiagnosticsLog other(fresh, debugPath);
    other.setErrorLogPath(errorPath);
    files.thrower = thrower;
    EXPECT_NO_THROW(other.logDebug("x"));
    EXPECT_FALSE(fresh.logWriteEnabled());
    EXPECT_NO_THROW(other.reportError("x"));
  }
}

TEST_F(DiagnosticsLogTest, TextsAreWrittenByteForByte) {
  const std::string text("Add folder:Aufgaben \xe4\xf6\xfc share as team\t\r");
  log.logDebug(text);
  EXPECT_EQ(debugLog(), stampNow() + " -> " + text + "\n");
}

}  // namespace
}  // namespace qx::test

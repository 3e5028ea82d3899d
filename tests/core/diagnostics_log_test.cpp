#include "core/diagnostics_log.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <span>
#include <stdexcept>

#include "support/host_fixture.h"

namespace qx::testsupport {
namespace {

// A file port whose writes throw, as a C runtime call that runs out of memory
// would; the stand-in's files fail only with status codes.
class ThrowingFiles final : public Files {
 public:
  explicit ThrowingFiles(Files& inner) : inner_(inner) {}
  WinResult<std::vector<std::uint8_t>> readFile(std::string_view path) override {
    return inner_.readFile(path);
  }
  WinError writeFile(std::string_view path, std::span<const std::uint8_t> bytes) override {
    return inner_.writeFile(path, bytes);
  }
  WinError appendFile(std::string_view path, std::span<const std::uint8_t> bytes) override {
    if (thrower) thrower();
    return inner_.appendFile(path, bytes);
  }
  WinError deleteFile(std::string_view path) override { return inner_.deleteFile(path); }
  WinError replaceFile(std::string_view from, std::string_view to) override {
    return inner_.replaceFile(from, to);
  }
  bool exists(std::string_view path) override { return inner_.exists(path); }

  std::function<void()> thrower;

 private:
  Files& inner_;
};

class DiagnosticsLogTest : public HostTest {
 protected:
  void SetUp() override { log.setErrorLogPath(errorPath); }
  // How the user's locale (US English, one hour east of UTC) writes the
  // moment the virtual clock started at.
  static constexpr std::string_view kStart = "12/7/2026 9:00:00 AM";
  std::string stampNow() const { return std::string(kStart); }

  ThrowingFiles files{host.platform().files};
  Platform platform{host.platform().registry,   host.platform().windows,
                    host.platform().shell,      files,
                    host.platform().clock,      host.platform().locale,
                    host.platform().guids,      host.platform().codePage,
                    host.platform().safeLibrary};
  // The add-in writes through the throwing port; everything else is the host's.
  AddinModule addin{platform};
  const std::string debugPath = moduleFolder() + "debug.log";
  const std::string errorPath = moduleFolder() + "error.log";
  DiagnosticsLog log{addin, debugPath};
};

TEST_F(DiagnosticsLogTest, EntryIsStampArrowTextAndLineFeed) {
  log.logDebug("Basicsync");
  clock.advance(61000);
  log.logDebug("Item processed");
  EXPECT_EQ(debugLog(), stampNow() + " -> Basicsync\n12/7/2026 9:01:01 AM -> Item processed\n");
}

TEST_F(DiagnosticsLogTest, DebugSwitchDoesNotGateLogDebug) {
  ASSERT_FALSE(log.debugOn());
  log.logDebug("written anyway");
  EXPECT_EQ(debugEntries(), std::vector<std::string>{"written anyway"});
}

TEST_F(DiagnosticsLogTest, StampFallsBackWhenTheTimeCannotBeWritten) {
  for (const char* operation : {"clock.toLocalDate", "locale.formatDate"}) {
    SCOPED_TRACE(operation);
    disk().remove(debugPath);
    faults.fail(operation, hr::kFail);
    log.logDebug("text");
    EXPECT_EQ(debugLog(), "Invalid DateTime -> text\n");
  }
}

TEST_F(DiagnosticsLogTest, FailedClockGivesTheFallbackNotTheEpoch) {
  faults.fail("clock.now", hr::kFail);
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
  DiagnosticsLog early(addin, debugPath);
  early.reportError("early");
  EXPECT_EQ(debugEntries(), (std::vector<std::string>{"--ERROR--", "early"}));
  EXPECT_EQ(errorLog(), "");
}

TEST_F(DiagnosticsLogTest, FileThatCannotBeOpenedLosesOnlyThatEntry) {
  faults.fail("files.appendFile", win::kSharingViolation);
  log.logDebug("lost");
  log.logDebug("kept");
  EXPECT_EQ(debugEntries(), std::vector<std::string>{"kept"});
  EXPECT_TRUE(addin.logWriteEnabled());
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
  EXPECT_FALSE(addin.logWriteEnabled());
  files.thrower = nullptr;
  log.logDebug("second");
  EXPECT_EQ(debugLog(), "");
  // Error reports still reach the error log.
  log.reportError("still reported");
  EXPECT_EQ(errorLog(), "still reported\n");
  EXPECT_EQ(debugLog(), "");
  // The switch belongs to the module: a new engine's log stays off too.
  DiagnosticsLog next(addin, debugPath);
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
}  // namespace qx::testsupport

#include "quendrilax-sim/runner.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "quendrilax-sim/scenario_parser.h"
#include "sim/mail/mail_client.h"
#include "sim/office/host_process.h"

namespace qx::tools {
namespace {

struct Outcome {
  std::string transcript;
  std::vector<Failure> failures;
};

Outcome runText(std::string_view text) {
  auto commands = parseScenario(text, "t.scn", ".");
  EXPECT_TRUE(commands.has_value()) << (commands ? "" : commands.error().message);
  Outcome outcome;
  if (!commands) return outcome;
  std::ostringstream out;
  // CTest runs the tests of this file side by side: each gets a disk of its own.
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const auto disk = std::filesystem::temp_directory_path() /
                    ("qx_runner_test_" + std::to_string(::getpid()) + "_" + test->name());
  {
    Runner runner(out, disk);
    for (const Command& command : *commands) runner.run(command);
    runner.finish();
    outcome.failures = runner.failures();
  }
  std::filesystem::remove_all(disk);
  outcome.transcript = out.str();
  return outcome;
}

bool has(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

TEST(RunnerTest, FailedExpectationsNameTheirLineAndTheRunGoesOn) {
  const Outcome outcome = runText(
      "user a\n"
      "start a\n"
      "expect a timer 3s\n"           // fails: 10 s after startup complete
      "expect a timer 10s\n"          // holds
      "expect a boxes 2\n"            // fails
      "expect a log debug present\n"  // fails: debug is off, nothing written
  );
  ASSERT_EQ(outcome.failures.size(), 3u);
  EXPECT_EQ(outcome.failures[0].where.line, 3);
  EXPECT_TRUE(has(outcome.failures[0].message,
                  "expected timer 1 every 3000 ms, found timer 1 every 10000 ms"))
      << outcome.failures[0].message;
  EXPECT_EQ(outcome.failures[1].where.line, 5);
  EXPECT_TRUE(has(outcome.failures[1].message, "expected 2 message box(es), found 0"));
  EXPECT_EQ(outcome.failures[2].where.line, 6);
  EXPECT_TRUE(has(outcome.transcript, "t.scn:3: FAILED:"));
}

TEST(RunnerTest, RegistryValuesAreStoredAndComparedByteForByte) {
  const Outcome outcome = runText(
      "user a\n"
      "registry a set Config From sz \"M\\xfcller\" unterminated\n"
      "expect a registry Config From hex(1) 4d,fc,6c,6c,65,72\n"  // holds: no terminator
      "expect a registry Config From sz \"M\\xfcller\"\n"         // fails: terminator expected
      "expect a registry HKCU\\Software\\Vantrosse\\Quendrilax\\Config From sz \"M\\xfcller\" "
      "unterminated\n"
      "registry a set Config debug dword 1\n"
      "expect a registry Config debug dword 2\n"  // fails
      "registry a delete Config debug\n"
      "expect a registry Config debug absent\n"
      "expect a registry Config exists\n"
      "registry a delete Config\n"
      "expect a registry Config absent\n");
  ASSERT_EQ(outcome.failures.size(), 2u);
  EXPECT_EQ(outcome.failures[0].where.line, 4);
  EXPECT_TRUE(has(outcome.failures[0].message, "found sz \"Müller\" unterminated"))
      << outcome.failures[0].message;
  EXPECT_EQ(outcome.failures[1].where.line, 7);
  EXPECT_TRUE(has(outcome.failures[1].message, "found dword 1"));
}

TEST(RunnerTest, AnImportThatCannotBeParsedChangesNothing) {
  const Outcome outcome = runText(
      "user a\n"
      "registry a import <<R\n"
      "Windows Registry Editor Version 5.00\n"
      "[HKEY_CURRENT_USER\\Software\\Vantrosse\\Quendrilax\\Config]\n"
      "\"debug\"=dword:00000001\n"
      "\"From\"=nonsense\n"
      "R\n"
      "expect a registry Config debug absent\n");
  ASSERT_EQ(outcome.failures.size(), 1u);
  EXPECT_EQ(outcome.failures[0].where.line, 2);
  EXPECT_TRUE(has(outcome.failures[0].message, "line 4"));
}

TEST(RunnerTest, SelfDisconnectionInsideATickLeavesNothingDangling) {
  // The connection object is still on the stack when the host disconnects
  // it; the runner must keep it until the step is over (ASan watches).
  const Outcome outcome = runText(
      "user a library missing\n"
      "start a\n"
      "advance 13s\n"
      "expect a disconnected\n"
      "expect a timer none\n"
      "expect a box 1 caption \"Hessaplex is not right registered\"\n"
      "connect a\n"  // the user connects it again
      "expect a connected\n"
      "newmail a\n"
      "expect a disconnected\n"
      "expect a boxes 2\n"
      "stop a\n"
      "expect a stopped\n");
  EXPECT_TRUE(outcome.failures.empty()) << outcome.failures[0].message;
  EXPECT_TRUE(has(outcome.transcript, "add-in asks to be unloaded; host disconnects it"));
  EXPECT_TRUE(has(outcome.transcript,
                  "message box \"Hessaplex is not right registered\": \"Quendrilax\" -> OK"));
}

TEST(RunnerTest, StepsTheHostCannotTakeAreFailures) {
  const Outcome outcome = runText(
      "user a\n"
      "stop a\n"
      "startup-complete a\n"
      "disconnect a\n"
      "start a\n"
      "start a\n"
      "connect a\n");
  ASSERT_EQ(outcome.failures.size(), 5u);
  const int lines[] = {2, 3, 4, 6, 7};
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(outcome.failures[i].where.line, lines[i]);
}

TEST(RunnerTest, FilesGoToTheDataDirectoryOrTheModuleFolder) {
  const Outcome outcome = runText(
      "user a\n"
      "user b appdata missing\n"
      "file a data x.txt write \"one\"\n"
      "file b data x.txt write \"two\"\n"
      "expect a file path \"C:\\\\Users\\\\a\\\\AppData\\\\Roaming\\\\Vantrosse\\\\X.TXT\" "
      "contains \"one\"\n"
      "expect b file module x.txt contains \"two\"\n"
      "expect a file module x.txt absent\n"
      "file a data x.txt delete\n"
      "expect a file data x.txt absent\n");
  EXPECT_TRUE(outcome.failures.empty()) << outcome.failures[0].message;
}

TEST(RunnerTest, TracedLogsShowEachNewLineOnce) {
  const Outcome outcome = runText(
      "user a language de\n"
      "registry a set Config debug dword 1\n"
      "trace logs on\n"
      "start a\n"
      "advance 1m\n");
  EXPECT_TRUE(outcome.failures.empty());
  const std::string line = "a: debug.log| 07.12.2026 09:00:00 -> Debugger started";
  const auto first = outcome.transcript.find(line);
  ASSERT_NE(first, std::string::npos) << outcome.transcript;
  EXPECT_EQ(outcome.transcript.find(line, first + 1), std::string::npos);
}

TEST(RunnerTest, SharingWritesTheFolderEntryAsThePropertyPageDoes) {
  const Outcome outcome = runText(
      "user a\n"
      "folder a add Tasks/Team\n"
      "share a Tasks/Team as one with x@y.test z@y.test\n"
      "share a Tasks/Team as two with q@y.test\n"  // a second save replaces the recipients
      "registry a set Config debug dword 1\n"
      "start a\n"
      "expect a log debug contains \"Add folder:Team share as two\"\n"
      "expect a log debug lacks \"share as one\"\n"
      "share a Tasks/Nowhere as x\n"  // fails: no such folder
      "folder a add Tasks/Team\n"     // fails: exists
      "folder a add Missing/Sub\n");  // fails: no parent
  ASSERT_EQ(outcome.failures.size(), 3u) << outcome.transcript;
  EXPECT_EQ(outcome.failures[0].where.line, 9);
  EXPECT_EQ(outcome.failures[1].where.line, 10);
  EXPECT_EQ(outcome.failures[2].where.line, 11);
}

TEST(RunnerTest, TransportCarriesMailAndTellsWhoGotWhat) {
  const Outcome outcome = runText(
      "user a\n"
      "user b address B@Office.Test\n"
      "start a\n"
      "start b\n"
      "mail a send to b@office.test subject \"Hallo\"\n"
      "expect b folder Inbox count 0\n"
      "transport every 30s\n"
      "advance 29s\n"
      "expect b folder Inbox count 0\n"
      "advance 1s\n"
      "expect b folder Inbox has Hallo\n"
      "expect a folder Outbox count 0\n"
      "expect b scans 2\n"  // the first steady tick's and the NewMail's
      "task a add T\n"
      "task a delete T\n"
      "expect a folder Tasks lacks T\n"
      "expect a folder \"Deleted Items\" has T\n"
      "task a delete T\n");  // fails: nothing left in Tasks
  ASSERT_EQ(outcome.failures.size(), 1u) << outcome.failures[0].message;
  EXPECT_EQ(outcome.failures[0].where.line, 18);
  EXPECT_TRUE(has(outcome.transcript, "[00:00:30] a: mail \"Hallo\" leaves for b@office.test"));
  EXPECT_TRUE(has(outcome.transcript, "[00:00:30] b: mail \"Hallo\" arrives from a@office.test"));
}

TEST(RunnerTest, AnAnswerNoBoxTookIsPointedOut) {
  const Outcome outcome = runText(
      "user a\n"
      "answer a yes\n"
      "answer a no open 5s\n"
      "user b version 10.0.0.4024\n"
      "answer b ok\n"
      "start b\n");
  EXPECT_TRUE(outcome.failures.empty());
  EXPECT_TRUE(has(outcome.transcript, "a: note: 2 scripted answer(s) never used"));
  EXPECT_FALSE(has(outcome.transcript, "b: note:"));
}

TEST(RunnerTest, CountersSurviveAHostRestart) {
  const Outcome outcome = runText(
      "user a\n"
      "start a\n"
      "advance 13s\n"
      "stop a\n"
      "start a\n"
      "advance 13s\n"
      "expect a scans 2\n"
      "expect a ticks 4\n");
  EXPECT_TRUE(outcome.failures.empty()) << outcome.failures[0].message;
}

// Scenario files are UTF-8; the host must get the characters written, not
// the UTF-8 bytes read as the ANSI code page.
TEST(RunnerTest, TextsBeyondAsciiReachTheHostAsWritten) {
  auto commands = parseScenario(
      "user a version \"10.0.0.6626 B\\u{ea}ta \\u{3b2}\" address \"J\\u{f6}rg@office.test\"\n"
      // Beyond the code page, and beyond the basic plane.
      "user b address \"\\u{3b2}\\u{1f600}@office.test\"\n",
      "t.scn", ".");
  ASSERT_TRUE(commands.has_value()) << commands.error().message;
  std::ostringstream out;
  const auto disk = std::filesystem::temp_directory_path() /
                    ("qx_runner_test_" + std::to_string(::getpid()) + "_utf");
  {
    Runner runner(out, disk);
    for (const Command& command : *commands) runner.run(command);
    auto& mail = runner.user("a").host->mail();
    EXPECT_EQ(mail.core().version, u"10.0.0.6626 B\u00eata \u03b2");
    EXPECT_EQ(mail.address(), u"J\u00f6rg@office.test");
    EXPECT_EQ(runner.user("b").host->mail().address(), u"\u03b2\U0001F600@office.test");
  }
  std::filesystem::remove_all(disk);
  EXPECT_TRUE(has(out.str(), "mail client version 10.0.0.6626 B\xc3\xaata"));
}

}  // namespace
}  // namespace qx::tools

// What the transcript tells a reader without failing: the add-in's sync mails
// as they go into the Outbox, tasks kept home, the indicator, the numbers a
// user would otherwise learn only from a failed expectation, and the wording
// of users, durations and times.
#include <gtest/gtest.h>

#include "quendrilax-sim/runner_text.h"
#include "tools/scenario_office.h"

namespace qx::tools {
namespace {

bool has(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

constexpr const char* kTwoUsers =
    "user anna language de-at\n"
    "user ben\n"
    "folder anna add Tasks/Team\n"
    "folder ben add Tasks/Team\n"
    "share anna Tasks/Team as team with ben@office.test\n"
    "share ben Tasks/Team as team with anna@office.test\n"
    "answer anna no\nanswer ben no\n"
    "start anna\nstart ben\n";

TEST(RunnerTranscriptTest, TheAddinsOutboxMailsAndTasksKeptHomeAreTold) {
  ScenarioOffice office;
  ASSERT_TRUE(office.run(kTwoUsers).empty());
  ASSERT_TRUE(office.run("task anna add Paint in Tasks/Team\n"
                         "advance 1s\n"
                         "task anna edit Paint in Tasks/Team percent 50\n"
                         "advance 15s\n"  // held back by the burst window, sent at a tick
                         "task anna add Diary in Tasks/Team private yes\n"
                         "task anna add Holiday in Tasks/Team categories Feiertag\n"
                         "transport\n"
                         "task anna delete Paint in Tasks/Team\n")
                  .empty());
  const std::string t = office.transcript();
  EXPECT_TRUE(has(t, "anna: add-in puts a change of \"Paint\" in \"team\" into the Outbox for "
                     "ben@office.test;"))
      << t;
  EXPECT_TRUE(has(t, "anna: add-in rewrites the waiting mail as a change of \"Paint\" in \"team\" "
                     "for ben@office.test;"))
      << t;
  EXPECT_TRUE(has(t, "anna: add-in puts a removal of \"Paint\" ({")) << t;
  EXPECT_TRUE(
      has(t, "anna: \"Diary\" is private: the add-in keeps it home, nothing of it is sent"))
      << t;
  EXPECT_TRUE(has(t, "anna: \"Holiday\" is a holiday (\"Feiertag\"): the add-in keeps it home"))
      << t;
  // Each mail is told once, not at every step it waits.
  EXPECT_EQ(t.find("puts a change of \"Paint\""), t.rfind("puts a change of \"Paint\"")) << t;
}

TEST(RunnerTranscriptTest, AFailedExpectationAboutMailSaysWhatStillWaitsInAnOutbox) {
  ScenarioOffice office;
  ASSERT_TRUE(office.run("user anna\nuser ben\nstart anna\n"
                         "mail anna send to ben@office.test subject Hi\n")
                  .empty());
  auto failures = office.run("expect ben folder Inbox has Hi\n");
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_TRUE(has(failures[0].message,
                  "(still waiting: 1 mail in the Outbox of anna: no transport has run since"))
      << failures[0].message;
  // Not about mail: no note.
  failures = office.run("expect ben connected\n");
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_FALSE(has(failures[0].message, "still waiting")) << failures[0].message;
  // A stopped host's Outbox waits for its next run, and says so.
  failures = office.run("stop anna\ntransport\nexpect ben folder Inbox count 1\n");
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_TRUE(has(failures[0].message, "1 mail in the Outbox of anna: the host of anna does not run"))
      << failures[0].message;
  EXPECT_TRUE(has(office.transcript(),
                  "anna: mail \"Hi\" for ben@office.test waits in the Outbox: the host of anna "
                  "does not run"))
      << office.transcript();
  EXPECT_FALSE(has(office.transcript(), "leaves")) << office.transcript();
}

TEST(RunnerTranscriptTest, QueueAndIndicatorAreShownAndTheIndicatorIsToldAsItChanges) {
  ScenarioOffice office;
  ASSERT_TRUE(office.run("user anna\nuser ben\nfolder anna add Tasks/Team\n"
                         "task anna add One in Tasks/Team\ntask anna add Two in Tasks/Team\n"
                         "task anna add Three in Tasks/Team\n"
                         "item anna add Note in Tasks/Team kind note\n"
                         "share anna Tasks/Team as team with ben@office.test\n"
                         "answer anna yes\n"
                         "start anna\n"
                         "show anna queue Tasks/Team\n"
                         "show anna indicator\n"
                         "advance 5m\n"
                         "show anna indicator\n")
                  .empty());
  const std::string t = office.transcript();
  EXPECT_TRUE(has(t, "anna: queue file of Tasks/Team: 3 entries (tasks waiting to be sent)")) << t;
  EXPECT_TRUE(has(t, "anna: no indicator shown")) << t;
  EXPECT_TRUE(has(t, "anna: indicator shown: \"")) << t;
  EXPECT_TRUE(has(t, "anna: indicator now reads \"")) << t;
  EXPECT_TRUE(has(t, "anna: indicator removed")) << t;
  EXPECT_TRUE(has(t, "anna: the indicator was removed")) << t;
}

TEST(RunnerTranscriptTest, ScanOutcomesAreDatedWithTheirScan) {
  ScenarioOffice office;
  ASSERT_TRUE(office.run("user anna\nuser ben\n"
                         "folder anna add Tasks/Team\nfolder ben add Tasks/Team\n"
                         "share anna Tasks/Team as team with ben@office.test\n"
                         "share ben Tasks/Team as team with anna@office.test\n"
                         "answer anna no\nanswer ben no\nstart anna\n"
                         "task anna add Paint in Tasks/Team\ntransport\n"
                         // ben's ticks fall half a second into the runner's steps
                         "advance 500ms\nstart ben\nadvance 300ms\nadvance 1m\n")
                  .empty());
  const std::string t = office.transcript();
  EXPECT_TRUE(has(t, "[00:00:13.500] ben: add-in: inbox scan\n")) << t;
  EXPECT_TRUE(has(t, "[00:00:13.500] ben: sync mail from anna@office.test: added \"Paint\"")) << t;
}

TEST(RunnerTranscriptTest, UsersDurationsAndTimesReadAsAPersonSaysThem) {
  ScenarioOffice office;
  ASSERT_TRUE(office.run("user anna language de-at version 11.0.0.5510\n"
                         "user ben language 0x0413\n"
                         "advance 1h1m\nadvance 3h\n"
                         "expect anna stopped\n")
                  .empty());
  const std::string t = office.transcript();
  EXPECT_TRUE(has(t, "[00:00:00] anna: user anna@office.test, mail client version 11.0.0.5510, "
                     "language German (Austria) 0C07"))
      << t;
  EXPECT_TRUE(has(t, "ben: user ben@office.test, mail client version 10.0.0.6626, language id 0413"))
      << t;
  EXPECT_TRUE(has(t, "[00:00:00] time passes: 61 min")) << t;
  EXPECT_TRUE(has(t, "[01:01:00] time passes: 3 h")) << t;
  EXPECT_EQ(durationText(7 * 86'400'000LL), "7 d");
  EXPECT_EQ(durationText(10'080 * 60'000LL + 60'000), "10081 min");
  EXPECT_EQ(Runner::stampOf(169LL * 3'600'000 + 4 * 60'000 + 250), "[7d 01:04:00.250]");
  EXPECT_EQ(counted(1, "task"), "1 task");
  EXPECT_EQ(counted(0, "task"), "0 tasks");
  EXPECT_EQ(counted(2, "entry", "entries"), "2 entries");
}

}  // namespace
}  // namespace qx::tools

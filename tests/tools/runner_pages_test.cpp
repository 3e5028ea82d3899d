// The basic-synchronization and property-page families against the stand-in:
// queue files, the indicator, the Properties dialog, the address book, the
// module's registration and second stores, and the progress windows of a
// listing.
#include <gtest/gtest.h>

#include "quendrilax-sim/commands_queue.h"
#include "sim/mail/mail_client.h"
#include "sim/office/host_process.h"
#include "tools/scenario_office.h"

namespace qx::tools {
namespace {

TEST(QueueEntriesTest, ReadAsTheAddInReadsThem) {
  const std::string longLine(600, 'A');
  const struct {
    std::string content;
    std::vector<std::string> entries;
  } cases[] = {
      {"", {}},
      {"00AB\r\n00CD\r\n", {"00AB", "00CD"}},
      {"00AB\n\n00CD", {"00AB", "", "00CD"}},  // an empty line is an empty entry
      {"00AB\r00CD\r\n", {"00AB\r00CD"}},      // a lone CR stays in the entry
      // A line longer than a piece is read as two entries.
      {longLine + "\r\n", {std::string(511, 'A'), std::string(89, 'A')}},
  };
  for (const auto& c : cases) EXPECT_EQ(queueEntries(c.content), c.entries) << c.content;
}

TEST(RunnerPagesTest, QueueFilesAndTheIndicator) {
  ScenarioOffice office;
  auto failures = office.run(
      "user a\n"
      "folder a add Tasks/Team\n"
      "expect a queue Tasks/Team entries absent\n"
      "queue a Tasks/Team write <<END\n"
      "00AB\n"
      "\n"
      "00CD\n"
      "END\n"
      "expect a queue Tasks/Team entries 3\n"
      "expect a queue Tasks/Team entries 2\n"  // 10: fails
      "expect a queue Tasks/Nowhere entries 1\n"
      "expect a indicator absent\n"
      "expect a indicator caption Quendrilax\n");
  ASSERT_EQ(failures.size(), 3u) << messages(failures);
  EXPECT_EQ(failures[0].where.line, 10);
  EXPECT_EQ(failures[0].message,
            "a: expected the queue file of Tasks/Team with 2 entries, found 3");
  EXPECT_EQ(failures[1].message,
            "a: expected the queue of \"Tasks/Nowhere\", found no folder \"Tasks/Nowhere\" for a");
  EXPECT_EQ(failures[2].message,
            "a: expected the indicator's caption \"Quendrilax\", found no indicator button");

  // A toolbar as the add-in puts it up, then takes it down.
  auto& mail = office.runner().user("a").host->mail();
  mail.addCommandBar(u"Vantrosse", true);
  mail.core().bars.back().buttons.push_back(
      {1, 3, 790, true, true, true, u"Quendrilax", u"3 left", u""});
  failures = office.run(
      "expect a indicator shown\n"
      "expect a indicator caption Quendrilax\n"
      "expect a indicator tooltip \"3 left\"\n"
      "expect a indicator removed\n");
  ASSERT_EQ(failures.size(), 1u) << messages(failures);
  EXPECT_EQ(failures[0].message, "a: expected the indicator removed, found shown");
  mail.core().bars.clear();
  failures = office.run("expect a indicator removed\n");
  EXPECT_TRUE(failures.empty()) << messages(failures);
}

TEST(RunnerPagesTest, PropertiesStoresRegistrationAndTheAddressBook) {
  ScenarioOffice office;
  auto failures = office.run(
      "user a\n"
      "folder a add Tasks/Team\n"
      "expect a page real\n"       // 3: no dialog opened yet
      "properties a Tasks/Team\n"  // 4: the host does not run
      "start a\n"
      "properties a Tasks/Team\n"
      "expect a page real\n"
      "properties a Inbox\n"
      "expect a page none\n"
      "store a add Server kind 3\n"
      "folder a add Server:Tasks/Sub\n"
      "task a add T in Server:Tasks/Sub\n"
      "expect a task T in Server:Tasks/Sub count 1\n"
      "expect a task T in Tasks/Sub count 0\n"  // 14: no such folder in the default store
      "folder a add Server:Notes mail\n"
      "expect a folder Server:Notes count 0\n"
      "store a add Server kind 1\n"  // 17: twice
      "register a\n"
      "expect a registry HKCR\\Quendrilax.PropPageEmpty exists\n"
      "unregister a\n"
      "expect a registry HKCR\\Quendrilax.PropPageEmpty absent\n"
      "addressbook a returns \"b@office.test\" flag no\n"
      "expect a shell opened help.chm\n");  // 23: nothing opened
  ASSERT_EQ(failures.size(), 5u) << messages(failures);
  EXPECT_EQ(failures[0].where.line, 3);
  EXPECT_EQ(failures[0].message,
            "a: expected the real page, found no Properties dialog opened (properties USER PATH)");
  EXPECT_EQ(failures[1].message, "the host of a does not run");
  EXPECT_EQ(failures[2].where.line, 14);
  EXPECT_EQ(failures[3].message, "a has a store \"Server\" already");
  EXPECT_EQ(failures[4].message,
            "a: expected the shell to have opened \"help.chm\", found nothing opened");
  EXPECT_NE(office.transcript().find("a: opens the Properties of Tasks/Team: page "
                                     "\"Corvessa.OLFoldersPropPage\""),
            std::string::npos)
      << office.transcript();
}

TEST(RunnerPagesTest, ProgressListingsAreCountedAndShownAfterTheyClose) {
  ScenarioOffice office;
  auto failures = office.run(
      "user a\n"
      "folder a add Tasks/Team\n"
      "task a add T1 in Tasks/Team\n"
      "task a add T2 in Tasks/Team\n"
      "item a add Memo in Tasks/Team kind note\n"
      "task a add T3 in Tasks/Team\n"
      "share a Tasks/Team as team with b@office.test\n"
      "expect a progress listings 0\n"
      "answer a yes\n"
      "start a\n"
      "expect a progress listings 1\n"
      "expect a progress listings 2\n"  // fails: one listing
      "show a progress\n");
  ASSERT_EQ(failures.size(), 1u) << messages(failures);
  EXPECT_EQ(failures[0].where.line, 12);
  EXPECT_EQ(failures[0].message, "a: expected 2 progress listing(s), found 1");
  // The note takes a step of the bar but gives no line of text.
  const std::string transcript = office.transcript();
  EXPECT_NE(transcript.find("a: 1 progress listing(s)\n"
                            "    1. \"Grundabgleich\", range 0..4, last position 4\n"
                            "       \"Team\"\n"
                            "       \"Team 25%\"\n"
                            "       \"Team 50%\"\n"
                            "       \"Team 100%\"\n"),
            std::string::npos)
      << transcript;
}

// `help` lists every family's forms, from the same table the reader uses.
TEST(RunnerHelpTest, ListsEveryFamily) {
  ScenarioOffice office;
  EXPECT_TRUE(office.run("help\n").empty());
  const std::string listed = office.transcript();
  for (const char* form :
       {"  user NAME", "registry USER set", "expect USER log debug|error", "task USER edit SUBJECT",
        "show USER sync-mail N in PATH", "expect in-step SHARENAME", "soak SHARENAME users",
        "queue USER PATH write", "properties USER PATH", "echo TEXT"})
    EXPECT_NE(listed.find(form), std::string::npos) << form << " missing from:\n" << listed;
}

}  // namespace
}  // namespace qx::tools

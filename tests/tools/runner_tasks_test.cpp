// The task and sync-mail families against the stand-in: what the user does
// lands in the host's store, and every failed expectation says what was
// expected and what was found.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "platform/mail_ids.h"
#include "protocol/codec/huffman_compress.h"
#include "protocol/sync_body.h"
#include "protocol/sync_envelope.h"
#include "quendrilax-sim/runner.h"
#include "quendrilax-sim/scenario_parser.h"
#include "quendrilax-sim/text_utf.h"
#include "sim/codepage_sim.h"
#include "sim/mail/mail_client.h"
#include "sim/mail/msg_file.h"
#include "sim/office/host_process.h"
#include "tools/scenario_office.h"

namespace qx::tools {
namespace {

constexpr const char* kTwoUsers =
    "user a\nuser b\nfolder a add Tasks/Team\nfolder a add Tasks/Other\n";

TEST(RunnerTasksTest, UserActionsReachTheStore) {
  ScenarioOffice office;
  auto failures = office.run(std::string(kTwoUsers) +
                             "task a add T in Tasks/Team due 2026-12-24 status in-progress "
                             "percent 40 importance high private yes categories Red owner Anna "
                             "body \"line\\nline\"\n"
                             "task a edit T in Tasks/Team status complete subject U start "
                             "2026-12-01\n"
                             "expect a task U in Tasks/Team status complete\n"
                             "expect a task U in Tasks/Team percent 40\n"
                             "expect a task U in Tasks/Team due 2026-12-24\n"
                             "expect a task U in Tasks/Team start 2026-12-01\n"
                             "expect a task U in Tasks/Team importance high\n"
                             "expect a task U in Tasks/Team private yes\n"
                             "expect a task U in Tasks/Team categories Red\n"
                             "expect a task U in Tasks/Team owner Anna\n"
                             "expect a task U in Tasks/Team body \"line\\nline\"\n"
                             "expect a task T in Tasks/Team count 0\n"
                             "task a copy U in Tasks/Team to Tasks/Other\n"
                             "task a move U in Tasks/Team to Tasks\n"
                             "expect a task U count 1\n"
                             "expect a task U in Tasks/Other count 1\n"
                             "expect a task U in Tasks/Team count 0\n"
                             "task a delete U\n"
                             "expect a task U in \"Deleted Items\" count 1\n"
                             "task a hard-delete U in Tasks/Other\n"
                             "expect a folder Tasks/Other count 0\n"
                             "item a add Memo in Tasks/Team kind note\n"
                             "item a add Hi in Tasks/Team kind mail\n"
                             "expect a folder Tasks/Team count 2\n"
                             "expect a task Memo in Tasks/Team count 0\n");
  EXPECT_TRUE(failures.empty()) << messages(failures);
  EXPECT_NE(office.transcript().find("a: edits task \"T\" in Tasks/Team: status \"complete\""),
            std::string::npos);
}

TEST(RunnerTasksTest, ATaskNamedByASubjectHeldTwiceOrNotAtAllFailsTheStep) {
  ScenarioOffice office;
  auto failures = office.run(std::string(kTwoUsers) +
                             "task a add T\n"
                             "task a add T\n"
                             "task a edit T percent 5\n"         // 7: twice
                             "task a delete X\n"                 // 8: not there
                             "task a move T to Tasks/Missing\n"  // 9: twice (before the folder)
                             "task a add Y in Tasks/Missing\n"   // 10: no folder
                             "expect a task T percent 0\n"       // 11: twice
                             "expect a task T count 2\n");       // holds
  ASSERT_EQ(failures.size(), 5u) << messages(failures);
  EXPECT_EQ(failures[0].where.line, 7);
  EXPECT_EQ(failures[0].message,
            "2 tasks \"T\" in Tasks of a; a task must be named by a subject its folder holds once");
  EXPECT_EQ(failures[1].message, "no task \"X\" in Tasks of a; it holds [\"T\", \"T\"]");
  EXPECT_EQ(failures[3].message, "no folder \"Tasks/Missing\" for a");
  EXPECT_EQ(failures[4].where.line, 11);
  EXPECT_EQ(failures[4].message,
            "a: expected task \"T\" in Tasks, found 2 tasks \"T\" in Tasks of a; a task must be "
            "named by a subject its folder holds once");
}

TEST(RunnerTasksTest, TaskExpectationsSayWhatWasExpectedAndFound) {
  ScenarioOffice office;
  office.run(std::string(kTwoUsers) + "task a add T due 2026-12-24\ntask b add S\n");
  // Sync ids as the add-in writes them: a text user property.
  auto& mail = office.runner().user("a").host->mail();
  auto& mailB = office.runner().user("b").host->mail();
  auto tag = [](sim::MailClient& client, const char* id) {
    const auto tasks = client.folderItems(client.defaultFolderId(default_folder::kTasks));
    client.changeItem(tasks.front().entryId, [&](sim::mail::ItemData& data) {
      data.userProperties.push_back({u"quendrilaxid", 1, Variant(utf8ToUtf16(id))});
    });
  };
  tag(mail, "{A}");
  tag(mailB, "{B}");
  // U comes after the ids are given and bears none.
  ASSERT_TRUE(office.run("task a add U\n").empty());
  const struct {
    const char* line;
    const char* message;  // nullptr: holds
  } cases[] = {
      {"expect a task T due 2026-12-24", nullptr},
      {"expect a task T due none",
       "a: expected task \"T\" in Tasks due \"none\", found \"2026-12-24\""},
      {"expect a task T status waiting",
       "a: expected task \"T\" in Tasks status \"waiting\", found \"not-started\""},
      {"expect a task T property quendrilaxid \"{A}\"", nullptr},
      {"expect a task T property quendrilaxid absent",
       "a: expected task \"T\" in Tasks property \"quendrilaxid\" absent, found \"{A}\""},
      {"expect a task T property Colour red",
       "a: expected task \"T\" in Tasks property \"Colour\" \"red\", found no such property"},
      {"expect a task T sync-id present", nullptr},
      {"expect a task T sync-id none",
       "a: expected task \"T\" in Tasks without a sync id, found \"{A}\""},
      {"expect a task T sync-id same-as b S",
       "a: expected task \"T\" in Tasks with the sync id of b's task \"S\" in Tasks \"{B}\", "
       "found \"{A}\""},
      {"expect a task T sync-id differs-from b S", nullptr},
      {"expect a task T sync-id differs-from a T",
       "a: expected task \"T\" in Tasks with a sync id other than the sync id of a's task \"T\" "
       "in Tasks, found the same \"{A}\""},
      {"expect a task U sync-id differs-from b S",
       "a: expected task \"U\" in Tasks with a sync id other than the sync id of b's task \"S\" "
       "in Tasks, found none"},
      {"expect a task T sync-id differs-from a U",
       "a: expected task \"T\" in Tasks with a sync id other than the sync id of a's task \"U\" "
       "in Tasks, found that task has none"},
      {"expect a task T count 3", "a: expected 3 task(s) \"T\" in Tasks, found 1 [\"T\", \"U\"]"},
      {"expect a task T in Nowhere count 0", "a: expected a folder \"Nowhere\", found none"},
  };
  for (const auto& c : cases) {
    auto failures = office.run(std::string(c.line) + "\n");
    if (!c.message) {
      EXPECT_TRUE(failures.empty()) << c.line << ": " << messages(failures);
      continue;
    }
    ASSERT_EQ(failures.size(), 1u) << c.line;
    EXPECT_EQ(failures[0].message, c.message);
  }
}

// A sync mail built as the add-in builds one, put into b's Inbox.
void deliverSyncMail(sim::MailClient& mail, SyncKind kind, const std::string& share,
                     const std::u16string& carried) {
  sim::mail::ItemData data = sim::mail::ItemData::newMail();
  data.subject = std::u16string(syncmail::kSubjectText);
  data.to = u"b@office.test;";
  data.body = sim::CodePageSim::widen(buildSyncBody("Notice", kind, share, "{1234}"));
  data.namedProperties[{u"{00020386-0000-0000-C000-000000000046}",
                        std::u16string(syncmail::kHeaderIdName)}] = Variant(u"{1234}");
  if (!carried.empty()) {
    sim::mail::ItemData task = sim::mail::ItemData::newTask();
    task.subject = carried;
    const auto file = sim::mail::encodeMessageFile(task);
    sim::mail::AttachmentData attachment;
    attachment.displayName = u"share.syn";
    attachment.content = *huffmanCompress(file);
    data.attachments.push_back(attachment);
  }
  mail.deliver({data});
}

TEST(RunnerTasksTest, SyncMailsAreReadAsTheAddInReadsThem) {
  ScenarioOffice office;
  office.run("user a\nuser b\n");
  auto& mail = office.runner().user("b").host->mail();
  deliverSyncMail(mail, SyncKind::kChange, "team", u"Buy milk");
  deliverSyncMail(mail, SyncKind::kRemoval, "team", u"");
  mail.deliver({sim::mail::ItemData::newMail()});  // an ordinary mail between
  const struct {
    const char* line;
    const char* message;
  } cases[] = {
      {"expect b sync-mails in Inbox 2", nullptr},
      {"expect b sync-mails in Outbox 1", "b: expected 1 sync mail(s) in Outbox, found 0"},
      {"expect b sync-mail 1 in Inbox kind change", nullptr},
      {"expect b sync-mail 2 in Inbox kind change",
       "b: expected sync mail 2 in Inbox kind change, found removal"},
      {"expect b sync-mail 1 in Inbox share team", nullptr},
      {"expect b sync-mail 1 in Inbox share Team",
       "b: expected sync mail 1 in Inbox share \"Team\", found \"team\""},
      {"expect b sync-mail 1 in Inbox to \"b@office.test;\"", nullptr},
      {"expect b sync-mail 1 in Inbox carries \"Buy milk\"", nullptr},
      {"expect b sync-mail 1 in Inbox carries Bread",
       "b: expected sync mail 1 in Inbox carrying a task \"Bread\", found \"Buy milk\""},
      {"expect b sync-mail 2 in Inbox carries Bread",
       "b: expected sync mail 2 in Inbox to carry \"Bread\", found no attachment"},
      {"expect b sync-mail 2 in Inbox attachments 0", nullptr},
      {"expect b sync-mail 3 in Inbox attachments 0",
       "b: expected sync mail 3 in Inbox, found 2 sync mail(s) in Inbox"},
  };
  for (const auto& c : cases) {
    auto failures = office.run(std::string(c.line) + "\n");
    if (!c.message) {
      EXPECT_TRUE(failures.empty()) << c.line << ": " << messages(failures);
      continue;
    }
    ASSERT_EQ(failures.size(), 1u) << c.line;
    EXPECT_EQ(failures[0].message, c.message);
  }
  office.run("show b sync-mail 1 in Inbox\n");
  const std::string shown = office.transcript();
  EXPECT_NE(shown.find("body reads as: change, share \"team\", sync id \"{1234}\""),
            std::string::npos)
      << shown;
  EXPECT_NE(shown.find("header x-quensyncxxxsyncid: \"{1234}\""), std::string::npos);
  EXPECT_NE(shown.find("subject: \"Buy milk\""), std::string::npos);
}

}  // namespace
}  // namespace qx::tools

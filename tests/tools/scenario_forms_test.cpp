// Every form of the language that the task, sync-mail and later families add
// is read, and each malformed variant is refused with its line, so that a
// scenario written for a later runner never passes silently on this one.
#include <gtest/gtest.h>

#include "quendrilax-sim/commands_tasks.h"
#include "quendrilax-sim/scenario_parser.h"

namespace qx::tools {
namespace {

constexpr const char* kUsers = "user a\nuser b\n";

struct Form {
  const char* line;
  const char* error;  // nullptr: the line is read; else part of the message
};

void expectForms(const std::vector<Form>& forms) {
  for (const Form& form : forms) {
    const std::string text = std::string(kUsers) + form.line + "\n";
    auto parsed = parseScenario(text, "forms.scn", ".");
    if (!form.error) {
      EXPECT_TRUE(parsed.has_value())
          << form.line << " gave: " << (parsed ? "" : parsed.error().message);
      continue;
    }
    ASSERT_FALSE(parsed.has_value()) << form.line << " was read";
    EXPECT_EQ(parsed.error().where.line, 3) << form.line;
    EXPECT_EQ(parsed.error().where.file, "forms.scn");
    EXPECT_NE(parsed.error().message.find(form.error), std::string::npos)
        << form.line << " gave: " << parsed.error().message;
  }
}

TEST(ScenarioFormsTest, TaskCommands) {
  expectForms({
      {"task a add \"Buy milk\"", nullptr},
      {"task a add T in Tasks/Team due 2026-12-24 start none status in-progress percent 50 "
       "importance high private no categories \"Red, Blue\" owner Anna body repeat 3 x",
       nullptr},
      {"task a edit T subject U", nullptr},
      {"task a edit T in Tasks/Team status complete percent 100", nullptr},
      {"task a delete T", nullptr},
      {"task a hard-delete T in Tasks/Team", nullptr},
      {"task a move T to Tasks/Team", nullptr},
      {"task a copy T in Tasks/Team to Tasks", nullptr},
      {"item a add Note in Tasks/Team kind note", nullptr},
      {"item a add Hi in Inbox kind mail", nullptr},
      {"task a edit T", "FIELD VALUE"},
      {"task a edit T in Tasks", "FIELD VALUE"},
      {"task a add T colour red", "unknown field 'colour'"},
      {"task a add T due 24.12.2026", "date such as 2026-12-24"},
      {"task a add T due 2026-02-30", "date such as"},
      {"task a add T due 2026-12-24x", "date such as"},
      {"task a add T status done", "unknown status 'done'"},
      {"task a add T percent 101", "0 to 100"},
      {"task a add T percent many", "0 to 100"},
      {"task a add T importance urgent", "unknown importance"},
      {"task a add T private maybe", "yes or no"},
      {"task a add T subject", "missing subject text"},
      {"task a move T", "to PATH"},
      {"task a copy T Tasks/Team", "to PATH"},
      {"task a move T to", "missing target folder path"},
      {"task a rename T", "unknown task action 'rename'"},
      {"task c add T", "unknown user 'c'"},
      {"task a delete T extra", "unexpected 'extra'"},
      {"item a add Note kind note", "in PATH kind"},
      {"item a add Note in Tasks", "in PATH kind"},
      {"item a add Note in Tasks kind contact", "unknown item kind 'contact'"},
      {"item a edit Note in Tasks kind note", "unknown item action"},
  });
}

TEST(ScenarioFormsTest, TaskExpectations) {
  expectForms({
      {"expect a task T status complete", nullptr},
      {"expect a task T in Tasks/Team due none", nullptr},
      {"expect a task T property quendrilaxid absent", nullptr},
      {"expect a task T property quendrilaxid \"absent\"", nullptr},
      {"expect a task T property Colour red", nullptr},
      {"expect a task T sync-id none", nullptr},
      {"expect a task T sync-id present", nullptr},
      {"expect a task T in Tasks/Team sync-id same-as b T2 in Tasks/Other", nullptr},
      {"expect a task T sync-id differs-from b T2 in Tasks/Other", nullptr},
      {"expect a task T count 0", nullptr},
      {"expect a task T", "FIELD VALUE"},
      {"expect a task T colour red", "unknown field"},
      {"expect a task T sync-id maybe", "unknown sync-id check"},
      {"expect a task T sync-id same-as c T", "unknown user 'c'"},
      {"expect a task T sync-id same-as b", "missing subject of the other task"},
      {"expect a task T sync-id differs-from b", "missing subject of the other task"},
      {"expect a task T count", "missing number of tasks"},
      {"expect a task T count -1", "must be a number"},
      {"expect a task T property", "missing property name"},
      {"expect a task T status complete now", "unexpected 'now'"},
  });
}

TEST(ScenarioFormsTest, SyncMailForms) {
  expectForms({
      {"expect a sync-mails in Outbox 2", nullptr},
      {"expect a sync-mail 1 in Inbox to \"a@office.test;\"", nullptr},
      {"expect a sync-mail 2 in Inbox kind removal", nullptr},
      {"expect a sync-mail 1 in Inbox share team", nullptr},
      {"expect a sync-mail 1 in Inbox carries \"Buy milk\"", nullptr},
      {"expect a sync-mail 1 in Inbox attachments 0", nullptr},
      {"show a sync-mail 1 in Outbox", nullptr},
      {"expect a sync-mails Outbox 2", "sync-mails in PATH N"},
      {"expect a sync-mails in Outbox", "missing number of sync mails"},
      {"expect a sync-mail 0 in Inbox kind change", "count from 1"},
      {"expect a sync-mail 1 Inbox kind change", "sync-mail N in PATH"},
      {"expect a sync-mail 1 in Inbox kind update", "unknown sync mail kind 'update'"},
      {"expect a sync-mail 1 in Inbox subject x", "unknown sync mail check 'subject'"},
      {"expect a sync-mail 1 in Inbox", "missing sync mail check"},
      {"show a sync-mail in Outbox", "must be a number"},
      {"show a sync-mail 1 in Outbox extra", "unexpected 'extra'"},
  });
}

TEST(ScenarioFormsTest, PeerClockAndCrashForms) {
  expectForms({
      {"mail a send change to b@office.test share team id \"{1}\" percent 5 subject x", nullptr},
      {"mail a send change to b@office.test share team id x version none", nullptr},
      {"mail a send change to b@office.test share team id x version \"-1-\\n\"", nullptr},
      {"mail a send removal to b@office.test share team id x version 99999999999999999999-z",
       nullptr},
      {"mail a send removal to b@office.test share team id x", nullptr},
      {"expect a sync-mail 1 in Outbox version none", nullptr},
      {"expect a sync-mail 1 in Outbox version \"1-a\"", nullptr},
      {"user a clock +2m", nullptr},
      {"user a clock -1500ms", nullptr},
      {"user c clock +1h30m", nullptr},
      {"crash a", nullptr},
      {"mail a send update to b share t id x", "unknown mail field 'update'"},
      {"mail a send change b@office.test share t id x", "mail USER send change to ADDRESSES"},
      {"mail a send change to b share t", "share SHARENAME id SYNCID"},
      {"mail a send removal to b share t id x percent 5", "a removal carries no task"},
      {"mail a send change to b share t id x color red", "unknown field 'color'"},
      {"mail a send change to b share t id x version", "missing version text"},
      {"mail a send change to b share \"\\u{3b2}\" id x", "beyond Windows-1252"},
      {"expect a sync-mail 1 in Outbox version", "missing version text"},
      {"mail a send change to b share t id x property quendrilaxid number -7 subject s", nullptr},
      {"mail a send change to b share t id x property quendrilaxstate yesno yes", nullptr},
      {"mail a send change to b share t id x property lastsharename text repeat 3 \"y\"", nullptr},
      {"mail a send change to b share t id x raw-body \"Sync\\n\"", nullptr},
      {"mail a send removal to b share t id x raw-body \"\\u{3b2}\"", nullptr},
      {"mail a send change to b share repeat 300 \"y\" id x", nullptr},
      {"mail a send change to b share t id x property p date 2026-01-01", "property type"},
      {"mail a send change to b share t id x property p number 1.5", "not a 32-bit number"},
      {"mail a send change to b share t id x property p yesno maybe", "(yes, no)"},
      {"mail a send change to b share t id x attachment-file no-such.huf", "cannot read"},
      {"mail a send removal to b share t id x attachment-file a.huf", "a removal carries no task"},
      {"crash", "missing user"},
      {"crash z", "unknown user"},
      {"user a clock", "declared twice"},
      {"user a clock 5m", "clock takes +DURATION or -DURATION"},
      {"user c clock +5", "needs a unit"},
  });
}

TEST(ScenarioFormsTest, KeepingInStepForms) {
  expectForms({
      {"expect in-step team", nullptr},
      {"expect in-step \"Team A\" among a b", nullptr},
      {"soak team users a b edits 300", nullptr},
      {"soak team users a b edits 10 seed 7 faults delay duplicate restart", nullptr},
      {"soak team users a b edits 10 seed 7 faults delay concurrent", nullptr},
      {"soak team users a b edits 10 concurrent", nullptr},
      {"soak team users a b edits 10 concurrent seed 7", "unexpected 'seed'"},
      {"soak team users a b edits 9 faults delay older-peer a concurrent", nullptr},
      {"soak team users a b edits 9 older-peer b", nullptr},
      {"soak team users a b edits 9 concurrent older-peer a", "unexpected 'older-peer'"},
      {"soak team users a edits 9 older-peer b", "not among the soak's users"},
      {"soak team users a edits 9 older-peer a", "needs another user"},
      {"soak team users a b edits 9 older-peer c", "unknown user 'c'"},
      {"postoffice delay 1m copies 2 reorder on crlf off", nullptr},
      {"expect in-step", "missing share name"},
      {"expect in-step team among", "at least one user"},
      {"expect in-step team among c", "unknown user 'c'"},
      {"expect in-step team with a", "unexpected 'with'"},
      {"soak team a b edits 3", "users USER"},
      {"soak team users edits 3", "at least one user"},
      {"soak team users a a edits 3", "named twice"},
      {"soak team users a b", "missing edits"},
      {"soak team users a b edits 0", "at least one edit"},
      {"soak team users a b edits many", "must be a number"},
      {"soak team users a b edits 3 seed", "missing seed"},
      {"soak team users a b edits 3 faults", "at least one of"},
      {"soak team users a b edits 3 faults lightning", "unknown soak fault 'lightning'"},
      {"soak team users a b edits 3 faults delay delay", "named twice"},
      {"postoffice", "postoffice delay"},
      {"postoffice copies 0", "count from 1"},
      {"postoffice reorder maybe", "unknown reorder 'maybe'"},
  });
}

TEST(ScenarioFormsTest, BasicSyncAndPageForms) {
  expectForms({
      {"queue a Tasks/Team write <<END\n00AB\n\nEND", nullptr},
      {"expect a queue Tasks/Team entries 3", nullptr},
      {"expect a queue Tasks/Team entries absent", nullptr},
      {"expect a indicator shown", nullptr},
      {"expect a indicator caption \"Quendrilax\"", nullptr},
      {"expect a indicator tooltip x", nullptr},
      {"expect a progress listings 2", nullptr},
      {"show a progress", nullptr},
      {"user c no-explorer", nullptr},
      {"user c change-events 2 no-explorer", nullptr},
      {"user c change-events 0", "at least one change event"},
      {"user c change-events 11", "out of range (at most 10)"},
      {"user c change-events", "missing change events per save"},
      {"user c change-events-in-save change-events 2", nullptr},
      {"properties a Tasks/Team", nullptr},
      {"expect a page placeholder", nullptr},
      {"page a check", nullptr},
      {"page a sharename \"team\"", nullptr},
      {"page a type \"b@office.test\"", nullptr},
      {"page a click basic-sync", nullptr},
      {"page a select b@office.test", nullptr},
      {"page a double-click b@office.test", nullptr},
      {"page a ok", nullptr},
      {"expect a page list a@x b@x", nullptr},
      {"expect a page list empty", nullptr},
      {"expect a page disabled group", nullptr},
      {"expect a page dirty no", nullptr},
      {"show a page", nullptr},
      {"addressbook a returns \"b@office.test\" flag no", nullptr},
      {"addressbook a returns nothing", nullptr},
      {"expect a shell opened \"C:\\\\Help\\\\Quendrilax.chm\"", nullptr},
      {"register a", nullptr},
      {"unregister b", nullptr},
      {"store a add Server kind 3", nullptr},
      {"queue a Tasks/Team write", "write <<END"},
      {"queue a Tasks/Team read <<END\nEND", "unknown queue action 'read'"},
      {"expect a queue Tasks/Team absent", nullptr},
      {"expect a queue Tasks/Team 3", "unknown queue check"},
      {"expect a queue Tasks/Team absent 3", "unexpected '3'"},
      {"expect a queue Tasks/Team entries", "missing number of entries"},
      {"expect a queue Tasks/Team entries 3 <<END\nEND", "takes no block"},
      {"expect a indicator hidden", "unknown indicator check 'hidden'"},
      {"expect a indicator caption", "missing caption text"},
      {"expect a progress 2", "unknown progress check"},
      {"properties a", "missing folder path"},
      {"expect a page open", "unknown page check 'open'"},
      {"page a press ok", "unknown page action 'press'"},
      {"page a click close", "unknown page button 'close'"},
      {"page a sharename", "missing sharename text"},
      {"expect a page enabled", "missing page control"},
      {"expect a page dirty maybe", "unknown dirty 'maybe'"},
      {"expect a page list", "missing list entry"},
      {"addressbook a gives x", "unknown addressbook action 'gives'"},
      {"addressbook a returns x flag maybe", "unknown flag 'maybe'"},
      {"expect a shell launched x", "unknown shell check"},
      {"register a b", "unexpected 'b'"},
      {"store a add Server", "kind N"},
      {"store a add \"Ser:ver\" kind 3", "no ':'"},
      {"store a remove Server kind 3", "unknown store action"},
      {"user c explorer", "unknown user option 'explorer'"},
  });
}

// The registry and files hold Windows-1252: a text they cannot hold as
// written is refused before the run rather than stored as something else.
TEST(ScenarioFormsTest, TextsForTheCodePageMustFitIt) {
  expectForms({
      {"registry a set Config From sz \"B\\u{fc}ro \\u{20ac}\"", nullptr},
      {"registry a set Config From sz \"\\u{3b2}eta\"", "beyond Windows-1252"},
      {"registry a set Config List multi-sz ok \"\\u{3b2}\"", "beyond Windows-1252"},
      {"registry a set \"K\\u{3b2}\" From sz x", "beyond Windows-1252"},
      {"file a data note.txt write \"\\u{3b2}\"", "beyond Windows-1252"},
      {"share a Tasks as \"\\u{3b2}\"", "beyond Windows-1252"},
      {"task a add \"\\u{3b2}eta\"", nullptr},  // the host's own texts are UTF-16
  });
}

TEST(ScenarioFormsTest, ExpectAndShowNameTheirWords) {
  expectForms({
      {"expect a frobs 2", "unknown expectation 'frobs'"},
      {"show a frobs", "unknown 'show frobs'"},
      {"expect c boxes 1", "unknown user 'c'"},
      {"expect a boxes 1 <<END\nEND", "takes no block"},
  });
}

TEST(ScenarioFormsTest, TaskFieldsReadBackAsWritten) {
  auto parsed = parseScenario(std::string(kUsers) + "task a add T due 2026-12-24 percent 0x10\n",
                              "t.scn", ".");
  // Hexadecimal is a registry habit, not a percentage.
  ASSERT_FALSE(parsed.has_value());
  parsed = parseScenario(std::string(kUsers) + "task a add T due 2026-12-24 percent 007\n", "t.scn",
                         ".");
  ASSERT_TRUE(parsed.has_value()) << parsed.error().message;
  const auto* task = (*parsed)[2].as<TaskCmd>();
  ASSERT_NE(task, nullptr);
  ASSERT_EQ(task->fields.size(), 2u);
  EXPECT_EQ(task->fields[1].text, "7");

  sim::mail::ItemData data = sim::mail::ItemData::newTask();
  for (const FieldValue& f : task->fields) applyField(data, f);
  EXPECT_EQ(fieldText(data, TaskField::kDue), "2026-12-24");
  EXPECT_EQ(fieldText(data, TaskField::kStart), "none");
  // Days since 1899-12-30, as the host keeps dates.
  EXPECT_DOUBLE_EQ(data.dueDate.days, 46380.0);
  for (const char* date : {"1601-01-01", "2000-02-29", "2026-12-31", "4500-12-31"})
    EXPECT_EQ(dateText(*dateFromText(date)), date);
  for (const char* date : {"2100-02-29", "4501-01-01", "2026-13-01", "2026-00-10", "26-12-24"})
    EXPECT_FALSE(dateFromText(date).has_value()) << date;
}

}  // namespace
}  // namespace qx::tools

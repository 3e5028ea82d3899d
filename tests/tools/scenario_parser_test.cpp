#include "quendrilax-sim/scenario_parser.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "quendrilax-sim/commands_office.h"
#include "quendrilax-sim/commands_registry.h"
#include "quendrilax-sim/commands_tasks.h"

namespace qx::tools {
namespace {

std::vector<Command> parseOk(std::string_view text) {
  auto parsed = parseScenario(text, "t.scn", ".");
  EXPECT_TRUE(parsed.has_value()) << (parsed ? "" : parsed.error().message);
  return parsed ? *parsed : std::vector<Command>{};
}

TEST(ScenarioParserTest, DurationsInEveryUnit) {
  const std::pair<const char*, std::optional<std::int64_t>> cases[] = {
      {"1500ms", 1500},      {"10s", 10000},        {"2m", 120000},        {"1h", 3600000},
      {"1m30s", 90000},      {"2min", 120000},      {"7d", 604800000},     {"1d2h", 93600000},
      {"1min30s", 90000},    {"250", std::nullopt}, {"", std::nullopt},    {"s", std::nullopt},
      {"10x", std::nullopt}, {"5s3", std::nullopt}, {"-1s", std::nullopt}, {"10mi", std::nullopt},
  };
  for (auto [text, expected] : cases) EXPECT_EQ(parseDuration(text), expected) << text;
}

TEST(ScenarioParserTest, DurationErrorsSayWhatIsWrong) {
  const std::pair<const char*, const char*> cases[] = {
      {"advance 10", "duration '10' needs a unit after its number: ms, s, m or min, h or d"},
      {"advance 99999999999999s", "duration '99999999999999s' is too large: at most 10000d"},
      {"advance 10001d", "is too large: at most 10000d"},
      {"advance 10x", "duration '10x' has an unknown unit 'x'"},
      {"advance 10mi", "has an unknown unit 'mi'"},
      {"advance -1s", "duration '-1s' is negative"},
      {"advance soon", "duration 'soon' must start with a number"},
      {"advance 1m30", "needs a unit after its number"},
      {"user b clock 5m", "clock takes +DURATION or -DURATION"},
      {"user b clock +5", "clock offset '+5': the duration needs a unit"},
      {"user a clock +1s +2s", "declared twice"},
  };
  for (const auto& [line, message] : cases) {
    auto parsed = parseScenario(std::string("user a\n") + line + "\n", "t.scn", ".");
    ASSERT_FALSE(parsed.has_value()) << line;
    EXPECT_NE(parsed.error().message.find(message), std::string::npos)
        << line << " gave: " << parsed.error().message;
    EXPECT_EQ(parsed.error().message.find("must be a duration"), std::string::npos);
  }
  EXPECT_EQ(parseDuration("10000d"), 864'000'000'000);
}

TEST(ScenarioParserTest, AByteOrderMarkBeforeTheFirstLineIsPassedOver) {
  auto commands = parseOk("\xEF\xBB\xBFuser a\r\nexpect a stopped\r\n");
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0].as<UserCmd>()->profile.name, "a");
  // Only at the start of the file: elsewhere it is a character like any other.
  EXPECT_FALSE(parseScenario("user a\n\xEF\xBB\xBFstart a\n", "t.scn", ".").has_value());
}

TEST(ScenarioParserTest, RepeatRunsItsLinesWithTheCounter) {
  auto commands = parseOk(
      "user a\n"
      "repeat 3\n"
      "  task a add \"Task {i}\" percent {i}\n"
      "  repeat 2\n"
      "    echo inner {i}\n"
      "  end\n"
      "  queue a Tasks write <<R\n"
      "end\n"  // a block's line, not the repeat's end
      "R\n"
      "end\n"
      "user b clock -90s\n");
  // user a, 3 x (task, 2 echo, import), the clock.
  ASSERT_EQ(commands.size(), 1u + 3u * 4u + 1u);
  const auto* third = commands[9].as<TaskCmd>();
  ASSERT_NE(third, nullptr);
  EXPECT_EQ(third->subject, "Task 3");
  EXPECT_EQ(third->fields[0].text, "3");
  EXPECT_EQ(commands[9].where.line, 3);
  EXPECT_EQ(commands[4].where.line, 7);
  const auto* declared = commands.back().as<UserCmd>();
  ASSERT_NE(declared, nullptr);
  EXPECT_EQ(declared->profile.clockDriftMs, -90'000);

  const std::pair<const char*, const char*> bad[] = {
      {"repeat 2\necho x\n", "repeat not closed: no line 'end' follows"},
      {"end\n", "'end' without a 'repeat'"},
      {"repeat 0\nend\n", "at least once"},
      {"repeat 100001\nend\n", "at most 100000"},
      {"repeat 2 times\nend\n", "unexpected 'times'"},
      {"repeat 2\nfrobnicate {i}\nend\n", "unknown command 'frobnicate'"},
      {"repeat 100000\necho 1\necho 2\necho 3\necho 4\necho 5\necho 6\necho 7\necho 8\n"
       "echo 9\necho 10\necho 11\nend\n",
       "more than a million commands"},
  };
  for (const auto& [text, message] : bad) {
    auto parsed = parseScenario(std::string("user a\n") + text, "t.scn", ".");
    ASSERT_FALSE(parsed.has_value()) << text;
    EXPECT_NE(parsed.error().message.find(message), std::string::npos)
        << text << " gave: " << parsed.error().message;
  }
}

TEST(ScenarioParserTest, UserOptions) {
  auto commands = parseOk(
      "user alice\n"
      "user bob address Bob@Example.com language de version 10.0.0.4024 appdata missing "
      "library missing utc -5:30\n");
  ASSERT_EQ(commands.size(), 2u);
  const auto& alice = commands[0].as<UserCmd>()->profile;
  EXPECT_EQ(alice.address, "alice@office.test");
  EXPECT_EQ(alice.language, 0x0409);
  EXPECT_FALSE(alice.appDataMissing);
  const auto& bob = commands[1].as<UserCmd>()->profile;
  EXPECT_EQ(bob.address, "Bob@Example.com");
  EXPECT_EQ(bob.language, 0x0407);
  EXPECT_EQ(bob.hostVersion, "10.0.0.4024");
  EXPECT_TRUE(bob.appDataMissing);
  EXPECT_TRUE(bob.libraryMissing);
  EXPECT_EQ(bob.utcOffsetMinutes, -330);
  EXPECT_EQ(commands[1].where.line, 2);
}

TEST(ScenarioParserTest, RegistryValuesBecomeTypedBytes) {
  auto commands = parseOk(
      "user a\n"
      "registry a set Config debug dword 0x102\n"
      "registry a set Config From sz \"Chef\" unterminated\n"
      "registry a set Config From sz repeat 3 \"ab\"\n"
      "registry a set Config raw hex(1) 41,42\n"
      "registry a set Config list multi-sz one two\n"
      "registry a set Config big qword 1\n");
  ASSERT_EQ(commands.size(), 7u);
  const auto& dword = (*commands[1].as<RegSetCmd>()).value;
  EXPECT_EQ(dword.type, 4u);
  EXPECT_EQ(dword.bytes, (std::vector<std::uint8_t>{0x02, 0x01, 0, 0}));
  const auto& unterminated = (*commands[2].as<RegSetCmd>()).value;
  EXPECT_EQ(unterminated.text, "Chef");
  EXPECT_FALSE(unterminated.terminated);
  EXPECT_EQ((*commands[3].as<RegSetCmd>()).value.text, "ababab");
  const auto& raw = (*commands[4].as<RegSetCmd>()).value;
  EXPECT_EQ(raw.type, 1u);
  EXPECT_FALSE(raw.text.has_value());
  EXPECT_EQ(raw.bytes, (std::vector<std::uint8_t>{0x41, 0x42}));
  EXPECT_EQ((*commands[5].as<RegSetCmd>()).value.text, std::string("one\0two\0", 8));
  EXPECT_EQ((*commands[6].as<RegSetCmd>()).value.bytes.size(), 8u);
}

TEST(ScenarioParserTest, InlineBlockKeepsItsLinesAndTheOpeningLineNumber) {
  auto commands = parseOk(
      "user a\n"
      "registry a import <<REG\n"
      "Windows Registry Editor Version 5.00\n"
      "  \"debug\"=dword:00000001\n"
      "  REG  \n"
      "start a\n");
  ASSERT_EQ(commands.size(), 3u);
  const auto& import = (*commands[1].as<RegImportCmd>());
  EXPECT_EQ(import.text, "Windows Registry Editor Version 5.00\n  \"debug\"=dword:00000001\n");
  EXPECT_EQ(commands[1].where.line, 2);
  EXPECT_EQ(commands[2].where.line, 6);
}

TEST(ScenarioParserTest, ImportReadsAFileBesideTheScenario) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("qx_parser_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "switches.reg") << "content";
  auto parsed = parseScenario("user a\nregistry a import switches.reg\n", "t.scn", dir);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ((*parsed)[1].as<RegImportCmd>()->text, "content");
  auto missing = parseScenario("user a\nregistry a import nothing.reg\n", "t.scn", dir);
  ASSERT_FALSE(missing.has_value());
  EXPECT_EQ(missing.error().where.line, 2);
  std::filesystem::remove_all(dir);
}

TEST(ScenarioParserTest, Expectations) {
  auto commands = parseOk(
      "user a\n"
      "expect a box 1 caption \"Quendrilax\" text \"x\\ny\" type ok\n"
      "expect a box last\n"
      "expect a no boxes\n"
      "expect a log debug first \"Debugger started\" \"10.0.0.6626\"\n"
      "expect a log error absent\n"
      "expect a registry Config exists\n"
      "expect a registry Config debug dword 1\n"
      "expect a registry Config absent absent\n"
      "expect a file data share.syn absent\n"
      "expect a timer 3s\n"
      "expect a timer none\n");
  ASSERT_EQ(commands.size(), 12u);
  const auto& box = *commands[1].as<ExpectStep>()->as<ExpectBox>();
  EXPECT_EQ(box.index, 1);
  EXPECT_EQ(box.text, "x\ny");
  EXPECT_EQ(box.type, 0u);
  EXPECT_EQ(commands[2].as<ExpectStep>()->as<ExpectBox>()->index, 0);
  EXPECT_EQ(commands[3].as<ExpectStep>()->as<ExpectBoxes>()->count, 0);
  EXPECT_EQ(commands[4].verb, "expect");
  EXPECT_TRUE(commands[6].as<ExpectStep>()->as<ExpectRegistryKey>()->exists);
  // A value named "absent" that is expected to be absent.
  const auto& named = *commands[8].as<ExpectStep>()->as<ExpectRegistryValue>();
  EXPECT_EQ(named.name, "absent");
  EXPECT_FALSE(named.value.has_value());
  EXPECT_EQ(commands[10].as<ExpectStep>()->as<ExpectTimer>()->ms, 3000u);
  EXPECT_FALSE(commands[11].as<ExpectStep>()->as<ExpectTimer>()->ms);
}

TEST(ScenarioParserTest, UnreadableScenariosNameTheirLine) {
  struct Case {
    std::string text;
    int line;
    const char* message;  // part of the message
  };
  const Case cases[] = {
      {"frobnicate\n", 1, "unknown command"},
      {"user a\nstart b\n", 2, "unknown user 'b'"},
      {"user a\nuser a\n", 2, "declared twice"},
      {"user a\n\nadvance soon\n", 3, "duration"},
      {"user a\nadvance 10 minutes\n", 2, "ms, s, m or min, h or d"},
      {"user a\nregistry a import .\n", 2, "is a directory"},
      {"user a\nanswer a maybe\n", 2, "unknown answer"},
      {"user a\nstart a now\n", 2, "unexpected 'now'"},
      {"user a\nregistry a set Config debug dword 0x100000000\n", 2, "out of range"},
      {"user a\nregistry a set Config debug word 1\n", 2, "unknown value type"},
      {"user a\nregistry a set Config b binary 123\n", 2, "pairs"},
      {"user a\nregistry a import <<END\nx\n", 2, "not closed"},
      {"user a\nstart a <<END\nEND\n", 2, "takes no block"},
      {"user a\nexpect a log trace contains x\n", 2, "unknown log"},
      {"user a\nexpect a box 0\n", 2, "count from 1"},
      {"user a\necho \"open\n", 2, "unterminated"},
      {"user a b\n", 1, "unknown user option"},
      {"user a language klingon\n", 1, "unknown language"},
      {"user a\nregistry a set Config From sz repeat 100000 \"abcdefghijk\"\n", 2, "megabyte"},
      {"user a\nregistry a set Config From sz repeat 100001 \"a\"\n", 2,
       "repeat count too large (at most 100000)"},
      // What is no UTF-8 text with LF or CR LF line ends is said as such.
      {"user a\necho \"\\u{D800}\"\n", 2, "\\u{D800} is half of a surrogate pair"},
      {"user a\necho \"\\u{dc00}\"\n", 2, "\\u{DC00} is half of a surrogate pair"},
      {"user a\necho caf\xE9\n", 2, "byte 0xE9 at column 9 is not UTF-8"},
      {"user a\necho \"\xED\xA0\x80\"\n", 2, "byte 0xED at column 7 is not UTF-8"},
      {"user a\necho \xC0\xAF\n", 2, "byte 0xC0 at column 6 is not UTF-8"},
      {std::string("user a\nstart a\0\n", 16), 2, "a NUL byte at column 8"},
      {std::string("\xFF\xFEu\0s\0e\0r\0 \0a\0\n\0", 16), 1, "the file is UTF-16 text"},
      {std::string("u\0s\0e\0r\0 \0a\0\n\0", 14), 1, "the file is UTF-16 text"},
      {"user a\rstart a\r", 1, "a carriage return at column 7 inside the line"},
      {"user a\nrepeat 2\n repeat 2\n  repeat 2\n   repeat 2\n    repeat 2\n     repeat 2\n"
       "      repeat 2\n       repeat 2\n        repeat 2\n         repeat 2\n"
       "          repeat 2\n",
       12, "repeats nest at most 10 deep; this one is inside 10 others (the outermost at line 2)"},
  };
  for (const Case& c : cases) {
    auto parsed = parseScenario(c.text, "office.scn", ".");
    ASSERT_FALSE(parsed.has_value()) << c.text;
    EXPECT_EQ(parsed.error().where.file, "office.scn");
    EXPECT_EQ(parsed.error().where.line, c.line) << c.text;
    EXPECT_NE(parsed.error().message.find(c.message), std::string::npos)
        << c.text << " gave: " << parsed.error().message;
  }
}

TEST(ScenarioParserTest, FoldersTasksMailAndSharing) {
  auto commands = parseOk(
      "user a\n"
      "folder a add \"Tasks/My Team\" mail\n"
      "task a add \"Buy milk\"\n"
      "task a delete x in Tasks/Team\n"
      "mail a send to b@x.test subject Hi body repeat 2 \"ab\"\n"
      "share a Tasks/Team as team with b@x.test c@x.test\n"
      "share a Tasks as solo\n"
      "transport every 30s\n"
      "expect a folder Inbox count 2\n"
      "expect a folder \"Deleted Items\" lacks x\n");
  ASSERT_EQ(commands.size(), 10u);
  EXPECT_EQ(commands[1].verb, "folder");
  EXPECT_EQ((*commands[2].as<TaskCmd>()).folder, "Tasks");
  EXPECT_EQ((*commands[3].as<TaskCmd>()).action, TaskCmd::Action::kDelete);
  EXPECT_EQ((*commands[5].as<ShareCmd>()).recipients.size(), 2u);
  EXPECT_TRUE((*commands[6].as<ShareCmd>()).recipients.empty());
  EXPECT_EQ((*commands[7].as<TransportCmd>()).everyMs, 30000);
  EXPECT_NE(commands[9].as<ExpectStep>(), nullptr);

  const char* bad[] = {
      "user a\nmail a send subject x\n",    // no recipient
      "user a\nshare a Tasks team\n",       // no 'as'
      "user a\nshare a Tasks as t with\n",  // 'with' and nobody
      "user a\ntransport every 0s\n",
      "user a\ntask a move x\n",  // no target
      "user a\nexpect a folder Inbox holds x\n",
  };
  for (const char* text : bad) EXPECT_FALSE(parseScenario(text, "t.scn", ".").has_value()) << text;
}

TEST(ScenarioReaderTest, FeedsCommandsAsSoonAsTheyAreComplete) {
  ScenarioReader reader("-", ".");
  auto none = reader.feed("user a");
  ASSERT_TRUE(none.has_value());
  ASSERT_EQ(none->size(), 1u);
  ASSERT_TRUE(reader.feed("registry a import <<R").has_value());
  EXPECT_TRUE(reader.inBlock());
  auto inside = reader.feed("[HKEY_CURRENT_USER\\x]");
  ASSERT_TRUE(inside.has_value());
  EXPECT_TRUE(inside->empty());
  auto done = reader.feed("R");
  ASSERT_TRUE(done.has_value());
  ASSERT_EQ(done->size(), 1u);
  EXPECT_FALSE(reader.inBlock());
  // After a bad line the reader goes on: the interactive mode keeps running.
  EXPECT_FALSE(reader.feed("bogus").has_value());
  auto next = reader.feed("advance 1s");
  ASSERT_TRUE(next.has_value());
  ASSERT_EQ(next->size(), 1u);
  EXPECT_EQ((*next)[0].where.line, 6);
}

}  // namespace
}  // namespace qx::tools

// The add-in's logs: tracing new lines into the transcript, showing a log,
// and what can be expected of its entries. Documented in docs/scenarios.md
// "Transcript" and "Expectations" (log).
#include <algorithm>

#include "quendrilax-sim/command_table.h"
#include "quendrilax-sim/log_entries.h"
#include "quendrilax-sim/runner.h"
#include "quendrilax-sim/runner_text.h"
#include "quendrilax-sim/text_utf.h"
#include "sim/host_file_system.h"
#include "sim/office/host_process.h"

namespace qx::tools {

namespace {

enum class Check { kContains, kLacks, kFirst, kPresent, kAbsent, kEntries, kLine, kEntry };

struct LogCheck {
  bool debug = true;
  Check check = Check::kContains;
  std::vector<std::string> texts;
  int number = 0;  // kEntries: count; kLine, kEntry: 1-based index
};

bool readLogKind(Args& args) { return args.oneOf("log", "debug|error") == "debug"; }

std::optional<std::string> checkLog(OfficeUser& u, const LogCheck& e) {
  const char* file = e.debug ? "debug.log" : "error.log";
  const auto raw = u.host->disk().readText(u.host->moduleFolder() + file);
  if (e.check == Check::kAbsent)
    return raw ? expected(std::string(file) + " absent", "it exists") : std::nullopt;
  // A log never written lacks every text.
  if (!raw && e.check == Check::kLacks) return std::nullopt;
  if (!raw) return expected(std::string(file) + " to exist", "no such file");
  const std::string content = ansiToUtf8(*raw);
  const auto entries = e.debug ? readDebugLog(content) : readErrorLog(content);
  std::string joined;
  for (const LogEntry& entry : entries) joined += entry.text + "\n";
  auto listed = [&](std::size_t count) {
    std::string list;
    for (std::size_t i = 0; i < std::min(count, entries.size()); ++i)
      list += (i ? ", " : "") + inQuotes(entries[i].text);
    return "[" + list + "]";
  };
  switch (e.check) {
    case Check::kPresent:
    case Check::kAbsent:
      return std::nullopt;
    case Check::kContains:
      if (joined.find(e.texts[0]) != std::string::npos) return std::nullopt;
      return expected(std::string(file) + " to contain " + inQuotes(e.texts[0]),
                      std::to_string(entries.size()) + " entries without it");
    case Check::kLacks:
      if (joined.find(e.texts[0]) == std::string::npos) return std::nullopt;
      return expected(std::string(file) + " without " + inQuotes(e.texts[0]), "it there");
    case Check::kEntries:
      if (static_cast<int>(entries.size()) == e.number) return std::nullopt;
      return expected(std::to_string(e.number) + " entries in " + file,
                      std::to_string(entries.size()) + " " + listed(entries.size()));
    case Check::kFirst: {
      bool same = entries.size() >= e.texts.size();
      for (std::size_t i = 0; same && i < e.texts.size(); ++i) same = entries[i].text == e.texts[i];
      if (same) return std::nullopt;
      std::string wanted;
      for (std::size_t i = 0; i < e.texts.size(); ++i)
        wanted += (i ? ", " : "") + inQuotes(e.texts[i]);
      return expected(std::string(file) + " to begin with [" + wanted + "]",
                      listed(e.texts.size()));
    }
    case Check::kEntry: {
      const auto n = static_cast<std::size_t>(e.number);
      if (n > entries.size())
        return expected(std::string(file) + " entry " + std::to_string(n),
                        "only " + std::to_string(entries.size()) + " entries");
      if (entries[n - 1].text == e.texts[0]) return std::nullopt;
      return expected(
          std::string(file) + " entry " + std::to_string(n) + " " + inQuotes(e.texts[0]),
          inQuotes(entries[n - 1].text));
    }
    case Check::kLine: {
      const auto lines = logLines(content);
      const auto n = static_cast<std::size_t>(e.number);
      if (n > lines.size())
        return expected(std::string(file) + " line " + std::to_string(n),
                        "only " + std::to_string(lines.size()) + " lines");
      if (lines[n - 1] == e.texts[0]) return std::nullopt;
      return expected(std::string(file) + " line " + std::to_string(n) + " " + inQuotes(e.texts[0]),
                      inQuotes(lines[n - 1]));
    }
  }
  return std::nullopt;
}

LogCheck readLogCheck(Args& args) {
  LogCheck log;
  log.debug = readLogKind(args);
  const std::string check =
      args.oneOf("log check", "contains|lacks|first|present|absent|entries|line|entry");
  if (check == "contains" || check == "lacks") {
    log.check = check == "contains" ? Check::kContains : Check::kLacks;
    log.texts.push_back(args.text("text"));
  } else if (check == "first") {
    log.check = Check::kFirst;
    while (!args.done()) log.texts.push_back(args.text("entry"));
    if (log.texts.empty()) bad("'first' needs at least one entry");
  } else if (check == "present" || check == "absent") {
    log.check = check == "present" ? Check::kPresent : Check::kAbsent;
  } else if (check == "entries") {
    log.check = Check::kEntries;
    log.number = args.count("number of entries");
  } else {
    log.check = check == "line" ? Check::kLine : Check::kEntry;
    log.number = args.count(check + " number");
    if (log.number < 1) bad(check + "s count from 1");
    log.texts.push_back(args.text("text"));
  }
  return log;
}

}  // namespace

void registerLogCommands(CommandTable& table) {
  table.command("trace", [](ReadContext& ctx) {
    ctx.args.oneOf("what to trace", "logs");
    const bool on = ctx.args.oneOf("trace state", "on|off") == "on";
    return makeStep([on](Runner& runner, const SourceLocation&) { runner.traceLogs(on); });
  });
  table.expectation("log", [](ReadContext& ctx) {
    return makeExpectation(
        [log = readLogCheck(ctx.args)](Runner&, OfficeUser& u) { return checkLog(u, log); });
  });
  table.show("log", [](ReadContext& ctx, const std::string& user) {
    const bool debug = readLogKind(ctx.args);
    return makeStep([user, debug](Runner& runner, const SourceLocation&) {
      OfficeUser& u = runner.user(user);
      const char* file = debug ? "debug.log" : "error.log";
      const auto content = u.host->disk().readText(u.host->moduleFolder() + file);
      if (!content) return runner.say(user, std::string(file) + " does not exist");
      runner.say(user, std::string(file) + ":");
      for (const std::string& line : logLines(*content))
        runner.out() << "    " << printable(ansiToUtf8(line)) << '\n';
    });
  });
  table.help("  trace logs on|off | show USER log debug|error");
  table.help("  expect USER log debug|error contains|lacks T | first T... | entry N T | line N T");
  table.help("                                | entries N | present | absent");
}

void registerTranscriptCommands(CommandTable& table) {
  table.command("echo", [](ReadContext& ctx) {
    std::string text;
    while (!ctx.args.done()) {
      if (!text.empty()) text += ' ';
      text += ctx.args.text("text");
    }
    return makeStep([text](Runner& runner, const SourceLocation&) { runner.say("", "# " + text); });
  });
  table.command("help", [](ReadContext&) {
    return makeStep([](Runner& runner, const SourceLocation&) {
      runner.out() << "commands (docs/scenarios.md has the whole language):\n";
      const CommandTable table = buildCommandTable();
      for (const std::string& line : table.helpLines()) runner.out() << line << '\n';
    });
  });
  table.help("  echo TEXT... | help | quit, exit (at the prompt)");
  table.help("  repeat N ... end: the lines between, N times; {i} in them counts 1 to N");
  table.help("  DURATION: a number with its unit, ms s m|min h d, e.g. 1500ms 1m30s 7d");
}

}  // namespace qx::tools

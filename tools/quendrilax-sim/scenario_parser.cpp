#include "quendrilax-sim/scenario_parser.h"

#include <cstdio>
#include <optional>
#include <utility>

#include "quendrilax-sim/runner.h"
#include "quendrilax-sim/text_utf.h"

namespace qx::tools {

void ExpectStep::run(Runner& runner, const SourceLocation& where) const {
  OfficeUser& u = runner.user(user_);
  runner.catchUp(u);
  auto problem = what_->check(runner, u);
  if (!problem) return;
  // What mail brings: a mail that never left its Outbox is the usual reason.
  if (word_ == "folder" || word_ == "task" || word_ == "sync-mails" || word_ == "sync-mail")
    *problem += runner.outboxHint();
  runner.fail(where, user_ + ": " + *problem);
}

ScenarioReader::ScenarioReader(std::string fileName, std::filesystem::path baseDir)
    : table_(buildCommandTable()), fileName_(std::move(fileName)), baseDir_(std::move(baseDir)) {}

namespace {

std::string_view trimmed(std::string_view line) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  return line;
}

bool isWord(const std::vector<Token>& tokens, std::string_view word) {
  return !tokens.empty() && !tokens[0].quoted && tokens[0].text == word;
}

std::string withCounter(std::string_view line, int i) {
  std::string out;
  const std::string counter = std::to_string(i);
  for (std::size_t pos = 0; pos < line.size();) {
    if (line.substr(pos, 3) == "{i}") {
      out += counter;
      pos += 3;
    } else {
      out += line[pos++];
    }
  }
  return out;
}

// What makes a line unreadable before its words are looked at: the file is
// not UTF-8 text with LF or CR LF line ends. Said by what it is, since the
// words such a line falls into would only mislead.
std::optional<std::string> encodingProblem(std::string_view line, int number) {
  const auto column = [](std::size_t at) { return " at column " + std::to_string(at + 1); };
  const bool wideMark =
      number == 1 && (line.starts_with("\xFF\xFE") || line.starts_with("\xFE\xFF"));
  // Latin letters in UTF-16 have a NUL byte beside each.
  const bool wideLetters = line.size() >= 4 && ((line[0] != '\0' && line[1] == '\0' &&
                                                 line[2] != '\0' && line[3] == '\0') ||
                                                (line[0] == '\0' && line[1] != '\0' &&
                                                 line[2] == '\0' && line[3] != '\0'));
  if (wideMark || wideLetters)
    return "the file is UTF-16 text; scenarios are written in UTF-8 (save it as UTF-8)";
  if (const std::size_t nul = line.find('\0'); nul != std::string_view::npos)
    return "a NUL byte" + column(nul) + ": a scenario is text (write \\x00 inside quotes)";
  if (const std::size_t cr = line.find('\r'); cr != std::string_view::npos)
    return "a carriage return" + column(cr) +
           " inside the line: lines end in LF or CR LF, never in CR alone";
  if (const auto bad = invalidUtf8At(line)) {
    char byte[8];
    std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(line[*bad]));
    return std::string("byte ") + byte + column(*bad) +
           " is not UTF-8: scenarios are written in UTF-8";
  }
  return std::nullopt;
}

}  // namespace

std::expected<std::vector<Command>, ParseError> ScenarioReader::feed(std::string_view line) {
  ++lineNumber_;
  // Editors on Windows often start a UTF-8 file with a byte-order mark.
  if (lineNumber_ == 1 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (auto problem = encodingProblem(line, lineNumber_))
    return std::unexpected(ParseError{{fileName_, lineNumber_}, std::move(*problem)});
  return feedAt(line, lineNumber_);
}

std::expected<std::vector<Command>, ParseError> ScenarioReader::feedAt(std::string_view line,
                                                                       int number) {
  using Commands = std::vector<Command>;
  if (repeat_.depth > 0) return collect(line, number);
  if (!blockEnd_.empty()) {
    if (trimmed(line) != blockEnd_) {
      block_ += line;
      block_ += '\n';
      return Commands{};
    }
    blockEnd_.clear();
    try {
      return Commands{read(blockTokens_, &block_, blockLine_)};
    } catch (const Unreadable& e) {
      return std::unexpected(ParseError{{fileName_, blockLine_}, e.message});
    }
  }
  auto lexed = lexLine(line);
  if (!lexed) return std::unexpected(ParseError{{fileName_, number}, lexed.error()});
  if (!lexed->blockEnd.empty()) {
    if (lexed->tokens.empty())
      return std::unexpected(ParseError{{fileName_, number}, "a block needs a command"});
    blockEnd_ = lexed->blockEnd;
    blockTokens_ = std::move(lexed->tokens);
    blockLine_ = number;
    block_.clear();
    return Commands{};
  }
  if (lexed->tokens.empty()) return Commands{};
  try {
    if (isWord(lexed->tokens, "repeat")) {
      Args args(lexed->tokens);
      args.keyword("repeat");
      const int count = args.count("repeat count", kMostRepeats);
      if (count < 1) bad("a repeat runs its lines at least once");
      args.end();
      repeat_ = Repeat{1, count, number, {}, {}};
      return Commands{};
    }
    if (isWord(lexed->tokens, "end") && lexed->tokens.size() == 1)
      bad("'end' without a 'repeat' before it");
    return Commands{read(lexed->tokens, nullptr, number)};
  } catch (const Unreadable& e) {
    return std::unexpected(ParseError{{fileName_, number}, e.message});
  }
}

std::expected<std::vector<Command>, ParseError> ScenarioReader::collect(std::string_view line,
                                                                        int number) {
  if (!repeat_.blockEnd.empty()) {
    // A block's lines are text, whatever words they hold.
    if (trimmed(line) == repeat_.blockEnd) repeat_.blockEnd.clear();
    repeat_.lines.emplace_back(number, std::string(line));
    return std::vector<Command>{};
  }
  auto lexed = lexLine(line);
  if (!lexed) {
    repeat_ = Repeat{};
    return std::unexpected(ParseError{{fileName_, number}, lexed.error()});
  }
  if (isWord(lexed->tokens, "repeat") && ++repeat_.depth > kMostNestedRepeats) {
    const int outer = repeat_.line;
    repeat_ = Repeat{};
    return std::unexpected(ParseError{
        {fileName_, number},
        "repeats nest at most " + std::to_string(kMostNestedRepeats) +
            " deep; this one is inside " + std::to_string(kMostNestedRepeats) +
            " others (the outermost at line " + std::to_string(outer) + ")"});
  }
  if (isWord(lexed->tokens, "end") && lexed->tokens.size() == 1 && --repeat_.depth == 0)
    return expandRepeat();
  repeat_.blockEnd = lexed->blockEnd;
  repeat_.lines.emplace_back(number, std::string(line));
  return std::vector<Command>{};
}

std::expected<std::vector<Command>, ParseError> ScenarioReader::expandRepeat() {
  const Repeat repeat = std::move(repeat_);
  repeat_ = Repeat{};
  // A scenario is written by a person; millions of commands are a slip.
  const auto tooMany = [&] {
    return std::unexpected(
        ParseError{{fileName_, repeat.line}, "the repeat makes more than a million commands"});
  };
  if (static_cast<std::size_t>(repeat.count) * repeat.lines.size() > kMostRepeatedCommands)
    return tooMany();
  std::vector<Command> commands;
  for (int i = 1; i <= repeat.count; ++i) {
    for (const auto& [number, text] : repeat.lines) {
      auto fed = feedAt(withCounter(text, i), number);
      if (!fed) {
        blockEnd_.clear();
        repeat_ = Repeat{};
        return std::unexpected(fed.error());
      }
      for (Command& command : *fed) commands.push_back(std::move(command));
    }
    if (!blockEnd_.empty()) {
      const std::string end = std::exchange(blockEnd_, std::string());
      return std::unexpected(ParseError{
          {fileName_, blockLine_},
          "block not closed inside the repeat: no line '" + end + "' before its 'end'"});
    }
    if (commands.size() > kMostRepeatedCommands) return tooMany();
  }
  return commands;
}

Command ScenarioReader::read(const std::vector<Token>& tokens, const std::string* block, int line) {
  Command command = parse(tokens, block);
  command.where = {fileName_, line};
  return command;
}

std::expected<void, ParseError> ScenarioReader::finish() const {
  if (repeat_.depth > 0)
    return std::unexpected(ParseError{{fileName_, repeat_.line},
                                      "repeat not closed: no line 'end' follows"});
  if (!blockEnd_.empty())
    return std::unexpected(ParseError{{fileName_, blockLine_},
                                      "block not closed: no line '" + blockEnd_ + "' follows"});
  return {};
}

Command ScenarioReader::parse(const std::vector<Token>& tokens, const std::string* block) {
  Args args(tokens);
  Command command;
  command.verb = args.keyword("command");
  const std::string& verb = command.verb;
  ReadContext context(args, verb, block, baseDir_, users_);

  if (verb == "expect" || verb == "show") {
    if (block) bad("'" + verb + "' takes no block");
    const std::string first = args.keyword(verb == "expect" ? "user or what to expect" : "user");
    if (verb == "expect") {
      if (const StepReader* office = table_.findOfficeExpectation(first)) {
        command.step = (*office)(context);
        args.end();
        return command;
      }
    }
    if (!users_.contains(first))
      bad("unknown user '" + first + "' (declare it with: user " + first + ")");
    const std::string what = args.keyword(verb == "expect" ? "what to expect" : "what to show");
    if (verb == "expect") {
      const ExpectationReader* reader = table_.findExpectation(what);
      if (!reader) bad("unknown expectation '" + what + "' (" + table_.expectationWords() + ")");
      command.step = std::make_shared<ExpectStep>(first, (*reader)(context), what);
    } else {
      const CommandTable::ShowReader* reader = table_.findShow(what);
      if (!reader) bad("unknown 'show " + what + "' (" + table_.showWords() + ")");
      command.step = (*reader)(context, first);
    }
    args.end();
    return command;
  }

  const CommandTable::CommandEntry* entry = table_.findCommand(verb);
  if (!entry) bad("unknown command '" + verb + "'");
  if (block && !entry->blocks) bad("'" + verb + "' takes no block");
  command.step = entry->read(context);
  args.end();
  return command;
}

std::expected<std::vector<Command>, ParseError> parseScenario(
    std::string_view text, const std::string& fileName, const std::filesystem::path& baseDir) {
  ScenarioReader reader(fileName, baseDir);
  std::vector<Command> commands;
  while (!text.empty()) {
    const std::size_t eol = text.find('\n');
    const std::string_view line = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    auto fed = reader.feed(line);
    if (!fed) return std::unexpected(fed.error());
    for (Command& command : *fed) commands.push_back(std::move(command));
  }
  if (auto done = reader.finish(); !done) return std::unexpected(done.error());
  return commands;
}

}  // namespace qx::tools

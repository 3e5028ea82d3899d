#include "quendrilax-sim/scenario_parser.h"

#include "quendrilax-sim/runner.h"

namespace qx::tools {

void ExpectStep::run(Runner& runner, const SourceLocation& where) const {
  OfficeUser& u = runner.user(user_);
  runner.catchUp(u);
  if (auto problem = what_->check(runner, u)) runner.fail(where, user_ + ": " + *problem);
}

ScenarioReader::ScenarioReader(std::string fileName, std::filesystem::path baseDir)
    : table_(buildCommandTable()), fileName_(std::move(fileName)), baseDir_(std::move(baseDir)) {}

std::expected<std::optional<Command>, ParseError> ScenarioReader::feed(std::string_view line) {
  ++lineNumber_;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (inBlock()) {
    std::string_view trimmed = line;
    while (!trimmed.empty() && (trimmed.front() == ' ' || trimmed.front() == '\t'))
      trimmed.remove_prefix(1);
    while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\t'))
      trimmed.remove_suffix(1);
    if (trimmed != blockEnd_) {
      block_ += line;
      block_ += '\n';
      return std::optional<Command>{};
    }
    blockEnd_.clear();
    try {
      return read(blockTokens_, &block_, blockLine_);
    } catch (const Unreadable& e) {
      return std::unexpected(ParseError{{fileName_, blockLine_}, e.message});
    }
  }
  auto lexed = lexLine(line);
  if (!lexed) return std::unexpected(ParseError{{fileName_, lineNumber_}, lexed.error()});
  if (!lexed->blockEnd.empty()) {
    if (lexed->tokens.empty())
      return std::unexpected(ParseError{{fileName_, lineNumber_}, "a block needs a command"});
    blockEnd_ = lexed->blockEnd;
    blockTokens_ = std::move(lexed->tokens);
    blockLine_ = lineNumber_;
    block_.clear();
    return std::optional<Command>{};
  }
  if (lexed->tokens.empty()) return std::optional<Command>{};
  try {
    return read(lexed->tokens, nullptr, lineNumber_);
  } catch (const Unreadable& e) {
    return std::unexpected(ParseError{{fileName_, lineNumber_}, e.message});
  }
}

Command ScenarioReader::read(const std::vector<Token>& tokens, const std::string* block, int line) {
  Command command = parse(tokens, block);
  command.where = {fileName_, line};
  return command;
}

std::expected<void, ParseError> ScenarioReader::finish() const {
  if (inBlock())
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
      command.step = std::make_shared<ExpectStep>(first, (*reader)(context));
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
    if (*fed) commands.push_back(std::move(**fed));
  }
  if (auto done = reader.finish(); !done) return std::unexpected(done.error());
  return commands;
}

}  // namespace qx::tools

#pragma once
// Reads scenario text into steps. Everything that can be checked before a run
// is checked here (command names, arguments, users declared before use, files
// that imports name), so that a scenario that cannot be read fails before
// anything of it has run. The words themselves come from the command table
// that the families fill (command_families.cpp).
#include <expected>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "quendrilax-sim/command_table.h"
#include "quendrilax-sim/scenario_args.h"
#include "quendrilax-sim/scenario_lexer.h"
#include "quendrilax-sim/scenario_step.h"

namespace qx::tools {

struct ParseError {
  SourceLocation where;
  std::string message;
};

// Reads line by line, so that the interactive mode can run each command as
// soon as it is complete.
class ScenarioReader {
 public:
  ScenarioReader(std::string fileName, std::filesystem::path baseDir);

  // The commands that this line completes: none while a command or a
  // `repeat` is still open, one, or every command of a `repeat` at its `end`.
  std::expected<std::vector<Command>, ParseError> feed(std::string_view line);
  // At the end of the input: a block or a repeat still open is an error.
  std::expected<void, ParseError> finish() const;
  bool inBlock() const { return !blockEnd_.empty() || repeat_.depth > 0; }

  // The most times a `repeat` runs its lines.
  static constexpr int kMostRepeats = 100000;
  static constexpr std::size_t kMostRepeatedCommands = 1000000;
  // How deep repeats nest: each level is read again for every round of the
  // ones around it, so that deep nesting costs time and memory by the square.
  static constexpr int kMostNestedRepeats = 10;

 private:
  std::expected<std::vector<Command>, ParseError> feedAt(std::string_view line, int number);
  // A line of an open `repeat`: kept until its `end`, then run.
  std::expected<std::vector<Command>, ParseError> collect(std::string_view line, int number);
  std::expected<std::vector<Command>, ParseError> expandRepeat();

  Command parse(const std::vector<Token>& tokens, const std::string* block);
  Command read(const std::vector<Token>& tokens, const std::string* block, int line);

  CommandTable table_;
  std::string fileName_;
  std::filesystem::path baseDir_;
  int lineNumber_ = 0;
  std::set<std::string> users_;
  // An open block: the words of its opening line and the lines so far.
  std::string blockEnd_;
  std::vector<Token> blockTokens_;
  int blockLine_ = 0;
  std::string block_;
  // An open `repeat N`: its lines with their numbers, up to the matching `end`.
  struct Repeat {
    int depth = 0;  // nested repeats inside count too
    int count = 0;
    int line = 0;
    std::string blockEnd;  // a block open among its lines
    std::vector<std::pair<int, std::string>> lines;
  };
  Repeat repeat_;
};

std::expected<std::vector<Command>, ParseError> parseScenario(std::string_view text,
                                                              const std::string& fileName,
                                                              const std::filesystem::path& baseDir);

}  // namespace qx::tools

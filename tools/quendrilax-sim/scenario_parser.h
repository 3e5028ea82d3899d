#pragma once
// Reads scenario text into commands. Everything that can be checked before a
// run is checked here (command names, arguments, users declared before use,
// files that imports name), so that a scenario that cannot be read fails
// before anything of it has run.
#include <expected>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "quendrilax-sim/scenario_commands.h"
#include "quendrilax-sim/scenario_lexer.h"

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

  // The command that this line completes, if any.
  std::expected<std::optional<Command>, ParseError> feed(std::string_view line);
  // At the end of the input: a block still open is an error.
  std::expected<void, ParseError> finish() const;
  bool inBlock() const { return !blockEnd_.empty(); }

 private:
  Command parse(const std::vector<Token>& tokens, const std::string* block);

  std::string fileName_;
  std::filesystem::path baseDir_;
  int lineNumber_ = 0;
  std::set<std::string> users_;
  // An open block: the words of its opening line and the lines so far.
  std::string blockEnd_;
  std::vector<Token> blockTokens_;
  int blockLine_ = 0;
  std::string block_;
};

std::expected<std::vector<Command>, ParseError> parseScenario(std::string_view text,
                                                              const std::string& fileName,
                                                              const std::filesystem::path& baseDir);

// Durations as scenarios write them: "1500ms", "10s", "2m", "1h", "1m30s"; a
// bare number counts milliseconds.
std::optional<std::int64_t> parseDuration(std::string_view text);

}  // namespace qx::tools

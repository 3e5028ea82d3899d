// quendrilax-sim: runs scenario files that describe a small office of
// simulated users with the add-in loaded into their hosts, prints what
// happens and checks the scenario's expectations.
#include <editline/readline.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <memory>

#include "quendrilax-sim/command_line.h"

namespace {

// A line typed at a terminal, with editing and the session's history; none at
// the end of the input.
std::optional<std::string> editedLine(const std::string& prompt) {
  const std::unique_ptr<char, decltype(&std::free)> line(readline(prompt.c_str()), &std::free);
  if (!line) return std::nullopt;
  std::string text(line.get());
  if (text.find_first_not_of(" \t") != std::string::npos) add_history(line.get());
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const bool terminal = ::isatty(STDIN_FILENO) != 0;
  qx::tools::Console console{std::cin, terminal, std::cout, std::cerr};
  if (terminal) console.editLine = editedLine;
  return qx::tools::runCommandLine(args, console);
}

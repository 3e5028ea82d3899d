#pragma once
// The command line of quendrilax-sim, apart from main() so that its rules
// (what counts as a scenario file, the verdict, the prompt) can be tested.
//
//   quendrilax-sim [--quiet] [--brief] [--disk DIR] SCENARIO...
//   quendrilax-sim [-]            commands from standard input
//
// Exit status: 0 when every expectation held, 1 when one did not, 2 when a
// scenario cannot be read, 3 when the runner itself stopped (out of memory,
// an internal error), with a line that names the step under way.
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace qx::tools {

struct Console {
  std::istream& in;
  bool terminal;  // standard input is a terminal: show a prompt
  std::ostream& out;
  std::ostream& err;
  // At a terminal: reads a line with editing and history, showing the
  // prompt; none at the end of the input. Unset, lines come from `in`.
  std::function<std::optional<std::string>(const std::string& prompt)> editLine = {};
};

// `args` without the program's name.
int runCommandLine(const std::vector<std::string>& args, const Console& console);

}  // namespace qx::tools

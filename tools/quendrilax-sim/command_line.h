#pragma once
// The command line of quendrilax-sim, apart from main() so that its rules
// (what counts as a scenario file, the verdict, the prompt) can be tested.
//
//   quendrilax-sim [--quiet] [--disk DIR] SCENARIO...
//   quendrilax-sim [-]            commands from standard input
//
// Exit status: 0 when every expectation held, 1 when one did not, 2 when a
// scenario cannot be read.
#include <iosfwd>
#include <string>
#include <vector>

namespace qx::tools {

struct Console {
  std::istream& in;
  bool terminal;  // standard input is a terminal: show a prompt
  std::ostream& out;
  std::ostream& err;
};

// `args` without the program's name.
int runCommandLine(const std::vector<std::string>& args, const Console& console);

}  // namespace qx::tools

// quendrilax-sim: runs scenario files that describe a small office of
// simulated users with the add-in loaded into their hosts, prints what
// happens and checks the scenario's expectations.
#include <unistd.h>

#include <iostream>

#include "quendrilax-sim/command_line.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return qx::tools::runCommandLine(
      args, {std::cin, ::isatty(STDIN_FILENO) != 0, std::cout, std::cerr});
}

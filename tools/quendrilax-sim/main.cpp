// quendrilax-sim: runs scenario files that describe a small office of
// simulated users with the add-in loaded into their hosts, prints what
// happens and checks the scenario's expectations.
//
//   quendrilax-sim [--quiet] [--disk DIR] SCENARIO...
//   quendrilax-sim [-]            commands from standard input
//
// Exit status: 0 when every expectation held, 1 when one did not, 2 when a
// scenario cannot be read.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "quendrilax-sim/runner.h"
#include "quendrilax-sim/scenario_parser.h"

namespace {

namespace fs = std::filesystem;
using qx::tools::Runner;

struct Options {
  bool quiet = false;
  std::optional<fs::path> disk;
  std::vector<std::string> files;
};

int usage() {
  std::cerr << "usage: quendrilax-sim [--quiet] [--disk DIR] [SCENARIO... | -]\n";
  return 2;
}

fs::path diskFor(const Options& options, std::size_t index) {
  if (options.disk) return *options.disk / ("run" + std::to_string(index));
  return fs::temp_directory_path() /
         ("quendrilax-sim-" + std::to_string(::getpid()) + "-" + std::to_string(index));
}

void removeDisk(const Options& options, const fs::path& disk) {
  if (options.disk) return;  // kept for inspection
  std::error_code ignored;
  fs::remove_all(disk, ignored);
}

int summary(const std::string& name, const Runner& runner) {
  std::cout.flush();  // the transcript comes before the verdict
  if (runner.failures().empty()) {
    std::cerr << name << ": all expectations held\n";
    return 0;
  }
  std::cerr << name << ": " << runner.failures().size() << " expectation(s) failed\n";
  for (const auto& failure : runner.failures())
    std::cerr << "  " << failure.where.file << ':' << failure.where.line << ": " << failure.message
              << '\n';
  return 1;
}

int interactive(const Options& options) {
  const bool terminal = ::isatty(STDIN_FILENO) != 0;
  const fs::path disk = diskFor(options, 0);
  std::ostringstream discard;
  int status = 0;
  {
    Runner runner(options.quiet ? static_cast<std::ostream&>(discard) : std::cout, disk);
    qx::tools::ScenarioReader reader("-", fs::current_path());
    std::string line;
    while (true) {
      if (terminal) std::cout << (reader.inBlock() ? "... " : "qx> ") << std::flush;
      if (!std::getline(std::cin, line)) break;
      auto fed = reader.feed(line);
      if (!fed) {
        // A line that cannot be read is reported; the session goes on.
        std::cout << fed.error().where.file << ':' << fed.error().where.line << ": "
                  << fed.error().message << '\n';
        status = 2;
        continue;
      }
      if (*fed) runner.run(**fed);
    }
    runner.finish();
    if (auto done = reader.finish(); !done) {
      std::cout << done.error().where.file << ':' << done.error().where.line << ": "
                << done.error().message << '\n';
      status = 2;
    }
    const int verdict = summary("-", runner);
    if (status == 0) status = verdict;
  }
  removeDisk(options, disk);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--quiet" || arg == "-q") {
      options.quiet = true;
    } else if (arg == "--disk") {
      if (++i >= argc) return usage();
      options.disk = argv[i];
    } else if (arg == "--help" || arg == "-h") {
      usage();
      return 0;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usage();
    } else {
      options.files.push_back(arg);
    }
  }
  if (options.files.empty() || (options.files.size() == 1 && options.files[0] == "-"))
    return interactive(options);

  // Every scenario is read before any runs: one that cannot be read stops all.
  std::vector<std::vector<qx::tools::Command>> scenarios;
  for (const std::string& file : options.files) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
      std::cerr << file << ": cannot open the scenario\n";
      return 2;
    }
    std::ostringstream text;
    text << in.rdbuf();
    auto parsed = qx::tools::parseScenario(text.str(), file, fs::path(file).parent_path());
    if (!parsed) {
      std::cerr << parsed.error().where.file << ':' << parsed.error().where.line << ": "
                << parsed.error().message << '\n';
      return 2;
    }
    scenarios.push_back(std::move(*parsed));
  }

  int status = 0;
  std::ostringstream discard;
  for (std::size_t i = 0; i < scenarios.size(); ++i) {
    const fs::path disk = diskFor(options, i + 1);
    std::ostream& out = options.quiet ? static_cast<std::ostream&>(discard) : std::cout;
    if (scenarios.size() > 1) out << "=== " << options.files[i] << '\n';
    int verdict = 0;
    {
      Runner runner(out, disk);
      for (const auto& command : scenarios[i]) runner.run(command);
      runner.finish();
      verdict = summary(options.files[i], runner);
    }
    removeDisk(options, disk);
    if (verdict != 0) status = 1;
  }
  return status;
}

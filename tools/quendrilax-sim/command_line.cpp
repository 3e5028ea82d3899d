#include "quendrilax-sim/command_line.h"

#include <unistd.h>

#include <filesystem>
#include <istream>
#include <optional>
#include <ostream>
#include <sstream>

#include "quendrilax-sim/runner.h"
#include "quendrilax-sim/scenario_parser.h"
#include "quendrilax-sim/text_file.h"

namespace qx::tools {
namespace {

namespace fs = std::filesystem;

struct Options {
  bool quiet = false;
  std::optional<fs::path> disk;
  std::vector<std::string> files;
};

constexpr const char* kUsage = "usage: quendrilax-sim [--quiet] [--disk DIR] [SCENARIO... | -]\n";

int usage(std::ostream& err, const std::string& problem) {
  err << "quendrilax-sim: " << problem << '\n' << kUsage;
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

// The closing line says what the exit status says.
int summary(std::ostream& out, std::ostream& err, const std::string& name, const Runner& runner,
            int unreadableLines = 0) {
  out.flush();  // the transcript comes before the verdict
  const std::size_t failed = runner.failures().size();
  if (failed == 0 && unreadableLines == 0) {
    err << name << ": all expectations held\n";
    return 0;
  }
  err << name << ": ";
  if (failed > 0) err << failed << " expectation(s) failed";
  if (failed > 0 && unreadableLines > 0) err << "; ";
  if (unreadableLines > 0) err << unreadableLines << " line(s) could not be read";
  err << '\n';
  for (const auto& failure : runner.failures())
    err << "  " << failure.where.file << ':' << failure.where.line << ": " << failure.message
        << '\n';
  return unreadableLines > 0 ? 2 : 1;
}

bool endsSession(const std::string& line) {
  const std::size_t first = line.find_first_not_of(" \t\r");
  if (first == std::string::npos) return false;
  const std::size_t last = line.find_last_not_of(" \t\r");
  const std::string word = line.substr(first, last - first + 1);
  return word == "quit" || word == "exit";
}

int interactive(const Options& options, const Console& console) {
  const fs::path disk = diskFor(options, 0);
  std::ostringstream discard;
  int status = 0;
  {
    Runner runner(options.quiet ? static_cast<std::ostream&>(discard) : console.out, disk);
    ScenarioReader reader("-", fs::current_path());
    int unreadable = 0;
    std::string line;
    while (true) {
      if (console.terminal)
        console.out << (reader.inBlock() ? "... " : "qx> ") << std::flush;
      if (!std::getline(console.in, line)) break;
      if (!reader.inBlock() && endsSession(line)) break;
      auto fed = reader.feed(line);
      if (!fed) {
        // A line that cannot be read is reported; the session goes on.
        console.out << fed.error().where.file << ':' << fed.error().where.line << ": "
                    << fed.error().message << '\n';
        ++unreadable;
        continue;
      }
      if (*fed) runner.run(**fed);
    }
    runner.finish();
    if (auto done = reader.finish(); !done) {
      console.out << done.error().where.file << ':' << done.error().where.line << ": "
                  << done.error().message << '\n';
      ++unreadable;
    }
    status = summary(console.out, console.err, "-", runner, unreadable);
  }
  removeDisk(options, disk);
  return status;
}

}  // namespace

int runCommandLine(const std::vector<std::string>& args, const Console& console) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--quiet" || arg == "-q") {
      options.quiet = true;
    } else if (arg == "--disk") {
      if (++i >= args.size()) return usage(console.err, "option --disk needs a folder");
      options.disk = args[i];
    } else if (arg == "--help" || arg == "-h") {
      console.err << kUsage;
      return 0;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usage(console.err, "unknown option '" + arg + "'");
    } else {
      options.files.push_back(arg);
    }
  }
  if (options.files.empty() || (options.files.size() == 1 && options.files[0] == "-"))
    return interactive(options, console);

  // Every scenario is read before any runs: one that cannot be read stops all.
  std::vector<std::vector<Command>> scenarios;
  for (const std::string& file : options.files) {
    const auto text = readTextFile(file);
    if (!text) {
      console.err << file << ": cannot read the scenario: " << text.error() << '\n';
      return 2;
    }
    auto parsed = parseScenario(*text, file, fs::path(file).parent_path());
    if (!parsed) {
      console.err << parsed.error().where.file << ':' << parsed.error().where.line << ": "
                  << parsed.error().message << '\n';
      return 2;
    }
    scenarios.push_back(std::move(*parsed));
  }

  int status = 0;
  std::ostringstream discard;
  for (std::size_t i = 0; i < scenarios.size(); ++i) {
    const fs::path disk = diskFor(options, i + 1);
    std::ostream& out = options.quiet ? static_cast<std::ostream&>(discard) : console.out;
    if (scenarios.size() > 1) out << "=== " << options.files[i] << '\n';
    int verdict = 0;
    {
      Runner runner(out, disk);
      for (const auto& command : scenarios[i]) runner.run(command);
      runner.finish();
      verdict = summary(out, console.err, options.files[i], runner);
    }
    removeDisk(options, disk);
    if (verdict != 0) status = 1;
  }
  return status;
}

}  // namespace qx::tools

#include "quendrilax-sim/command_line.h"

#include <unistd.h>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <istream>
#include <new>
#include <optional>
#include <ostream>
#include <sstream>

#include "quendrilax-sim/commands_mail_server.h"
#include "quendrilax-sim/runner.h"
#include "quendrilax-sim/scenario_parser.h"
#include "quendrilax-sim/text_file.h"

namespace qx::tools {
namespace {

namespace fs = std::filesystem;

struct Options {
  bool quiet = false;
  bool brief = false;
  std::optional<fs::path> disk;
  std::optional<fs::path> mailServer;
  std::vector<std::string> files;
};

// The step under way, for the line that says where an unforeseen failure
// stopped the run.
struct Progress {
  std::optional<SourceLocation> underWay;
};

void runStep(Runner& runner, const Command& command, Progress& progress) {
  progress.underWay = command.where;
  runner.run(command);
  progress.underWay.reset();
}

constexpr const char* kUsage =
    "usage: quendrilax-sim [--quiet] [--brief] [--disk DIR] [--mail-server DIR] [SCENARIO... | -]\n";

int usage(std::ostream& err, const std::string& problem) {
  err << "quendrilax-sim: " << problem << '\n' << kUsage;
  return 2;
}

fs::path diskFor(const Options& options, std::size_t index) {
  if (options.disk) return *options.disk / ("run" + std::to_string(index));
  return fs::temp_directory_path() /
         ("quendrilax-sim-" + std::to_string(::getpid()) + "-" + std::to_string(index));
}

// The folder a run's drives go into, emptied and made; why it cannot be,
// when it cannot.
std::optional<std::string> prepareDisk(const Options& options, const fs::path& disk) {
  std::error_code error;
  fs::remove_all(disk, error);
  if (!error) fs::create_directories(disk, error);
  if (!error && !fs::is_directory(disk, error) && !error)
    error = std::make_error_code(std::errc::not_a_directory);
  if (!error) return std::nullopt;
  return std::string(options.disk ? "--disk " + options.disk->string() + ": " : "") +
         "cannot make the folder " + disk.string() + ": " + error.message();
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
  std::size_t steps = 0;
  for (const Failure& failure : runner.failures()) steps += failure.step ? 1 : 0;
  const std::size_t expectations = runner.failures().size() - steps;
  if (runner.failures().empty() && unreadableLines == 0) {
    if (runner.checksRun() == 0)
      err << name << ": nothing to check: the scenario holds no expectation\n";
    else
      err << name << ": all expectations held\n";
    return 0;
  }
  std::vector<std::string> parts;
  if (expectations > 0) parts.push_back(std::to_string(expectations) + " expectation(s) failed");
  if (steps > 0) parts.push_back(std::to_string(steps) + " step(s) failed");
  if (unreadableLines > 0)
    parts.push_back(std::to_string(unreadableLines) + " line(s) could not be read");
  err << name << ": ";
  for (std::size_t i = 0; i < parts.size(); ++i) err << (i ? "; " : "") << parts[i];
  err << '\n';
  for (const auto& failure : runner.failures())
    err << "  " << failure.where.file << ':' << failure.where.line << ": "
        << (failure.step ? "step failed: " : "") << failure.message << '\n';
  return unreadableLines > 0 ? 2 : 1;
}

bool endsSession(const std::string& line) {
  const std::size_t first = line.find_first_not_of(" \t\r");
  if (first == std::string::npos) return false;
  const std::size_t last = line.find_last_not_of(" \t\r");
  const std::string word = line.substr(first, last - first + 1);
  return word == "quit" || word == "exit";
}

int interactive(const Options& options, const Console& console, Progress& progress) {
  const fs::path disk = diskFor(options, 0);
  if (const auto problem = prepareDisk(options, disk)) {
    console.err << "quendrilax-sim: " << *problem << '\n';
    return 2;
  }
  std::ostringstream discard;
  int status = 0;
  {
    Runner runner(options.quiet ? static_cast<std::ostream&>(discard) : console.out, disk);
    if (options.mailServer) {
      if (auto error = useMailServer(runner, *options.mailServer)) {
        console.err << "quendrilax-sim: --mail-server: " << *error << '\n';
        return 2;
      }
    }
    ScenarioReader reader("-", fs::current_path());
    int unreadable = 0;
    std::string line;
    runner.brief(options.brief);
    while (true) {
      const std::string prompt = reader.inBlock() ? "... " : "qx> ";
      if (console.editLine) {
        const std::optional<std::string> typed = console.editLine(prompt);
        if (!typed) break;
        line = *typed;
      } else {
        if (console.terminal) console.out << prompt << std::flush;
        if (!std::getline(console.in, line)) break;
      }
      if (!reader.inBlock() && endsSession(line)) break;
      auto fed = reader.feed(line);
      if (!fed) {
        // A line that cannot be read is reported; the session goes on.
        console.out << fed.error().where.file << ':' << fed.error().where.line << ": "
                    << fed.error().message << '\n';
        ++unreadable;
        continue;
      }
      for (const Command& command : *fed) runStep(runner, command, progress);
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

int runWithin(const std::vector<std::string>& args, const Console& console, Progress& progress) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--quiet" || arg == "-q") {
      options.quiet = true;
    } else if (arg == "--brief" || arg == "-b") {
      options.brief = true;
    } else if (arg == "--disk") {
      if (++i >= args.size()) return usage(console.err, "option --disk needs a folder");
      options.disk = args[i];
    } else if (arg == "--mail-server") {
      if (++i >= args.size()) return usage(console.err, "option --mail-server needs a folder");
      options.mailServer = args[i];
    } else if (arg == "--help" || arg == "-h") {
      console.err << kUsage;
      return 0;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usage(console.err, "unknown option '" + arg + "'");
    } else {
      options.files.push_back(arg);
    }
  }
  if (options.files.size() > 1 &&
      std::find(options.files.begin(), options.files.end(), "-") != options.files.end())
    return usage(console.err,
                 "'-' reads commands from standard input and cannot be given with scenario files");
  if (options.files.empty() || (options.files.size() == 1 && options.files[0] == "-"))
    return interactive(options, console, progress);

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
    if (parsed->empty()) {
      console.err << file << ": nothing to run: the scenario holds no command\n";
      return 2;
    }
    scenarios.push_back(std::move(*parsed));
  }

  // Every run's folder is checked before any runs, as every scenario is read.
  for (std::size_t i = 0; i < scenarios.size(); ++i) {
    if (const auto problem = prepareDisk(options, diskFor(options, i + 1))) {
      for (std::size_t made = 0; made < i; ++made) removeDisk(options, diskFor(options, made + 1));
      console.err << "quendrilax-sim: " << *problem << '\n';
      return 2;
    }
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
      runner.brief(options.brief);
      if (options.mailServer) {
        if (auto error = useMailServer(runner, *options.mailServer)) {
          console.err << "quendrilax-sim: --mail-server: " << *error << '\n';
          return 2;
        }
      }
      for (const auto& command : scenarios[i]) runStep(runner, command, progress);
      runner.finish();
      verdict = summary(out, console.err, options.files[i], runner);
    }
    removeDisk(options, disk);
    if (verdict != 0) status = 1;
  }
  return status;
}

}  // namespace

int runCommandLine(const std::vector<std::string>& args, const Console& console) {
  // No input may end the runner with an abort: whatever escapes a step is
  // told with the step's place, and the status says the run did not finish.
  Progress progress;
  auto stopped = [&](const std::string& why) {
    console.out.flush();
    console.err << "quendrilax-sim: ";
    if (progress.underWay)
      console.err << progress.underWay->file << ':' << progress.underWay->line << ": ";
    console.err << "stopped: " << why << '\n';
    return 3;
  };
  try {
    return runWithin(args, console, progress);
  } catch (const std::bad_alloc&) {
    return stopped("out of memory");
  } catch (const std::exception& e) {
    return stopped(std::string("internal error: ") + e.what());
  } catch (...) {
    return stopped("internal error");
  }
}

}  // namespace qx::tools

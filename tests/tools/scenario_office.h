#pragma once
// A scenario office for tests: scenario text run in a runner of its own on a
// disk of its own, a few lines at a time, with the failures each run added.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "quendrilax-sim/commands_office.h"
#include "quendrilax-sim/runner.h"
#include "quendrilax-sim/scenario_parser.h"

namespace qx::tools {

// Between runs a test may put into the users' stores what no command makes.
class ScenarioOffice {
 public:
  ScenarioOffice() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    disk_ = std::filesystem::temp_directory_path() /
            ("qx_scenario_office_" + std::to_string(::getpid()) + "_" + test->name());
    runner_ = std::make_unique<Runner>(out_, disk_);
  }
  ~ScenarioOffice() {
    runner_.reset();
    std::filesystem::remove_all(disk_);
  }

  // Runs the lines; returns the failures they added. The users declared in
  // earlier runs are declared again for the reader but not run again.
  std::vector<Failure> run(const std::string& text) {
    auto commands = parseScenario(declared_ + text, "t.scn", ".");
    EXPECT_TRUE(commands.has_value()) << (commands ? "" : commands.error().message);
    const std::size_t before = runner_->failures().size();
    if (!commands) return {};
    for (const Command& command : *commands) {
      if (command.where.line <= declaredLines_) continue;
      runner_->run(command);
      if (command.verb == "user") {
        declared_ += "user " + command.as<UserCmd>()->profile.name + "\n";
        ++declaredLines_;
      }
    }
    return {runner_->failures().begin() + static_cast<std::ptrdiff_t>(before),
            runner_->failures().end()};
  }
  Runner& runner() { return *runner_; }
  std::string transcript() const { return out_.str(); }

 private:
  std::ostringstream out_;
  std::string declared_;
  int declaredLines_ = 0;
  std::filesystem::path disk_;
  std::unique_ptr<Runner> runner_;
};

inline std::string messages(const std::vector<Failure>& failures) {
  std::string all;
  for (const Failure& f : failures) all += std::to_string(f.where.line) + ": " + f.message + "\n";
  return all;
}

}  // namespace qx::tools

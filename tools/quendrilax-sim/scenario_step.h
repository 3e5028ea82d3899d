#pragma once
// What the scenario reader hands the runner: steps that know where they were
// written and how to run. Each command family (see command_families.cpp)
// defines its own steps beside the code that reads them, so that a family is
// read, run and documented in one place.
#include <memory>
#include <optional>
#include <string>

namespace qx::tools {

class Runner;
struct OfficeUser;

struct SourceLocation {
  std::string file;
  int line = 0;
};

// One command of a scenario, ready to run. A step that cannot be carried out
// (or an expectation that does not hold) reports a failure through the runner;
// the run goes on.
class Step {
 public:
  virtual ~Step() = default;
  virtual void run(Runner& runner, const SourceLocation& where) const = 0;
};

// What `expect USER ...` checks for one user: nothing when it holds, else the
// message "expected ..., found ...".
class Expectation {
 public:
  virtual ~Expectation() = default;
  virtual std::optional<std::string> check(Runner& runner, OfficeUser& user) const = 0;
};

struct Command {
  SourceLocation where;
  std::string verb;
  std::shared_ptr<const Step> step;

  // The step as the type its family read it into (for tests); null otherwise.
  template <class T>
  const T* as() const {
    return dynamic_cast<const T*>(step.get());
  }
};

// A step or an expectation from a function, for families whose commands no
// test needs to look into.
template <class F>
std::shared_ptr<const Step> makeStep(F run) {
  struct Made final : Step {
    explicit Made(F f) : f(std::move(f)) {}
    F f;
    void run(Runner& runner, const SourceLocation& where) const override { f(runner, where); }
  };
  return std::make_shared<Made>(std::move(run));
}

template <class F>
std::shared_ptr<const Expectation> makeExpectation(F check) {
  struct Made final : Expectation {
    explicit Made(F f) : f(std::move(f)) {}
    F f;
    std::optional<std::string> check(Runner& runner, OfficeUser& user) const override {
      return f(runner, user);
    }
  };
  return std::make_shared<Made>(std::move(check));
}

// The common message of a failed expectation.
inline std::optional<std::string> expected(const std::string& wanted, const std::string& found) {
  return "expected " + wanted + ", found " + found;
}

}  // namespace qx::tools

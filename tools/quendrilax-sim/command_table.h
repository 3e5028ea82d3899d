#pragma once
// The scenario language as a table: each command family registers the verbs
// it reads, the words it adds after `expect USER` and `show USER`, and the
// lines `help` prints. The reader looks words up here and nowhere else, so a
// new family is one file with a register function, plus one line in
// command_families.cpp.
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "quendrilax-sim/scenario_args.h"
#include "quendrilax-sim/scenario_step.h"

namespace qx::tools {

// What a family's reader sees of the reader while it reads one command.
class ReadContext {
 public:
  ReadContext(Args& args, const std::string& verb, const std::string* block,
              const std::filesystem::path& baseDir, std::set<std::string>& users)
      : args(args), verb(verb), block_(block), baseDir_(baseDir), users_(users) {}

  Args& args;
  const std::string& verb;

  // A declared user's name, as the next word.
  std::string knownUser();
  bool isUser(const std::string& name) const { return users_.contains(name); }
  void declareUser(const std::string& name) { users_.insert(name); }
  // The lines of the block this command opened; only readers registered as
  // taking a block get one, and bad() when none was given and one is needed.
  const std::string* block() const { return block_; }
  // A file beside the scenario, whole.
  std::string readFile(const std::string& name) const;

 private:
  const std::string* block_;
  const std::filesystem::path& baseDir_;
  std::set<std::string>& users_;
};

using StepReader = std::function<std::shared_ptr<const Step>(ReadContext&)>;
using ExpectationReader = std::function<std::shared_ptr<const Expectation>(ReadContext&)>;

class CommandTable {
 public:
  // `verb ...` at the start of a line. `blocks`: the command may open a block.
  void command(const std::string& verb, StepReader reader, bool blocks = false);
  // `expect USER word ...`: the reader reads what follows the word.
  void expectation(const std::string& word, ExpectationReader reader);
  // `expect word ...` that names no single user first (such as in-step).
  void officeExpectation(const std::string& word, StepReader reader);
  // `show USER word ...`: the reader gets the user's name and reads the rest.
  using ShowReader = std::function<std::shared_ptr<const Step>(ReadContext&, const std::string&)>;
  void show(const std::string& word, ShowReader reader);
  // A line of `help`, grouped by family.
  void help(const std::string& line) { help_.push_back(line); }

  struct CommandEntry {
    StepReader read;
    bool blocks = false;
  };
  const CommandEntry* findCommand(const std::string& verb) const;
  const ExpectationReader* findExpectation(const std::string& word) const;
  const StepReader* findOfficeExpectation(const std::string& word) const;
  const ShowReader* findShow(const std::string& word) const;
  // The registered words, for error messages.
  std::string expectationWords() const;
  std::string showWords() const;
  const std::vector<std::string>& helpLines() const { return help_; }

 private:
  std::map<std::string, CommandEntry> commands_;
  std::map<std::string, ExpectationReader> expectations_;
  std::map<std::string, StepReader> officeExpectations_;
  std::map<std::string, ShowReader> shows_;
  std::vector<std::string> help_;
};

// `expect USER ...`: delivers what waits on the user's thread first, so that
// the expectation sees the state after everything that has happened.
class ExpectStep final : public Step {
 public:
  ExpectStep(std::string user, std::shared_ptr<const Expectation> what, std::string word = {})
      : user_(std::move(user)), what_(std::move(what)), word_(std::move(word)) {}
  void run(Runner& runner, const SourceLocation& where) const override;
  // The expectation as the type its family read it into (for tests).
  template <class T>
  const T* as() const {
    return dynamic_cast<const T*>(what_.get());
  }

 private:
  std::string user_;
  std::shared_ptr<const Expectation> what_;
  std::string word_;  // the word after the user: "folder", "task", ...
};

// Every family's commands; built by command_families.cpp.
CommandTable buildCommandTable();

}  // namespace qx::tools

#include "quendrilax-sim/command_table.h"

#include <stdexcept>

#include "quendrilax-sim/text_file.h"

namespace qx::tools {

std::string ReadContext::knownUser() {
  const std::string name = args.keyword("user");
  if (!users_.contains(name))
    bad("unknown user '" + name + "' (declare it with: user " + name + ")");
  return name;
}

std::string ReadContext::readFile(const std::string& name) const {
  const std::filesystem::path path = baseDir_ / name;
  auto text = readTextFile(path);
  if (!text) bad("cannot read " + path.string() + ": " + text.error());
  return std::move(*text);
}

namespace {
// Two families claiming one word is a programming slip that would make one of
// them unreachable; it stops the tool at once rather than read scenarios wrong.
template <class Map, class Value>
void insertOnce(Map& map, const std::string& word, Value value, const char* kind) {
  if (!map.emplace(word, std::move(value)).second)
    throw std::logic_error(std::string(kind) + " '" + word + "' registered twice");
}

template <class Map>
std::string words(const Map& map) {
  std::string listed;
  for (const auto& [word, reader] : map) listed += (listed.empty() ? "" : ", ") + word;
  return listed;
}
}  // namespace

void CommandTable::command(const std::string& verb, StepReader reader, bool blocks) {
  insertOnce(commands_, verb, CommandEntry{std::move(reader), blocks}, "command");
}

void CommandTable::expectation(const std::string& word, ExpectationReader reader) {
  if (officeExpectations_.contains(word))
    throw std::logic_error("expectation '" + word + "' twice");
  insertOnce(expectations_, word, std::move(reader), "expectation");
}

void CommandTable::officeExpectation(const std::string& word, StepReader reader) {
  if (expectations_.contains(word)) throw std::logic_error("expectation '" + word + "' twice");
  insertOnce(officeExpectations_, word, std::move(reader), "expectation");
}

void CommandTable::show(const std::string& word, ShowReader reader) {
  insertOnce(shows_, word, std::move(reader), "show");
}

const CommandTable::CommandEntry* CommandTable::findCommand(const std::string& verb) const {
  auto found = commands_.find(verb);
  return found == commands_.end() ? nullptr : &found->second;
}

const ExpectationReader* CommandTable::findExpectation(const std::string& word) const {
  auto found = expectations_.find(word);
  return found == expectations_.end() ? nullptr : &found->second;
}

const StepReader* CommandTable::findOfficeExpectation(const std::string& word) const {
  auto found = officeExpectations_.find(word);
  return found == officeExpectations_.end() ? nullptr : &found->second;
}

const CommandTable::ShowReader* CommandTable::findShow(const std::string& word) const {
  auto found = shows_.find(word);
  return found == shows_.end() ? nullptr : &found->second;
}

std::string CommandTable::expectationWords() const { return words(expectations_); }
std::string CommandTable::showWords() const { return words(shows_); }

}  // namespace qx::tools

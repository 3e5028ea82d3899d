#pragma once
// Runs scenario commands against a simulated office: each user's machine with
// the host, the add-in loaded into it, one virtual clock. Writes a readable
// transcript of what happens and checks expectations.
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "quendrilax-sim/scenario_commands.h"

namespace qx {
class AddinModule;
class CConnect;
}  // namespace qx

namespace qx::sim {
class Office;
class HostProcess;
}  // namespace qx::sim

namespace qx::tools {

struct Failure {
  SourceLocation where;
  std::string message;
};

class Runner {
 public:
  // `diskRoot`: a folder on the real disk for the users' simulated drives;
  // it is emptied first.
  Runner(std::ostream& transcript, std::filesystem::path diskRoot);
  ~Runner();
  Runner(const Runner&) = delete;
  Runner& operator=(const Runner&) = delete;

  // Runs one command. A failed expectation (or a command the office cannot
  // carry out, such as stopping a host that does not run) is recorded and
  // reported in the transcript; the run goes on.
  void run(const Command& command);

  // The end of the scenario: notes what was prepared but never used.
  void finish();

  const std::vector<Failure>& failures() const { return failures_; }

 private:
  struct User;

  void execute(const Command& command, const UserCmd& c);
  void execute(const Command& command, const RegSetCmd& c);
  void execute(const Command& command, const RegDeleteCmd& c);
  void execute(const Command& command, const RegImportCmd& c);
  void execute(const Command& command, const LifecycleCmd& c);
  void execute(const Command& command, const AdvanceCmd& c);
  void execute(const Command& command, const AnswerCmd& c);
  void execute(const Command& command, const NewMailCmd& c);
  void execute(const Command& command, const FailCmd& c);
  void execute(const Command& command, const HealCmd& c);
  void execute(const Command& command, const FileCmd& c);
  void execute(const Command& command, const FolderCmd& c);
  void execute(const Command& command, const TaskCmd& c);
  void execute(const Command& command, const MailCmd& c);
  void execute(const Command& command, const ShareCmd& c);
  void execute(const Command& command, const TransportCmd& c);
  void execute(const Command& command, const HelpCmd& c);
  void execute(const Command& command, const EchoCmd& c);
  void execute(const Command& command, const ShowCmd& c);
  void execute(const Command& command, const TraceCmd& c);
  void execute(const Command& command, const ExpectCmd& c);

  // Checks one expectation; the message says what was expected and found.
  std::optional<std::string> check(User& user, const Expectation& what);

  User& user(const std::string& name);
  // Loads the add-in into a running host and connects it.
  void connectAddin(User& user, std::int32_t connectMode, const SourceLocation& where);
  void disconnectAddin(User& user, std::int32_t removeMode, bool onHostThread);
  void unloadModule(User& user);
  // After each top-level step: posted messages are delivered, connection
  // objects the host let go of are released, and what happened meanwhile
  // (boxes, timer changes, log entries) is written to the transcript.
  void settle();
  void report(User& user);
  void fail(const SourceLocation& where, std::string message);

  std::string stamp() const;
  void say(const std::string& who, const std::string& text);
  std::string filePath(User& user, FileCmd::Place place, const std::string& name);
  std::string dataDirectory(User& user);
  std::string keyPath(const std::string& key, std::uint64_t& hive);
  // The entry id of a folder named by its path, empty when there is none.
  std::u16string folderId(User& user, const std::string& path);
  // Runs the post office and tells who sent and who received what.
  void runTransport();

  std::ostream& out_;
  std::filesystem::path diskRoot_;
  std::unique_ptr<sim::Office> office_;
  std::map<std::string, std::unique_ptr<User>> users_;
  std::vector<std::string> userOrder_;
  std::vector<Failure> failures_;
  bool traceLogs_ = false;
};

}  // namespace qx::tools

#pragma once
// Runs scenario steps against a simulated office: each user's machine with
// the host, the add-in loaded into it, one virtual clock. Writes a readable
// transcript of what happens and collects failed expectations. The command
// families' steps act through the public interface below.
#include <any>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <typeindex>
#include <vector>

#include "quendrilax-sim/office_user.h"
#include "quendrilax-sim/scenario_step.h"

namespace qx::sim {
class Office;
}  // namespace qx::sim

namespace qx::tools {

struct Failure {
  SourceLocation where;
  std::string message;
  // An expectation that did not hold, or a step the office could not carry
  // out (a folder that does not exist, a host that runs already).
  bool step = false;
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
  // Expectations (and soaks, which check as they go) run so far.
  int checksRun() const { return checksRun_; }

  // --- For the families' steps -------------------------------------------------------
  std::ostream& out() { return out_; }
  // A transcript line with the virtual time, for `who` (empty: the office).
  void say(const std::string& who, const std::string& text);
  void fail(const SourceLocation& where, std::string message);
  // A line dated earlier than now: what a scan found, told when it is over.
  void sayAt(std::int64_t ms, const std::string& who, const std::string& text);
  std::string stamp() const;
  // "[01:04:00]", "[01:04:00.250]", "[7d 01:04:00]" past the first day.
  static std::string stampOf(std::int64_t ms);

  sim::Office& office() { return *office_; }
  OfficeUser& addUser(const UserProfile& profile);
  OfficeUser& user(const std::string& name);
  // In the order they were declared.
  const std::vector<std::string>& userNames() const { return userOrder_; }

  // Loads the add-in into a running host and connects it.
  void connectAddin(OfficeUser& user, std::int32_t connectMode);
  void disconnectAddin(OfficeUser& user, std::int32_t removeMode, bool onHostThread);
  void unloadModule(OfficeUser& user);
  // The host process died: the connection and the module go without a word
  // to the add-in.
  void dropAddin(OfficeUser& user);
  // Time passes on the office's clock, in steps of at most a second, with the
  // office settled after each.
  void advance(std::int64_t ms);
  // After each top-level step: posted messages are delivered, connection
  // objects the host let go of are released, and what happened meanwhile
  // (boxes, timer changes, log entries) is written to the transcript.
  void settle();
  // What waits on one user's thread is delivered and reported.
  void catchUp(OfficeUser& user);
  void report(OfficeUser& user);
  // For a failed expectation about mail: which Outboxes still hold mail no
  // transport has taken, as a note to append; empty when none do.
  std::string outboxHint();

  // Brief transcript: ticks and scans that nothing came of are left out.
  void brief(bool on) { brief_ = on; }

  // While muted, say() writes nothing: a long run (the soak) keeps the
  // transcript to its own progress lines. Failures are always written.
  void mute(bool on) { muted_ = on; }
  bool muted() const { return muted_; }

  bool tracingLogs() const { return traceLogs_; }
  void traceLogs(bool on);

  // The add-in's data directory on the user's machine (host path).
  std::string dataDirectory(OfficeUser& user);
  // The entry id of a folder named by its path ("Tasks/Team", "Inbox", or
  // "Server:Tasks" in the user's store "Server"), empty when there is none.
  std::u16string folderId(OfficeUser& user, const std::string& path);
  // Runs the post office and tells who sent and who received what.
  void runTransport();

  // State a family keeps for the length of a run, made on first use.
  template <class T>
  T& slot() {
    std::any& held = slots_[std::type_index(typeid(T))];
    if (!held.has_value()) held = std::make_shared<T>();
    return *std::any_cast<std::shared_ptr<T>&>(held);
  }

 private:
  std::ostream& out_;
  std::filesystem::path diskRoot_;
  std::unique_ptr<sim::Office> office_;
  std::map<std::string, std::unique_ptr<OfficeUser>> users_;
  std::vector<std::string> userOrder_;
  std::vector<Failure> failures_;
  void reportIndicator(OfficeUser& user);
  void flushRoutine();

  bool traceLogs_ = false;
  bool brief_ = false;
  std::vector<std::string> routineLines_;
  int checksRun_ = 0;
  bool checking_ = false;  // the command under way is an expectation
  bool muted_ = false;
  std::map<std::type_index, std::any> slots_;
};

}  // namespace qx::tools

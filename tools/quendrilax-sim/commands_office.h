#pragma once
// Office and hosts: users and their machines, the host's life (start, stop,
// connect, disconnect), time, message-box answers, host events, faults of the
// stand-ins and the post office's runs; with what can be expected and shown
// of them. Read, run and documented together (docs/scenarios.md "Users",
// "The host and the add-in", "Time, answers and host events", "Faults").
#include <cstdint>
#include <optional>
#include <string>

#include "quendrilax-sim/office_user.h"
#include "quendrilax-sim/scenario_step.h"

namespace qx::tools {

struct UserCmd final : Step {
  UserProfile profile;
  void run(Runner& runner, const SourceLocation& where) const override;
};

// `user NAME clock +D|-D` for a user declared already: the machine's clock
// runs that much ahead of (or behind) the office's from now on.
struct ClockDriftCmd final : Step {
  std::string user;
  std::int64_t driftMs = 0;
  void run(Runner& runner, const SourceLocation& where) const override;
};

enum class Lifecycle {
  kStart,            // the host starts with the add-in: connection, startup complete
  kStartNoComplete,  // the host starts; startup complete comes later by hand
  kStartupComplete,  // the host reports startup complete
  kConnect,          // the user connects the add-in in the running host
  kDisconnect,       // the user disconnects the add-in; the host keeps running
  kStop,             // the host shuts down
  kCrash,            // the host process ends at once: no shutdown, no disconnection
};

struct LifecycleCmd final : Step {
  std::string user;
  Lifecycle what = Lifecycle::kStart;
  void run(Runner& runner, const SourceLocation& where) const override;
};

// The host's life as the soak and other families drive it; false with the
// reason in `why` when the host cannot take the step.
bool changeHostLife(Runner& runner, OfficeUser& user, Lifecycle what, std::string& why);

struct AdvanceCmd final : Step {
  std::int64_t ms = 0;
  void run(Runner& runner, const SourceLocation& where) const override;
};

struct AnswerCmd final : Step {
  std::string user;
  int button = 1;           // IDOK, IDYES, IDNO, IDCANCEL
  std::int64_t openMs = 0;  // how long the box stays open in virtual time
  void run(Runner& runner, const SourceLocation& where) const override;
};

struct FailCmd final : Step {
  std::string user, operation;
  std::int32_t status = static_cast<std::int32_t>(0x80004005u);
  int occurrence = 1;  // 0: every call until healed
  void run(Runner& runner, const SourceLocation& where) const override;
};

// Runs the post office once, or from now on every `everyMs` of virtual time.
struct TransportCmd final : Step {
  std::int64_t everyMs = 0;
  void run(Runner& runner, const SourceLocation& where) const override;
};

struct ExpectBoxes final : Expectation {
  int count = 0;
  std::optional<std::string> check(Runner& runner, OfficeUser& user) const override;
};

struct ExpectBox final : Expectation {
  int index = 0;  // 1-based; 0 = the last one
  std::optional<std::string> caption, text;
  std::optional<std::uint32_t> type;
  std::optional<std::string> check(Runner& runner, OfficeUser& user) const override;
};

struct ExpectTimer final : Expectation {
  std::optional<std::uint32_t> ms;  // none: no timer runs
  std::optional<std::string> check(Runner& runner, OfficeUser& user) const override;
};

}  // namespace qx::tools

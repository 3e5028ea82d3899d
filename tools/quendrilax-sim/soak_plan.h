#pragma once
// The soak's decisions and tallies, apart from the office that carries them
// out: which user makes which edit with which fields, when the post office
// delays or doubles mail, when a host restarts; and the lines the soak
// prints. Everything comes from one seeded generator of its own, so the same
// seed gives the same run on every machine.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "quendrilax-sim/task_fields.h"

namespace qx::tools {

// A small generator with a fixed algorithm (the standard library's
// distributions differ between implementations).
class SoakRandom {
 public:
  explicit SoakRandom(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next();
  // 0 <= result < n (n > 0).
  std::size_t below(std::size_t n);
  bool percent(int chance) { return below(100) < static_cast<std::size_t>(chance); }

 private:
  std::uint64_t state_;
};

struct SoakFaults {
  bool delay = false;      // the post office holds mail back for random times
  bool duplicate = false;  // it delivers some mails twice
  bool restart = false;    // hosts stop and start again between edits
  bool outage = false;     // the mail server's SMTP side stops for a few runs
};

struct SoakEdit {
  enum class Kind { kAdd, kEdit, kDelete };
  Kind kind = Kind::kAdd;
  std::size_t user = 0;            // index among the soak's users
  std::size_t task = 0;            // edit, delete: index among the editor's tasks
  // add: every field and some user properties; edit: one to three (two)
  // fields, a user property set or removed counting as one.
  std::vector<FieldValue> fields;
};

// What the post office does with one run's mail.
struct SoakPost {
  std::int64_t delayMs = 0;
  int copies = 1;
};

class SoakPlan {
 public:
  SoakPlan(std::uint64_t seed, SoakFaults faults) : random_(seed), faults_(faults) {}

  // The edit number `n` (from 1) by one of the `eligible` users (indexes);
  // `taskCounts[user]` is how many tasks the user's folder holds. The user
  // `keepsProperties` removes no user property (one acting as an add-in
  // without versions, whose mails cannot tell a removal).
  SoakEdit nextEdit(int n, const std::vector<std::size_t>& eligible,
                    const std::vector<std::size_t>& taskCounts,
                    std::optional<std::size_t> keepsProperties = std::nullopt);
  // Between edits: the user whose host stops or starts, if any.
  std::optional<std::size_t> restart(std::size_t users);
  SoakPost post();
  // Before a transport run while the SMTP side runs: for how many runs it
  // stops now (0: it keeps running).
  int outage();
  // Concurrent soak: the virtual time between two edits, 0 to 20 s.
  std::int64_t gapMs() { return static_cast<std::int64_t>(random_.below(20001)); }
  // Concurrent soak: half the edits of existing tasks go to the few that
  // arrived last, so that users meet on the same tasks however many the
  // folders hold.
  std::size_t concurrentTask(std::size_t task, std::size_t tasks);
  // How many fields an edit of an existing task changes at most: 3, or 2 in
  // the concurrent soak, where users meet on different fields of one task.
  void setMostFieldsPerEdit(std::size_t most) { mostFields_ = most; }

 private:
  FieldValue randomField(TaskField field, int n);
  FieldValue randomProperty(std::size_t which, int n, bool removes);

  SoakRandom random_;
  SoakFaults faults_;
  std::size_t mostFields_ = 3;
};

struct SoakTally {
  int edits = 0, adds = 0, changes = 0, deletes = 0;
  long long mailsCarried = 0;
  int restarts = 0, delayedRuns = 0, doubledRuns = 0, outageRuns = 0;
  std::int64_t startVirtualMs = 0;
  std::chrono::steady_clock::time_point startReal = std::chrono::steady_clock::now();
};

// "soak team: 1000 edits, 2874 mails carried, virtual 3h12m05s, real 4.2 s"
std::string soakProgressLine(const std::string& shareName, const SoakTally& tally,
                             std::int64_t virtualMs, double realSeconds);
std::string soakSummary(const std::string& shareName, const SoakTally& tally,
                        std::int64_t virtualMs, double realSeconds);

}  // namespace qx::tools

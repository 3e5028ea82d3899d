#pragma once
// What a concurrent soak knows of the office without looking inside the
// add-in: the last version of every task (the edit made last, ties broken by
// the editors' tie-breakers, as the add-in orders them), the mails on their
// way (from the Outboxes the post office empties, and when each is due), and
// what it counts: edits made on a copy that had not yet received the task's
// last version, changes that a newer mail of the same task overtook on the
// way, and changes overtaken by a removal.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "quendrilax-sim/in_step.h"
#include "sim/mail/item_data.h"

namespace qx::tools {

struct EditVersion {
  std::int64_t utcMs = 0;
  std::string tag;
  auto operator<=>(const EditVersion&) const = default;
};

// The add-in's "<milliseconds>-<tie-breaker>" text.
std::optional<EditVersion> editVersionFromText(std::string_view text);

struct LastEdit {
  EditVersion version;
  std::string editor;
  bool removed = false;
  sim::mail::ItemData state;  // the editor's task right after the edit
};

struct SoakCounts {
  long long crossingEdits = 0;
  long long overtakenChanges = 0;
  long long lateChangesAfterRemovals = 0;
};

class SoakLedger {
 public:
  // An edit of the task with that sync id. It is a crossing edit when the
  // editor's copy (`copyVersion`, none for an add) is older than the task's
  // last version by another user.
  void noteEdit(const std::string& syncId, LastEdit edit,
                const std::optional<EditVersion>& copyVersion);

  // A sync mail collected by the post office at `nowMs`, due at `dueMs`. An
  // earlier mail of the same task still on its way and due later is overtaken.
  void noteMail(const std::string& syncId, bool removal, std::int64_t nowMs, std::int64_t dueMs);

  const SoakCounts& counts() const { return counts_; }
  std::size_t tasks() const { return last_.size(); }

 private:
  struct OnTheWay {
    std::int64_t dueMs = 0;
    bool removal = false;
    bool overtaken = false;
  };
  std::map<std::string, LastEdit> last_;
  std::map<std::string, std::vector<OnTheWay>> onTheWay_;
  SoakCounts counts_;
};

}  // namespace qx::tools

#pragma once
// What the concurrent soak expects of every field of every task: the value
// of the field's last version. Each edit sets some fields; the change mail
// that carries the edit (read as it leaves the editor's Outbox) says which
// version each field went out with, which is later than the edit when the
// burst window held the save back. An edit no mail carried counts with the
// version it was made at, so that an edit the add-in never sent is missed
// like any other. A removal newer than every field's last version leaves the
// task to nobody; a task brought back after it is expected to hold its
// fields' last versions only where they are newer than the removal.
//
// A field is named by the add-in's id ("due", "p.Ticket"): the task's own
// fields and every user property that travels alike. A removed user property
// has the value "none". A change mail without versions (from a user acting
// as an add-in that stamps none) is a change of every field it carries, at
// the version each receiver derives from its submit time and sender.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "protocol/field_versions.h"
#include "quendrilax-sim/in_step.h"
#include "quendrilax-sim/task_fields.h"

namespace qx::tools {

class SoakFieldLedger {
 public:
  // An edit of the task with that sync id, made by `editor` (tie-breaker
  // `tag`) at `atMs`: the fields whose values differ between `before` and
  // `after` (an add: every field), status and percent counting together as
  // the add-in stamps them.
  void noteEdit(const std::string& syncId, const std::string& editor, const std::string& tag,
                std::int64_t atMs, const sim::mail::ItemData* before,
                const sim::mail::ItemData& after);
  void noteRemoval(const std::string& syncId, const ChangeVersion& version);
  // A change mail of `editor` about the task leaves with these versions:
  // the edits it carries take the versions it gives their fields.
  void noteChangeMail(const std::string& syncId, const std::string& editor,
                      const FieldVersions& versions);
  // A versioned change mail of the older peer carries `carried`: a field at a
  // version no mail has carried yet was set while his mails went without
  // versions, and now travels at the version his add-in kept for it.
  void noteKeptVersions(const std::string& syncId, const FieldVersions& versions,
                        const sim::mail::ItemData& carried);
  // A change mail of `editor` without versions leaves, carrying `carried`
  // (the task in its attachment), at the derived `version`.
  void noteUnversionedChangeMail(const std::string& syncId, const std::string& editor,
                                 const ChangeVersion& version,
                                 const sim::mail::ItemData& carried);

  // "lost field edit: {ID} "Soak 3": ben has due "2026-12-24" where the last
  // version has "2026-12-28"", one line per task, user and field (a user
  // property as "property NAME").
  std::vector<std::string> lostFieldEdits(const std::vector<FolderContents>& folders) const;
  std::size_t tasks() const { return tasks_.size(); }
  // The task fields the ledger has seen edited.
  long long fieldEdits() const { return fieldEdits_; }

 private:
  struct Candidate {
    ChangeVersion version;
    long long order = 0;
    std::string value;
  };
  struct Waiting {
    long long order = 0;
    std::string editor;
    std::string tag;
    std::int64_t atMs = 0;
    std::map<FieldId, std::string> fields;
  };
  struct TaskLedger {
    std::string subject;
    std::map<FieldId, Candidate> last;
    // Every version each field went out with, and its value.
    std::map<FieldId, std::map<ChangeVersion, std::string>> sent;
    std::optional<ChangeVersion> removed;
    std::vector<Waiting> waiting;
  };
  static void offer(TaskLedger& task, const FieldId& field, Candidate candidate);
  static bool carries(TaskLedger& task, const FieldVersions& versions, const Waiting& edit);
  // The edits nobody carried, with the versions they were made at.
  std::map<std::string, TaskLedger> settled() const;

  std::map<std::string, TaskLedger> tasks_;
  long long order_ = 0;
  long long fieldEdits_ = 0;
};

}  // namespace qx::tools

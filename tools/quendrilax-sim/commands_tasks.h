#pragma once
// Folders, tasks, other items, mail and sharing as the user handles them in
// the host; with what can be expected of folders and tasks. Documented in
// docs/scenarios.md "Folders, tasks, mail and sharing" and "Expectations".
#include <optional>
#include <string>
#include <vector>

#include "quendrilax-sim/scenario_step.h"
#include "quendrilax-sim/task_fields.h"
#include "sim/mail/mail_client.h"

namespace qx::tools {

struct TaskCmd final : Step {
  enum class Action { kAdd, kEdit, kDelete, kHardDelete, kMove, kCopy };
  Action action = Action::kAdd;
  std::string user, subject;
  std::string folder = "Tasks";
  std::string target;              // move, copy
  std::vector<FieldValue> fields;  // add, edit
  void run(Runner& runner, const SourceLocation& where) const override;
};

struct ShareCmd final : Step {
  std::string user, folder, shareName;
  std::vector<std::string> recipients;
  void run(Runner& runner, const SourceLocation& where) const override;
};

struct ExpectTask final : Expectation {
  enum class Check { kField, kProperty, kSyncId, kCount };
  std::string subject;
  std::string folder = "Tasks";
  Check what = Check::kField;
  FieldValue field;                     // kField
  std::string property;                 // kProperty
  std::optional<std::string> value;     // kProperty: none = absent
  std::string syncId;                   // kSyncId: none, present, same-as
  std::string otherUser, otherSubject;  // same-as
  std::string otherFolder = "Tasks";
  int count = 0;  // kCount
  std::optional<std::string> check(Runner& runner, OfficeUser& user) const override;
};

// The one task with that subject in the user's folder, or the reason there
// is none (no such folder, no such task, or more than one).
struct TaskLookup {
  std::optional<sim::MailItemInfo> task;
  std::string problem;
};
TaskLookup findTask(Runner& runner, OfficeUser& user, const std::string& folder,
                    const std::string& subject);

// The task's sync id: the text of its first user property "quendrilaxid";
// empty when it has none.
std::string syncIdOf(const sim::mail::ItemData& task);

}  // namespace qx::tools

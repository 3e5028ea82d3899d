#include "quendrilax-sim/soak_field_ledger.h"

#include "protocol/synced_fields.h"
#include "quendrilax-sim/commands_tasks.h"
#include "quendrilax-sim/runner_text.h"
#include "quendrilax-sim/text_utf.h"

namespace qx::tools {
namespace {

// The add-in's name of each field of the scenario language.
std::string_view addinFieldId(TaskField field) {
  switch (field) {
    case TaskField::kSubject: return syncedfield::kSubject;
    case TaskField::kBody: return syncedfield::kBody;
    case TaskField::kDue: return syncedfield::kDue;
    case TaskField::kStart: return syncedfield::kStart;
    case TaskField::kStatus: return syncedfield::kStatus;
    case TaskField::kPercent: return syncedfield::kPercent;
    case TaskField::kImportance: return syncedfield::kImportance;
    case TaskField::kPrivate: return syncedfield::kSensitivity;
    case TaskField::kCategories: return syncedfield::kCategories;
    case TaskField::kOwner: return syncedfield::kOwner;
    case TaskField::kProperty: break;
  }
  return {};
}

std::optional<TaskField> taskFieldOf(std::string_view id) {
  for (TaskField field : allTaskFields())
    if (addinFieldId(field) == id) return field;
  return std::nullopt;
}

bool isProgress(std::string_view id) {
  return id == syncedfield::kStatus || id == syncedfield::kPercent;
}

// The fields of a task the ledger follows: its own, and every user property
// that travels in either state.
std::vector<FieldId> ledgerFields(const sim::mail::ItemData& task,
                                  const sim::mail::ItemData* other) {
  std::vector<FieldId> ids;
  for (TaskField field : allTaskFields()) ids.emplace_back(addinFieldId(field));
  std::map<std::string, std::string> properties = travellingProperties(task);
  if (other) properties.merge(travellingProperties(*other));
  for (const auto& [name, value] : properties) ids.push_back(propertyFieldId(utf8ToUtf16(name)));
  return ids;
}

// The field's value in the scenario language's words; "none" for a user
// property the task lacks.
std::string ledgerValue(const sim::mail::ItemData& task, std::string_view id) {
  if (const std::optional<TaskField> field = taskFieldOf(id)) return fieldText(task, *field);
  const std::optional<std::u16string> name = propertyNameOf(id);
  return name ? propertyText(task, utf16ToUtf8(*name)) : std::string(kRemoved);
}

std::string ledgerFieldName(std::string_view id) {
  if (const std::optional<TaskField> field = taskFieldOf(id)) return std::string(fieldName(*field));
  const std::optional<std::u16string> name = propertyNameOf(id);
  return "property " + (name ? utf16ToUtf8(*name) : std::string(id));
}

}  // namespace

void SoakFieldLedger::noteEdit(const std::string& syncId, const std::string& editor,
                               const std::string& tag, std::int64_t atMs,
                               const sim::mail::ItemData* before,
                               const sim::mail::ItemData& after) {
  Waiting edit{++order_, editor, tag, atMs, {}};
  bool progress = false;
  for (const FieldId& id : ledgerFields(after, before)) {
    const std::string value = ledgerValue(after, id);
    if (before && ledgerValue(*before, id) == value) continue;
    edit.fields.emplace(id, value);
    progress = progress || isProgress(id);
  }
  if (progress) {
    for (std::string_view id : {syncedfield::kStatus, syncedfield::kPercent})
      edit.fields.emplace(FieldId(id), ledgerValue(after, id));
  }
  if (edit.fields.empty()) return;
  fieldEdits_ += static_cast<long long>(edit.fields.size());
  TaskLedger& task = tasks_[syncId];
  task.subject = utf16ToUtf8(after.subject);
  task.waiting.push_back(std::move(edit));
}

void SoakFieldLedger::noteRemoval(const std::string& syncId, const ChangeVersion& version) {
  TaskLedger& task = tasks_[syncId];
  if (!task.removed || *task.removed < version) task.removed = version;
}

void SoakFieldLedger::noteChangeMail(const std::string& syncId, const std::string& editor,
                                     const FieldVersions& versions) {
  const auto found = tasks_.find(syncId);
  if (found == tasks_.end()) return;
  TaskLedger& task = found->second;
  // Newest first: an edit the mail carries also settles the editor's earlier
  // edits of the same fields, which it overwrote before they went out.
  std::map<FieldId, long long> settledBy;
  for (auto edit = task.waiting.rbegin(); edit != task.waiting.rend(); ++edit) {
    if (edit->editor != editor) continue;
    std::erase_if(edit->fields, [&](const auto& entry) {
      const auto by = settledBy.find(entry.first);
      return by != settledBy.end() && by->second > edit->order;
    });
    if (edit->fields.empty() || !carries(task, versions, *edit)) continue;
    for (const auto& [field, value] : edit->fields) {
      const ChangeVersion version = *versions.of(field);
      // Went out with the edit, or with a newer change of another user that
      // the editor's add-in took before it sent.
      const bool mine = version.tag == edit->tag || version.utcMs < edit->atMs;
      offer(task, field, {mine ? version : ChangeVersion{edit->atMs, edit->tag}, edit->order, value});
      settledBy.try_emplace(field, edit->order);
    }
    edit->fields.clear();
  }
  std::erase_if(task.waiting, [](const Waiting& edit) { return edit.fields.empty(); });
}

// A field older than the edit in the mail: the mail was made before the
// edit (the burst window holds it back) and a later one carries it; or the
// edit set back the value that version had, which the add-in does not count
// as a change.
bool SoakFieldLedger::carries(TaskLedger& task, const FieldVersions& versions,
                              const Waiting& edit) {
  for (const auto& [field, value] : edit.fields) {
    const std::optional<ChangeVersion> version = versions.of(field);
    if (!version) return false;
    if (version->utcMs >= edit.atMs) continue;
    const auto known = task.sent[field].find(*version);
    if (known == task.sent[field].end() || known->second != value) return false;
  }
  return true;
}

void SoakFieldLedger::noteUnversionedChangeMail(const std::string& syncId,
                                                const std::string& editor,
                                                const ChangeVersion& version,
                                                const sim::mail::ItemData& carried) {
  TaskLedger& task = tasks_[syncId];
  if (task.subject.empty()) task.subject = utf16ToUtf8(carried.subject);
  std::map<FieldId, std::string> values;
  for (const FieldId& id : ledgerFields(carried, nullptr)) values.emplace(id, ledgerValue(carried, id));
  // Newest first, as above: the editor's edits whose values the mail holds
  // went out with it, and so did the earlier edits of the same fields.
  std::map<FieldId, long long> settledBy;
  for (auto edit = task.waiting.rbegin(); edit != task.waiting.rend(); ++edit) {
    if (edit->editor != editor) continue;
    std::erase_if(edit->fields, [&](const auto& entry) {
      const auto by = settledBy.find(entry.first);
      return by != settledBy.end() && by->second > edit->order;
    });
    bool held = true;
    for (const auto& [field, value] : edit->fields) {
      const auto found = values.find(field);
      held = held && found != values.end() && found->second == value;
    }
    if (!held) continue;
    for (const auto& [field, value] : edit->fields) settledBy.try_emplace(field, edit->order);
    edit->fields.clear();
  }
  std::erase_if(task.waiting, [](const Waiting& edit) { return edit.fields.empty(); });
  // Every field it carries is a change at that version, edited or not.
  const long long order = ++order_;
  for (auto& [field, value] : values) offer(task, field, {version, order, std::move(value)});
}

void SoakFieldLedger::noteKeptVersions(const std::string& syncId, const FieldVersions& versions,
                                       const sim::mail::ItemData& carried) {
  const auto found = tasks_.find(syncId);
  if (found == tasks_.end()) return;
  TaskLedger& task = found->second;
  std::vector<FieldId> ids = ledgerFields(carried, nullptr);
  // A property the line names that the task lacks was removed at that version.
  for (const auto& [id, version] : versions.listed())
    if (propertyNameOf(id)) ids.push_back(id);
  for (const FieldId& id : ids) {
    const std::optional<ChangeVersion> version = versions.of(id);
    if (!version || task.sent[id].contains(*version)) continue;
    offer(task, id, {*version, ++order_, ledgerValue(carried, id)});
  }
}

void SoakFieldLedger::offer(TaskLedger& task, const FieldId& field, Candidate candidate) {
  task.sent[field].insert_or_assign(candidate.version, candidate.value);
  auto [entry, added] = task.last.try_emplace(field, candidate);
  if (added) return;
  // One version is one change: of two edits the burst window sent as one,
  // the later holds the value that went out.
  if (entry->second.version < candidate.version ||
      (entry->second.version == candidate.version && entry->second.order < candidate.order))
    entry->second = std::move(candidate);
}

std::map<std::string, SoakFieldLedger::TaskLedger> SoakFieldLedger::settled() const {
  std::map<std::string, TaskLedger> tasks = tasks_;
  for (auto& [id, task] : tasks) {
    for (const Waiting& edit : task.waiting)
      for (const auto& [field, value] : edit.fields)
        offer(task, field, {ChangeVersion{edit.atMs, edit.tag}, edit.order, value});
    task.waiting.clear();
  }
  return tasks;
}

std::vector<std::string> SoakFieldLedger::lostFieldEdits(
    const std::vector<FolderContents>& folders) const {
  std::vector<std::string> lost;
  const std::map<std::string, TaskLedger> tasks = settled();
  for (const FolderContents& folder : folders) {
    std::map<std::string, const sim::mail::ItemData*> held;
    for (const sim::mail::ItemData& task : folder.tasks) held.emplace(syncIdOf(task), &task);
    for (const auto& [id, task] : tasks) {
      const std::string label =
          "lost field edit: " + id + " " + inQuotes(task.subject) + ": " + folder.user;
      bool removed = task.removed.has_value();
      for (const auto& [field, last] : task.last)
        if (removed && *task.removed < last.version) removed = false;
      const auto found = held.find(id);
      if (removed) {
        if (found != held.end()) lost.push_back(label + " still holds the removed task");
        continue;
      }
      if (found == held.end()) {
        lost.push_back(label + " lacks the task");
        continue;
      }
      for (const auto& [field, last] : task.last) {
        // A change made after the removal on a copy that had not seen it
        // brought the task back with whatever that copy held of the fields
        // the removal had ended: those are judged by in-step alone, which
        // holds every user to the same value.
        if (task.removed && last.version < *task.removed) continue;
        const std::string has = ledgerValue(*found->second, field);
        if (has != last.value)
          lost.push_back(label + " has " + ledgerFieldName(field) + " " + inQuotes(has) +
                         " where the last version (" + formatVersion(last.version) + ") has " +
                         inQuotes(last.value));
      }
    }
  }
  return lost;
}

}  // namespace qx::tools

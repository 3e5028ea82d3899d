#include "quendrilax-sim/merge_outcome.h"

#include "quendrilax-sim/runner_text.h"
#include "quendrilax-sim/task_fields.h"
#include "quendrilax-sim/text_utf.h"

namespace qx::tools {
namespace {

std::string joined(const std::vector<std::string_view>& names) {
  std::string text;
  for (std::string_view name : names) {
    if (!text.empty()) text += ", ";
    text += name;
  }
  return text;
}

}  // namespace

FieldSplit splitFields(const sim::mail::ItemData& previous, const sim::mail::ItemData& carried,
                       const sim::mail::ItemData& now) {
  FieldSplit split;
  for (TaskField field : allTaskFields()) {
    const std::string there = fieldText(carried, field);
    const std::string here = fieldText(previous, field);
    if (there == here) continue;
    const std::string after = fieldText(now, field);
    if (after == there) split.taken.push_back(fieldName(field));
    else if (after == here) split.kept.push_back(fieldName(field));
  }
  return split;
}

std::string mergeOutcome(const sim::mail::ItemData& now, const FieldSplit& split,
                         std::string_view sender) {
  std::string text = "merged " + inQuotes(utf16ToUtf8(now.subject)) + ":";
  if (!split.taken.empty())
    text += " " + joined(split.taken) + " from " + std::string(sender.substr(0, sender.find('@')));
  if (!split.kept.empty()) text += (split.taken.empty() ? " " : ", ") + joined(split.kept) + " kept";
  return text;
}

}  // namespace qx::tools

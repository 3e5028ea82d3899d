#include "quendrilax-sim/merge_outcome.h"

#include <vector>

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

std::optional<std::string> mergeOutcome(const sim::mail::ItemData& previous,
                                        const sim::mail::ItemData& carried,
                                        const sim::mail::ItemData& now,
                                        std::string_view sender) {
  std::vector<std::string_view> taken;
  std::vector<std::string_view> kept;
  for (TaskField field : allTaskFields()) {
    const std::string there = fieldText(carried, field);
    const std::string here = fieldText(previous, field);
    if (there == here) continue;
    const std::string after = fieldText(now, field);
    if (after == there) taken.push_back(fieldName(field));
    else if (after == here) kept.push_back(fieldName(field));
  }
  if (kept.empty() || taken.empty()) return std::nullopt;
  return "merged " + inQuotes(utf16ToUtf8(now.subject)) + ": " + joined(taken) + " from " +
         std::string(sender.substr(0, sender.find('@'))) + ", " + joined(kept) + " kept";
}

}  // namespace qx::tools

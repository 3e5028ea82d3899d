#include "quendrilax-sim/soak_plan.h"

#include <algorithm>
#include <cstdio>

namespace qx::tools {

namespace {

// Texts the soak writes. None is "Feiertag" or holds it, and no task is
// private: by design such tasks never travel, and a soak checks what does.
constexpr const char* kCategories[] = {"", "Red", "Blue, Green", "Team", "Urgent, Team"};
constexpr const char* kOwners[] = {"", "Anna", "Ben", "Carla", "D\xc3\xa9sir\xc3\xa9"};
constexpr const char* kStatuses[] = {"not-started", "in-progress", "complete", "waiting",
                                     "deferred"};
constexpr const char* kImportances[] = {"low", "normal", "high"};
// User properties the soak's users give their tasks; one name beyond ASCII,
// which travels escaped in the field line.
constexpr const char* kPropertyNames[] = {"Ticket", "Phase", "B\xc3\xbcro"};
constexpr std::size_t kProperties = std::size(kPropertyNames);

std::string virtualText(std::int64_t ms) {
  const std::int64_t s = ms / 1000;
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%lldh%02lldm%02llds", static_cast<long long>(s / 3600),
                static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
  return buffer;
}

std::string realText(double seconds) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f s", seconds);
  return buffer;
}

}  // namespace

std::uint64_t SoakRandom::next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::size_t SoakRandom::below(std::size_t n) { return static_cast<std::size_t>(next() % n); }

FieldValue SoakPlan::randomField(TaskField field, int n) {
  auto pick = [&](const auto& list) { return std::string(list[random_.below(std::size(list))]); };
  auto date = [&]() -> std::string {
    if (random_.percent(30)) return "none";
    // Within two years of the office's first day.
    return dateText(46363.0 + static_cast<double>(random_.below(730)));
  };
  switch (field) {
    case TaskField::kSubject:
      return {field, "Soak " + std::to_string(n) + (random_.percent(20) ? " \xc3\xbc" : "")};
    case TaskField::kBody:
      return {field, random_.percent(30) ? std::string()
                                         : "Step " + std::to_string(n) + "\nline " +
                                               std::to_string(random_.below(1000))};
    case TaskField::kDue:
    case TaskField::kStart:
      return {field, date()};
    case TaskField::kStatus:
      return {field, pick(kStatuses)};
    case TaskField::kPercent:
      return {field, std::to_string(random_.below(101))};
    case TaskField::kImportance:
      return {field, pick(kImportances)};
    case TaskField::kPrivate:
      return {field, "no"};
    case TaskField::kCategories:
      return {field, pick(kCategories)};
    case TaskField::kOwner:
      return {field, pick(kOwners)};
    case TaskField::kProperty:
      break;
  }
  return {field, {}};
}

FieldValue SoakPlan::randomProperty(std::size_t which, int n, bool removes) {
  FieldValue value{TaskField::kProperty, std::string(kRemoved), kPropertyNames[which]};
  if (!removes || !random_.percent(30))
    value.text = "T-" + std::to_string(n) + "." + std::to_string(random_.below(10));
  return value;
}

SoakEdit SoakPlan::nextEdit(int n, const std::vector<std::size_t>& eligible,
                            const std::vector<std::size_t>& taskCounts,
                            std::optional<std::size_t> keepsProperties) {
  SoakEdit edit;
  edit.user = eligible[random_.below(eligible.size())];
  const bool removes = keepsProperties != edit.user;
  const std::size_t tasks = taskCounts[edit.user];
  const std::size_t roll = random_.below(100);
  // Adds outweigh deletes, so the folders grow over a long soak.
  if (tasks == 0 || roll < 40) {
    edit.kind = SoakEdit::Kind::kAdd;
    for (TaskField field : allTaskFields())
      if (field != TaskField::kPrivate) edit.fields.push_back(randomField(field, n));
    for (std::size_t p = 0; p < kProperties; ++p)
      if (random_.percent(50)) edit.fields.push_back(randomProperty(p, n, false));
    return edit;
  }
  edit.task = random_.below(tasks);
  if (roll < 85) {
    edit.kind = SoakEdit::Kind::kEdit;
    const std::size_t count = 1 + random_.below(mostFields_);
    const auto& fields = allTaskFields();
    // A draw is a field of the task or one of the user properties.
    std::vector<std::size_t> drawn;
    while (edit.fields.size() < count) {
      const std::size_t draw = random_.below(fields.size() + kProperties);
      if (draw < fields.size() && fields[draw] == TaskField::kPrivate) continue;
      if (std::find(drawn.begin(), drawn.end(), draw) != drawn.end()) continue;
      drawn.push_back(draw);
      edit.fields.push_back(draw < fields.size()
                                ? randomField(fields[draw], n)
                                : randomProperty(draw - fields.size(), n, removes));
    }
    return edit;
  }
  edit.kind = SoakEdit::Kind::kDelete;
  return edit;
}

std::optional<std::size_t> SoakPlan::restart(std::size_t users) {
  if (!faults_.restart || users == 0 || !random_.percent(10)) return std::nullopt;
  return random_.below(users);
}

std::size_t SoakPlan::concurrentTask(std::size_t task, std::size_t tasks) {
  constexpr std::size_t kHotTasks = 8;
  if (tasks == 0 || !random_.percent(50)) return task;
  return tasks - 1 - random_.below(std::min(tasks, kHotTasks));
}

SoakPost SoakPlan::post() {
  SoakPost post;
  if (faults_.delay && random_.percent(30)) post.delayMs = 1000 * (1 + random_.below(90));
  if (faults_.duplicate && random_.percent(20)) post.copies = 2;
  return post;
}

int SoakPlan::outage() {
  if (!faults_.outage || !random_.percent(10)) return 0;
  return 1 + static_cast<int>(random_.below(3));
}

std::string soakProgressLine(const std::string& shareName, const SoakTally& tally,
                             std::int64_t virtualMs, double realSeconds) {
  return "soak " + shareName + ": " + std::to_string(tally.edits) + " edits, " +
         std::to_string(tally.mailsCarried) + " mails carried, virtual " + virtualText(virtualMs) +
         ", real " + realText(realSeconds);
}

std::string soakSummary(const std::string& shareName, const SoakTally& tally,
                        std::int64_t virtualMs, double realSeconds) {
  char rate[32];
  std::snprintf(rate, sizeof rate, "%.0f", realSeconds > 0 ? tally.edits / realSeconds : 0.0);
  return "soak " + shareName + " done: " + std::to_string(tally.edits) + " edits (" +
         std::to_string(tally.adds) + " adds, " + std::to_string(tally.changes) + " changes, " +
         std::to_string(tally.deletes) + " deletes), " + std::to_string(tally.mailsCarried) +
         " mails carried, " + std::to_string(tally.restarts) + " restarts, " +
         std::to_string(tally.delayedRuns) + " delayed and " + std::to_string(tally.doubledRuns) +
         " doubled transport runs, " +
         (tally.outageRuns > 0
              ? std::to_string(tally.outageRuns) + " with the SMTP side stopped, "
              : std::string()) +
         "virtual " + virtualText(virtualMs) + ", real " +
         realText(realSeconds) + ", " + rate + " edits/s";
}

}  // namespace qx::tools

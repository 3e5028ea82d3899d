#include "quendrilax-sim/in_step.h"

#include <map>

#include "platform/mail_ids.h"
#include "protocol/stays_home.h"
#include "quendrilax-sim/commands_tasks.h"
#include "quendrilax-sim/runner_text.h"
#include "quendrilax-sim/task_fields.h"
#include "quendrilax-sim/text_utf.h"

namespace qx::tools {

bool travels(const sim::mail::ItemData& task) {
  return task.sensitivity != sensitivity::kPrivate &&
         task.categories.find(stays_home::kHolidayCategory) == std::u16string::npos;
}

std::vector<std::string> inStepDifferences(const std::vector<FolderContents>& folders) {
  std::vector<std::string> differences;
  // Sync id -> per user (index into folders) the tasks bearing it.
  struct Holders {
    std::vector<std::vector<const sim::mail::ItemData*>> byUser;
  };
  std::map<std::string, Holders> ids;
  std::vector<std::string> order;  // ids in the order first seen
  for (std::size_t u = 0; u < folders.size(); ++u) {
    for (const sim::mail::ItemData& task : folders[u].tasks) {
      if (!travels(task)) continue;
      const std::string id = syncIdOf(task);
      if (id.empty()) {
        differences.push_back(folders[u].user + ": task " + inQuotes(utf16ToUtf8(task.subject)) +
                              " has no sync id");
        continue;
      }
      auto [it, fresh] = ids.try_emplace(id);
      if (fresh) {
        it->second.byUser.resize(folders.size());
        order.push_back(id);
      }
      it->second.byUser[u].push_back(&task);
    }
  }
  for (std::size_t u = 0; u < folders.size(); ++u) {
    const std::string& user = folders[u].user;
    for (const std::string& id : order) {
      const Holders& holders = ids[id];
      const sim::mail::ItemData* reference = nullptr;
      std::string referenceUser;
      for (std::size_t r = 0; r < folders.size() && !reference; ++r)
        if (!holders.byUser[r].empty()) {
          reference = holders.byUser[r].front();
          referenceUser = folders[r].user;
        }
      const std::string label = id + " " + inQuotes(utf16ToUtf8(reference->subject));
      const auto& mine = holders.byUser[u];
      if (mine.empty()) {
        differences.push_back(user + ": missing " + label + " (held by " + referenceUser + ")");
        continue;
      }
      if (mine.size() > 1)
        differences.push_back(user + ": " + std::to_string(mine.size()) + " tasks with " + id +
                              " (doubled)");
      if (mine.front() == reference) continue;
      auto differ = [&](const std::string& what, const std::string& found,
                        const std::string& wanted) {
        if (wanted != found)
          differences.push_back(user + ": " + label + " " + what + " " + inQuotes(found) +
                                " where " + referenceUser + " has " + inQuotes(wanted));
      };
      for (TaskField field : allTaskFields())
        differ(std::string(fieldName(field)), fieldText(*mine.front(), field),
               fieldText(*reference, field));
      // The host keeps complete apart from the status it follows.
      differ("complete", mine.front()->complete ? "yes" : "no", reference->complete ? "yes" : "no");
      // Every user property that travels, held on either side.
      std::map<std::string, std::string> names = travellingProperties(*reference);
      names.merge(travellingProperties(*mine.front()));
      for (const auto& [name, value] : names)
        differ("property " + name, propertyText(*mine.front(), name),
               propertyText(*reference, name));
    }
  }
  return differences;
}

}  // namespace qx::tools

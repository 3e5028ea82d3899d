// A merged change as the transcript tells it: the fields taken from the mail
// and those kept, or nothing when the mail's task arrived whole.
#include <gtest/gtest.h>

#include "quendrilax-sim/merge_outcome.h"
#include "quendrilax-sim/task_fields.h"

namespace qx::tools {
namespace {

sim::mail::ItemData task(std::vector<FieldValue> fields) {
  sim::mail::ItemData data = sim::mail::ItemData::newTask();
  data.subject = u"Plan";
  for (const FieldValue& field : fields) applyField(data, field);
  return data;
}

TEST(MergeOutcome, SplitsTheMailsFieldsByWhatTheTaskHoldsNow) {
  const auto here = task({{TaskField::kStatus, "in-progress"}, {TaskField::kPercent, "30"}});
  const auto mail = task({{TaskField::kDue, "2026-12-24"}});
  const auto merged = task({{TaskField::kDue, "2026-12-24"},
                            {TaskField::kStatus, "in-progress"},
                            {TaskField::kPercent, "30"}});
  struct Case {
    const char* what;
    sim::mail::ItemData now;
    std::string said;
  };
  const std::vector<Case> cases = {
      {"merged", merged, "merged \"Plan\": due from ben, status, percent kept"},
      {"taken whole", mail, "merged \"Plan\": due, status, percent from ben"},
      {"nothing taken", here, "merged \"Plan\": due, status, percent kept"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(mergeOutcome(c.now, splitFields(here, mail, c.now), "ben@office.test"), c.said);
  }
}

}  // namespace
}  // namespace qx::tools

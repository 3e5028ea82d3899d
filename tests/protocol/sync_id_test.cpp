#include "protocol/sync_id.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "sim/faults.h"
#include "sim/guid_sim.h"

namespace qx {
namespace {

TEST(SyncId, FreshIdIsBracedUpperCaseGuidText) {
  sim::Faults faults;
  sim::GuidSim guids(faults, 7);
  const Result<std::u16string> id = makeSyncId(guids);
  ASSERT_TRUE(id.has_value());
  EXPECT_TRUE(hasSyncIdForm(*id));
  // The generator's next GUID in the system's text form.
  sim::GuidSim same(faults, 7);
  Guid guid;
  ASSERT_EQ(same.create(guid), hr::kOk);
  EXPECT_EQ(*id, sim::GuidSim::format(guid));
}

// A formatter that writes a text of its own choosing and reports a count of
// its own choosing: what no system formatter does, and what an id must never
// be made from.
class MisformattingGuids final : public GuidSource {
 public:
  MisformattingGuids(std::u16string text, int written)
      : text_(std::move(text)), written_(written) {}
  Hresult create(Guid& guid) override {
    guid = Guid{};
    return hr::kOk;
  }
  int toString(const Guid&, std::span<char16_t> buffer) override {
    std::copy_n(text_.begin(), std::min(text_.size(), buffer.size()), buffer.begin());
    return written_;
  }

 private:
  std::u16string text_;
  int written_;
};

TEST(SyncId, GeneratorOrFormatterFailureGivesNoId) {
  sim::Faults faults;
  sim::GuidSim guids(faults, 7);
  faults.fail("guid.create", hr::kOutOfMemory);
  EXPECT_EQ(makeSyncId(guids).error(), hr::kOutOfMemory);
  faults.fail("guid.toString", hr::kFail);
  EXPECT_FALSE(makeSyncId(guids).has_value());

  const std::u16string upper = u"{0A1B2C3D-4E5F-6789-ABCD-EF0123456789}";
  MisformattingGuids shortCount(upper, 20);
  EXPECT_FALSE(makeSyncId(shortCount).has_value());
  MisformattingGuids lower(u"{0a1b2c3d-4e5f-6789-abcd-ef0123456789}", 39);
  EXPECT_FALSE(makeSyncId(lower).has_value());
  MisformattingGuids right(upper, 39);
  EXPECT_EQ(makeSyncId(right), upper);
}

TEST(SyncId, FormCheck) {
  struct Case {
    std::u16string text;
    bool ok;
  };
  const Case cases[] = {
      {u"{00000000-0000-0000-0000-000000000000}", true},
      {u"{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}", true},
      {u"{ffffffff-ffff-ffff-ffff-ffffffffffff}", false},
      {u"00000000-0000-0000-0000-000000000000", false},
      {u"{00000000-0000-0000-0000-0000000000000}", false},
      {u"{00000000-0000-0000-0000+000000000000}", false},
      {u"{0000000G-0000-0000-0000-000000000000}", false},
      {u"(00000000-0000-0000-0000-000000000000)", false},
      {u"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(hasSyncIdForm(c.text), c.ok) << std::string(c.text.begin(), c.text.end());
  }
}

}  // namespace
}  // namespace qx

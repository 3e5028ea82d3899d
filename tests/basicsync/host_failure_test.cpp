// Failure codes of real hosts, as reported in the field, classified by their
// mail-layer low word: what each means, and what the basic synchronization
// makes of a queued task that fails to open with it.
#include "basic_sync_fixture.h"
#include "platform/host_failure.h"

namespace qx::test {
namespace {

struct FieldCode {
  std::uint32_t code;
  HostFailure kind;
};

constexpr FieldCode kFieldCodes[] = {
    {0x8004010Fu, HostFailure::kNotFound},
    {0xC1F4010Fu, HostFailure::kNotFound},        // "object could not be found"
    {0x8F04010Fu, HostFailure::kNotFound},
    {0x80040107u, HostFailure::kInvalidEntryId},
    {0xC2F40107u, HostFailure::kInvalidEntryId},
    {0x8004010Au, HostFailure::kMovedOrDeleted},
    {0x9EE4010Au, HostFailure::kMovedOrDeleted},  // "moved or deleted"
    {0x8004010Bu, HostFailure::kOther},           // busy: try again later
    {0x80040102u, HostFailure::kOther},
    {0x8007010Fu, HostFailure::kOther},           // a Win32 error, not the mail layer's
    {0x80020009u, HostFailure::kOther},
    {0x80004005u, HostFailure::kOther},
};

class HostFailures : public BasicSyncTest {};

TEST_F(HostFailures, FieldCodesAreClassifiedByTheirLowWordWhereverTheAddInDecides) {
  const auto folder = shareFolder(u"A", {"bob@office.test"}, true);
  const std::string first = ansi(addTask(folder, u"first"));
  const std::string second = ansi(addTask(folder, u"second"));
  connect();
  for (const FieldCode& field : kFieldCodes) {
    const auto status = static_cast<Hresult>(field.code);
    SCOPED_TRACE(::testing::Message() << std::hex << field.code);
    EXPECT_EQ(classifyHostFailure(status), field.kind);
    const bool gone = field.kind != HostFailure::kOther;

    // The catch-up step: a task that is gone leaves the queue; any other
    // failure keeps it at the front for a later tick.
    writeQueue(folder, first + "\r\n" + second + "\r\n");
    host.faults().fail("mail.Namespace.GetItemFromID", status);
    engine()->nextBackgroundItems();
    host.faults().clearAll();
    EXPECT_EQ(queueEntries(folder).size(), gone ? 1u : 2u);
    EXPECT_EQ(mailsSent(), 0u);
  }
}

}  // namespace
}  // namespace qx::test

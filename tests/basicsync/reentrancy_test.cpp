// Work that arrives while earlier work waits in a modal loop: only what would
// overlap a running scan or send on the shared working files is held back.
#include "basic_sync_fixture.h"

namespace qx::test {
namespace {

class Reentrancy : public BasicSyncTest {};

TEST_F(Reentrancy, MailArrivingWhileTheQuestionIsOpenIsScanned) {
  const auto a = shareFolder(u"A", {"bob@office.test"});
  addTask(a, u"A1");
  // The user leaves the question open for five minutes; mail comes in.
  host.queueAnswer(win::kIdYes, 5 * 60 * 1000);
  host.onMessageBox([this](const sim::ShownBox&) { host.raiseNewMail(); });
  connect();
  EXPECT_EQ(module->counters().inboxScans, 1);
  EXPECT_EQ(queueEntries(a).size(), 1u);
}

TEST_F(Reentrancy, WorkOpeningABoxInsideTheQuestionStillHoldsOffTheNext) {
  const auto a = shareFolder(u"A", {"bob@office.test"});
  addTask(a, u"A1");
  host.queueAnswer(win::kIdYes, 60 * 1000);
  host.queueAnswer(win::kIdOk, 10 * 1000);
  bool insideScan = false;
  int nested = 0;
  host.onMessageBox([&](const sim::ShownBox&) {
    if (!insideScan) {
      // The question: the mail's scan runs inside it and opens a box of its
      // own, in which a further mail arrives.
      insideScan = true;
      host.raiseNewMail();
    } else if (++nested == 1) {
      host.raiseNewMail();
    }
  });
  mail().setLibraryState(sim::mail::LibraryState::kProgIdUnknown);
  disconnectOnRequest = false;
  connect();
  // The question's scan ran; the mail that came during the scan's own box
  // was held off.
  EXPECT_EQ(module->counters().inboxScans, 1);
  EXPECT_FALSE(module->engineBusy());
  EXPECT_FALSE(module->workOnStack());
}

}  // namespace
}  // namespace qx::test

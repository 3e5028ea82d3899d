// Reading the recipients and reasons out of a non-delivery report's text, as
// hosts and mail systems word it.
#include "incoming/delivery_report.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

TEST(DeliveryReportTest, NamesEachRecipientWithTheReasonUnderIt) {
  struct Case {
    const char* name;
    std::u16string body;
    std::vector<UndeliveredRecipient> expected;
  };
  const Case cases[] = {
      {"the host's report",
       u"Your message did not reach some or all of the intended recipients.\r\n\r\n"
       u"      Subject:\tTaskSynchronisation\r\n\r\n"
       u"The following recipient could not be reached:\r\n\r\n"
       u"      zoe@office.test\r\n      The address is unknown to the mail system.\r\n",
       {{u"zoe@office.test", u"The address is unknown to the mail system."}}},
      {"two recipients, LF lines, another wording",
       u"The following recipient(s) cannot be reached:\n\n  'Zoe' on 3/1/2026\n"
       u"    Mailbox full\n\n  tom@office.test\n    552 5.2.2 Over quota\n",
       {{u"'Zoe' on 3/1/2026", u"Mailbox full"}, {u"tom@office.test", u"552 5.2.2 Over quota"}}},
      {"a recipient without a reason", u"The following recipient could not be reached:\n\nzoe@office.test",
       {{u"zoe@office.test", u""}}},
      {"no list of recipients", u"Your message was delivered.\r\n", {}},
      {"the heading only", u"The following recipient could not be reached:\r\n\r\n", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto found = undeliveredRecipients(c.body);
    ASSERT_EQ(found.size(), c.expected.size());
    for (std::size_t i = 0; i < found.size(); ++i) {
      EXPECT_EQ(found[i].recipient, c.expected[i].recipient);
      EXPECT_EQ(found[i].reason, c.expected[i].reason);
    }
  }
}

}  // namespace
}  // namespace qx

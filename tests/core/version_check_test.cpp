#include "core/version_check.h"

#include <gtest/gtest.h>

#include "common/messages.h"
#include "support/host_fixture.h"

namespace qx::testsupport {
namespace {

struct VersionCase {
  std::u16string version;
  std::int64_t build;  // as read from a 10.0.0 string
  bool accepted;
};

TEST(VersionCheck, ReadsTheBuildAfterTheCharacterSetTrim) {
  const VersionCase cases[] = {
      {u"10.0.0.4024", 4024, false},
      {u"10.0.0.6626", 6626, true},
      // The trim also eats the build's own leading one: 234, refused.
      {u"10.0.0.1234", 234, false},
      {u"10.0.0.6500", 6500, true},
      {u"10.0.0.6499", 6499, false},
      {u"10.0.0", 0, false},
      {u"10.0.0.", 0, false},
      {u"10.0.0.abc", 0, false},
      {u"10.0.0.7000 SP3", 7000, true},
      // Far more digits than any number holds: accepted, not overflowed.
      {u"10.0.0.99999999999999999999999999", 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.version.begin(), c.version.end()));
    if (c.build != 0) {
      EXPECT_EQ(hostBuildNumber(c.version), c.build);
    }
    EXPECT_EQ(hostVersionAccepted(c.version), c.accepted);
  }
}

TEST(VersionCheck, OtherVersionsPassWithoutBuildTest) {
  for (std::u16string version :
       {u"11.0.0.5510", u"9.0.0.2711", u"", u" 10.0.0.4024", u"12.0.4518.1014", u"100.0.0.1"}) {
    SCOPED_TRACE(std::string(version.begin(), version.end()));
    EXPECT_TRUE(hostVersionAccepted(version));
  }
}

class VersionAtConnection : public HostTest {};

TEST_F(VersionAtConnection, OldBuildIsRefusedWithItsBoxAndLeavesTheAddInInert) {
  mail().setVersion(u"10.0.0.4024");
  EXPECT_EQ(connect(), hr::kOk);
  ASSERT_EQ(boxes().size(), 1u);
  const sim::ShownBox box = boxes()[0];
  EXPECT_EQ(box.owner, kNoWindow);
  EXPECT_EQ(box.type, win::kMbOk);
  EXPECT_EQ(box.caption, u"Quendrilax Outlook Version:10.0.0.4024");
  EXPECT_EQ(box.text, loadMessage(lang::kEnglishUs, msg::kHostUpdateNeeded));
  EXPECT_EQ(
      box.text,
      u"Sorry, but you have no SP3 installed, to run Quendrilax you have to install it first");

  // Inert: no engine, no subscriptions, no timer until start-up completes, and
  // then ticks that do nothing.
  EXPECT_EQ(engine(), nullptr);
  EXPECT_EQ(mail().applicationSubscriptions(), 0u);
  EXPECT_EQ(mail().namespaceSubscriptions(), 0u);
  EXPECT_EQ(connection->applicationEventsCookie(), kNoSubscription);
  EXPECT_FALSE(timerInterval());
  connection->onStartupComplete();
  EXPECT_EQ(timerInterval(), 10000u);
  EXPECT_TRUE(tick());
  EXPECT_TRUE(tick());
  EXPECT_EQ(module->counters().ticks, 0);
  EXPECT_EQ(timerInterval(), 10000u);
  EXPECT_EQ(faults.calls("safe.CLSIDFromProgID"), 0);
  // Nothing was written or deleted in the data directory or the logs.
  EXPECT_EQ(debugLog(), "");
  EXPECT_EQ(faults.calls("shell.createDirectory"), 0);
  EXPECT_EQ(connection->onDisconnection(0), hr::kOk);
}

TEST_F(VersionAtConnection, GermanHostShowsTheGermanText) {
  locale().setLanguage(lang::kGerman);
  mail().setVersion(u"10.0.0.1234");
  EXPECT_EQ(connect(), hr::kOk);
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxes()[0].text,
            u"Um Quendrilax mit Outlook XP benutzen zu k\u00f6nnen, mu\u00df Office SP3 "
            u"installiert sein.");
  EXPECT_EQ(boxes()[0].caption, u"Quendrilax Outlook Version:10.0.0.1234");
  EXPECT_EQ(engine(), nullptr);
}

TEST_F(VersionAtConnection, AcceptedVersionsConnectWithoutBox) {
  for (std::u16string version : {u"10.0.0.6626", u"11.0.0.5510"}) {
    SCOPED_TRACE(std::string(version.begin(), version.end()));
    mail().setVersion(version);
    EXPECT_EQ(connect(), hr::kOk);
    EXPECT_TRUE(boxes().empty());
    EXPECT_NE(engine(), nullptr);
    // The same connection object, connected again, has its timer window back.
    EXPECT_EQ(timerInterval(), 1000u);
    EXPECT_EQ(connection->onDisconnection(0), hr::kOk);
    EXPECT_EQ(engine(), nullptr);
    EXPECT_FALSE(timerInterval());
  }
}

TEST_F(VersionAtConnection, UnreadableVersionIsNotRefused) {
  faults.fail("mail.Application.Version", hr::kFail);
  EXPECT_EQ(connect(), hr::kOk);
  EXPECT_TRUE(boxes().empty());
  EXPECT_NE(engine(), nullptr);
}

}  // namespace
}  // namespace qx::testsupport

// The post office over a mail system: every mail is rendered, submitted once
// for its recipients and once per copy, held in the server's queue while delayed, fetched
// and read back, with the same outcomes as in memory. The mail system here is
// a recording stand-in of the server; the mailserver test label runs the
// scenarios over the real one.
#include <algorithm>
#include <map>

#include "sim/mail/mime_message.h"
#include "sim/mail/mime_text.h"
#include "sim/post_office_fixture.h"

namespace qx::sim::mailtest {
namespace {

// Knows a fixed set of mailboxes; holds what is submitted with `hold`.
class RecordingMailSystem final : public MailSystem {
 public:
  std::map<std::string, std::vector<std::string>> boxes;
  std::multimap<std::string, std::pair<std::string, std::string>> held;  // id -> box, text
  std::vector<std::string> submitted;
  int nextId = 0;

  std::expected<Accepted, Failure> submit(std::string_view,
                                          const std::vector<std::string>& recipients,
                                          std::string_view message, bool hold) override {
    if (!smtpRunning) return std::unexpected(Failure{Failure::Kind::kUnreachable, "", "stopped"});
    if (refusals > 0) {
      --refusals;
      const std::string reply = std::to_string(refusalCode) + " refused";
      return std::unexpected(Failure{refusalCode < 500 ? Failure::Kind::kTemporary
                                                       : Failure::Kind::kPermanent,
                                     reply, reply});
    }
    Accepted accepted;
    std::vector<std::string> taken;
    for (const std::string& recipient : recipients) {
      if (boxes.contains(recipient))
        taken.push_back(recipient);
      else
        accepted.refused.emplace_back(recipient, "550 5.1.1 User unknown");
    }
    if (taken.empty()) return accepted;
    submitted.emplace_back(message);
    accepted.queueId = "Q" + std::to_string(++nextId);
    for (const std::string& recipient : taken) {
      if (hold)
        held.emplace(accepted.queueId, std::pair{recipient, std::string(message)});
      else
        boxes[recipient].emplace_back(message);
    }
    return accepted;
  }
  std::expected<void, std::string> release(const std::vector<std::string>& ids) override {
    for (const std::string& id : ids) {
      auto [first, last] = held.equal_range(id);
      if (first == last) return std::unexpected("no held message " + id);
      for (auto it = first; it != last; ++it) boxes[it->second.first].push_back(it->second.second);
      held.erase(first, last);
    }
    return {};
  }
  std::expected<std::size_t, std::string> waiting(std::string_view box,
                                                  std::string_view mark) override {
    if (!imapRunning) return std::unexpected("stopped");
    return static_cast<std::size_t>(std::count_if(
        boxes[std::string(box)].begin(), boxes[std::string(box)].end(),
        [&](const std::string& m) { return mail::messageIdOf(m).find(mark) != std::string::npos; }));
  }
  std::expected<std::vector<std::string>, std::string> take(std::string_view box,
                                                            std::string_view mark) override {
    if (!imapRunning) return std::unexpected("stopped");
    std::vector<std::string> taken;
    std::erase_if(boxes[std::string(box)], [&](const std::string& m) {
      const std::string id = mail::messageIdOf(m);
      if (id.find(mark) == std::string::npos && id.ends_with(kOfficeMessageIdEnd)) return false;
      taken.push_back(m);
      return true;
    });
    return taken;
  }
  std::expected<void, std::string> clearLeftovers(std::string_view box) override {
    std::erase_if(boxes[std::string(box)], [](const std::string& m) {
      return !mail::messageIdOf(m).ends_with(kOfficeMessageIdEnd);
    });
    return {};
  }
  std::expected<std::size_t, std::string> queued() override { return held.size(); }
  std::expected<void, std::string> setSmtpRunning(bool running) override {
    smtpRunning = running;
    return {};
  }
  std::expected<void, std::string> setImapRunning(bool running) override {
    imapRunning = running;
    return {};
  }
  void refuseNext(int code, int count) override {
    refusalCode = code;
    refusals = count;
  }
  bool smtpRunning = true;
  bool imapRunning = true;
  int refusalCode = 0;
  int refusals = 0;
};

class MailPostOfficeServerTest : public PostOfficeFixture {
 protected:
  void SetUp() override {
    PostOfficeFixture::SetUp();
    auto system = std::make_unique<RecordingMailSystem>();
    server = system.get();
    for (const char* box : {"alice@example.org", "bob@example.org"}) server->boxes[box] = {};
    server->boxes["bob@example.org"].push_back("From: old@example.org\r\n\r\nleft from before");
    office.useMailSystem(std::move(system));
  }

  void send(std::u16string to, std::u16string subject) {
    PostOfficeFixture::send(alice, std::move(to), std::move(subject), true, u"Grüße\nis:TRUE:is");
  }

  RecordingMailSystem* server = nullptr;
};

TEST_F(MailPostOfficeServerTest, CarriesMailAsMessagesWithTheOutcomesOfTheMemoryOffice) {
  EXPECT_TRUE(server->boxes["bob@example.org"].empty()) << "a joining user's mailbox is emptied";
  send(u"BOB@example.org;nobody@example.org;", u"first ✓");
  send(u"bob@example.org", u"second");
  clock.advance(2000);
  office.runTransport();
  auto inbox = bob.inbox();
  ASSERT_EQ(inbox.size(), 2u);
  EXPECT_EQ(inbox[0].data.subject, u"first ✓") << "in the order they were sent";
  EXPECT_EQ(inbox[1].data.subject, u"second");
  EXPECT_EQ(inbox[0].data.body, u"Grüße\nis:TRUE:is");
  EXPECT_EQ(inbox[0].data.senderAddress, u"alice@example.org");
  EXPECT_EQ(inbox[0].data.sentOn, DateValue{hostDateOf(kDefaultStartSeconds + 2, 0)});
  EXPECT_EQ(inbox[0].data.receivedTime, inbox[0].data.sentOn);
  // The refused recipient comes back to the sender as a report.
  auto reports = alice.inbox();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].data.kind, mail::ItemKind::kReport);
  EXPECT_NE(reports[0].data.body.find(u"nobody@example.org"), std::u16string::npos);
  EXPECT_EQ(office.inTransit(), 0u);
  EXPECT_EQ(office.figures().submitted, 2);
}

TEST_F(MailPostOfficeServerTest, DelayHoldsInTheQueueCopiesSubmitTwiceHabitsReachTheText) {
  PostOffice::Quirks quirks;
  quirks.delayMs = 5000;
  quirks.copies = 2;
  quirks.habits.footer = u"Vertraulich";
  office.setQuirks(quirks);
  office.watchQueue(true);
  send(u"bob@example.org", u"held");
  office.runTransport();
  EXPECT_TRUE(bob.inbox().empty());
  EXPECT_EQ(server->held.size(), 2u);
  EXPECT_EQ(office.inTransit(), 2u);
  EXPECT_EQ(office.figures().peakQueue, 2u);
  clock.advance(4999);
  office.runTransport();
  EXPECT_TRUE(bob.inbox().empty()) << "not yet due";
  clock.advance(1);
  office.runTransport();
  auto inbox = bob.inbox();
  ASSERT_EQ(inbox.size(), 2u);
  EXPECT_TRUE(inbox[1].data.body.ends_with(u"\n\nVertraulich\n"));
  ASSERT_EQ(server->submitted.size(), 2u);
  EXPECT_EQ(mail::messageIdOf(server->submitted[0]), mail::messageIdOf(server->submitted[1]))
      << "a duplicate is the same message submitted twice";
  EXPECT_EQ(office.inTransit(), 0u);
}

// The server's faults act on the office the same in memory and over a mail
// system: the scenario forms that make them run both ways.
class ServerFaultsTest : public PostOfficeFixture, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    PostOfficeFixture::SetUp();
    if (!GetParam()) return;
    auto system = std::make_unique<RecordingMailSystem>();
    for (const char* box : {"alice@example.org", "bob@example.org", "carol@example.org"})
      system->boxes[box] = {};
    server = system.get();
    office.useMailSystem(std::move(system));
  }
  std::vector<MailItemInfo> outbox() { return alice.box(default_folder::kOutbox); }
  RecordingMailSystem* server = nullptr;
};

TEST_P(ServerFaultsTest, AFailedSendKeepsTheMailInTheOutboxUntilTheServerTakesIt) {
  struct Case {
    const char* fault;
    std::u16string why;
  };
  const Case cases[] = {
      {"stopped", u"the mail server cannot be reached"},
      {"450", u"the mail server refused it for now (450"},
      {"552", u"the mail server refused it (552"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    const std::string fault = c.fault;
    if (fault == "stopped") {
      ASSERT_TRUE(office.setSmtpRunning(false));
    } else {
      office.refuseNext(std::stoi(fault), 1);
    }
    send(alice, u"bob@example.org", u"change " + mail::fromUtf8(fault), true);
    office.runTransport();
    auto waiting = outbox();
    ASSERT_EQ(waiting.size(), 1u) << "the mail stays in the Outbox";
    EXPECT_TRUE(waiting[0].submitted);
    EXPECT_TRUE(waiting[0].sendFailure.starts_with(c.why)) << mail::toUtf8(waiting[0].sendFailure);
    EXPECT_EQ(fault == "552", waiting[0].sendFailure.ends_with(u"marked failed"));
    EXPECT_TRUE(bob.inbox().empty());
    EXPECT_TRUE(alice.inbox().empty()) << "no report of the office's own making";
    if (fault == "stopped") {
      ASSERT_TRUE(office.setSmtpRunning(true));
    }
    office.runTransport();
    EXPECT_TRUE(outbox().empty());
    ASSERT_EQ(bob.inbox().size(), 1u) << "once, however often it was tried";
    ASSERT_TRUE(bob.client.hardDelete(bob.inbox()[0].entryId));
  }
}

TEST_P(ServerFaultsTest, AStoppedImapSideKeepsMailOnTheServerAndForeignMailArrivesToo) {
  ASSERT_TRUE(office.setImapRunning(false));
  send(alice, u"bob@example.org", u"change", true);
  ASSERT_TRUE(office.deliverForeign(bob.client, u"news@example.org", u"Spring sale", u"20% off"));
  office.runTransport();
  EXPECT_TRUE(outbox().empty()) << "the server took it";
  EXPECT_TRUE(bob.inbox().empty());
  EXPECT_EQ(office.inTransit(), 2u);
  ASSERT_TRUE(office.setImapRunning(true));
  office.runTransport();
  auto inbox = bob.inbox();
  ASSERT_EQ(inbox.size(), 2u);
  EXPECT_EQ(inbox[0].data.subject, u"change");
  EXPECT_EQ(inbox[1].data.subject, u"Spring sale") << "foreign mail after the office's own";
  EXPECT_EQ(inbox[1].data.senderAddress, u"news@example.org");
  EXPECT_EQ(office.inTransit(), 0u);
  ASSERT_TRUE(office.setSmtpRunning(false));
  EXPECT_FALSE(office.deliverForeign(bob.client, u"news@example.org", u"later", u""));
}

INSTANTIATE_TEST_SUITE_P(MemoryAndServer, ServerFaultsTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "OverAServer" : "InMemory"; });

}  // namespace
}  // namespace qx::sim::mailtest

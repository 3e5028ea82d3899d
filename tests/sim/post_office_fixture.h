#pragma once
// Three users of one post office (Bob's address in other letter case) and a
// mail sent through the host and the library as the add-in sends: the post
// office's tests in memory and over a mail system start from here.
#include "sim/clock_sim.h"
#include "sim/mail/post_office.h"
#include "sim/mail_fixture.h"

namespace qx::sim::mailtest {

class PostOfficeFixture : public ::testing::Test {
 protected:
  struct User {
    User(VirtualClock& clock, Files& files, Faults& faults, std::u16string address)
        : thread(clock), client(thread, files, faults, std::move(address)) {}
    UiThread thread;
    MailClient client;
    std::vector<MailItemInfo> inbox() {
      return client.folderItems(client.defaultFolderId(default_folder::kInbox));
    }
    std::vector<MailItemInfo> box(std::int32_t which) {
      return client.folderItems(client.defaultFolderId(which));
    }
  };

  void SetUp() override {
    for (User* u : {&alice, &bob, &carol}) office.attach(u->client);
  }

  // Submits a mail through the host and the library, as the add-in does.
  void send(User& from, std::u16string to, std::u16string subject, bool deleteAfterSubmit,
            std::u16string body = u"body\nline") {
    auto app = ok(from.client.applicationObject()->queryApplication());
    auto m = ok(ok(app->createItem(item_kind::kMail))->queryMail());
    ASSERT_EQ(m->setTo(to), hr::kOk);
    ASSERT_EQ(m->setSubject(subject), hr::kOk);
    ASSERT_EQ(m->setDeleteAfterSubmit(deleteAfterSubmit), hr::kOk);
    ASSERT_EQ(m->save(), hr::kOk);
    // Into the Outbox, as the add-in sends: the library submits in place.
    auto outbox = ok(ok(app->getNamespace(u"MAPI"))->getDefaultFolder(default_folder::kOutbox));
    m = ok(ok(m->move(outbox))->queryMail());
    auto safe = ok(createSafeMailItem(from.client.library()));
    ASSERT_EQ(safe->putItem(m), hr::kOk);
    ASSERT_EQ(safe->setBody(body), hr::kOk);
    auto util = ok(createMapiUtilities(from.client.library()));
    std::int32_t tag =
        ok(util->getIdsFromNames(safe, prop_set::kInternetHeaders, u"x-quensyncxxxsyncid", true));
    ASSERT_EQ(safe->setField(tag | prop_type::kString8, Variant(u"{SYNC}")), hr::kOk);
    ASSERT_EQ(safe->setField(prop_tag::kIconIndex, Variant(std::int32_t{514})), hr::kOk);
    ASSERT_EQ(safe->send(), hr::kOk);
  }

  VirtualClock clock;
  MemoryFiles files;
  Faults faults;
  User alice{clock, files, faults, u"alice@example.org"};
  User bob{clock, files, faults, u"Bob@Example.org"};
  User carol{clock, files, faults, u"carol@example.org"};
  PostOffice office{clock};
};

}  // namespace qx::sim::mailtest

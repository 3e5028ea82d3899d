// Every call of the simulated host and library can be made to fail on demand,
// and a failed call changes nothing.
#include "sim/mail_fixture.h"

namespace qx::sim::mailtest {
namespace {

constexpr Hresult kInjected = static_cast<Hresult>(0x8004DEADu);

class MailFaultsTest : public MailFixture {
 protected:
  template <class T>
  static Hresult statusOf(const Result<T>& r) {
    return r ? hr::kOk : r.error();
  }
  static Hresult statusOf(Hresult h) { return h; }
};

TEST_F(MailFaultsTest, EachNamedOperationFailsWithTheScheduledStatus) {
  files.files["C:\\d\\a.huf"] = {1};
  std::u16string taskId = client.addItem(tasksId(), [] {
    auto d = task(u"t");
    d.userProperties.push_back({u"p", 1, Variant(u"v")});
    return d;
  }());
  std::u16string mailId = client.addItem(client.defaultFolderId(default_folder::kInbox),
                                         mailTo(u"bob@example.org", u"m"));
  ASSERT_EQ(openMail(mailId)->save(), hr::kOk);
  auto t = openTask(taskId);
  auto m = openMail(mailId);
  ok(ok(m->attachments())->add(u"C:\\d\\a.huf", attachment_type::kByValue, 1, u"a"));
  ASSERT_EQ(m->save(), hr::kOk);  // the library sees stored attachments only
  auto tasks = items(folder(default_folder::kTasks));
  auto safeMail = ok(createSafeMailItem(client.library()));
  ASSERT_EQ(safeMail->putItem(m), hr::kOk);
  auto util = ok(createMapiUtilities(client.library()));
  auto session = ok(createSafeSession(client.library()));

  struct Case {
    const char* operation;
    std::function<Hresult()> call;
  };
  const std::vector<Case> cases = {
      {"mail.Application.GetNamespace", [&] { return statusOf(app()->getNamespace(u"MAPI")); }},
      {"mail.Application.Version", [&] { return statusOf(app()->version()); }},
      {"mail.Application.CreateItem", [&] { return statusOf(app()->createItem(3)); }},
      {"mail.Application.ActiveExplorer", [&] { return statusOf(app()->activeExplorer()); }},
      {"mail.Application.FindConnectionPoint",
       [&] { return statusOf(app()->findConnectionPoint(iid::kApplicationEvents)); }},
      {"mail.Namespace.GetDefaultFolder", [&] { return statusOf(ns()->getDefaultFolder(6)); }},
      {"mail.Namespace.GetItemFromID",
       [&] { return statusOf(ns()->getItemFromId(taskId, Variant())); }},
      {"mail.Namespace.GetFolderFromID",
       [&] { return statusOf(ns()->getFolderFromId(tasksId(), Variant())); }},
      {"mail.Folder.Items", [&] { return statusOf(folder(13)->items()); }},
      {"mail.Folder.StoreID", [&] { return statusOf(folder(13)->storeId()); }},
      {"mail.Items.Sort", [&] { return tasks->sort(u"[Subject]", false); }},
      {"mail.Items.Count", [&] { return statusOf(tasks->count()); }},
      {"mail.Items.Item", [&] { return statusOf(tasks->item(1)); }},
      {"mail.Items.FindNext", [&] { return statusOf(tasks->findNext()); }},
      {"mail.ConnectionPoint.Advise",
       [&] {
         auto point = ok(tasks->findConnectionPoint(iid::kItemsEvents));
         return statusOf(point->advise(std::make_shared<RecordingSink>()));
       }},
      {"mail.TaskItem.EntryID", [&] { return statusOf(t->entryId()); }},
      {"mail.TaskItem.SetSubject", [&] { return t->setSubject(u"x"); }},
      {"mail.TaskItem.Categories", [&] { return statusOf(t->categories()); }},
      {"mail.TaskItem.UserProperties", [&] { return statusOf(t->userProperties()); }},
      {"mail.TaskItem.Move",
       [&] { return statusOf(t->move(folder(default_folder::kDeletedItems))); }},
      {"mail.TaskItem.Delete", [&] { return t->deleteItem(); }},
      {"mail.UserProperties.Add", [&] { return statusOf(ok(t->userProperties())->add(u"q", 1)); }},
      {"mail.UserProperty.Value",
       [&] { return statusOf(ok(ok(t->userProperties())->item(1))->value()); }},
      {"mail.MailItem.SetTo", [&] { return m->setTo(u"x"); }},
      {"mail.MailItem.Save", [&] { return m->save(); }},
      {"mail.Attachments.Remove", [&] { return ok(m->attachments())->remove(1); }},
      {"mail.Attachment.Delete",
       [&] { return ok(ok(m->attachments())->item(1))->deleteAttachment(); }},
      {"safe.CLSIDFromProgID", [&] { return statusOf(createSafeTaskItem(client.library())); }},
      {"safe.SafeMailItem.SetItem", [&] { return safeMail->putItem(m); }},
      {"safe.SafeMailItem.Body", [&] { return statusOf(safeMail->body()); }},
      {"safe.SafeMailItem.SetFields",
       [&] { return safeMail->setField(prop_tag::kIconIndex, Variant(std::int32_t{1})); }},
      {"safe.SafeMailItem.Attachments", [&] { return statusOf(safeMail->attachments()); }},
      {"safe.Attachment.SaveAsFile",
       [&] { return ok(ok(safeMail->attachments())->item(1))->saveAsFile(u"C:\\o"); }},
      {"safe.SafeMailItem.Send", [&] { return safeMail->send(); }},
      {"safe.MapiUtilities.GetIDsFromNames",
       [&] { return statusOf(util->getIdsFromNames(m, prop_set::kPublicStrings, u"x", true)); }},
      {"safe.MapiUtilities.GetItemFromMsgFile",
       [&] { return statusOf(util->getItemFromMsgFile(u"C:\\d\\a.huf", false)); }},
      {"safe.SafeSession.Logon",
       [&] { return session->logon(Variant(), Variant(), Variant(), Variant(), Variant()); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.operation);
    auto before = client.item(taskId);
    auto mailBefore = client.item(mailId);
    auto filesBefore = files.files;
    int callsBefore = faults.calls(c.operation);
    faults.fail(c.operation, kInjected);
    EXPECT_EQ(c.call(), kInjected);
    EXPECT_EQ(faults.calls(c.operation), callsBefore + 1);
    ASSERT_TRUE(client.item(taskId) && before && mailBefore);
    EXPECT_EQ(client.item(taskId)->data, before->data);
    EXPECT_EQ(client.item(mailId)->data, mailBefore->data);
    EXPECT_EQ(files.files, filesBefore);
    EXPECT_FALSE(faults.check(c.operation).has_value()) << "only the scheduled call fails";
    faults.clearAll();
  }
}

TEST_F(MailFaultsTest, AFailedMoveLeavesTheItemWhereItWas) {
  std::u16string id = client.addItem(tasksId(), task(u"t"));
  auto t = openTask(id);
  faults.fail("mail.TaskItem.Move", hr::kFail);
  EXPECT_EQ(t->move(folder(default_folder::kInbox)).error(), hr::kFail);
  EXPECT_EQ(client.item(id)->folderId, tasksId());
  EXPECT_EQ(ok(t->subject()), u"t");
}

}  // namespace
}  // namespace qx::sim::mailtest

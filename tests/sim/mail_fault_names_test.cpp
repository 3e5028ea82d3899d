// Every host and library call that the synchronization makes, interface
// queries included, can be failed by its name: each row names the fault a
// scenario writes and makes the call once.
#include "sim/mail_fixture.h"

namespace qx::sim::mailtest {
namespace {

constexpr Hresult kInjected = static_cast<Hresult>(0x8004BEEFu);

template <class T>
Hresult statusOf(const Result<T>& r) {
  return r ? hr::kOk : r.error();
}

class MailFaultNamesTest : public MailFixture {
 protected:
  void SetUp() override {
    files.files["C:\\d\\sync.huf"] = {1, 2, 3};
    auto data = task(u"t");
    data.userProperties.push_back({u"quendrilaxid", user_property_type::kText, Variant(u"{ID}")});
    taskId = client.addItem(tasksId(), data);
    auto m = ok(ok(app()->createItem(item_kind::kMail))->queryMail());
    ASSERT_EQ(m->setTo(u"bob@example.org;"), hr::kOk);
    ok(ok(m->attachments())->add(u"C:\\d\\sync.huf", attachment_type::kByValue, 1, u"sync.huf"));
    ASSERT_EQ(m->save(), hr::kOk);
    mailId = ok(m->entryId());
    safeTask = ok(createSafeTaskItem(client.library()));
    ASSERT_EQ(safeTask->putItem(openTask(taskId)), hr::kOk);
    ASSERT_EQ(safeTask->saveAs(u"C:\\d\\sync.msg"), hr::kOk);
    // The pages object, as OptionsPagesAdd hands it over.
    auto nsSink = std::make_shared<RecordingSink>();
    ok(ok(ns()->findConnectionPoint(iid::kNamespaceEvents))->advise(nsSink));
    nsSink->onEvent = [this](const Event& e) { pages = e.args.at(0).asDispatch(); };
    client.openFolderProperties(tasksId());
  }

  std::u16string taskId;
  std::u16string mailId;
  std::shared_ptr<SafeTaskItem> safeTask;
  std::shared_ptr<Dispatch> pages;
};

TEST_F(MailFaultNamesTest, EveryCallOfTheSynchronizationFailsByName) {
  auto t = openTask(taskId);
  auto m = openMail(mailId);
  auto props = ok(t->userProperties());
  auto prop = ok(props->item(1));
  auto tasks = items(folder(default_folder::kTasks));
  auto safe = ok(createSafeMailItem(client.library()));
  ASSERT_EQ(safe->putItem(m), hr::kOk);
  auto util = ok(createMapiUtilities(client.library()));
  auto fileItem = ok(util->getItemFromMsgFile(u"C:\\d\\sync.msg", false));
  auto bars = ok(ok(app()->activeExplorer())->commandBars());
  auto bar = ok(bars->item(1));
  auto control = ok(ok(bar->controls())->add(control_type::kButton, true));
  auto button = ok(control->queryCommandBarButton());
  auto recipients = ok(safe->recipients());
  auto addIn = client.comAddInObject();
  std::shared_ptr<Dispatch> taskObject = openTask(taskId);
  std::shared_ptr<Dispatch> mailObject = openMail(mailId);
  std::shared_ptr<Dispatch> folderObject = folder(default_folder::kTasks);
  std::shared_ptr<Dispatch> appObject = client.applicationObject();
  ASSERT_TRUE(pages);

  struct Row {
    const char* fault;
    std::function<Hresult()> call;
  };
  const std::vector<Row> rows = {
      // Interface queries.
      {"mail.QueryInterface.TaskItem", [&] { return statusOf(taskObject->queryTask()); }},
      {"mail.QueryInterface.MailItem", [&] { return statusOf(mailObject->queryMail()); }},
      {"mail.QueryInterface.Folder", [&] { return statusOf(folderObject->queryFolder()); }},
      {"mail.QueryInterface.Application", [&] { return statusOf(appObject->queryApplication()); }},
      {"mail.QueryInterface.PropertyPages", [&] { return statusOf(pages->queryPropertyPages()); }},
      {"mail.QueryInterface.CommandBarButton",
       [&] { return statusOf(control->queryCommandBarButton()); }},
      {"mail.QueryInterface.ComAddIn", [&] { return statusOf(addIn->queryComAddIn()); }},
      {"safe.QueryInterface.SafeMailItem",
       [&] { return statusOf(createSafeMailItem(client.library())); }},
      {"safe.QueryInterface.SafeTaskItem",
       [&] { return statusOf(createSafeTaskItem(client.library())); }},
      {"safe.QueryInterface.MapiUtilities",
       [&] { return statusOf(createMapiUtilities(client.library())); }},
      {"safe.QueryInterface.SafeSession",
       [&] { return statusOf(createSafeSession(client.library())); }},
      {"safe.QueryInterface.SafeMessage", [&] { return statusOf(fileItem->querySafeMessage()); }},
      {"safe.CreateInstance", [&] { return statusOf(createSafeMailItem(client.library())); }},
      // Change detection and the folder watches.
      {"mail.Folder.Items", [&] { return statusOf(folder(13)->items()); }},
      {"mail.Items.FindConnectionPoint",
       [&] { return statusOf(tasks->findConnectionPoint(iid::kItemsEvents)); }},
      {"mail.ConnectionPoint.Unadvise",
       [&] { return ok(tasks->findConnectionPoint(iid::kItemsEvents))->unadvise(1); }},
      {"mail.TaskItem.Parent", [&] { return statusOf(t->parent()); }},
      {"mail.Folder.EntryID", [&] { return statusOf(folder(13)->entryId()); }},
      {"mail.UserProperties.Count", [&] { return statusOf(props->count()); }},
      {"mail.UserProperties.Item", [&] { return statusOf(props->item(1)); }},
      {"mail.UserProperties.Remove", [&] { return props->remove(1); }},
      {"mail.UserProperty.Name", [&] { return statusOf(prop->name()); }},
      {"mail.UserProperty.SetValue", [&] { return prop->setValue(Variant(u"x")); }},
      {"mail.UserProperty.Delete", [&] { return prop->deleteProperty(); }},
      // Sending, the Outbox and removal mails.
      {"mail.Namespace.Application", [&] { return statusOf(ns()->application()); }},
      {"mail.TaskItem.Sensitivity", [&] { return statusOf(t->sensitivity()); }},
      {"mail.TaskItem.Save", [&] { return t->save(); }},
      {"mail.MailItem.SetSentOnBehalfOfName", [&] { return m->setSentOnBehalfOfName(u"x"); }},
      {"mail.MailItem.SetImportance", [&] { return m->setImportance(0); }},
      {"mail.MailItem.SetReadReceiptRequested", [&] { return m->setReadReceiptRequested(false); }},
      {"mail.MailItem.SetSensitivity", [&] { return m->setSensitivity(3); }},
      {"mail.MailItem.SetSubject", [&] { return m->setSubject(u"x"); }},
      {"mail.MailItem.SentOn", [&] { return statusOf(m->sentOn()); }},
      {"mail.MailItem.SetDeleteAfterSubmit", [&] { return m->setDeleteAfterSubmit(true); }},
      {"mail.MailItem.Attachments", [&] { return statusOf(m->attachments()); }},
      {"mail.MailItem.Move", [&] { return statusOf(m->move(folder(default_folder::kOutbox))); }},
      {"mail.MailItem.Send", [&] { return m->send(); }},
      {"mail.MailItem.Delete", [&] { return m->deleteItem(); }},
      {"mail.Attachments.Count", [&] { return statusOf(ok(m->attachments())->count()); }},
      {"mail.Attachments.Item", [&] { return statusOf(ok(m->attachments())->item(1)); }},
      {"mail.Attachments.Add",
       [&] { return statusOf(ok(m->attachments())->add(u"C:\\d\\sync.huf", 1, 1, u"sync.huf")); }},
      {"safe.SafeTaskItem.SetItem", [&] { return safeTask->putItem(t); }},
      {"safe.SafeTaskItem.SaveAs", [&] { return safeTask->saveAs(u"C:\\d\\share.syn"); }},
      {"safe.SafeMailItem.Fields", [&] { return statusOf(safe->field(prop_tag::kIconIndex)); }},
      {"safe.SafeMailItem.SetBody", [&] { return safe->setBody(u"b"); }},
      {"safe.SafeMailItem.Recipients", [&] { return statusOf(safe->recipients()); }},
      {"safe.Recipients.ResolveAll",
       [&] {
         std::int32_t unresolved = -1;
         return recipients->resolveAll(unresolved);
       }},
      {"safe.Recipients.Count", [&] { return statusOf(recipients->count()); }},
      {"safe.Recipients.Item", [&] { return statusOf(recipients->item(1)); }},
      {"safe.Recipient.Address", [&] { return statusOf(ok(recipients->item(1))->address()); }},
      {"safe.Recipient.Resolved", [&] { return statusOf(ok(recipients->item(1))->resolved()); }},
      // The Inbox scan and applying received tasks.
      {"mail.Items.Find", [&] { return statusOf(tasks->find(u"[Subject] = 't'")); }},
      {"safe.Attachments.Count", [&] { return statusOf(ok(safe->attachments())->count()); }},
      {"safe.Attachments.Item", [&] { return statusOf(ok(safe->attachments())->item(1)); }},
      {"safe.Message.Fields",
       [&] { return statusOf(ok(fileItem->querySafeMessage())->field(0x0037001E)); }},
      {"safe.SafeTaskItem.CopyTo",
       [&] {
         EXPECT_EQ(safeTask->putItem(fileItem), hr::kOk);
         return safeTask->copyTo(t);
       }},
      // The basic synchronization and the indicator.
      {"mail.Namespace.GetFolderFromID",
       [&] {
         return statusOf(ns()->getFolderFromId(tasksId(), Variant(client.defaultStoreId())));
       }},
      {"mail.TaskItem.Subject", [&] { return statusOf(t->subject()); }},
      {"mail.Explorer.CommandBars",
       [&] { return statusOf(ok(app()->activeExplorer())->commandBars()); }},
      {"mail.CommandBars.Count", [&] { return statusOf(bars->count()); }},
      {"mail.CommandBars.Item", [&] { return statusOf(bars->item(1)); }},
      {"mail.CommandBars.Add", [&] { return statusOf(bars->add(u"Vantrosse", 1, true)); }},
      {"mail.CommandBar.Name", [&] { return statusOf(bar->name()); }},
      {"mail.CommandBar.Visible", [&] { return statusOf(bar->visible()); }},
      {"mail.CommandBar.SetVisible", [&] { return bar->setVisible(true); }},
      {"mail.CommandBar.Controls", [&] { return statusOf(bar->controls()); }},
      {"mail.CommandBarControls.Add",
       [&] { return statusOf(ok(bar->controls())->add(control_type::kButton, true)); }},
      {"mail.CommandBarButton.SetStyle", [&] { return button->setStyle(3); }},
      {"mail.CommandBarButton.SetFaceId", [&] { return button->setFaceId(790); }},
      {"mail.CommandBarButton.SetVisible", [&] { return button->setVisible(true); }},
      {"mail.CommandBarButton.SetCaption", [&] { return button->setCaption(u"c"); }},
      {"mail.CommandBarButton.SetEnabled", [&] { return button->setEnabled(true); }},
      {"mail.CommandBarButton.SetTooltipText", [&] { return button->setTooltipText(u"c"); }},
      {"mail.CommandBarButton.SetTag", [&] { return button->setTag(u"c"); }},
      {"mail.CommandBarButton.Delete", [&] { return button->deleteControl(); }},
      {"mail.CommandBar.Delete", [&] { return bar->deleteBar(); }},
      {"mail.ComAddIn.SetConnect", [&] { return ok(addIn->queryComAddIn())->setConnect(true); }},
      {"mail.PropertyPages.Add",
       [&] { return ok(pages->queryPropertyPages())->add(Variant(u"P"), u"T"); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.fault);
    auto taskBefore = client.item(taskId);
    auto mailBefore = client.item(mailId);
    auto barsBefore = client.commandBars().size();
    faults.fail(row.fault, kInjected);
    EXPECT_EQ(row.call(), kInjected);
    EXPECT_EQ(client.item(taskId)->data, taskBefore->data) << "a failed call changes nothing";
    EXPECT_EQ(client.item(mailId)->data, mailBefore->data);
    EXPECT_EQ(client.item(mailId)->folderId, mailBefore->folderId);
    EXPECT_EQ(client.commandBars().size(), barsBefore);
    EXPECT_FALSE(faults.check(row.fault).has_value()) << "only the scheduled call fails";
    faults.clearAll();
  }
}

TEST_F(MailFaultNamesTest, AQueryFaultCountsOnlyQueriesTheObjectAnswers) {
  std::shared_ptr<Dispatch> mailObject = openMail(mailId);
  std::shared_ptr<Dispatch> taskObject = openTask(taskId);
  faults.fail("mail.QueryInterface.TaskItem", kInjected);
  EXPECT_EQ(mailObject->queryTask().error(), hr::kNoInterface) << "a mail is no task anyway";
  EXPECT_EQ(taskObject->queryTask().error(), kInjected);
  EXPECT_TRUE(taskObject->queryTask().has_value());

  // The second query from now fails: a walk that asks every item.
  faults.fail("mail.QueryInterface.TaskItem", kInjected, 2);
  EXPECT_TRUE(taskObject->queryTask().has_value());
  EXPECT_EQ(taskObject->queryTask().error(), kInjected);
}

}  // namespace
}  // namespace qx::sim::mailtest

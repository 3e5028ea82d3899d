// A call of the stand-in that succeeds hands back an object. Only five calls
// may succeed with none, each where the host has nothing to give, and they
// say so in their port: ActiveExplorer without an explorer, Find and FindNext
// without a match, Move into the folder the item lies in, and the address
// book when the user cancels.
#include "sim/mail_fixture.h"

namespace qx::sim::mailtest {
namespace {

enum class Shape { kFailed, kNull, kObject };

template <class T>
Shape shapeOf(const Result<std::shared_ptr<T>>& r) {
  if (!r) return Shape::kFailed;
  return *r ? Shape::kObject : Shape::kNull;
}

class MailNoNullTest : public MailFixture {};

TEST_F(MailNoNullTest, EveryObjectReturningCallGivesAnObjectWhenItSucceeds) {
  files.files["C:\\d\\a.huf"] = {1};
  auto data = task(u"t");
  data.userProperties.push_back({u"quendrilaxid", user_property_type::kText, Variant(u"{ID}")});
  std::u16string taskId = client.addItem(tasksId(), data);
  std::u16string other = client.createFolder(u"Other", u"IPM.Task");
  auto m = ok(ok(app()->createItem(item_kind::kMail))->queryMail());
  ASSERT_EQ(m->setTo(u"bob@example.org;"), hr::kOk);
  ok(ok(m->attachments())->add(u"C:\\d\\a.huf", attachment_type::kByValue, 1, u"a"));
  ASSERT_EQ(m->save(), hr::kOk);
  auto t = openTask(taskId);
  auto tasks = items(folder(default_folder::kTasks));
  auto safe = ok(createSafeMailItem(client.library()));
  ASSERT_EQ(safe->putItem(m), hr::kOk);
  auto safeTask = ok(createSafeTaskItem(client.library()));
  ASSERT_EQ(safeTask->putItem(t), hr::kOk);
  ASSERT_EQ(safeTask->saveAs(u"C:\\d\\t.msg"), hr::kOk);
  auto util = ok(createMapiUtilities(client.library()));
  auto session = ok(createSafeSession(client.library()));
  ASSERT_EQ(session->logon(Variant(), Variant(), Variant(), Variant(), Variant()), hr::kOk);
  auto bars = ok(ok(app()->activeExplorer())->commandBars());
  auto bar = ok(bars->item(1));
  client.scriptAddressBook(std::vector<mail::AddressChoice>{{u"bob@example.org", true}});

  struct Row {
    const char* call;
    std::function<Shape()> make;
  };
  const std::vector<Row> rows = {
      {"Application.GetNamespace", [&] { return shapeOf(app()->getNamespace(u"MAPI")); }},
      {"Application.CreateItem", [&] { return shapeOf(app()->createItem(item_kind::kTask)); }},
      {"Application.ActiveExplorer", [&] { return shapeOf(app()->activeExplorer()); }},
      {"Application.FindConnectionPoint",
       [&] { return shapeOf(app()->findConnectionPoint(iid::kApplicationEvents)); }},
      {"Explorer.CommandBars", [&] { return shapeOf(ok(app()->activeExplorer())->commandBars()); }},
      {"Namespace.GetDefaultFolder", [&] { return shapeOf(ns()->getDefaultFolder(6)); }},
      {"Namespace.Application", [&] { return shapeOf(ns()->application()); }},
      {"Namespace.GetFolderFromID",
       [&] { return shapeOf(ns()->getFolderFromId(other, Variant::missing())); }},
      {"Namespace.GetItemFromID",
       [&] { return shapeOf(ns()->getItemFromId(taskId, Variant::missing())); }},
      {"Folder.Items", [&] { return shapeOf(folder(13)->items()); }},
      {"Items.Item", [&] { return shapeOf(tasks->item(1)); }},
      {"Items.Find", [&] { return shapeOf(tasks->find(u"[Subject] = 't'")); }},
      {"Items.FindConnectionPoint",
       [&] { return shapeOf(tasks->findConnectionPoint(iid::kItemsEvents)); }},
      {"TaskItem.Parent", [&] { return shapeOf(t->parent()); }},
      {"TaskItem.UserProperties", [&] { return shapeOf(t->userProperties()); }},
      {"UserProperties.Item", [&] { return shapeOf(ok(t->userProperties())->item(1)); }},
      {"UserProperties.Add",
       [&] { return shapeOf(ok(t->userProperties())->add(u"n", user_property_type::kText)); }},
      {"MailItem.Attachments", [&] { return shapeOf(m->attachments()); }},
      {"MailItem.Parent", [&] { return shapeOf(m->parent()); }},
      {"Attachments.Item", [&] { return shapeOf(ok(m->attachments())->item(1)); }},
      {"TaskItem.Move", [&] { return shapeOf(openTask(taskId)->move(folderById(other))); }},
      {"CommandBars.Item", [&] { return shapeOf(bars->item(1)); }},
      {"CommandBars.Add", [&] { return shapeOf(bars->add(u"Vantrosse", 1, true)); }},
      {"CommandBar.Controls", [&] { return shapeOf(bar->controls()); }},
      {"CommandBarControls.Add",
       [&] { return shapeOf(ok(bar->controls())->add(control_type::kButton, true)); }},
      {"SafeMailItem.Attachments", [&] { return shapeOf(safe->attachments()); }},
      {"SafeAttachments.Item", [&] { return shapeOf(ok(safe->attachments())->item(1)); }},
      {"SafeMailItem.Recipients", [&] { return shapeOf(safe->recipients()); }},
      {"SafeRecipients.Item", [&] { return shapeOf(ok(safe->recipients())->item(1)); }},
      {"MapiUtilities.GetItemFromMsgFile",
       [&] { return shapeOf(util->getItemFromMsgFile(u"C:\\d\\t.msg", false)); }},
      {"MapiUtilities.AddressBook",
       [&] {
         return shapeOf(util->addressBook(Variant::missing(), Variant(u"t"), Variant(true),
                                          Variant(true), Variant(std::int32_t{1}), Variant(u"To"),
                                          Variant::missing(), Variant::missing(), Variant(false)));
       }},
      {"SafeSession.GetStoreFromID",
       [&] {
         return shapeOf(session->getStoreFromId(Variant(client.defaultStoreId()), Variant()));
       }},
      {"SafeLibrary.CreateInstance",
       [&] {
         return shapeOf(client.library().createInstance(
             ok(client.library().classIdFromProgId(progid::kSafeSession))));
       }},
  };
  for (const Row& row : rows) EXPECT_EQ(row.make(), Shape::kObject) << row.call;
}

TEST_F(MailNoNullTest, OnlyTheDocumentedCallsSucceedWithNoObject) {
  std::u16string taskId = client.addItem(tasksId(), task(u"t"));
  auto tasks = items(folder(default_folder::kTasks));
  auto util = ok(createMapiUtilities(client.library()));
  struct Row {
    const char* call;
    std::function<Shape()> make;
  };
  const std::vector<Row> rows = {
      {"ActiveExplorer without an explorer",
       [&] {
         client.setExplorerPresent(false);
         Shape shape = shapeOf(app()->activeExplorer());
         client.setExplorerPresent(true);
         return shape;
       }},
      {"Find without a match", [&] { return shapeOf(tasks->find(u"[Subject] = 'none'")); }},
      {"FindNext past the last match",
       [&] {
         ok(tasks->find(u"[Subject] = 't'"));
         return shapeOf(tasks->findNext());
       }},
      {"Move into its own folder",
       [&] { return shapeOf(openTask(taskId)->move(folder(default_folder::kTasks))); }},
      {"AddressBook cancelled",
       [&] {
         return shapeOf(util->addressBook(Variant::missing(), Variant(u"t"), Variant(true),
                                          Variant(true), Variant(std::int32_t{1}), Variant(u"To"),
                                          Variant::missing(), Variant::missing(), Variant(false)));
       }},
  };
  for (const Row& row : rows) EXPECT_EQ(row.make(), Shape::kNull) << row.call;
}

}  // namespace
}  // namespace qx::sim::mailtest

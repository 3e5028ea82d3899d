// The adapters of the host's objects against recording automation objects:
// which members they call by name, with which arguments, what they make of
// the results, and how a failing member reaches the add-in.
#include "win/host_objects.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <oleauto.h>

#include <cwchar>
#include <functional>

#include "platform/mail_client.h"
#include "win/automation.h"
#include "win/com_guid.h"
#include "win/recording_object.h"
#include "win/safe_library_win.h"

namespace qx::wintest {
namespace {

using win32::ComPtr;
using win32::toGuid;

ComPtr<IDispatch> asDispatch(const ComPtr<RecordingObject>& object) {
  return ComPtr<IDispatch>(static_cast<IDispatch*>(object.get()));
}

Member returningObject(const ComPtr<RecordingObject>& object) {
  IDispatch* raw = object.get();
  return [raw](const std::vector<VARIANT>&, VARIANT* result) {
    *result = objectVariant(raw);
    return S_OK;
  };
}

Member failingWith(HRESULT status) {
  return [status](const std::vector<VARIANT>&, VARIANT*) { return status; };
}

TEST(HostObjects, TheApplicationAndNamespaceCallTheirMembersByName) {
  auto app = makeRecordingObject("application", {toGuid(iid::kApplication)});
  auto ns = makeRecordingObject("namespace");
  auto folder = makeRecordingObject("folder");
  auto item = makeRecordingObject("item");
  app->define(L"GetNamespace", returningObject(ns));
  app->define(L"CreateItem", returningObject(item));
  app->defineValue(L"Version", textVariant(L"10.0.0.6626"));
  ns->define(L"GetDefaultFolder", returningObject(folder));
  ns->define(L"GetFolderFromID", returningObject(folder));
  ns->define(L"GetItemFromID", failingWith(static_cast<HRESULT>(0x8004010Fu)));

  auto generic = win32::makeHostObject(asDispatch(app));
  auto application = generic->queryApplication();
  ASSERT_TRUE(application.has_value());
  EXPECT_EQ((*application)->version(), std::u16string(u"10.0.0.6626"));
  auto hostNamespace = (*application)->getNamespace(u"MAPI");
  ASSERT_TRUE(hostNamespace.has_value());
  ASSERT_TRUE((*hostNamespace)->getDefaultFolder(default_folder::kInbox).has_value());
  ASSERT_TRUE((*hostNamespace)->getFolderFromId(u"00AB", Variant::missing()).has_value());
  ASSERT_TRUE((*application)->createItem(item_kind::kTask).has_value());
  // A failing member's status reaches the caller unchanged.
  auto missing = (*hostNamespace)->getItemFromId(u"00CD", Variant(u"57"));
  ASSERT_FALSE(missing.has_value());
  EXPECT_EQ(missing.error(), static_cast<Hresult>(0x8004010Fu));

  EXPECT_EQ(app->calls(),
            (std::vector<std::string>{"Version", "GetNamespace(MAPI)", "CreateItem(3)"}));
  EXPECT_EQ(ns->calls(),
            (std::vector<std::string>{"GetDefaultFolder(6)", "GetFolderFromID(00AB, missing)",
                                      "GetItemFromID(00CD, 57)"}));
}

// Each host call that must give an object, answered with no object (empty,
// or an object variant holding null): the adapter fails it, so no caller ever
// calls through a null the host handed back as success.
TEST(HostObjects, EveryObjectTheHostMustGiveIsRefusedWhenItAnswersNone) {
  using Call = std::function<bool(IDispatch*)>;  // true: the adapter failed
  auto failedCall = [](const auto& result) { return !result.has_value(); };
  const std::vector<std::pair<const wchar_t*, Call>> calls = {
      {L"GetNamespace",
       [&](IDispatch* o) {
         return failedCall(win32::makeApplication(ComPtr<IDispatch>(o))->getNamespace(u"MAPI"));
       }},
      {L"CreateItem",
       [&](IDispatch* o) {
         return failedCall(
             win32::makeApplication(ComPtr<IDispatch>(o))->createItem(item_kind::kTask));
       }},
      {L"GetDefaultFolder",
       [&](IDispatch* o) {
         return failedCall(
             win32::makeNamespace(ComPtr<IDispatch>(o))->getDefaultFolder(default_folder::kInbox));
       }},
      {L"Application",
       [&](IDispatch* o) {
         return failedCall(win32::makeNamespace(ComPtr<IDispatch>(o))->application());
       }},
      {L"GetFolderFromID",
       [&](IDispatch* o) {
         return failedCall(win32::makeNamespace(ComPtr<IDispatch>(o))
                               ->getFolderFromId(u"00AB", Variant::missing()));
       }},
      {L"GetItemFromID",
       [&](IDispatch* o) {
         return failedCall(win32::makeNamespace(ComPtr<IDispatch>(o))
                               ->getItemFromId(u"00AB", Variant::missing()));
       }},
      {L"Items",
       [&](IDispatch* o) { return failedCall(win32::makeFolder(ComPtr<IDispatch>(o))->items()); }},
      {L"Item",
       [&](IDispatch* o) { return failedCall(win32::makeItems(ComPtr<IDispatch>(o))->item(1)); }},
      {L"Parent",
       [&](IDispatch* o) {
         return failedCall(win32::makeTaskItem(ComPtr<IDispatch>(o))->parent());
       }},
      {L"UserProperties",
       [&](IDispatch* o) {
         return failedCall(win32::makeTaskItem(ComPtr<IDispatch>(o))->userProperties());
       }},
      {L"Move",
       [&](IDispatch* o) {
         return failedCall(win32::makeTaskItem(ComPtr<IDispatch>(o))
                               ->move(win32::makeFolder(ComPtr<IDispatch>(o))));
       }},
      {L"Attachments",
       [&](IDispatch* o) {
         return failedCall(win32::makeMailItem(ComPtr<IDispatch>(o))->attachments());
       }},
      {L"Parent",
       [&](IDispatch* o) {
         return failedCall(win32::makeMailItem(ComPtr<IDispatch>(o))->parent());
       }},
      {L"CommandBars",
       [&](IDispatch* o) {
         return failedCall(win32::makeExplorer(ComPtr<IDispatch>(o))->commandBars());
       }},
      {L"GetStoreFromID",
       [&](IDispatch* o) {
         return failedCall(win32::makeSafeSession(ComPtr<IDispatch>(o))
                               ->getStoreFromId(Variant(u"57"), Variant()));
       }},
      {L"GetItemFromMsgFile",
       [&](IDispatch* o) {
         return failedCall(win32::makeMapiUtilities(ComPtr<IDispatch>(o))
                               ->getItemFromMsgFile(u"C:\\sync.msg", false));
       }},
      {L"Attachments",
       [&](IDispatch* o) {
         return failedCall(win32::makeSafeMailItem(ComPtr<IDispatch>(o))->attachments());
       }},
      {L"Recipients",
       [&](IDispatch* o) {
         return failedCall(win32::makeSafeMailItem(ComPtr<IDispatch>(o))->recipients());
       }},
  };
  const std::vector<std::pair<const char*, Member>> answers = {
      {"empty",
       [](const std::vector<VARIANT>&, VARIANT* result) {
         VariantInit(result);
         return S_OK;
       }},
      {"null object",
       [](const std::vector<VARIANT>&, VARIANT* result) {
         *result = objectVariant(nullptr);
         return S_OK;
       }},
  };
  for (const auto& [member, call] : calls) {
    for (const auto& [answer, none] : answers) {
      auto object = makeRecordingObject("host");
      object->define(member, none);
      SCOPED_TRACE(std::string(answer) + " from " + std::string(member, member + wcslen(member)));
      EXPECT_TRUE(call(static_cast<IDispatch*>(object.get())));
    }
  }
  // A search without a match and a host without an explorer answer none.
  auto items = makeRecordingObject("items");
  items->define(L"Find", answers[0].second);
  items->define(L"FindNext", answers[1].second);
  EXPECT_EQ(win32::makeItems(asDispatch(items))->find(u"[Subject] = 'x'"), nullptr);
  EXPECT_EQ(win32::makeItems(asDispatch(items))->findNext(), nullptr);
  auto application = makeRecordingObject("application");
  application->define(L"ActiveExplorer", answers[1].second);
  EXPECT_EQ(win32::makeApplication(asDispatch(application))->activeExplorer(), nullptr);
}

TEST(HostObjects, InterfacesTheObjectDoesNotAnswerAreRefused) {
  auto plain = makeRecordingObject("plain");
  auto generic = win32::makeHostObject(asDispatch(plain));
  EXPECT_EQ(generic->queryApplication().error(), hr::kNoInterface);
  EXPECT_EQ(generic->queryFolder().error(), hr::kNoInterface);
  EXPECT_EQ(generic->queryComAddIn().error(), hr::kNoInterface);
  EXPECT_FALSE(generic->findConnectionPoint(iid::kItemsEvents).has_value());
}

TEST(HostObjects, FoldersAndItemCollectionsReadAndSearch) {
  auto folderObject = makeRecordingObject("folder", {toGuid(iid::kFolder)});
  auto itemsObject = makeRecordingObject("items");
  auto task = makeRecordingObject("task");
  folderObject->defineValue(L"EntryID", textVariant(L"00EE"));
  folderObject->defineValue(L"DefaultMessageClass", textVariant(L"IPM.Task"));
  folderObject->define(L"Name", failingWith(E_FAIL));
  folderObject->define(L"Items", returningObject(itemsObject));
  itemsObject->defineValue(L"Count", longVariant(2));
  itemsObject->define(L"Item", returningObject(task));
  itemsObject->define(L"Sort", [](const std::vector<VARIANT>&, VARIANT*) { return S_OK; });
  int found = 0;
  itemsObject->define(L"Find", returningObject(task));
  itemsObject->define(L"FindNext", [&found](const std::vector<VARIANT>&, VARIANT* result) {
    ++found;
    VariantInit(result);  // no further match
    return S_OK;
  });

  auto folder = win32::makeHostObject(asDispatch(folderObject))->queryFolder();
  ASSERT_TRUE(folder.has_value());
  EXPECT_EQ((*folder)->entryId(), std::u16string(u"00EE"));
  EXPECT_EQ((*folder)->defaultMessageClass(), std::u16string(u"IPM.Task"));
  EXPECT_EQ((*folder)->name().error(), E_FAIL);
  auto items = (*folder)->items();
  ASSERT_TRUE(items.has_value());
  EXPECT_EQ((*items)->count(), 2);
  EXPECT_TRUE((*items)->item(1).has_value());
  EXPECT_EQ((*items)->sort(u"[quendrilaxid]", false), hr::kOk);
  auto first = (*items)->find(u"[Subject] = 'TaskSynchronisation'");
  ASSERT_TRUE(first.has_value());
  EXPECT_NE(*first, nullptr);
  auto next = (*items)->findNext();
  ASSERT_TRUE(next.has_value());
  EXPECT_EQ(*next, nullptr) << "an empty result is no match, not a failure";
  EXPECT_EQ(itemsObject->calls(),
            (std::vector<std::string>{"Count", "Item(1)", "Sort([quendrilaxid])",
                                      "Find([Subject] = 'TaskSynchronisation')", "FindNext()"}));
}

TEST(HostObjects, PagesAddinAndSiteTakeTheirArguments) {
  auto pagesObject = makeRecordingObject("pages", {toGuid(iid::kPropertyPages)});
  pagesObject->define(L"Add", [](const std::vector<VARIANT>&, VARIANT*) { return S_OK; });
  auto addInObject = makeRecordingObject("addin", {toGuid(iid::kComAddIn)});
  addInObject->define(L"Connect", [](const std::vector<VARIANT>&, VARIANT* result) {
    if (result) {
      V_VT(result) = VT_BOOL;
      V_BOOL(result) = VARIANT_TRUE;
    }
    return S_OK;
  });

  auto pages = win32::makeHostObject(asDispatch(pagesObject))->queryPropertyPages();
  ASSERT_TRUE(pages.has_value());
  EXPECT_EQ((*pages)->add(Variant(u"Corvessa.OLFoldersPropPage"), u"Quendrilax"), hr::kOk);
  auto addIn = win32::makeHostObject(asDispatch(addInObject))->queryComAddIn();
  ASSERT_TRUE(addIn.has_value());
  EXPECT_EQ((*addIn)->connect(), true);
  EXPECT_EQ((*addIn)->setConnect(false), hr::kOk);
  EXPECT_EQ(pagesObject->calls(),
            std::vector<std::string>{"Add(Corvessa.OLFoldersPropPage, Quendrilax)"});
  EXPECT_EQ(addInObject->calls(), (std::vector<std::string>{"Connect", "put Connect(false)"}));
}

TEST(HostObjects, AnObjectPutFallsBackToPutByReference) {
  auto owner = makeRecordingObject("owner");
  auto value = makeRecordingObject("value");
  owner->defineByReference(L"Owner", [](const std::vector<VARIANT>&, VARIANT*) { return S_OK; });
  owner->define(L"Caption", [](const std::vector<VARIANT>&, VARIANT*) { return S_OK; });
  win32::Automation automation(asDispatch(owner));
  EXPECT_EQ(automation.put(u"Owner", Variant(win32::makeHostObject(asDispatch(value)))), S_OK);
  // A text is never put by reference: the server's refusal stands.
  owner->defineByReference(L"Title", [](const std::vector<VARIANT>&, VARIANT*) { return S_OK; });
  EXPECT_EQ(automation.put(u"Title", Variant(u"Tasks")), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(automation.put(u"Caption", Variant(u"Tasks")), S_OK);
  EXPECT_EQ(owner->calls(),
            (std::vector<std::string>{"putref Owner(value)", "put Caption(Tasks)"}));
}

TEST(HostObjects, AClientSiteWithoutThePageSiteInterfaceIsNotifiedByName) {
  auto byName = makeRecordingObject("site");
  byName->define(L"OnStatusChange", [](const std::vector<VARIANT>&, VARIANT*) { return S_OK; });
  auto pageSite =
      win32::makeClientSite(ComPtr<IUnknown>(asDispatch(byName).get()))->queryPropertyPageSite();
  ASSERT_TRUE(pageSite.has_value());
  EXPECT_EQ((*pageSite)->onStatusChange(), S_OK);
  EXPECT_EQ(byName->calls(), std::vector<std::string>{"OnStatusChange()"});
  // A site that knows no such member has no page site.
  auto plain = makeRecordingObject("plain");
  EXPECT_FALSE(win32::makeClientSite(ComPtr<IUnknown>(asDispatch(plain).get()))
                   ->queryPropertyPageSite()
                   .has_value());
}

TEST(HostObjects, UnknownMembersFailWithTheHostsStatus) {
  auto object = makeRecordingObject("folder", {toGuid(iid::kFolder)});
  auto folder = win32::makeHostObject(asDispatch(object))->queryFolder();
  ASSERT_TRUE(folder.has_value());
  EXPECT_EQ((*folder)->storeId().error(), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(object->calls(), std::vector<std::string>{"unknown StoreID"});
}

TEST(HostObjects, TaskItemsReadWriteMoveAndKeepUserProperties) {
  auto taskObject = makeRecordingObject("task", {toGuid(iid::kTaskItem)});
  auto properties = makeRecordingObject("properties");
  auto property = makeRecordingObject("property");
  auto target = makeRecordingObject("target", {toGuid(iid::kFolder)});
  auto moved = makeRecordingObject("moved");
  taskObject->defineValue(L"Subject", textVariant(L"Call Anna"));
  taskObject->defineValue(L"Sensitivity", longVariant(2));
  taskObject->define(L"Categories", failingWith(static_cast<HRESULT>(0x80020009u)));
  taskObject->define(L"UserProperties", returningObject(properties));
  taskObject->define(L"Move", returningObject(moved));
  taskObject->define(L"Save", [](const std::vector<VARIANT>&, VARIANT*) { return S_OK; });
  properties->define(L"Add", returningObject(property));
  property->defineValue(L"Value", textVariant(L"{0B4A}"));

  auto task = win32::makeHostObject(asDispatch(taskObject))->queryTask();
  ASSERT_TRUE(task.has_value());
  EXPECT_EQ((*task)->subject(), std::u16string(u"Call Anna"));
  EXPECT_EQ((*task)->sensitivity(), sensitivity::kPrivate);
  EXPECT_EQ((*task)->categories().error(), static_cast<Hresult>(0x80020009u));
  EXPECT_EQ((*task)->setSubject(u"Call Bob"), hr::kOk);
  auto userProperties = (*task)->userProperties();
  ASSERT_TRUE(userProperties.has_value());
  auto added = (*userProperties)->add(u"quendrilaxid", user_property_type::kText);
  ASSERT_TRUE(added.has_value());
  EXPECT_EQ((*added)->value(), Variant(u"{0B4A}"));
  auto destination = win32::makeHostObject(asDispatch(target))->queryFolder();
  ASSERT_TRUE(destination.has_value());
  EXPECT_TRUE((*task)->move(*destination).has_value());
  EXPECT_EQ((*task)->save(), hr::kOk);
  EXPECT_EQ(
      taskObject->calls(),
      (std::vector<std::string>{"Subject", "Sensitivity", "Categories", "put Subject(Call Bob)",
                                "UserProperties", "Move(target)", "Save()"}));
  EXPECT_EQ(properties->calls(), std::vector<std::string>{"Add(quendrilaxid, 1)"});
}

TEST(HostObjects, MailItemsAttachAndSend) {
  auto mailObject = makeRecordingObject("mail", {toGuid(iid::kMailItem)});
  auto attachmentsObject = makeRecordingObject("attachments");
  auto attachmentObject = makeRecordingObject("attachment");
  mailObject->define(L"Attachments", returningObject(attachmentsObject));
  mailObject->define(L"To", [](const std::vector<VARIANT>&, VARIANT*) { return S_OK; });
  mailObject->define(L"Send", failingWith(E_ACCESSDENIED));
  attachmentsObject->define(L"Add", returningObject(attachmentObject));
  attachmentObject->define(L"SaveAsFile",
                           [](const std::vector<VARIANT>&, VARIANT*) { return S_OK; });

  auto mail = win32::makeHostObject(asDispatch(mailObject))->queryMail();
  ASSERT_TRUE(mail.has_value());
  EXPECT_EQ((*mail)->setTo(u"anna@x.de;"), hr::kOk);
  auto attachments = (*mail)->attachments();
  ASSERT_TRUE(attachments.has_value());
  auto attachment =
      (*attachments)->add(u"C:\\data\\sync.huf", attachment_type::kByValue, 1, u"sync.huf");
  ASSERT_TRUE(attachment.has_value());
  EXPECT_EQ((*attachment)->saveAsFile(u"C:\\data\\sync.huf"), hr::kOk);
  EXPECT_EQ((*mail)->send(), E_ACCESSDENIED);
  EXPECT_EQ(mailObject->calls(),
            (std::vector<std::string>{"put To(anna@x.de;)", "Attachments", "Send()"}));
  EXPECT_EQ(attachmentsObject->calls(),
            std::vector<std::string>{"Add(C:\\data\\sync.huf, 1, 1, sync.huf)"});
}

TEST(HostObjects, TheIndicatorsBarAndButtonGoThroughTheExplorer) {
  auto app = makeRecordingObject("application", {toGuid(iid::kApplication)});
  auto explorer = makeRecordingObject("explorer");
  auto bars = makeRecordingObject("bars");
  auto bar = makeRecordingObject("bar");
  auto controls = makeRecordingObject("controls");
  auto button = makeRecordingObject("button", {toGuid(iid::kCommandBarButton)});
  app->define(L"ActiveExplorer", returningObject(explorer));
  explorer->define(L"CommandBars", returningObject(bars));
  bars->define(L"Add", returningObject(bar));
  bar->define(L"Controls", returningObject(controls));
  controls->define(L"Add", returningObject(button));
  button->define(L"Caption", [](const std::vector<VARIANT>&, VARIANT*) { return S_OK; });

  auto application = win32::makeHostObject(asDispatch(app))->queryApplication();
  ASSERT_TRUE(application.has_value());
  auto active = (*application)->activeExplorer();
  ASSERT_TRUE(active.has_value());
  ASSERT_NE(*active, nullptr);
  auto commandBars = (*active)->commandBars();
  ASSERT_TRUE(commandBars.has_value());
  auto added = (*commandBars)->add(u"Quendrilax", 1, true);
  ASSERT_TRUE(added.has_value());
  auto barControls = (*added)->controls();
  ASSERT_TRUE(barControls.has_value());
  auto control = (*barControls)->add(control_type::kButton, true);
  ASSERT_TRUE(control.has_value());
  auto asButton = (*control)->queryCommandBarButton();
  ASSERT_TRUE(asButton.has_value());
  EXPECT_EQ((*asButton)->setCaption(u"12 items left"), hr::kOk);
  EXPECT_EQ(bars->calls(), std::vector<std::string>{"Add(Quendrilax, 1, missing, true)"});
  EXPECT_EQ(controls->calls(), std::vector<std::string>{"Add(1, missing, missing, missing, true)"});
  EXPECT_EQ(button->calls(), std::vector<std::string>{"put Caption(12 items left)"});
}

TEST(HostObjects, SafeLibraryObjectsWorkByNameAndAreKnownByTheirMembers) {
  auto sessionObject = makeRecordingObject("session");
  auto store = makeRecordingObject("store");
  sessionObject->define(L"Logon", [](const std::vector<VARIANT>&, VARIANT*) { return S_OK; });
  sessionObject->define(L"GetStoreFromID", returningObject(store));
  store->defineValue(L"StoreKind", longVariant(store_kind::kServer));
  auto mailObject = makeRecordingObject("safemail");
  auto recipients = makeRecordingObject("recipients");
  mailObject->define(L"Send", [](const std::vector<VARIANT>&, VARIANT*) { return S_OK; });
  mailObject->define(L"Fields", [](const std::vector<VARIANT>& args, VARIANT* result) {
    if (args.size() == 1 && result) *result = textVariant(L"x-header");
    return S_OK;
  });
  mailObject->define(L"Recipients", returningObject(recipients));
  recipients->define(L"ResolveAll", [](const std::vector<VARIANT>& args, VARIANT*) {
    if (args.size() != 1 || V_VT(&args[0]) != (VT_I4 | VT_BYREF)) return E_INVALIDARG;
    *V_I4REF(&args[0]) = 0;
    return S_OK;
  });

  auto session = win32::makeHostObject(asDispatch(sessionObject))->querySafeSession();
  ASSERT_TRUE(session.has_value());
  EXPECT_EQ((*session)->logon(Variant(), Variant(), Variant(), Variant(), Variant()), hr::kOk);
  auto found = (*session)->getStoreFromId(Variant(u"5707"), Variant());
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ((*found)->kind(), store_kind::kServer);
  EXPECT_EQ(sessionObject->calls(),
            (std::vector<std::string>{"Logon(empty, empty, empty, empty, empty)",
                                      "GetStoreFromID(5707, empty)"}));

  auto mail = win32::makeHostObject(asDispatch(mailObject))->querySafeMailItem();
  ASSERT_TRUE(mail.has_value());
  EXPECT_EQ((*mail)->field(0x007D001E), Variant(u"x-header"));
  EXPECT_EQ((*mail)->setField(0x10800003, Variant(std::int32_t{3})), hr::kOk);
  auto safeRecipients = (*mail)->recipients();
  ASSERT_TRUE(safeRecipients.has_value());
  std::int32_t unresolved = -1;
  EXPECT_EQ((*safeRecipients)->resolveAll(unresolved), hr::kOk);
  EXPECT_EQ(unresolved, 0);
  EXPECT_EQ(mailObject->calls(), (std::vector<std::string>{
                                     "Fields(8192030)", "put Fields(276824067, 3)", "Recipients"}));
  // A library object is known by its members: a session is no mail item.
  EXPECT_EQ(win32::makeHostObject(asDispatch(sessionObject))->querySafeMailItem().error(),
            hr::kNoInterface);
}

// Records what a subscription delivers.
class NotingSink : public EventSink {
 public:
  Hresult invoke(std::int32_t dispId, std::span<const Variant> args) override {
    std::string note = std::to_string(dispId) + ":";
    for (const Variant& arg : args) {
      if (auto* text = arg.text())
        note += " " + std::string(text->begin(), text->end());
      else if (arg.asDispatch())
        note += " object";
      else
        note += " ?";
    }
    events.push_back(note);
    return hr::kOk;
  }
  std::vector<std::string> events;
};

TEST(HostObjects, EventSinksDecodeDispatchIdsAndArgumentsInOrder) {
  auto source = makeRecordingObject("namespace", {}, {toGuid(iid::kNamespaceEvents)});
  auto pages = makeRecordingObject("pages");
  auto generic = win32::makeHostObject(asDispatch(source));
  auto point = generic->findConnectionPoint(iid::kNamespaceEvents);
  ASSERT_TRUE(point.has_value());
  auto sink = std::make_shared<NotingSink>();
  auto cookie = (*point)->advise(sink);
  ASSERT_TRUE(cookie.has_value());
  EXPECT_NE(*cookie, 0u);
  ASSERT_EQ(source->sinks(toGuid(iid::kNamespaceEvents)).size(), 1u);
  EXPECT_EQ(source->raise(toGuid(iid::kNamespaceEvents), dispid::kOptionsPagesAdd,
                          {objectVariant(pages.get()), textVariant(L"second")}),
            S_OK);
  EXPECT_EQ(sink->events, std::vector<std::string>{"61445: object second"});
  EXPECT_EQ((*point)->unadvise(*cookie), hr::kOk);
  EXPECT_TRUE(source->sinks(toGuid(iid::kNamespaceEvents)).empty());
  EXPECT_EQ((*point)->unadvise(*cookie), hr::kNoConnection);
  EXPECT_EQ(generic->findConnectionPoint(iid::kItemsEvents).error(), hr::kNoConnection);
}

TEST(HostObjects, TheLibraryIsMadeByProgIdOrReportedMissing) {
  win32::SafeLibraryWin library;
  EXPECT_EQ(library.classIdFromProgId(progid::kSafeSession).error(), hr::kInvalidClassString);
  auto made = createSafeSession(library);
  ASSERT_FALSE(made.has_value());
  EXPECT_EQ(made.error(), hr::kInvalidClassString);
  // A registered class of the system is made as an in-process server.
  auto classId = library.classIdFromProgId(u"Scripting.Dictionary");
  ASSERT_TRUE(classId.has_value());
  EXPECT_TRUE(library.createInstance(*classId).has_value());
}

}  // namespace
}  // namespace qx::wintest

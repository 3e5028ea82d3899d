// The two property pages of Quendrilax.dll as a host's Properties dialog
// meets them: created by ProgID after regsvr32, asked for the interfaces a
// control container needs, activated in place in a container's window, and
// the folder page driven through its controls up to Apply, with the page
// folder of an OptionsPagesAdd raised on the connected add-in.
#include <windows.h>

#include <gtest/gtest.h>
#include <oleauto.h>

#include <string>

#include "common/messages.h"
#include "platform/mail_ids.h"
#include "ui/folder_page_template.h"
#include "win/com_guid.h"
#include "win/com_ids.h"
#include "win/module_host.h"
#include "win/page_container.h"
#include "win/win_system.h"

namespace qx::wintest {
namespace {

using win32::toGuid;

constexpr const wchar_t* kPageProgIds[] = {L"Corvessa.OLFoldersPropPage",
                                           L"Quendrilax.PropPageEmpty"};
const std::wstring kFolderKey = L"Software\\Vantrosse\\Quendrilax\\Folders\\00DE";

class PageControls : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(runRegsvr32(L""), 0u); }
  static void TearDownTestSuite() { runRegsvr32(L"/u"); }

  void SetUp() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kFolderKey.c_str());
    container = makeContainerWindow(L"Tasks Properties", 600, 560);
    ASSERT_NE(container, nullptr);
  }
  void TearDown() override {
    DestroyWindow(container);
    RegDeleteTreeW(HKEY_CURRENT_USER, kFolderKey.c_str());
  }

  HWND container = nullptr;
};

TEST_F(PageControls, BothPagesAnswerWhatAPropertySheetAsksOfAControl) {
  for (const wchar_t* progId : kPageProgIds) {
    SCOPED_TRACE(std::string(progId, progId + wcslen(progId)));
    CLSID classId{};
    ASSERT_EQ(CLSIDFromProgID(progId, &classId), S_OK);
    ComPtr<IUnknown> object;
    ASSERT_EQ(
        CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.putVoid()),
        S_OK);
    const IID& own = IsEqualCLSID(classId, CLSID_OLFoldersPropPage) ? IID_IOLFoldersPropPage
                                                                    : IID_IPropPageEmpty;
    for (const IID* iid : {&IID_IOleObject, &IID_IOleInPlaceObject, &IID_IOleInPlaceActiveObject,
                           &IID_IViewObject2, &IID_IPersistStreamInit, &IID_IOleControl,
                           &IID_IDispatch, &IID_PropertyPage, &own, &IID_IProvideClassInfo2}) {
      ComPtr<IUnknown> asked;
      EXPECT_EQ(object->QueryInterface(*iid, asked.putVoid()), S_OK) << guidText(*iid);
    }

    ComPtr<IOleObject> control;
    ASSERT_EQ(object.queryInterface(IID_IOleObject, control), S_OK);
    DWORD misc = 0;
    ASSERT_EQ(control->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
    const std::string classKey = "CLSID\\" + guidText(classId);
    EXPECT_EQ(classesText(classKey + "\\MiscStatus\\1"), std::to_string(misc)) << "as registered";
    EXPECT_TRUE(misc & OLEMISC_SETCLIENTSITEFIRST);
    CLSID userClass{};
    ASSERT_EQ(control->GetUserClassID(&userClass), S_OK);
    EXPECT_TRUE(IsEqualCLSID(userClass, classId));

    ComPtr<IProvideClassInfo2> classInfo;
    ASSERT_EQ(object.queryInterface(IID_IProvideClassInfo2, classInfo), S_OK);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(classInfo->GetClassInfo(info.put()), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualCLSID(attributes->guid, classId));
    info->ReleaseTypeAttr(attributes);

    ComPtr<::PropertyPage> page;
    ASSERT_EQ(object.queryInterface(IID_PropertyPage, page), S_OK);
    BSTR helpFile = nullptr;
    LONG helpContext = 0;
    EXPECT_EQ(page->GetPageInfo(&helpFile, &helpContext), E_NOTIMPL);
    EXPECT_EQ(page->GetPageInfo(nullptr, &helpContext), E_POINTER);
    EXPECT_EQ(page->GetPageInfo(&helpFile, nullptr), E_POINTER);
    EXPECT_EQ(page->GetPageInfo(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(helpFile, nullptr);

    // The same members by name, as a script host calls them.
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(object.queryInterface(IID_IDispatch, dispatch), S_OK);
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Dirty"), const_cast<LPOLESTR>(L"Apply")};
    DISPID dirtyId = 0, applyId = 0;
    ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, &names[0], 1, 0, &dirtyId), S_OK);
    ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, &names[1], 1, 0, &applyId), S_OK);
    EXPECT_EQ(dirtyId, 0x2101) << "the host's own id";
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT dirty;
    VariantInit(&dirty);
    ASSERT_EQ(dispatch->Invoke(dirtyId, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &dirty, nullptr,
                               nullptr),
              S_OK);
    EXPECT_EQ(V_VT(&dirty), VT_BOOL);
    EXPECT_EQ(V_BOOL(&dirty), VARIANT_FALSE) << "nothing changed on a page never shown";
    EXPECT_EQ(
        dispatch->Invoke(applyId, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
        S_OK);
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_IUnknown, &names[0], 1, 0, &dirtyId),
              DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(dispatch->Invoke(applyId, IID_IUnknown, 0, DISPATCH_METHOD, &none, nullptr, nullptr,
                               nullptr),
              DISP_E_UNKNOWNINTERFACE);
  }
}

TEST_F(PageControls, InPlaceActivationPutsThePageIntoTheContainersWindow) {
  HostedControl hosted = hostControl(L"Quendrilax.PropPageEmpty", container);
  ASSERT_EQ(hosted.status, S_OK);
  HWND page = hosted.pageWindow();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(GetParent(page), container);
  EXPECT_TRUE(IsWindowVisible(page));
  // The extent is the template's size as the dialog manager lays it out.
  RECT rect{};
  GetWindowRect(page, &rect);
  const SIZE size = controlPixels(hosted.control.get());
  EXPECT_NEAR(rect.right - rect.left, size.cx, 2);
  EXPECT_NEAR(rect.bottom - rect.top, size.cy, 2);
  POINT origin{0, 0};
  MapWindowPoints(page, container, &origin, 1);
  EXPECT_EQ(origin.x, 8);
  EXPECT_EQ(origin.y, 8);
  wchar_t text[512] = {};
  GetDlgItemTextW(page, empty_page::kMessageText, text, 512);
  const std::u16string expected(loadMessage(lang::kEnglishUs, msg::kPlaceholderPage));
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(text)), expected);
  EXPECT_NE(hosted.site->activeObject(), nullptr) << "UI activation names the active object";

  hosted.close();
  EXPECT_FALSE(IsWindow(page));
  const auto& steps = hosted.site->activation();
  EXPECT_EQ(steps,
            (std::vector<std::string>{"OnInPlaceActivate", "GetWindowContext", "OnUIActivate",
                                      "ShowObject", "OnUIDeactivate", "OnInPlaceDeactivate"}));
  EXPECT_TRUE(hosted.site->unexpectedCalls().empty());
}

// The page as the user works it: every change reaches the site's
// notification through its vtable and the dirty query, nothing else of the
// site is touched, Apply writes the folder's key, Tab walks the template.
TEST_F(PageControls, TheFolderPageIsWorkedThroughItsControlsAndApplied) {
  CLSID connectClass{};
  ASSERT_EQ(CLSIDFromProgID(L"Corvessa.Connect", &connectClass), S_OK);
  ComPtr<_IDTExtensibility2> connect;
  ASSERT_EQ(CoCreateInstance(connectClass, nullptr, CLSCTX_INPROC_SERVER, IID__IDTExtensibility2,
                             connect.putVoid()),
            S_OK);
  SAFEARRAY* custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);
  Host host;
  ASSERT_EQ(connect->OnConnection(host.application.get(), 1, host.addIn.get(), &custom), S_OK);
  // The host raises OptionsPagesAdd for the folder before it creates the page.
  ComPtr<RecordingObject> pages = makeRecordingObject("pages", {toGuid(iid::kPropertyPages)});
  pages->define(L"Add", [](const std::vector<VARIANT>&, VARIANT*) { return S_OK; });
  ASSERT_EQ(host.nameSpace->raise(toGuid(iid::kNamespaceEvents), dispid::kOptionsPagesAdd,
                                  {objectVariant(pages.get()), objectVariant(host.folder.get())}),
            S_OK);
  ASSERT_TRUE(noted(pages, "Add(Corvessa.OLFoldersPropPage, Quendrilax)"));

  HostedControl hosted = hostControl(L"Corvessa.OLFoldersPropPage", container, false);
  ASSERT_EQ(hosted.status, S_OK);
  ComPtr<::PropertyPage> page;
  ASSERT_EQ(hosted.control.queryInterface(IID_PropertyPage, page), S_OK);
  VARIANT_BOOL dirty = VARIANT_TRUE;
  ASSERT_EQ(page->get_Dirty(&dirty), S_OK);
  EXPECT_EQ(dirty, VARIANT_FALSE) << "the site has just arrived";

  ASSERT_EQ(hosted.activate(), S_OK);
  HWND window = hosted.pageWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(GetParent(window), container);
  auto item = [&](int id) { return GetDlgItem(window, id); };
  auto textOf = [&](int id) {
    wchar_t text[256] = {};
    GetDlgItemTextW(window, id, text, 256);
    return std::wstring(text);
  };
  using namespace folder_page;
  EXPECT_EQ(textOf(kShareNameField), L"Tasks_sync");
  // Writing the share-name field at initialisation counts as a change.
  int changes = hosted.site->statusChanges();
  EXPECT_EQ(changes, 1);
  ASSERT_EQ(page->get_Dirty(&dirty), S_OK);
  EXPECT_EQ(dirty, VARIANT_TRUE);

  EXPECT_FALSE(IsWindowEnabled(item(kAddressField)));
  SendMessageW(item(kSyncCheckBox), BM_CLICK, 0, 0);
  EXPECT_EQ(hosted.site->statusChanges(), ++changes) << "the check box";
  EXPECT_EQ(IsDlgButtonChecked(window, kSyncCheckBox), BST_CHECKED);
  EXPECT_TRUE(IsWindowEnabled(item(kAddressField)));

  SetDlgItemTextW(window, kShareNameField, L"Team tasks");
  EXPECT_EQ(hosted.site->statusChanges(), ++changes) << "the share name";

  for (const wchar_t* address : {L"bob@vantrosse.example", L"anna@vantrosse.example"}) {
    SetDlgItemTextW(window, kAddressField, address);
    EXPECT_TRUE(IsWindowEnabled(item(kAddButton))) << "the address rule";
    SendMessageW(item(kAddButton), BM_CLICK, 0, 0);
    EXPECT_EQ(hosted.site->statusChanges(), ++changes) << "\">>\"";
  }
  EXPECT_EQ(SendDlgItemMessageW(window, kRecipientList, LB_GETCOUNT, 0, 0), 2);
  // The list sorts: bob is the second entry.
  SendDlgItemMessageW(window, kRecipientList, LB_SETCURSEL, 1, 0);
  SendMessageW(item(kRemoveButton), BM_CLICK, 0, 0);
  EXPECT_EQ(hosted.site->statusChanges(), ++changes) << "\"<<\"";
  EXPECT_EQ(SendDlgItemMessageW(window, kRecipientList, LB_GETCOUNT, 0, 0), 1);
  EXPECT_TRUE(hosted.site->unexpectedCalls().empty())
      << ::testing::PrintToString(hosted.site->unexpectedCalls());

  // Tab through the template's tab stops, as the container's message loop
  // hands keys to the active object first.
  IOleInPlaceActiveObject* active = hosted.site->activeObject();
  ASSERT_NE(active, nullptr);
  SetFocus(item(kSyncCheckBox));
  ASSERT_EQ(GetFocus(), item(kSyncCheckBox));
  for (int expected : {kAddressField, kAddressBookButton, kSyncCheckBox}) {
    MSG tab{GetFocus(), WM_KEYDOWN, VK_TAB, 0x000F0001, 0, {0, 0}};
    EXPECT_EQ(active->TranslateAccelerator(&tab), S_OK);
    EXPECT_EQ(GetFocus(), item(expected)) << expected;
  }

  // The user clicks elsewhere in the sheet and back on the page's tab.
  SetFocus(container);
  ASSERT_FALSE(IsChild(window, GetFocus()));
  ASSERT_EQ(hosted.activate(), S_OK);
  EXPECT_TRUE(IsChild(window, GetFocus())) << "a second UI activation takes the focus";

  EXPECT_EQ(page->Apply(), S_OK);
  EXPECT_EQ(valuesBelow(HKEY_CURRENT_USER, kFolderKey),
            (std::map<std::wstring, std::wstring>{
                {L"\\ShareName", L"Team tasks"},
                {L"\\SID", L"5707"},
                {L"\\used", L"1"},
                {L"\\Users\\anna@vantrosse.example\\", L""},
            }));
  ASSERT_EQ(page->get_Dirty(&dirty), S_OK);
  EXPECT_EQ(dirty, VARIANT_TRUE) << "stays true after Apply";

  hosted.close();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(connect->OnDisconnection(0, &custom), S_OK);
  SafeArrayDestroy(custom);
}

}  // namespace
}  // namespace qx::wintest

// Quendrilax.dll as the host meets it: registered by regsvr32, created by
// ProgID, connected and disconnected through the extensibility interface's
// vtable and through IDispatch, against a small host of recording objects.
#include <windows.h>

#include <gtest/gtest.h>
#include <oleauto.h>

#include <algorithm>
#include <string>

#include "platform/mail_ids.h"
#include "win/com_guid.h"
#include "win/com_ids.h"
#include "win/recording_object.h"
#include "win/registry_win.h"
#include "win/win_system.h"

namespace qx::wintest {
namespace {

using win32::ComPtr;
using win32::toGuid;

std::wstring moduleDirectory() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring text(path);
  return text.substr(0, text.find_last_of(L'\\') + 1);
}

std::wstring modulePath() { return moduleDirectory() + L"Quendrilax.dll"; }

// regsvr32's exit code.
DWORD runRegsvr32(const std::wstring& arguments) {
  std::wstring command = L"regsvr32.exe /s " + arguments + L" \"" + modulePath() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return GetLastError() | 0x10000;
  WaitForSingleObject(process.hProcess, 60000);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

// A text value of a key under the classes root, or none.
std::optional<std::string> classesText(const std::string& path, const std::string& name = "") {
  win32::RegistryWin registry;
  RegKey key = reg::kNoKey;
  if (registry.openKey(reg::kClassesRoot, path, reg::kKeyRead, key) != win::kSuccess)
    return std::nullopt;
  char buffer[512] = {};
  std::uint32_t size = sizeof buffer - 1, type = 0;
  WinError status = registry.queryValue(
      key, name, &type, {reinterpret_cast<std::uint8_t*>(buffer), sizeof buffer - 1}, size);
  registry.closeKey(key);
  if (status != win::kSuccess) return std::nullopt;
  return std::string(buffer);
}

std::string narrowPath() {
  std::wstring wide = modulePath();
  return std::string(wide.begin(), wide.end());
}

TEST(ModuleRegistration, Regsvr32WritesTheClassKeysAndTakesThemAway) {
  ASSERT_EQ(runRegsvr32(L""), 0u);
  const std::string connect = "{E45BE4ED-706C-47CF-A0D0-DC909F9EF46F}";
  const std::string page = "{4C7E8BE9-A589-462D-9CDC-9E8A41498667}";
  EXPECT_EQ(classesText("Corvessa.Connect\\CLSID"), connect);
  EXPECT_EQ(classesText("Corvessa.Connect"), "Connect Class");
  EXPECT_EQ(classesText("Corvessa.Connect\\CurVer"), "Corvessa.Connect.1");
  EXPECT_EQ(classesText("Corvessa.Connect.1\\CLSID"), connect);
  EXPECT_EQ(classesText("CLSID\\" + connect + "\\InprocServer32"), narrowPath());
  EXPECT_EQ(classesText("CLSID\\" + connect + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(classesText("CLSID\\" + connect + "\\VersionIndependentProgID"), "Corvessa.Connect");
  EXPECT_EQ(classesText("CLSID\\" + connect + "\\TypeLib"),
            "{FB1ACFF6-08A4-490D-B460-5D8D7028B2BF}");
  EXPECT_EQ(classesText("CLSID\\" + page + "\\ToolboxBitmap32"), narrowPath() + ", 118");
  EXPECT_EQ(classesText("Quendrilax.PropPageEmpty\\CurVer"), "Quendrilax.PropPageEmpty.1");
  // COM finds the class by its ProgID, and the type library is known.
  CLSID found{};
  ASSERT_EQ(CLSIDFromProgID(L"Corvessa.Connect", &found), S_OK);
  EXPECT_TRUE(IsEqualCLSID(found, CLSID_Connect));
  EXPECT_TRUE(classesText("TypeLib\\{FB1ACFF6-08A4-490D-B460-5D8D7028B2BF}\\1.0").has_value());

  ASSERT_EQ(runRegsvr32(L"/u"), 0u);
  for (const std::string& gone :
       {std::string("Corvessa.Connect"), std::string("Corvessa.Connect.1"),
        std::string("Corvessa.OLFoldersPropPage"), std::string("Quendrilax.PropPageEmpty.1"),
        "CLSID\\" + connect, "CLSID\\" + page}) {
    win32::RegistryWin registry;
    RegKey key = reg::kNoKey;
    EXPECT_EQ(registry.openKey(reg::kClassesRoot, gone, reg::kKeyRead, key), win::kFileNotFound)
        << gone;
  }
}

// The host around the add-in: application, namespace, a folder with its item
// collection, and the add-in's own record.
struct Host {
  Host(const wchar_t* version = L"11.0.0.8166") {
    using namespace qx::iid;
    application =
        makeRecordingObject("application", {toGuid(kApplication)}, {toGuid(kApplicationEvents)});
    nameSpace = makeRecordingObject("namespace", {}, {toGuid(kNamespaceEvents)});
    folder = makeRecordingObject("folder", {toGuid(kFolder)});
    items = makeRecordingObject("items", {}, {toGuid(kItemsEvents)});
    addIn = makeRecordingObject("addin", {toGuid(kComAddIn)});
    VARIANT v = textVariant(version);
    application->defineValue(L"Version", v);
    VariantClear(&v);
    application->define(L"GetNamespace", [this](const std::vector<VARIANT>&, VARIANT* result) {
      *result = objectVariant(nameSpace.get());
      return S_OK;
    });
    nameSpace->define(L"GetDefaultFolder", [this](const std::vector<VARIANT>&, VARIANT* result) {
      *result = objectVariant(folder.get());
      return S_OK;
    });
    folder->define(L"Items", [this](const std::vector<VARIANT>&, VARIANT* result) {
      *result = objectVariant(items.get());
      return S_OK;
    });
    for (auto [name, value] :
         {std::pair{L"EntryID", L"00DE"}, std::pair{L"StoreID", L"5707"},
          std::pair{L"Name", L"Tasks"}, std::pair{L"DefaultMessageClass", L"IPM.Task"}}) {
      VARIANT text = textVariant(value);
      folder->defineValue(name, text);
      VariantClear(&text);
    }
    VARIANT zero = longVariant(0);
    items->defineValue(L"Count", zero);
    addIn->define(L"Connect", [](const std::vector<VARIANT>&, VARIANT*) { return S_OK; });
  }
  std::size_t subscriptions() const {
    using namespace qx::iid;
    return application->sinks(toGuid(kApplicationEvents)).size() +
           nameSpace->sinks(toGuid(kNamespaceEvents)).size() +
           items->sinks(toGuid(kItemsEvents)).size();
  }

  ComPtr<RecordingObject> application, nameSpace, folder, items, addIn;
};

bool noted(const ComPtr<RecordingObject>& object, const std::string& call) {
  const auto& calls = object->calls();
  return std::find(calls.begin(), calls.end(), call) != calls.end();
}

class ModuleConnection : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(runRegsvr32(L""), 0u); }
  static void TearDownTestSuite() { runRegsvr32(L"/u"); }

  void SetUp() override {
    CLSID classId{};
    ASSERT_EQ(CLSIDFromProgID(L"Corvessa.Connect", &classId), S_OK);
    ComPtr<IUnknown> object;
    ASSERT_EQ(
        CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.putVoid()),
        S_OK);
    ASSERT_EQ(object.queryInterface(IID__IDTExtensibility2, connect), S_OK);
    custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);
  }
  void TearDown() override { SafeArrayDestroy(custom); }

  ComPtr<_IDTExtensibility2> connect;
  SAFEARRAY* custom = nullptr;
};

TEST_F(ModuleConnection, TheFiveOperationsRunThroughTheVtable) {
  Host host;
  ASSERT_EQ(connect->OnConnection(host.application.get(), 1, host.addIn.get(), &custom), S_OK);
  EXPECT_TRUE(noted(host.application, "GetNamespace(MAPI)"));
  EXPECT_TRUE(noted(host.application, "Version"));
  // Application and namespace events, and the Deleted Items watch.
  EXPECT_TRUE(noted(host.nameSpace, "GetDefaultFolder(3)"));
  EXPECT_EQ(host.subscriptions(), 3u);
  EXPECT_EQ(connect->OnStartupComplete(&custom), S_OK);
  EXPECT_EQ(connect->OnAddInsUpdate(&custom), S_OK);
  EXPECT_EQ(connect->OnBeginShutdown(&custom), S_OK);
  EXPECT_EQ(connect->OnDisconnection(0, &custom), S_OK);
  EXPECT_EQ(host.subscriptions(), 0u);
}

TEST_F(ModuleConnection, TheFiveOperationsRunThroughIDispatchWithIdsOneToFive) {
  const wchar_t* names[] = {L"OnConnection", L"OnDisconnection", L"OnAddInsUpdate",
                            L"OnStartupComplete", L"OnBeginShutdown"};
  for (int i = 0; i < 5; ++i) {
    LPOLESTR name = const_cast<LPOLESTR>(names[i]);
    DISPID id = 0;
    ASSERT_EQ(connect->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK) << i;
    EXPECT_EQ(id, i + 1);
  }
  Host host;
  VARIANT array;
  VariantInit(&array);
  V_VT(&array) = VT_ARRAY | VT_VARIANT | VT_BYREF;
  V_ARRAYREF(&array) = &custom;
  // Invoke takes the arguments last first.
  VARIANT connectArgs[4] = {array, objectVariant(host.addIn.get()), longVariant(1),
                            objectVariant(host.application.get())};
  DISPPARAMS parameters{connectArgs, nullptr, 4, 0};
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(
      connect->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &parameters, &result, nullptr, nullptr),
      S_OK);
  EXPECT_EQ(host.subscriptions(), 3u);
  DISPPARAMS arrayOnly{&array, nullptr, 1, 0};
  for (DISPID id : {4, 3, 5})
    EXPECT_EQ(
        connect->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &arrayOnly, nullptr, nullptr, nullptr),
        S_OK)
        << id;
  VARIANT disconnectArgs[2] = {array, longVariant(0)};
  DISPPARAMS disconnect{disconnectArgs, nullptr, 2, 0};
  EXPECT_EQ(
      connect->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &disconnect, nullptr, nullptr, nullptr),
      S_OK);
  EXPECT_EQ(host.subscriptions(), 0u);
  VariantClear(&connectArgs[1]);
  VariantClear(&connectArgs[3]);
}

TEST_F(ModuleConnection, AnOldHostBuildIsRefusedWithAMessageBox) {
  Host host(L"10.0.0.4024");
  BoxAnswer answer;
  answer.start(u"Quendrilax Outlook Version:10.0.0.4024", IDOK);
  EXPECT_EQ(connect->OnConnection(host.application.get(), 1, host.addIn.get(), &custom), S_OK);
  answer.wait();
  EXPECT_EQ(host.subscriptions(), 0u) << "the add-in stays inert";
  EXPECT_EQ(connect->OnDisconnection(0, &custom), S_OK);
}

TEST_F(ModuleConnection, TaskFoldersGetTheFolderPageThroughTheNamespaceEvent) {
  Host host;
  ASSERT_EQ(connect->OnConnection(host.application.get(), 1, host.addIn.get(), &custom), S_OK);
  ComPtr<RecordingObject> pages = makeRecordingObject("pages", {toGuid(iid::kPropertyPages)});
  pages->define(L"Add", [](const std::vector<VARIANT>&, VARIANT*) { return S_OK; });
  EXPECT_EQ(host.nameSpace->raise(toGuid(iid::kNamespaceEvents), dispid::kOptionsPagesAdd,
                                  {objectVariant(pages.get()), objectVariant(host.folder.get())}),
            S_OK);
  // Without the safe-item library the store cannot be asked: the real page.
  EXPECT_TRUE(noted(pages, "Add(Corvessa.OLFoldersPropPage, Quendrilax)"))
      << ::testing::PrintToString(pages->calls());
  EXPECT_EQ(connect->OnDisconnection(0, &custom), S_OK);
}

TEST_F(ModuleConnection, TheModuleMayBeUnloadedOnceItsObjectsAreGone) {
  HMODULE module = GetModuleHandleW(L"Quendrilax.dll");
  ASSERT_NE(module, nullptr);
  auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  ASSERT_NE(canUnload, nullptr);
  EXPECT_EQ(canUnload(), S_FALSE);
  connect.reset();
  EXPECT_EQ(canUnload(), S_OK);
}

}  // namespace
}  // namespace qx::wintest

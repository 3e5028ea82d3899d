// Quendrilax.dll as the host meets it: registered by regsvr32, created by
// ProgID, connected and disconnected through the extensibility interface's
// vtable and through IDispatch, against a small host of recording objects.
#include <windows.h>

#include <gtest/gtest.h>
#include <oleauto.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>

#include "platform/mail_ids.h"
#include "win/com_guid.h"
#include "win/com_ids.h"
#include "win/module_host.h"
#include "win/recording_object.h"
#include "win/registry_win.h"
#include "win/win_system.h"

namespace qx::wintest {
namespace {

using win32::toGuid;

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

TEST(ModuleRegistration, TheHostsExtensibilityInterfaceKeyIsLeftAsItWas) {
  // As the host's own installation leaves it; every add-in marshals through it.
  const std::wstring key = L"Interface\\{B65AD801-ABAF-11D0-BB8B-00A0C90F2744}";
  writeText(HKEY_CLASSES_ROOT, key, nullptr, L"_IDTExtensibility2");
  writeText(HKEY_CLASSES_ROOT, key + L"\\ProxyStubClsid32", nullptr,
            L"{00020424-0000-0000-C000-000000000046}");
  writeText(HKEY_CLASSES_ROOT, key + L"\\TypeLib", nullptr,
            L"{AC0714F2-3D04-11D1-AE7D-00A0C90F26F4}");
  writeText(HKEY_CLASSES_ROOT, key + L"\\TypeLib", L"Version", L"1.0");
  const auto before = valuesBelow(HKEY_CLASSES_ROOT, key);
  ASSERT_EQ(before.size(), 4u);

  ASSERT_EQ(runRegsvr32(L""), 0u);
  EXPECT_EQ(valuesBelow(HKEY_CLASSES_ROOT, key), before) << "after regsvr32";
  ASSERT_EQ(runRegsvr32(L"/u"), 0u);
  EXPECT_EQ(valuesBelow(HKEY_CLASSES_ROOT, key), before) << "after regsvr32 /u";
  RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
}

TEST(ModuleRegistration, AnInstallFolderOutsideTheAnsiCodePageIsRegisteredAndLoaded) {
  const std::wstring folder =
      moduleDirectory() + L"\u0423\u0441\u0442\u0430\u043d\u043e\u0432\u043a\u0430 \u03a9\\";
  const std::wstring copy = folder + L"Quendrilax.dll";
  CreateDirectoryW(folder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(modulePath().c_str(), copy.c_str(), FALSE)) << GetLastError();
  ASSERT_EQ(runRegsvr32(L"", copy), 0u);
  const std::wstring page = L"CLSID\\{4C7E8BE9-A589-462D-9CDC-9E8A41498667}";
  EXPECT_EQ(wideText(HKEY_CLASSES_ROOT, page + L"\\InprocServer32"), copy);
  EXPECT_EQ(wideText(HKEY_CLASSES_ROOT, page + L"\\ToolboxBitmap32"), copy + L", 118");
  {
    ComPtr<IUnknown> object;
    ASSERT_EQ(CoCreateInstance(CLSID_OLFoldersPropPage, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               object.putVoid()),
              S_OK);
    // The object's code comes from the copy.
    HMODULE loaded = nullptr;
    ASSERT_TRUE(GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        *reinterpret_cast<LPCWSTR*>(object.get()), &loaded));
    wchar_t path[MAX_PATH * 2] = {};
    GetModuleFileNameW(loaded, path, MAX_PATH * 2);
    EXPECT_EQ(std::wstring(path), copy);
  }
  ASSERT_EQ(runRegsvr32(L"/u", copy), 0u);
}

TEST(ModuleRegistration, InstallForTheUserWritesTheSameKeysUnderTheUsersClasses) {
  ASSERT_EQ(runRegsvr32(L"/n /i:user"), 0u);
  const std::wstring classes = L"Software\\Classes\\";
  const std::wstring page = L"{4C7E8BE9-A589-462D-9CDC-9E8A41498667}";
  EXPECT_EQ(wideText(HKEY_CURRENT_USER, classes + L"Corvessa.OLFoldersPropPage\\CLSID"), page);
  EXPECT_EQ(wideText(HKEY_CURRENT_USER, classes + L"Quendrilax.PropPageEmpty\\CurVer"),
            L"Quendrilax.PropPageEmpty.1");
  EXPECT_EQ(wideText(HKEY_CURRENT_USER, classes + L"CLSID\\" + page + L"\\InprocServer32"),
            modulePath());
  EXPECT_EQ(wideText(HKEY_CURRENT_USER, classes + L"CLSID\\" + page + L"\\MiscStatus\\1"),
            L"131473");
  EXPECT_EQ(wideText(HKEY_CURRENT_USER,
                     classes + L"CLSID\\{E45BE4ED-706C-47CF-A0D0-DC909F9EF46F}\\InprocServer32",
                     L"ThreadingModel"),
            L"Apartment");
  ASSERT_EQ(runRegsvr32(L"/u /n /i:user"), 0u);
  for (const std::wstring& gone : {classes + L"Corvessa.OLFoldersPropPage",
                                   classes + L"Corvessa.Connect.1", classes + L"CLSID\\" + page}) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, gone.c_str(), 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
  }
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

TEST_F(ModuleConnection, CallsByNameForAnyInterfaceButNoneAreRefused) {
  LPOLESTR name = const_cast<LPOLESTR>(L"OnConnection");
  DISPID id = 0;
  EXPECT_EQ(connect->GetIDsOfNames(IID_IUnknown, &name, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXPECT_EQ(connect->Invoke(3, IID_IDispatch, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
            DISP_E_UNKNOWNINTERFACE);
}

TEST_F(ModuleConnection, TheHostsAddInObjectIsReleasedAtDisconnection) {
  Host host;
  auto references = [&] {
    host.addIn->AddRef();
    return host.addIn->Release();
  };
  const ULONG before = references();
  ASSERT_EQ(connect->OnConnection(host.application.get(), 1, host.addIn.get(), &custom), S_OK);
  EXPECT_GT(references(), before) << "kept while connected";
  ASSERT_EQ(connect->OnDisconnection(0, &custom), S_OK);
  EXPECT_EQ(references(), before);
}

// A host whose object-returning calls answer no object, each in turn: the
// module neither calls through it nor keeps the host's add-in object after a
// connection that failed.
TEST_F(ModuleConnection, AHostThatAnswersNoObjectGetsNoCrashAndKeepsNoReference) {
  const Member answers[] = {
      [](const std::vector<VARIANT>&, VARIANT* result) {
        VariantInit(result);
        return S_OK;
      },
      [](const std::vector<VARIANT>&, VARIANT* result) {
        *result = objectVariant(nullptr);
        return S_OK;
      },
  };
  for (const Member& none : answers) {
    for (const wchar_t* member : {L"GetNamespace", L"GetDefaultFolder", L"Items"}) {
      SCOPED_TRACE(std::string(member, member + wcslen(member)));
      Host host;
      (std::wstring(member) == L"GetNamespace"       ? host.application
       : std::wstring(member) == L"GetDefaultFolder" ? host.nameSpace
                                                     : host.folder)
          ->define(member, none);
      auto references = [&] {
        host.addIn->AddRef();
        return host.addIn->Release();
      };
      const ULONG before = references();
      ComPtr<_IDTExtensibility2> connection;
      CLSID classId{};
      ASSERT_EQ(CLSIDFromProgID(L"Corvessa.Connect", &classId), S_OK);
      ASSERT_EQ(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID__IDTExtensibility2,
                                 connection.putVoid()),
                S_OK);
      const HRESULT status =
          connection->OnConnection(host.application.get(), 1, host.addIn.get(), &custom);
      if (std::wstring(member) == L"GetNamespace") {
        EXPECT_TRUE(FAILED(status));
        EXPECT_EQ(references(), before) << "a failed connection keeps no add-in object";
        EXPECT_EQ(host.subscriptions(), 0u);
      } else {
        EXPECT_EQ(status, S_OK);
        EXPECT_EQ(connection->OnDisconnection(0, &custom), S_OK);
      }
      connection.reset();
      EXPECT_EQ(references(), before);
      EXPECT_EQ(host.subscriptions(), 0u);
    }
  }
}

TEST_F(ModuleConnection, PagesAndSinksTheHostHoldsKeepTheModuleLoaded) {
  auto canUnload = moduleCanUnloadNow();
  ASSERT_NE(canUnload, nullptr);
  Host host;
  ASSERT_EQ(connect->OnConnection(host.application.get(), 1, host.addIn.get(), &custom), S_OK);
  // A host may let go of a sink later than the add-in unadvises it.
  auto sinks = host.nameSpace->sinks(toGuid(iid::kNamespaceEvents));
  ASSERT_EQ(sinks.size(), 1u);
  ComPtr<IDispatch> heldSink(sinks.front());
  ASSERT_EQ(connect->OnDisconnection(0, &custom), S_OK);
  connect.reset();
  ComPtr<IUnknown> page;
  ASSERT_EQ(CoCreateInstance(CLSID_PropPageEmpty, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             page.putVoid()),
            S_OK);
  EXPECT_EQ(canUnload(), S_FALSE) << "a page lives";
  page.reset();
  EXPECT_EQ(canUnload(), S_FALSE) << "the host holds a sink";
  heldSink.reset();
  EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(ModuleConnection, TheModuleMayBeUnloadedOnceItsObjectsAreGone) {
  auto canUnload = moduleCanUnloadNow();
  ASSERT_NE(canUnload, nullptr);
  EXPECT_EQ(canUnload(), S_FALSE);
  connect.reset();
  EXPECT_EQ(canUnload(), S_OK);
}

}  // namespace
}  // namespace qx::wintest

// What a machine holds after the Quendrilax package was installed, seen from
// a fresh process of the package's bitness, as the mail client would see it:
// no regsvr32, only what the package wrote. tests/win/run-installers runs it
// between its msiexec calls; the environment says what the install was given:
//   QX_EXPECT_FROM   the FROM= of the install (unset: no "From" expected)
//   QX_EXPECT_DEBUG  the DEBUG= of the install (unset: no "debug" expected)
//   QX_EXPECT_VERSION the package's version, four numbers
//   QX_USER_DEBUG    the "debug" the user has set (unset: none of their own)
#include <windows.h>

#include <gtest/gtest.h>
#include <ole2.h>
#include <oleauto.h>
#include <olectl.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "core/configuration_store.h"
#include "win/codepage_win.h"
#include "win/registry_win.h"

namespace {

constexpr wchar_t kAddinKey[] = L"Software\\Microsoft\\Office\\Outlook\\Addins\\Corvessa.Connect";
constexpr wchar_t kConfigKey[] = L"Software\\Vantrosse\\Quendrilax\\Config";

// A value of `name` in root\key, read in the given registry view (0: the
// process's own), when it has the given type.
std::optional<std::wstring> rawValue(HKEY root, const wchar_t* key, const wchar_t* name, DWORD type,
                                     REGSAM view) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key, 0, KEY_READ | view, &opened) != ERROR_SUCCESS) return std::nullopt;
  wchar_t buffer[512] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t), found = 0;
  LONG status =
      RegQueryValueExW(opened, name, nullptr, &found, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(opened);
  if (status != ERROR_SUCCESS || found != type) return std::nullopt;
  return std::wstring(buffer, size / sizeof(wchar_t));
}

std::optional<std::wstring> textValue(HKEY root, const wchar_t* key, const wchar_t* name,
                                      REGSAM view = 0) {
  auto text = rawValue(root, key, name, REG_SZ, view);
  if (text && !text->empty() && text->back() == L'\0') text->pop_back();
  return text;
}

std::optional<DWORD> numberValue(HKEY root, const wchar_t* key, const wchar_t* name,
                                 REGSAM view = 0) {
  auto bytes = rawValue(root, key, name, REG_DWORD, view);
  if (!bytes || bytes->size() * sizeof(wchar_t) != sizeof(DWORD)) return std::nullopt;
  DWORD value = 0;
  std::memcpy(&value, bytes->data(), sizeof value);
  return value;
}

std::optional<std::wstring> expected(const char* variable) {
  const char* text = std::getenv(variable);
  if (!text) return std::nullopt;
  return std::wstring(text, text + std::strlen(text));
}

// The registry view that a process of the other bitness sees.
constexpr REGSAM kOtherView =
#ifdef _WIN64
    KEY_WOW64_32KEY;
#else
    KEY_WOW64_64KEY;
#endif

// The object behind a ProgID, made as the mail client makes it.
HRESULT createByProgId(const wchar_t* progId, REFIID iid, void** object) {
  CLSID classId{};
  HRESULT status = CLSIDFromProgID(progId, &classId);
  if (FAILED(status)) return status;
  return CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, iid, object);
}

TEST(Installed, TheConnectionClassIsMadeByProgIdAndNamesTheFiveOperations) {
  IDispatch* connect = nullptr;
  ASSERT_EQ(createByProgId(L"Corvessa.Connect", IID_IDispatch, reinterpret_cast<void**>(&connect)),
            S_OK);
  const wchar_t* names[] = {L"OnConnection", L"OnDisconnection", L"OnAddInsUpdate",
                            L"OnStartupComplete", L"OnBeginShutdown"};
  for (DISPID want = 1; want <= 5; ++want) {
    LPOLESTR name = const_cast<LPOLESTR>(names[want - 1]);
    DISPID id = 0;
    EXPECT_EQ(connect->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK) << want;
    EXPECT_EQ(id, want) << names[want - 1];
  }
  connect->Release();
}

TEST(Installed, BothPagesAreMadeByProgIdAsControls) {
  // The host's property-page interface.
  const IID propertyPage = {0x0006307E, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  for (const wchar_t* progId : {L"Corvessa.OLFoldersPropPage", L"Quendrilax.PropPageEmpty"}) {
    IOleObject* page = nullptr;
    ASSERT_EQ(createByProgId(progId, IID_IOleObject, reinterpret_cast<void**>(&page)), S_OK)
        << progId;
    DWORD status = 0;
    EXPECT_EQ(page->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
    EXPECT_NE(status & OLEMISC_INSIDEOUT, 0u) << progId;
    for (const IID* iid : {&IID_IOleInPlaceObject, &IID_IViewObject2, &IID_IPersistStreamInit,
                           &IID_IOleControl, &IID_IDispatch, &propertyPage}) {
      IUnknown* face = nullptr;
      EXPECT_EQ(page->QueryInterface(*iid, reinterpret_cast<void**>(&face)), S_OK) << progId;
      if (face) face->Release();
    }
    page->Release();
  }
}

// The classes' type library, as a script host or a second package's removal
// would reach it: by its id from the registry.
TEST(Installed, TheRegisteredTypeLibraryLoads) {
  const GUID library = {0xFB1ACFF6, 0x08A4, 0x490D, {0xB4, 0x60, 0x5D, 0x8D, 0x70, 0x28, 0xB2, 0xBF}};
  ITypeLib* loaded = nullptr;
  ASSERT_EQ(LoadRegTypeLib(library, 1, 0, 0, &loaded), S_OK);
  loaded->Release();
}

TEST(Installed, TheRegisteredModuleBearsThePackagesVersion) {
  const std::optional<std::wstring> version = expected("QX_EXPECT_VERSION");
  ASSERT_TRUE(version);
  const std::optional<std::wstring> module = textValue(
      HKEY_CLASSES_ROOT, L"CLSID\\{E45BE4ED-706C-47CF-A0D0-DC909F9EF46F}\\InprocServer32", L"");
  ASSERT_TRUE(module);
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(module->c_str(), &ignored);
  ASSERT_GT(size, 0u) << *module;
  std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
  ASSERT_TRUE(GetFileVersionInfoW(module->c_str(), 0, size, data.data()));
  wchar_t* text = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\040904B0\\FileVersion",
                             reinterpret_cast<void**>(&text), &length));
  EXPECT_EQ(std::wstring(text), *version);
  VS_FIXEDFILEINFO* fixed = nullptr;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  const std::wstring numbers = std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." +
                               std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L"." +
                               std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." +
                               std::to_wstring(LOWORD(fixed->dwFileVersionLS));
  EXPECT_EQ(numbers, *version);
}

TEST(Installed, TheMailClientLoadsTheAddinAtItsStartFromThePackagesView) {
  EXPECT_EQ(numberValue(HKEY_LOCAL_MACHINE, kAddinKey, L"LoadBehavior"), 3u);
  EXPECT_EQ(textValue(HKEY_LOCAL_MACHINE, kAddinKey, L"FriendlyName"), L"Quendrilax");
  EXPECT_FALSE(textValue(HKEY_LOCAL_MACHINE, kAddinKey, L"Description").value_or(L"").empty());
  // A host of the other bitness must not load a module it cannot load.
  EXPECT_EQ(numberValue(HKEY_LOCAL_MACHINE, kAddinKey, L"LoadBehavior", kOtherView), std::nullopt);
}

std::optional<DWORD> expectedNumber(const char* variable) {
  const std::optional<std::wstring> text = expected(variable);
  if (!text) return std::nullopt;
  return static_cast<DWORD>(std::stoul(*text));
}

// The package is installed by an administrator for every user: the switches
// are the machine's, in the package's view, and nothing lands in the hive of
// whoever ran the install.
TEST(Installed, TheSwitchesAreTheMachinesAsGiven) {
  EXPECT_EQ(textValue(HKEY_LOCAL_MACHINE, kConfigKey, L"From"), expected("QX_EXPECT_FROM"));
  EXPECT_EQ(numberValue(HKEY_LOCAL_MACHINE, kConfigKey, L"debug"),
            expectedNumber("QX_EXPECT_DEBUG"));
  EXPECT_EQ(numberValue(HKEY_LOCAL_MACHINE, kConfigKey, L"debug", kOtherView), std::nullopt);
  EXPECT_EQ(textValue(HKEY_CURRENT_USER, kConfigKey, L"From"), std::nullopt);
  EXPECT_EQ(numberValue(HKEY_CURRENT_USER, kConfigKey, L"debug"), expectedNumber("QX_USER_DEBUG"));
}

// What the add-in's own configuration reading makes of it, through the module's
// registry adapter: a user without values of their own gets the machine's; a
// user's own "debug" goes first.
TEST(Installed, TheAddinReadsTheMachinesSwitchesWhereTheUserHasNone) {
  qx::win32::RegistryWin registry;
  qx::win32::CodePageWin codePage;
  qx::ConfigurationStore store(registry, codePage);
  const qx::GlobalSwitches switches = store.readGlobalSwitches();
  const std::optional<std::wstring> from = expected("QX_EXPECT_FROM");
  ASSERT_EQ(switches.senderName.has_value(), from.has_value());
  if (from) {
    EXPECT_EQ(std::wstring(switches.senderName->begin(), switches.senderName->end()), *from);
  }
  const std::optional<DWORD> debug =
      expectedNumber(std::getenv("QX_USER_DEBUG") ? "QX_USER_DEBUG" : "QX_EXPECT_DEBUG");
  EXPECT_EQ(switches.debug, debug == 1u);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (FAILED(OleInitialize(nullptr))) return 2;
  int result = RUN_ALL_TESTS();
  OleUninitialize();
  return result;
}

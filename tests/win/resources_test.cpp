// The module's resources against the add-in's own definitions: every message
// of the message table in the three string tables, the dialog templates
// control by control, the art, the version and the type library.
#include <windows.h>

#include <gtest/gtest.h>
#include <oleauto.h>

#include <cstring>
#include <cwctype>
#include <string>
#include <vector>

#include "basicsync/progress_dialog.h"
#include "common/messages.h"
#include "ui/folder_page_template.h"
#include "win/com_ids.h"

namespace qx::wintest {
namespace {

// The test program carries the same resources as the module.
HMODULE resources() { return GetModuleHandleW(nullptr); }

std::wstring moduleFile() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring text(path);
  return text.substr(0, text.find_last_of(L'\\') + 1) + L"Quendrilax.dll";
}

// String `id` from the table of exactly `language`, or none.
std::optional<std::u16string> tableString(int id, LANGID language) {
  HRSRC found =
      FindResourceExW(resources(), MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(id / 16 + 1), language);
  if (!found) return std::nullopt;
  const auto* p = static_cast<const char16_t*>(LockResource(LoadResource(resources(), found)));
  for (int i = 0; i < id % 16; ++i) p += 1 + *p;
  return std::u16string(p + 1, *p);
}

TEST(Resources, TheStringTablesHoldTheMessageTable) {
  struct Table {
    LANGID resourceLanguage;
    LangId addinLanguage;
  };
  const Table tables[] = {{MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), lang::kEnglishUs},
                          {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), lang::kGerman},
                          {MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH_MODERN), lang::kSpanish}};
  ASSERT_FALSE(messageIds().empty());
  for (const Table& table : tables) {
    for (int id : messageIds()) {
      EXPECT_EQ(tableString(id, table.resourceLanguage),
                std::u16string(loadMessage(table.addinLanguage, id)))
          << "message " << id << " language " << table.resourceLanguage;
    }
  }
  EXPECT_EQ(tableString(1237, MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN)),
            std::u16string(u"Um Quendrilax mit Outlook XP benutzen zu können, muß Office SP3 "
                           u"installiert sein."));
}

// A dialog resource read back into the port's form.
class TemplateReader {
 public:
  explicit TemplateReader(const void* data) : p_(static_cast<const std::uint8_t*>(data)) {}

  DialogTemplate read(int id) {
    DialogTemplate result;
    result.id = id;
    EXPECT_EQ(word(), 1);       // version
    EXPECT_EQ(word(), 0xFFFF);  // extended
    dword();                    // help id
    result.exStyle = dword();
    result.style = dword();
    const int count = word();
    number();
    number();
    result.width = number();
    result.height = number();
    nameOrOrdinal();  // menu
    nameOrOrdinal();  // class
    result.caption = text();
    if (result.style & DS_SETFONT) {
      result.fontSize = word();
      word();
      word();
      result.fontName = text();
    }
    for (int i = 0; i < count; ++i) {
      align();
      DialogControl control;
      dword();  // help id
      exStyles.push_back(dword());
      control.style = dword();
      control.x = number();
      control.y = number();
      control.width = number();
      control.height = number();
      control.id = static_cast<std::int32_t>(dword());
      control.windowClass = nameOrOrdinal(true);
      control.text = nameOrOrdinal();
      p_ += word();  // creation data
      result.controls.push_back(control);
    }
    return result;
  }
  std::vector<std::uint32_t> exStyles;

 private:
  std::uint16_t word() {
    std::uint16_t value;
    std::memcpy(&value, p_, 2);
    p_ += 2;
    return value;
  }
  std::uint32_t dword() {
    std::uint32_t value;
    std::memcpy(&value, p_, 4);
    p_ += 4;
    return value;
  }
  int number() { return static_cast<std::int16_t>(word()); }
  void align() {
    while (reinterpret_cast<std::uintptr_t>(p_) % 4) ++p_;
  }
  std::u16string text() {
    std::u16string out;
    for (char16_t c; (c = word()) != 0;) out += c;
    return out;
  }
  std::u16string nameOrOrdinal(bool isClass = false) {
    std::uint16_t first;
    std::memcpy(&first, p_, 2);
    if (first == 0xFFFF) {
      p_ += 2;
      const std::uint16_t ordinal = word();
      if (isClass) {
        static const char16_t* kAtoms[] = {u"BUTTON",  u"EDIT",      u"STATIC",
                                           u"LISTBOX", u"SCROLLBAR", u"COMBOBOX"};
        if (ordinal >= 0x80 && ordinal <= 0x85) return kAtoms[ordinal - 0x80];
      }
      return u"#" + [](int n) {
        std::u16string digits;
        for (char c : std::to_string(n)) digits += static_cast<char16_t>(c);
        return digits;
      }(ordinal);
    }
    return text();
  }
  const std::uint8_t* p_;
};

std::u16string upper(std::u16string text) {
  for (char16_t& c : text) c = static_cast<char16_t>(std::towupper(c));
  return text;
}

void expectSameTemplate(const DialogTemplate& expected) {
  SCOPED_TRACE("template " + std::to_string(expected.id));
  HRSRC found = FindResourceW(resources(), MAKEINTRESOURCEW(expected.id), MAKEINTRESOURCEW(5));
  ASSERT_NE(found, nullptr);
  TemplateReader reader(LockResource(LoadResource(resources(), found)));
  DialogTemplate actual = reader.read(expected.id);
  EXPECT_EQ(actual.style, expected.style);
  EXPECT_EQ(actual.exStyle, expected.exStyle);
  EXPECT_EQ(actual.caption, expected.caption);
  EXPECT_EQ(actual.width, expected.width);
  EXPECT_EQ(actual.height, expected.height);
  EXPECT_EQ(actual.fontName, expected.fontName);
  EXPECT_EQ(actual.fontSize, expected.fontSize);
  ASSERT_EQ(actual.controls.size(), expected.controls.size());
  for (std::size_t i = 0; i < expected.controls.size(); ++i) {
    const DialogControl& a = actual.controls[i];
    const DialogControl& e = expected.controls[i];
    SCOPED_TRACE("control " + std::to_string(i) + " id " + std::to_string(e.id));
    EXPECT_EQ(a.id, e.id);
    EXPECT_EQ(upper(a.windowClass), upper(e.windowClass));
    EXPECT_EQ(a.text, e.text);
    EXPECT_EQ(a.x, e.x);
    EXPECT_EQ(a.y, e.y);
    EXPECT_EQ(a.width, e.width);
    EXPECT_EQ(a.height, e.height);
    // The port's template has no extended styles per control: the picture's
    // client edge travels there as a sunken static.
    std::uint32_t style = a.style;
    if (reader.exStyles[i] & WS_EX_CLIENTEDGE) style |= SS_SUNKEN;
    EXPECT_EQ(style, e.style) << std::hex << a.style << " / " << e.style;
  }
}

TEST(Resources, TheDialogTemplatesAreTheAddinsTemplates) {
  expectSameTemplate(progressTemplate());
  expectSameTemplate(folderPageTemplate());
  expectSameTemplate(emptyPageTemplate());
}

TEST(Resources, IconAndBitmapsHaveTheirSizes) {
  for (int size : {16, 32, 48, 128}) {
    HICON icon = static_cast<HICON>(
        LoadImageW(resources(), MAKEINTRESOURCEW(225), IMAGE_ICON, size, size, 0));
    ASSERT_NE(icon, nullptr) << size;
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP bitmap{};
    GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, size);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
  struct Expected {
    int id, width, height;
  };
  for (Expected e : {Expected{118, 16, 15}, Expected{122, 16, 15}, Expected{227, 128, 128}}) {
    HBITMAP handle = static_cast<HBITMAP>(
        LoadImageW(resources(), MAKEINTRESOURCEW(e.id), IMAGE_BITMAP, 0, 0, 0));
    ASSERT_NE(handle, nullptr) << e.id;
    BITMAP bitmap{};
    GetObjectW(handle, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, e.width) << e.id;
    EXPECT_EQ(bitmap.bmHeight, e.height) << e.id;
    DeleteObject(handle);
  }
}

TEST(Resources, TheModuleNamesItselfAndSelfRegisters) {
  const std::wstring file = moduleFile();
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<std::uint8_t> data(size);
  ASSERT_TRUE(GetFileVersionInfoW(file.c_str(), 0, size, data.data()));
  for (auto [key, expected] :
       {std::pair{L"\\StringFileInfo\\040904B0\\ProductName", L"Quendrilax"},
        std::pair{L"\\StringFileInfo\\040904B0\\OriginalFilename", L"Quendrilax.dll"}}) {
    wchar_t* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), key, reinterpret_cast<void**>(&value), &length));
    EXPECT_STREQ(value, expected);
  }
  void* selfRegister = nullptr;
  UINT length = 0;
  EXPECT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\040904B0\\OLESelfRegister",
                             &selfRegister, &length));
}

TEST(Resources, TheTypeLibraryDescribesTheThreeClassesAndNotTheHostsInterfaces) {
  ITypeLib* library = nullptr;
  ASSERT_EQ(LoadTypeLibEx(moduleFile().c_str(), REGKIND_NONE, &library), S_OK);
  BSTR name = nullptr;
  ASSERT_EQ(library->GetDocumentation(-1, &name, nullptr, nullptr, nullptr), S_OK);
  EXPECT_STREQ(name, L"CorvessaLib");
  SysFreeString(name);
  TLIBATTR* attributes = nullptr;
  ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
  EXPECT_TRUE(IsEqualGUID(attributes->guid, LIBID_CorvessaLib));
  library->ReleaseTLibAttr(attributes);
  for (const GUID* id : {&CLSID_Connect, &CLSID_OLFoldersPropPage, &CLSID_PropPageEmpty,
                         &IID_IOLFoldersPropPage, &IID_IPropPageEmpty}) {
    ITypeInfo* info = nullptr;
    EXPECT_EQ(library->GetTypeInfoOfGuid(*id, &info), S_OK);
    if (info) info->Release();
  }
  // The host's interfaces are described apart, in a library that is never
  // registered: registering this one must not touch their keys.
  for (const GUID* id : {&IID__IDTExtensibility2, &IID_PropertyPage}) {
    ITypeInfo* info = nullptr;
    EXPECT_EQ(library->GetTypeInfoOfGuid(*id, &info), TYPE_E_ELEMENTNOTFOUND);
    if (info) info->Release();
  }
  library->Release();
  ASSERT_EQ(LoadTypeLibEx((moduleFile() + L"\\2").c_str(), REGKIND_NONE, &library), S_OK);
  for (const GUID* id : {&IID__IDTExtensibility2, &IID_PropertyPage}) {
    ITypeInfo* info = nullptr;
    EXPECT_EQ(library->GetTypeInfoOfGuid(*id, &info), S_OK);
    if (info) info->Release();
  }
  library->Release();
}

}  // namespace
}  // namespace qx::wintest

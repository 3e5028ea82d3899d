#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/reg_file.h"
#include "sim/registry_sim.h"

namespace qx::sim {
namespace {

constexpr std::string_view kConfig = "Software\\Vantrosse\\Quendrilax\\Config";

std::vector<std::uint8_t> bytes(std::string_view text) { return {text.begin(), text.end()}; }

// The same text as UTF-16LE with a byte-order mark and CR LF line ends, as the
// host's export writes it. `utf8` holds only characters below U+0800.
std::string asUtf16(std::string_view utf8) {
  std::string out = "\xFF\xFE";
  auto put = [&](char16_t c) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  };
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c == '\n') put(u'\r');
    if (c < 0x80) {
      put(c);
    } else {
      put(static_cast<char16_t>((c & 0x1F) << 6 | (utf8[++i] & 0x3F)));
    }
  }
  return out;
}

class RegFileTest : public ::testing::Test {
 protected:
  Faults faults;
  RegistrySim registry{faults};
};

const char kHandWritten[] =
    "Windows Registry Editor Version 5.00\n"
    "\n"
    "; prepared by hand\n"
    "[HKEY_CURRENT_USER\\Software\\Vantrosse\\Quendrilax\\Config]\n"
    "\"From\"=\"J\xC3\xB6rg Wei\xC3\x9F <j@x.de>\"\n"
    "\"debug\"=dword:00000001\n"
    "@=\"a \\\"quoted\\\" \\\\ text\"\n"
    "\"Path\"=hex(2):25,00,41,00,50,00,50,00,44,00,41,00,54,00,41,00,25,00,5c,00,fc,\\\n"
    "  00,00,00\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software\\Vantrosse\\Quendrilax\\Folders\\00AB\\Users\\m\xC3\xBCller@x.de]"
    "\n";

void expectHandWrittenContent(const RegistrySim& registry) {
  auto from = registry.value(reg::kCurrentUser, kConfig, "from");
  ASSERT_TRUE(from);
  EXPECT_EQ(from->type, reg::kSz);
  EXPECT_EQ(from->data, bytes(std::string_view("J\xF6rg Wei\xDF <j@x.de>\0", 19)));
  auto debug = registry.value(reg::kCurrentUser, kConfig, "debug");
  ASSERT_TRUE(debug);
  EXPECT_EQ(debug->type, reg::kDword);
  EXPECT_EQ(debug->data, bytes(std::string_view("\1\0\0\0", 4)));
  auto standard = registry.value(reg::kCurrentUser, kConfig, "");
  ASSERT_TRUE(standard);
  EXPECT_EQ(standard->data, bytes(std::string_view("a \"quoted\" \\ text\0", 18)));
  auto path = registry.value(reg::kCurrentUser, kConfig, "Path");
  ASSERT_TRUE(path);
  EXPECT_EQ(path->type, reg::kExpandSz);
  EXPECT_EQ(path->data, bytes(std::string_view("%APPDATA%\\\xFC\0", 12)));
  EXPECT_EQ(registry.subkeyNames(reg::kCurrentUser,
                                 "Software\\Vantrosse\\Quendrilax\\Folders\\00AB\\Users"),
            std::vector<std::string>{"m\xFCller@x.de"});
}

TEST_F(RegFileTest, LoadsAHandWrittenUtf8File) {
  ASSERT_TRUE(registry.loadRegFile(kHandWritten).has_value());
  expectHandWrittenContent(registry);
}

TEST_F(RegFileTest, LoadsTheSameFileAsUtf16WithByteOrderMarkAndAsUtf8WithMark) {
  auto loaded = registry.loadRegFile(asUtf16(kHandWritten));
  ASSERT_TRUE(loaded.has_value()) << loaded.error().line << ": " << loaded.error().message;
  expectHandWrittenContent(registry);

  RegistrySim other(faults);
  ASSERT_TRUE(other.loadRegFile(std::string("\xEF\xBB\xBF") + kHandWritten).has_value());
  expectHandWrittenContent(other);
}

TEST_F(RegFileTest, WritesTheExportFormat) {
  registry.putString(reg::kCurrentUser, kConfig, "From", "Gr\xFC\xDF \"Chef\" C:\\x");
  registry.putDword(reg::kCurrentUser, kConfig, "debug", 0xA1);
  registry.putString(reg::kCurrentUser, kConfig, "", "std");
  registry.putString(reg::kCurrentUser, kConfig, "Env", "%T%", reg::kExpandSz);
  registry.putKey(reg::kCurrentUser, "Software\\Empty");
  std::string expected =
      "Windows Registry Editor Version 5.00\n"
      "\n"
      "[HKEY_CURRENT_USER\\Software]\n"
      "\n"
      "[HKEY_CURRENT_USER\\Software\\Empty]\n"
      "\n"
      "[HKEY_CURRENT_USER\\Software\\Vantrosse]\n"
      "\n"
      "[HKEY_CURRENT_USER\\Software\\Vantrosse\\Quendrilax]\n"
      "\n"
      "[HKEY_CURRENT_USER\\Software\\Vantrosse\\Quendrilax\\Config]\n"
      "\"From\"=\"Gr\xC3\xBC\xC3\x9F \\\"Chef\\\" C:\\\\x\"\n"
      "\"debug\"=dword:000000a1\n"
      "@=\"std\"\n"
      "\"Env\"=hex(2):25,00,54,00,25,00,00,00\n"
      "\n";
  EXPECT_EQ(registry.saveRegFile(RegFileEncoding::kUtf8), expected);
  EXPECT_EQ(registry.saveRegFile(RegFileEncoding::kUtf16Le), asUtf16(expected));
}

TEST_F(RegFileTest, LongHexDataIsWrappedAndReadBack) {
  std::vector<std::uint8_t> data(100);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  registry.putValue(reg::kCurrentUser, "B", "blob", reg::kBinary, data);
  std::string text = registry.saveRegFile(RegFileEncoding::kUtf8);
  std::size_t start = 0;
  int lines = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
    ++lines;
  }
  EXPECT_GT(lines, 5);
  RegistrySim copy(faults);
  ASSERT_TRUE(copy.loadRegFile(text).has_value());
  EXPECT_EQ(copy.value(reg::kCurrentUser, "B", "blob")->data, data);
}

TEST_F(RegFileTest, EveryValueSurvivesARoundTripInBothEncodings) {
  struct Case {
    const char* name;
    std::uint32_t type;
    std::string data;
  };
  const Case cases[] = {
      {"sz", reg::kSz, std::string("\xC4\xD6\xDC\xE4\xF6\xFC\xDF \x80 \x9F\0", 13)},
      {"sz unterminated", reg::kSz, "no end"},
      {"sz two terminators", reg::kSz, std::string("x\0\0", 3)},
      {"sz line break", reg::kSz, std::string("a\r\nb\0", 5)},
      {"sz empty", reg::kSz, ""},
      {"expand", reg::kExpandSz, std::string("%APPDATA%\\Vantrosse\\\xE9\0", 22)},
      {"expand unterminated", reg::kExpandSz, "%X%"},
      {"multi", reg::kMultiSz, std::string("a\0b\xFC\0\0", 6)},
      {"dword", reg::kDword, std::string("\x78\x56\x34\x12", 4)},
      {"dword short", reg::kDword, std::string("\1\0", 2)},
      {"qword", reg::kQword, std::string("\1\2\3\4\5\6\7\x08", 8)},
      {"binary", reg::kBinary, std::string("\0\xFF\x81\x8D\x8F\x90\x9D", 7)},
      {"binary empty", reg::kBinary, ""},
      {"none", reg::kNone, "n"},
      {"odd type", 0x7F, "?"},
      {"all unassigned", reg::kSz, std::string("\x81\x8D\x8F\x90\x9D\0", 6)},
      {"quote\"and\\back", reg::kSz, std::string("v\0", 2)},
      {"", reg::kSz, std::string("default\0", 8)},
  };
  for (const Case& c : cases) {
    registry.putValue(reg::kCurrentUser, "Software\\K\xE4y", c.name, c.type, bytes(c.data));
  }
  registry.putKey(reg::kClassesRoot, "Quendrilax.PropPageEmpty\\CurVer");
  for (RegFileEncoding encoding : {RegFileEncoding::kUtf8, RegFileEncoding::kUtf16Le}) {
    std::string text = registry.saveRegFile(encoding);
    RegistrySim copy(faults);
    auto loaded = copy.loadRegFile(text);
    ASSERT_TRUE(loaded.has_value()) << loaded.error().line << ": " << loaded.error().message;
    for (const Case& c : cases) {
      auto value = copy.value(reg::kCurrentUser, "Software\\K\xE4y", c.name);
      ASSERT_TRUE(value) << c.name;
      EXPECT_EQ(value->type, c.type) << c.name;
      EXPECT_EQ(value->data, bytes(c.data)) << c.name;
    }
    EXPECT_TRUE(copy.hasKey(reg::kClassesRoot, "Quendrilax.PropPageEmpty\\CurVer"));
    EXPECT_EQ(copy.saveRegFile(encoding), text);
  }
}

TEST_F(RegFileTest, DeletionFormsRemoveKeysAndValues) {
  registry.putString(reg::kCurrentUser, "Software\\Old\\Deep", "x", "1");
  registry.putString(reg::kCurrentUser, "Software\\Keep", "gone", "1");
  registry.putString(reg::kCurrentUser, "Software\\Keep", "stays", "1");
  auto loaded = registry.loadRegFile(
      "Windows Registry Editor Version 5.00\n\n"
      "[-HKEY_CURRENT_USER\\Software\\old]\n\n"
      "[HKEY_CURRENT_USER\\Software\\Keep]\n"
      "\"GONE\"=-\n"
      "\"never there\"=-\n"
      "[-HKEY_CURRENT_USER\\Software\\Missing]\n");
  ASSERT_TRUE(loaded.has_value()) << loaded.error().message;
  EXPECT_FALSE(registry.hasKey(reg::kCurrentUser, "Software\\Old"));
  EXPECT_FALSE(registry.value(reg::kCurrentUser, "Software\\Keep", "gone"));
  EXPECT_TRUE(registry.value(reg::kCurrentUser, "Software\\Keep", "stays"));
}

TEST_F(RegFileTest, OlderFormatHoldsAnsiBytesInHexStrings) {
  // REGEDIT4 files keep string data as single bytes.
  ASSERT_TRUE(registry
                  .loadRegFile("REGEDIT4\n\n[HKCU\\A]\n\"e\"=hex(2):25,58,25,fc,00\n"
                               "\"s\"=\"plain\"\n")
                  .has_value());
  EXPECT_EQ(registry.value(reg::kCurrentUser, "A", "e")->data,
            bytes(std::string_view("%X%\xFC\0", 5)));
  EXPECT_EQ(registry.value(reg::kCurrentUser, "A", "s")->data,
            bytes(std::string_view("plain\0", 6)));
}

TEST_F(RegFileTest, AnUnparsableFileReportsItsLineAndLoadsNothing) {
  const std::string header = "Windows Registry Editor Version 5.00\n\n";
  const std::string section = "[HKEY_CURRENT_USER\\Software\\New]\n\"ok\"=dword:1\n";  // lines 3-4
  struct Case {
    const char* what;
    std::string text;
    int line;
  };
  const Case cases[] = {
      {"no header", "[HKEY_CURRENT_USER\\A]\n", 1},
      {"wrong version", "Windows Registry Editor Version 6.00\n" + section, 1},
      {"empty file", "", 1},
      {"nine dword digits", header + section + "\"x\"=dword:123456789\n", 5},
      {"dword without digits", header + section + "\"x\"=dword:\n", 5},
      {"bad hex byte", header + section + "\"x\"=hex:01,zz,02\n", 5},
      {"three-digit hex byte", header + section + "\"x\"=hex:001\n", 5},
      {"hex without colon", header + section + "\"x\"=hex(2)00,00\n", 5},
      {"odd UTF-16 string bytes", header + section + "\"x\"=hex(2):41,00,42\n", 5},
      {"bad continued hex", header + section + "\"x\"=hex:01,\\\n  0g\n\"y\"=dword:1\n", 5},
      {"continuation at the end", header + section + "\"x\"=hex:01,\\\n", 5},
      {"missing bracket", header + section + "[HKEY_CURRENT_USER\\B\n", 5},
      {"text after bracket", header + section + "[HKEY_CURRENT_USER\\B] x\n", 5},
      {"unknown root", header + section + "[HKEY_USERS\\Software]\n", 5},
      {"empty key name", header + section + "[HKEY_CURRENT_USER\\A\\\\B]\n", 5},
      {"key name too long", header + section + "[HKCU\\" + std::string(256, 'k') + "]\n", 5},
      {"root deletion", header + section + "[-HKEY_CURRENT_USER]\n", 5},
      {"value before any key", header + "\"x\"=\"y\"\n", 3},
      {"unterminated text", header + section + "\"x\"=\"abc\n", 5},
      {"single backslash", header + section + "\"x\"=\"C:\\Temp\"\n", 5},
      {"missing equals", header + section + "\"x\" \"y\"\n", 5},
      {"unknown data", header + section + "\"x\"=string:abc\n", 5},
      {"text after closing quote", header + section + "\"x\"=\"a\"b\n", 5},
      {"stray line", header + section + "from=me\n", 5},
      {"value in deleted key", header + section + "[-HKCU\\Z]\n\"x\"=\"y\"\n", 6},
      {"invalid UTF-8", header + section + "\"x\"=\"\xC3\x28\"\n", 5},
      {"overlong UTF-8", header + section + "\"x\"=\"\xC0\xAF\"\n", 5},
      {"big-endian UTF-16", "\xFE\xFF\0W", 1},
  };
  registry.putString(reg::kCurrentUser, "Software\\Before", "v", "1");
  const std::string before = registry.saveRegFile(RegFileEncoding::kUtf8);
  for (const Case& c : cases) {
    auto loaded = registry.loadRegFile(c.text);
    ASSERT_FALSE(loaded.has_value()) << c.what;
    EXPECT_EQ(loaded.error().line, c.line) << c.what << ": " << loaded.error().message;
    EXPECT_FALSE(loaded.error().message.empty()) << c.what;
    EXPECT_EQ(registry.saveRegFile(RegFileEncoding::kUtf8), before) << c.what;
  }
  // The same lines in UTF-16 count the same.
  auto loaded = registry.loadRegFile(asUtf16(header + section + "\"x\"=dword:xyz\n"));
  ASSERT_FALSE(loaded.has_value());
  EXPECT_EQ(loaded.error().line, 5);
}

TEST_F(RegFileTest, ParserReportsOperationsInFileOrder) {
  auto ops = parseRegFile(
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CLASSES_ROOT\\Corvessa.Connect]\r\n"
      "@=\"Connect Class\"\r\n"
      "[-HKEY_CURRENT_USER\\X]\r\n");
  ASSERT_TRUE(ops.has_value());
  ASSERT_EQ(ops->size(), 3u);
  EXPECT_EQ((*ops)[0].kind, RegFileOp::Kind::kCreateKey);
  EXPECT_EQ((*ops)[0].hive, reg::kClassesRoot);
  EXPECT_EQ((*ops)[0].path, "Corvessa.Connect");
  EXPECT_EQ((*ops)[1].kind, RegFileOp::Kind::kSetValue);
  EXPECT_EQ((*ops)[1].valueName, "");
  EXPECT_EQ((*ops)[1].data, bytes(std::string_view("Connect Class\0", 14)));
  EXPECT_EQ((*ops)[2].kind, RegFileOp::Kind::kDeleteKey);
  EXPECT_EQ((*ops)[2].hive, reg::kCurrentUser);
}

}  // namespace
}  // namespace qx::sim

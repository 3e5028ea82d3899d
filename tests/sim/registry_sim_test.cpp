#include "sim/registry_sim.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace qx::sim {
namespace {

std::span<const std::uint8_t> bytesOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

class RegistrySimTest : public ::testing::Test {
 protected:
  RegKey open(std::string_view path, std::uint32_t access = reg::kKeyRead) {
    RegKey key = reg::kNoKey;
    EXPECT_EQ(registry.openKey(reg::kCurrentUser, path, access, key), win::kSuccess) << path;
    return key;
  }
  RegKey create(std::string_view path) {
    RegKey key = reg::kNoKey;
    EXPECT_EQ(registry.createKey(reg::kCurrentUser, path, reg::kKeyAllAccess, key), win::kSuccess)
        << path;
    return key;
  }
  // All subkey names through the port, as a reader with a 260-character
  // buffer gets them.
  std::vector<std::string> enumerate(RegKey key) {
    std::vector<std::string> names;
    char buffer[260];
    for (std::uint32_t i = 0;; ++i) {
      std::uint32_t length = sizeof buffer;
      if (registry.enumKey(key, i, buffer, length) != win::kSuccess) break;
      names.emplace_back(buffer, length);
    }
    return names;
  }

  Faults faults;
  RegistrySim registry{faults};
};

TEST_F(RegistrySimTest, NamesMatchWithoutRegardToCaseAndKeepTheirFirstSpelling) {
  registry.putString(reg::kCurrentUser, "Software\\Vantrosse\\Quendrilax\\Config", "From", "x");
  struct Case {
    std::string_view path;
    bool exists;
  };
  const Case cases[] = {
      {"SOFTWARE\\vantrosse\\QUENDRILAX\\config", true},
      {"software\\Vantrosse\\Quendrilax\\Config\\", true},
      {"Software\\Vantrosse\\Quendrilax\\Configs", false},
      {"Software\\Vantrosse\\Quendrilax\\Conf", false},
  };
  for (const Case& c : cases) {
    RegKey key = reg::kNoKey;
    EXPECT_EQ(registry.openKey(reg::kCurrentUser, c.path, reg::kKeyRead, key),
              c.exists ? win::kSuccess : win::kFileNotFound)
        << c.path;
    if (c.exists) registry.closeKey(key);
  }

  // Creating with another spelling opens the existing key; its name stays.
  RegKey key = create("software\\VANTROSSE");
  registry.closeKey(key);
  EXPECT_EQ(registry.subkeyNames(reg::kCurrentUser, "Software"),
            std::vector<std::string>{"Vantrosse"});

  // Value names too: setting "FROM" replaces "From" and keeps its spelling.
  key = open("Software\\Vantrosse\\Quendrilax\\Config", reg::kKeyAllAccess);
  ASSERT_EQ(registry.setValue(key, "FROM", reg::kSz, bytesOf(std::string_view("y", 2))),
            win::kSuccess);
  registry.closeKey(key);
  std::string saved = registry.saveRegFile(RegFileEncoding::kUtf8);
  EXPECT_NE(saved.find("\"From\"=\"y\""), std::string::npos) << saved;
}

TEST_F(RegistrySimTest, AccentedLettersFoldLikeTheHostsUpperCase) {
  // Pairs that name the same key: Windows-1252 lower and upper case letters.
  const std::pair<std::string_view, std::string_view> same[] = {
      {"\xE4rger", "\xC4RGER"},  // ä / Ä
      {"\xFE", "\xDE"},          // thorn
      {"\x9A", "\x8A"},          // s caron
      {"\x9C", "\x8C"},          // oe
      {"\x9E", "\x8E"},          // z caron
      {"\xFF", "\x9F"},          // y diaeresis
  };
  for (auto [lower, upper] : same) {
    registry.putKey(reg::kCurrentUser, std::string("K\\") + std::string(lower));
    EXPECT_TRUE(registry.hasKey(reg::kCurrentUser, std::string("K\\") + std::string(upper)))
        << upper;
  }
  // Not letters of one another: the division sign and the multiplication sign,
  // sharp s and "SS".
  registry.putKey(reg::kCurrentUser, "L\\\xF7");
  EXPECT_FALSE(registry.hasKey(reg::kCurrentUser, "L\\\xD7"));
  registry.putKey(reg::kCurrentUser,
                  "L\\stra\xDF"
                  "e");
  EXPECT_FALSE(registry.hasKey(reg::kCurrentUser, "L\\STRASSE"));
}

TEST_F(RegistrySimTest, SubkeysEnumerateSortedWithoutRegardToCase) {
  for (std::string_view name :
       {"zeta", "Alpha", "beta", "ALPHA2", "b", "_under", "\xC4rger", "Zulu", "a.b", "10", "9"}) {
    registry.putKey(reg::kCurrentUser, std::string("Folders\\") + std::string(name));
  }
  RegKey key = open("Folders");
  // By upper-case UTF-16: '.' < digits < letters < '_' < 'Ä' (U+00C4).
  EXPECT_EQ(enumerate(key),
            (std::vector<std::string>{"10", "9", "a.b", "Alpha", "ALPHA2", "b", "beta", "zeta",
                                      "Zulu", "_under", "\xC4rger"}));
  // Deleting and re-adding keeps the order by name, not by creation.
  registry.removeKey(reg::kCurrentUser, "Folders\\Alpha");
  registry.putKey(reg::kCurrentUser, "Folders\\alpha");
  EXPECT_EQ(enumerate(key)[3], "alpha");
  registry.closeKey(key);
}

TEST_F(RegistrySimTest, EnumerationNeedsRoomForTheTerminator) {
  registry.putKey(reg::kCurrentUser, "K\\abcd");
  registry.putKey(reg::kCurrentUser, "K\\b");
  RegKey key = open("K");
  char buffer[8] = {};
  std::uint32_t length = 4;  // "abcd" fits only without its terminator
  EXPECT_EQ(registry.enumKey(key, 0, buffer, length), win::kMoreData);
  length = 5;
  ASSERT_EQ(registry.enumKey(key, 0, buffer, length), win::kSuccess);
  EXPECT_EQ(length, 4u);
  EXPECT_STREQ(buffer, "abcd");
  length = 8;
  EXPECT_EQ(registry.enumKey(key, 2, buffer, length), win::kNoMoreItems);
  registry.closeKey(key);
}

TEST_F(RegistrySimTest, ALongNameEndsAReadersEnumeration) {
  registry.allowLongKeyNames(true);
  registry.putKey(reg::kCurrentUser, "Users\\a@x.de");
  registry.putKey(reg::kCurrentUser, "Users\\b" + std::string(259, 'x'));  // 260 characters
  registry.putKey(reg::kCurrentUser, "Users\\c@x.de");
  RegKey key = open("Users");
  EXPECT_EQ(enumerate(key), std::vector<std::string>{"a@x.de"});
  registry.closeKey(key);
}

TEST_F(RegistrySimTest, KeyNamesLongerThan255AreRefused) {
  RegKey key = reg::kNoKey;
  EXPECT_EQ(
      registry.createKey(reg::kCurrentUser, "A\\" + std::string(256, 'n'), reg::kKeyAllAccess, key),
      win::kInvalidParameter);
  EXPECT_FALSE(registry.hasKey(reg::kCurrentUser, "A")) << "a refused call creates nothing";
  ASSERT_EQ(
      registry.createKey(reg::kCurrentUser, "A\\" + std::string(255, 'n'), reg::kKeyAllAccess, key),
      win::kSuccess);
  registry.closeKey(key);
}

struct RawCase {
  const char* what;
  std::uint32_t type;
  std::string stored;
};

TEST_F(RegistrySimTest, ValuesComeBackAsStoredBytesAndType) {
  const RawCase cases[] = {
      {"terminated string", reg::kSz, std::string("Hans M\xFCller\0", 12)},
      {"string without terminator", reg::kSz, "abc"},
      {"string with inner NUL", reg::kSz, std::string("a\0b\0", 4)},
      {"empty string", reg::kSz, ""},
      {"expand string", reg::kExpandSz, std::string("%APPDATA%\\x\0", 12)},
      {"dword of 3 bytes", reg::kDword, std::string("\1\0\0", 3)},
      {"binary", reg::kBinary, std::string("\xFF\0\x80", 3)},
      {"unknown type 0x1234", 0x1234, "zz"},
  };
  RegKey key = create("Raw");
  for (const RawCase& c : cases) {
    ASSERT_EQ(registry.setValue(key, c.what, c.type, bytesOf(c.stored)), win::kSuccess);
  }
  for (const RawCase& c : cases) {
    std::uint32_t type = 0;
    std::uint8_t buffer[64] = {};
    std::uint32_t size = sizeof buffer;
    ASSERT_EQ(registry.queryValue(key, c.what, &type, buffer, size), win::kSuccess) << c.what;
    EXPECT_EQ(type, c.type) << c.what;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), c.stored) << c.what;
  }
  registry.closeKey(key);
}

TEST_F(RegistrySimTest, TooSmallBufferGivesMoreDataWithTheNeededSize) {
  const std::string text = std::string(300, 'q') + '\0';
  registry.putString(reg::kCurrentUser, "Config", "From", std::string(300, 'q'));
  RegKey key = open("Config");
  std::uint8_t buffer[260];
  std::uint32_t size = sizeof buffer;
  std::uint32_t type = 0;
  EXPECT_EQ(registry.queryValue(key, "From", &type, buffer, size), win::kMoreData);
  EXPECT_EQ(size, 301u);
  EXPECT_EQ(type, reg::kSz);

  // Without a buffer only type and size come back.
  size = 0;
  EXPECT_EQ(registry.queryValue(key, "From", nullptr, {}, size), win::kSuccess);
  EXPECT_EQ(size, 301u);

  // The size the caller states counts, not the span's.
  std::vector<std::uint8_t> large(400);
  size = 300;
  EXPECT_EQ(registry.queryValue(key, "From", nullptr, large, size), win::kMoreData);
  size = 301;
  EXPECT_EQ(registry.queryValue(key, "From", nullptr, large, size), win::kSuccess);
  EXPECT_EQ(std::string(large.begin(), large.begin() + size), text);

  size = sizeof buffer;
  EXPECT_EQ(registry.queryValue(key, "missing", &type, buffer, size), win::kFileNotFound);
  registry.closeKey(key);
}

TEST_F(RegistrySimTest, AKeyOpenedForReadingCannotWrite) {
  registry.putDword(reg::kCurrentUser, "Folders\\E1", "used", 1);
  RegKey key = open("Folders\\E1");
  const std::uint8_t one[4] = {1, 0, 0, 0};
  EXPECT_EQ(registry.setValue(key, "isProcessed", reg::kDword, one), win::kAccessDenied);
  EXPECT_EQ(registry.deleteValue(key, "used"), win::kAccessDenied);
  EXPECT_EQ(registry.deleteTree(key, ""), win::kAccessDenied);
  RegKey child = reg::kNoKey;
  EXPECT_EQ(registry.createKey(key, "Users", reg::kKeyAllAccess, child), win::kAccessDenied);
  EXPECT_FALSE(registry.value(reg::kCurrentUser, "Folders\\E1", "isProcessed"));
  EXPECT_TRUE(registry.value(reg::kCurrentUser, "Folders\\E1", "used"));

  // A key with write access opened below it can write.
  ASSERT_EQ(registry.openKey(key, "", reg::kKeyAllAccess, child), win::kSuccess);
  EXPECT_EQ(registry.setValue(child, "isProcessed", reg::kDword, one), win::kSuccess);
  registry.closeKey(child);
  registry.closeKey(key);
}

TEST_F(RegistrySimTest, DeleteTreeRemovesTheSubtreeAndStalesItsHandles) {
  registry.putString(reg::kCurrentUser, "Folders\\E1", "ShareName", "Team");
  registry.putKey(reg::kCurrentUser, "Folders\\E1\\Users\\a@x.de");
  registry.putKey(reg::kCurrentUser, "Folders\\E2");
  RegKey users = open("Folders\\E1\\Users");
  RegKey folders = open("Folders", reg::kKeyAllAccess);

  EXPECT_EQ(registry.deleteTree(folders, "e1"), win::kSuccess);
  EXPECT_FALSE(registry.hasKey(reg::kCurrentUser, "Folders\\E1"));
  EXPECT_EQ(registry.subkeyNames(reg::kCurrentUser, "Folders"), std::vector<std::string>{"E2"});
  EXPECT_EQ(registry.deleteTree(folders, "E1"), win::kFileNotFound);

  char name[16];
  std::uint32_t length = sizeof name;
  EXPECT_EQ(registry.enumKey(users, 0, name, length), win::kKeyDeleted);
  EXPECT_EQ(registry.closeKey(users), win::kSuccess);

  // A key created again under the old name starts empty.
  registry.putKey(reg::kCurrentUser, "Folders\\E1");
  EXPECT_FALSE(registry.value(reg::kCurrentUser, "Folders\\E1", "ShareName"));

  // Without a subkey the key is emptied but stays.
  EXPECT_EQ(registry.deleteTree(folders, ""), win::kSuccess);
  EXPECT_TRUE(registry.hasKey(reg::kCurrentUser, "Folders"));
  EXPECT_TRUE(registry.subkeyNames(reg::kCurrentUser, "Folders").empty());
  registry.closeKey(folders);
}

TEST_F(RegistrySimTest, HandlesAreCountedAndClosedOnce) {
  registry.putKey(reg::kCurrentUser, "A");
  RegKey a = open("A");
  RegKey b = open("A");
  EXPECT_NE(a, b);
  EXPECT_EQ(registry.openHandles(), 2u);
  EXPECT_EQ(registry.closeKey(a), win::kSuccess);
  EXPECT_EQ(registry.closeKey(a), win::kInvalidHandle);
  EXPECT_EQ(registry.closeKey(reg::kCurrentUser), win::kSuccess);  // roots need no closing
  EXPECT_EQ(registry.openHandles(), 1u);
  std::uint32_t size = 0;
  EXPECT_EQ(registry.queryValue(a, "x", nullptr, {}, size), win::kInvalidHandle);
  registry.closeKey(b);
}

TEST_F(RegistrySimTest, TheTwoHivesAreSeparate) {
  registry.putString(reg::kClassesRoot, "Corvessa.Connect", "", "Connect Class");
  EXPECT_FALSE(registry.hasKey(reg::kCurrentUser, "Corvessa.Connect"));
  RegKey key = reg::kNoKey;
  ASSERT_EQ(registry.openKey(reg::kClassesRoot, "corvessa.connect", reg::kKeyRead, key),
            win::kSuccess);
  std::uint8_t buffer[32];
  std::uint32_t size = sizeof buffer;
  EXPECT_EQ(registry.queryValue(key, "", nullptr, buffer, size), win::kSuccess);
  EXPECT_EQ(size, 14u);
  registry.closeKey(key);
}

TEST_F(RegistrySimTest, EveryOperationCanBeMadeToFail) {
  registry.putDword(reg::kCurrentUser, "A\\B", "v", 1);
  RegKey key = open("A", reg::kKeyAllAccess);
  const std::uint8_t one[4] = {1, 0, 0, 0};
  char name[8];
  std::uint32_t length = sizeof name;
  std::uint32_t size = 0;
  RegKey other = reg::kNoKey;
  struct Case {
    const char* operation;
    std::function<WinError()> call;
  };
  const Case cases[] = {
      {"registry.openKey", [&] { return registry.openKey(key, "B", reg::kKeyRead, other); }},
      {"registry.createKey",
       [&] { return registry.createKey(key, "C", reg::kKeyAllAccess, other); }},
      {"registry.enumKey", [&] { return registry.enumKey(key, 0, name, length); }},
      {"registry.queryValue", [&] { return registry.queryValue(key, "v", nullptr, {}, size); }},
      {"registry.setValue", [&] { return registry.setValue(key, "v", reg::kDword, one); }},
      {"registry.deleteValue", [&] { return registry.deleteValue(key, "v"); }},
      {"registry.deleteTree", [&] { return registry.deleteTree(key, "B"); }},
      {"registry.closeKey", [&] { return registry.closeKey(key); }},
  };
  for (const Case& c : cases) {
    faults.fail(c.operation, win::kReadFault);
    EXPECT_EQ(c.call(), win::kReadFault) << c.operation;
  }
  // Nothing of the failed calls happened.
  EXPECT_TRUE(registry.hasKey(reg::kCurrentUser, "A\\B"));
  EXPECT_FALSE(registry.hasKey(reg::kCurrentUser, "A\\C"));
  EXPECT_EQ(registry.openHandles(), 1u);
  EXPECT_EQ(registry.closeKey(key), win::kSuccess);
}

}  // namespace
}  // namespace qx::sim

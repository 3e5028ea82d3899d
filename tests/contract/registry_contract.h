#pragma once
// The registry port's contract: what the add-in relies on of the ANSI registry
// functions, on the current user's hive, the classes root and the local
// machine's hive.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "contract/contract_support.h"
#include "platform/registry.h"

namespace qx::contract {

template <class Env>
class RegistryContract : public ::testing::Test {
 protected:
  static constexpr std::string_view kRoot = "Software\\QuendrilaxContract";
  RegistryContract() { registry().deleteTree(reg::kCurrentUser, kRoot); }
  ~RegistryContract() override {
    registry().deleteTree(reg::kCurrentUser, kRoot);
    registry().deleteTree(reg::kLocalMachine, machinePath());
  }
  static std::string machinePath() { return "Software\\QuendrilaxContractMachine"; }

  Registry& registry() { return env.registry(); }
  std::string path(std::string_view sub) { return std::string(kRoot) + "\\" + std::string(sub); }
  RegKey create(std::string_view sub, RegKey hive = reg::kCurrentUser) {
    RegKey key = reg::kNoKey;
    EXPECT_EQ(registry().createKey(hive, path(sub), reg::kKeyAllAccess, key), win::kSuccess) << sub;
    return key;
  }
  std::vector<std::string> enumerate(RegKey key) {
    std::vector<std::string> names;
    char buffer[260];
    for (std::uint32_t i = 0;; ++i) {
      std::uint32_t length = sizeof buffer;
      if (registry().enumKey(key, i, buffer, length) != win::kSuccess) break;
      names.emplace_back(buffer, length);
    }
    return names;
  }

  Env env;
};

TYPED_TEST_SUITE_P(RegistryContract);

TYPED_TEST_P(RegistryContract, KeysOpenWithoutRegardToCaseAndMissingOnesFail) {
  Registry& registry = this->registry();
  registry.closeKey(this->create("Config\\Folders"));
  RegKey key = reg::kNoKey;
  EXPECT_EQ(registry.openKey(reg::kCurrentUser, this->path("CONFIG\\folders"), reg::kKeyRead, key),
            win::kSuccess);
  EXPECT_EQ(registry.closeKey(key), win::kSuccess);
  EXPECT_EQ(registry.openKey(reg::kCurrentUser, this->path("Config\\Fold"), reg::kKeyRead, key),
            win::kFileNotFound);
  EXPECT_EQ(registry.openKey(reg::kCurrentUser, this->path("Missing\\Below"), reg::kKeyRead, key),
            win::kFileNotFound);
}

TYPED_TEST_P(RegistryContract, StringsComeBackAsStoredWithTheirSizes) {
  Registry& registry = this->registry();
  RegKey key = this->create("Values");
  ASSERT_EQ(registry.setValue(key, "ShareName", reg::kSz, bytesOf(std::string_view("Tasks\0", 6))),
            win::kSuccess);
  // Only type and size without a buffer.
  std::uint32_t type = reg::kNone, size = 0;
  ASSERT_EQ(registry.queryValue(key, "sharename", &type, {}, size), win::kSuccess);
  EXPECT_EQ(type, reg::kSz);
  EXPECT_EQ(size, 6u);
  // Too small a buffer: kMoreData and the size needed.
  std::uint8_t small[3];
  size = sizeof small;
  EXPECT_EQ(registry.queryValue(key, "ShareName", &type, small, size), win::kMoreData);
  EXPECT_EQ(size, 6u);
  std::uint8_t buffer[32] = {};
  size = sizeof buffer;
  ASSERT_EQ(registry.queryValue(key, "ShareName", nullptr, buffer, size), win::kSuccess);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), std::string("Tasks\0", 6));
  // Accented letters of the ANSI code page survive the round trip.
  ASSERT_EQ(registry.setValue(key, "From", reg::kSz, bytesOf(std::string_view("J\xFCrgen\0", 8))),
            win::kSuccess);
  size = sizeof buffer;
  ASSERT_EQ(registry.queryValue(key, "From", &type, buffer, size), win::kSuccess);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), std::string("J\xFCrgen\0", 8));
  registry.closeKey(key);
}

TYPED_TEST_P(RegistryContract, NumbersAndMissingValues) {
  Registry& registry = this->registry();
  RegKey key = this->create("Values");
  const std::uint32_t one = 1;
  ASSERT_EQ(registry.setValue(key, "used", reg::kDword,
                              {reinterpret_cast<const std::uint8_t*>(&one), sizeof one}),
            win::kSuccess);
  std::uint32_t read = 0, type = 0, size = sizeof read;
  ASSERT_EQ(
      registry.queryValue(key, "USED", &type, {reinterpret_cast<std::uint8_t*>(&read), 4}, size),
      win::kSuccess);
  EXPECT_EQ(type, reg::kDword);
  EXPECT_EQ(read, 1u);
  size = 4;
  EXPECT_EQ(registry.queryValue(key, "isProcessed", &type,
                                {reinterpret_cast<std::uint8_t*>(&read), 4}, size),
            win::kFileNotFound);
  EXPECT_EQ(registry.deleteValue(key, "isProcessed"), win::kFileNotFound);
  EXPECT_EQ(registry.deleteValue(key, "Used"), win::kSuccess);
  size = 4;
  EXPECT_EQ(
      registry.queryValue(key, "used", &type, {reinterpret_cast<std::uint8_t*>(&read), 4}, size),
      win::kFileNotFound);
  registry.closeKey(key);
}

TYPED_TEST_P(RegistryContract, SubkeysEnumerateInOrderWithoutRegardToCase) {
  Registry& registry = this->registry();
  // Names with characters between the upper- and lower-case letters ('_')
  // are left out: Windows orders them by upper case, Wine by lower case.
  for (std::string_view name : {"zeta", "Alpha", "beta", "b", "10", "9", "a.b"})
    registry.closeKey(this->create("Users\\" + std::string(name)));
  RegKey key = reg::kNoKey;
  ASSERT_EQ(registry.openKey(reg::kCurrentUser, this->path("Users"), reg::kKeyRead, key),
            win::kSuccess);
  EXPECT_EQ(this->enumerate(key),
            (std::vector<std::string>{"10", "9", "a.b", "Alpha", "b", "beta", "zeta"}));
  // The name needs room for its terminator.
  char buffer[8] = {};
  std::uint32_t length = 5;  // "Alpha" without its terminator
  EXPECT_EQ(registry.enumKey(key, 3, buffer, length), win::kMoreData);
  length = 6;
  ASSERT_EQ(registry.enumKey(key, 3, buffer, length), win::kSuccess);
  EXPECT_EQ(length, 5u);
  EXPECT_STREQ(buffer, "Alpha");
  length = sizeof buffer;
  EXPECT_EQ(registry.enumKey(key, 7, buffer, length), win::kNoMoreItems);
  registry.closeKey(key);
}

TYPED_TEST_P(RegistryContract, DeleteTreeTakesEverythingBelow) {
  Registry& registry = this->registry();
  RegKey key = this->create("Folder\\Users\\a@x.de");
  ASSERT_EQ(registry.setValue(key, "", reg::kSz, bytesOf(std::string_view("x", 2))), win::kSuccess);
  registry.closeKey(key);
  RegKey root = reg::kNoKey;
  ASSERT_EQ(registry.openKey(reg::kCurrentUser, RegistryContract<TypeParam>::kRoot,
                             reg::kKeyAllAccess, root),
            win::kSuccess);
  EXPECT_EQ(registry.deleteTree(root, "FOLDER"), win::kSuccess);
  EXPECT_EQ(registry.deleteTree(root, "Folder"), win::kFileNotFound);
  EXPECT_EQ(registry.openKey(reg::kCurrentUser, this->path("Folder\\Users"), reg::kKeyRead, key),
            win::kFileNotFound);
  EXPECT_TRUE(this->enumerate(root).empty());
  registry.closeKey(root);
}

TYPED_TEST_P(RegistryContract, TheClassesRootHoldsClassKeys) {
  Registry& registry = this->registry();
  constexpr std::string_view kProgId = "QuendrilaxContract.Probe";
  RegKey key = reg::kNoKey;
  ASSERT_EQ(registry.createKey(reg::kClassesRoot, std::string(kProgId) + "\\CLSID",
                               reg::kKeyAllAccess, key),
            win::kSuccess);
  const std::string_view clsid("{11111111-2222-3333-4444-555555555555}\0", 39);
  ASSERT_EQ(registry.setValue(key, "", reg::kSz, bytesOf(clsid)), win::kSuccess);
  registry.closeKey(key);
  ASSERT_EQ(
      registry.openKey(reg::kClassesRoot, std::string(kProgId) + "\\clsid", reg::kKeyRead, key),
      win::kSuccess);
  char buffer[64] = {};
  std::uint32_t size = sizeof buffer, type = 0;
  ASSERT_EQ(
      registry.queryValue(key, "", &type, {reinterpret_cast<std::uint8_t*>(buffer), 64}, size),
      win::kSuccess);
  EXPECT_EQ(std::string_view(buffer, size), clsid);
  registry.closeKey(key);
  EXPECT_EQ(registry.deleteTree(reg::kClassesRoot, kProgId), win::kSuccess);
  EXPECT_EQ(registry.openKey(reg::kClassesRoot, kProgId, reg::kKeyRead, key), win::kFileNotFound);
}

// Settings an administrator makes for every user of the machine.
TYPED_TEST_P(RegistryContract, TheLocalMachineIsAHiveOfItsOwn) {
  Registry& registry = this->registry();
  const std::string path = RegistryContract<TypeParam>::machinePath();
  RegKey key = reg::kNoKey;
  ASSERT_EQ(registry.createKey(reg::kLocalMachine, path, reg::kKeyAllAccess, key), win::kSuccess);
  const std::uint32_t one = 1;
  ASSERT_EQ(registry.setValue(key, "debug", reg::kDword,
                              {reinterpret_cast<const std::uint8_t*>(&one), sizeof one}),
            win::kSuccess);
  registry.closeKey(key);
  ASSERT_EQ(registry.openKey(reg::kLocalMachine, path, reg::kKeyRead, key), win::kSuccess);
  std::uint32_t read = 0, type = 0, size = sizeof read;
  EXPECT_EQ(
      registry.queryValue(key, "DEBUG", &type, {reinterpret_cast<std::uint8_t*>(&read), 4}, size),
      win::kSuccess);
  EXPECT_EQ(read, 1u);
  registry.closeKey(key);
  EXPECT_EQ(registry.openKey(reg::kCurrentUser, path, reg::kKeyRead, key), win::kFileNotFound);
  EXPECT_EQ(registry.deleteTree(reg::kLocalMachine, path), win::kSuccess);
  EXPECT_EQ(registry.openKey(reg::kLocalMachine, path, reg::kKeyRead, key), win::kFileNotFound);
}

REGISTER_TYPED_TEST_SUITE_P(RegistryContract, KeysOpenWithoutRegardToCaseAndMissingOnesFail,
                            StringsComeBackAsStoredWithTheirSizes, NumbersAndMissingValues,
                            SubkeysEnumerateInOrderWithoutRegardToCase,
                            DeleteTreeTakesEverythingBelow, TheClassesRootHoldsClassKeys,
                            TheLocalMachineIsAHiveOfItsOwn);

}  // namespace qx::contract

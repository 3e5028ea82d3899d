#include <gtest/gtest.h>

#include <map>
#include <span>

#include "core/configuration_store.h"
#include "support/host_fixture.h"
#include "ui/folder_page_settings.h"

namespace qx::testsupport {
namespace {

constexpr std::string_view kConfig = kConfigKey;

std::vector<std::uint8_t> bytes(std::string_view text) { return {text.begin(), text.end()}; }

class Configuration : public HostTest {
 protected:
  CodePage& codePage = host.platform().codePage;
  ConfigurationStore store{registry(), codePage};

  void putRaw(std::string_view path, std::string_view name, std::uint32_t type,
              std::vector<std::uint8_t> data) {
    registry().putValue(reg::kCurrentUser, path, name, type, data);
  }
  void TearDown() override { EXPECT_EQ(registry().openHandles(), 0u) << "a key was left open"; }
};

struct FromCase {
  const char* what;
  std::uint32_t type;
  std::vector<std::uint8_t> data;
  std::optional<std::u16string> sender;
};

TEST_F(Configuration, FromIsTakenOnlyWhenItIsATerminatedStringThatFits) {
  std::vector<std::uint8_t> fits(259, 'a');
  fits.push_back(0);
  std::vector<std::uint8_t> tooLong(260, 'a');
  tooLong.push_back(0);
  const FromCase cases[] = {
      {"plain", reg::kSz, bytes(std::string("Team Lead\0", 10)), u"Team Lead"},
      {"expand, not expanded", reg::kExpandSz, bytes(std::string("%USERNAME%\0", 11)),
       u"%USERNAME%"},
      {"Windows-1252 text", reg::kSz, bytes(std::string("J\xfcrgen\0", 7)), u"J\u00fcrgen"},
      {"259 characters fit", reg::kSz, fits, std::u16string(259, u'a')},
      {"260 characters do not", reg::kSz, tooLong, std::nullopt},
      {"unterminated", reg::kSz, bytes("Team Lead"), std::nullopt},
      {"a number", reg::kDword, {1, 0, 0, 0}, std::nullopt},
      {"binary text", reg::kBinary, bytes(std::string("Team\0", 5)), std::nullopt},
      {"empty string", reg::kSz, {0}, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    putRaw(kConfig, "From", c.type, c.data);
    EXPECT_EQ(store.readGlobalSwitches().senderName, c.sender);
  }
}

struct DebugCase {
  const char* what;
  std::uint32_t type;
  std::vector<std::uint8_t> data;
  bool on;
};

TEST_F(Configuration, DebugIsOnOnlyForTheDwordOne) {
  const DebugCase cases[] = {
      {"dword 1", reg::kDword, {1, 0, 0, 0}, true},
      {"dword 2", reg::kDword, {2, 0, 0, 0}, false},
      {"dword 0", reg::kDword, {0, 0, 0, 0}, false},
      {"dword 0x101", reg::kDword, {1, 1, 0, 0}, false},
      {"string 1", reg::kSz, {'1', 0}, false},
      {"binary 1", reg::kBinary, {1, 0, 0, 0}, false},
      {"qword 1", reg::kQword, {1, 0, 0, 0, 0, 0, 0, 0}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    putRaw(kConfig, "debug", c.type, c.data);
    const GlobalSwitches switches = store.readGlobalSwitches();
    EXPECT_TRUE(switches.opened);
    EXPECT_EQ(switches.debug, c.on);
  }
}

TEST_F(Configuration, MissingConfigKeyIsReportedAsNotOpened) {
  const GlobalSwitches switches = store.readGlobalSwitches();
  EXPECT_FALSE(switches.opened);
  EXPECT_FALSE(switches.senderName);
  EXPECT_FALSE(switches.debug);
}

TEST_F(Configuration, FoldersAreVisitedInEnumerationOrderWithTheirValues) {
  configureFolder("0000B2", "STORE-B", "beta");
  configureFolder("0000a1", "STORE-A", "alpha");
  registry().putDword(reg::kCurrentUser, folderKey("0000a1"), "isProcessed", 1);
  registry().putKey(reg::kCurrentUser, folderKey("0000C3"));  // no values at all
  registry().putDword(reg::kCurrentUser, folderKey("0000C3") + "x", "isProcessed", 2);
  std::vector<FolderEntry> seen;
  store.forEachFolder([&](const FolderEntry& entry) { seen.push_back(entry); });
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].entryId, "0000a1");
  EXPECT_EQ(seen[0].storeId, "STORE-A");
  EXPECT_EQ(seen[0].shareName, "alpha");
  EXPECT_TRUE(seen[0].processed);
  EXPECT_EQ(seen[1].entryId, "0000B2");
  EXPECT_FALSE(seen[1].processed);
  EXPECT_EQ(seen[2].entryId, "0000C3");
  EXPECT_EQ(seen[2].storeId, "");
  EXPECT_EQ(seen[2].shareName, "");
  EXPECT_FALSE(seen[2].processed);
  EXPECT_EQ(seen[3].entryId, "0000C3x");
  EXPECT_FALSE(seen[3].processed);  // 2 is not "processed"
}

TEST_F(Configuration, OverlongNameEndsTheEnumeration) {
  registry().allowLongKeyNames(true);
  configureFolder("A1", "S", "first");
  configureFolder(std::string(259, 'B'), "S", "fits");
  configureFolder(std::string(260, 'C'), "S", "too long");
  configureFolder("D4", "S", "never read");
  std::vector<std::string> names;
  store.forEachFolder([&](const FolderEntry& entry) { names.push_back(entry.entryId); });
  EXPECT_EQ(names, (std::vector<std::string>{"A1", std::string(259, 'B')}));
}

TEST_F(Configuration, FolderKeyThatDoesNotOpenIsSkipped) {
  configureFolder("A1", "S", "first");
  configureFolder("B2", "S", "second");
  configureFolder("C3", "S", "third");
  // The Folders key is opened first, then each folder key in turn.
  faults.fail("registry.openKey", win::kAccessDenied, 3);
  std::vector<std::string> names;
  store.forEachFolder([&](const FolderEntry& entry) { names.push_back(entry.entryId); });
  EXPECT_EQ(names, (std::vector<std::string>{"A1", "C3"}));
}

TEST_F(Configuration, UnreadableValuesAreEmpty) {
  configureFolder("A1", "S", "share");
  putRaw(folderKey("A1"), "ShareName", reg::kDword, {1, 0, 0, 0});
  putRaw(folderKey("A1"), "SID", reg::kSz, std::vector<std::uint8_t>(781, 'x'));
  std::vector<FolderEntry> seen;
  store.forEachFolder([&](const FolderEntry& entry) { seen.push_back(entry); });
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].shareName, "");
  EXPECT_EQ(seen[0].storeId, "");
}

TEST_F(Configuration, UsersAreReadInEnumerationOrder) {
  for (auto address : {"zoe@example.org", "Bob@example.org", "alice@example.org"})
    registry().putKey(reg::kCurrentUser, folderKey("A1") + "\\Users\\" + address);
  EXPECT_EQ(
      store.readFolderUsers(u"A1"),
      (std::vector<std::u16string>{u"alice@example.org", u"Bob@example.org", u"zoe@example.org"}));
  EXPECT_TRUE(store.readFolderUsers(u"NOPE").empty());
  registry().putKey(reg::kCurrentUser, folderKey("B2"));
  EXPECT_TRUE(store.readFolderUsers(u"B2").empty());
  // An id the registry would read as a path names no folder.
  EXPECT_TRUE(store.readFolderUsers(u"A1\\Users\\..").empty());
}

TEST_F(Configuration, OverlongAddressEndsTheUserList) {
  registry().allowLongKeyNames(true);
  for (std::string address : {std::string("a@x"), std::string(260, 'b'), std::string("c@x")})
    registry().putKey(reg::kCurrentUser, folderKey("A1") + "\\Users\\" + address);
  EXPECT_EQ(store.readFolderUsers(u"A1"), std::vector<std::u16string>{u"a@x"});
}

TEST_F(Configuration, SetProcessedMarksOnlyExistingFolders) {
  configureFolder("A1", "S", "share");
  store.setProcessed(u"A1");
  auto value = registry().value(reg::kCurrentUser, folderKey("A1"), "isProcessed");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, reg::kDword);
  EXPECT_EQ(value->data, (std::vector<std::uint8_t>{1, 0, 0, 0}));
  store.setProcessed(u"B2");
  EXPECT_FALSE(registry().hasKey(reg::kCurrentUser, folderKey("B2")));
}

TEST_F(Configuration, SavingACheckedFolderKeepsProcessedAndReplacesUsers) {
  configureFolder("A1", "OLD", "old");
  registry().putDword(reg::kCurrentUser, folderKey("A1"), "isProcessed", 1);
  registry().putKey(reg::kCurrentUser, folderKey("A1") + "\\Users\\gone@example.org");
  store.saveFolder({u"A1",
                    u"STORE",
                    true,
                    u"Team \u00c4",
                    {u"zoe@example.org", u"amy@example.org", u"bad\\address", u""}});
  auto share = registry().value(reg::kCurrentUser, folderKey("A1"), "ShareName");
  ASSERT_TRUE(share);
  EXPECT_EQ(share->type, reg::kSz);
  EXPECT_EQ(share->data, bytes(std::string("Team \xc4\0", 7)));
  auto sid = registry().value(reg::kCurrentUser, folderKey("A1"), "SID");
  ASSERT_TRUE(sid);
  EXPECT_EQ(sid->data, bytes(std::string("STORE\0", 6)));
  auto used = registry().value(reg::kCurrentUser, folderKey("A1"), "used");
  ASSERT_TRUE(used);
  EXPECT_EQ(used->type, reg::kDword);
  EXPECT_EQ(used->data, (std::vector<std::uint8_t>{1, 0, 0, 0}));
  EXPECT_TRUE(registry().value(reg::kCurrentUser, folderKey("A1"), "isProcessed"));
  // Addresses that would become paths or the Users key itself are not written.
  EXPECT_EQ(registry().subkeyNames(reg::kCurrentUser, folderKey("A1") + "\\Users"),
            (std::vector<std::string>{"amy@example.org", "zoe@example.org"}));
}

TEST_F(Configuration, UncheckingRemovesTheWholeFolderKey) {
  store.saveFolder({u"A1", u"S", true, u"team", {u"amy@example.org"}});
  store.setProcessed(u"A1");
  store.saveFolder({u"A1", u"S", false, u"team", {}});
  EXPECT_FALSE(registry().hasKey(reg::kCurrentUser, folderKey("A1")));
  // Unchecking a folder that was never synchronized changes nothing.
  store.saveFolder({u"B2", u"S", false, u"", {}});
  EXPECT_FALSE(registry().hasKey(reg::kCurrentUser, folderKey("B2")));
  // Checked again later: no processed mark, so the question comes back.
  store.saveFolder({u"A1", u"S", true, u"team", {}});
  EXPECT_FALSE(registry().value(reg::kCurrentUser, folderKey("A1"), "isProcessed"));
}

TEST_F(Configuration, LoadingOneFolderForThePage) {
  EXPECT_FALSE(store.loadFolder(u"A1"));
  store.saveFolder({u"A1", u"S", true, u"team", {u"b@x", u"a@x"}});
  auto settings = store.loadFolder(u"A1");
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->used, 1u);
  EXPECT_EQ(settings->shareName, u"team");
  EXPECT_EQ(settings->recipients, (std::vector<std::u16string>{u"a@x", u"b@x"}));
  // "used" 0: the recipients are not read; a missing share name is reported
  // so that the page shows its default.
  registry().putDword(reg::kCurrentUser, folderKey("A1"), "used", 0);
  registry().putValue(reg::kCurrentUser, folderKey("A1"), "ShareName", reg::kBinary, {});
  settings = store.loadFolder(u"A1");
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->used, 0u);
  EXPECT_FALSE(settings->shareName);
  EXPECT_TRUE(settings->recipients.empty());
}

// --- Values that do not fit --------------------------------------------------

TEST_F(Configuration, TextsWithoutTerminatorMustLeaveRoomForOne) {
  struct Case {
    const char* what;
    std::size_t shareBytes, sidBytes;  // unterminated texts of these lengths
    std::string shareName, storeId;
  };
  const Case cases[] = {
      {"one short of the buffers", 259, 779, std::string(259, 's'), std::string(779, 'i')},
      // The share name's folder watch holds 259 characters and a terminator.
      {"filling the buffers", 260, 780, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    putRaw(folderKey("A1"), "ShareName", reg::kSz, std::vector<std::uint8_t>(c.shareBytes, 's'));
    putRaw(folderKey("A1"), "SID", reg::kSz, std::vector<std::uint8_t>(c.sidBytes, 'i'));
    std::vector<FolderEntry> seen;
    store.forEachFolder([&](const FolderEntry& entry) { seen.push_back(entry); });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].shareName, c.shareName);
    EXPECT_EQ(seen[0].storeId, c.storeId);
    registry().putDword(reg::kCurrentUser, folderKey("A1"), "used", 1);
    auto page = store.loadFolder(u"A1");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->shareName.has_value(), !c.shareName.empty());
  }
}

// A registry that reports more bytes than the caller gave it room for, as a
// driver or a stand-in with a fault might; every other call goes through.
class OverReportingRegistry final : public Registry {
 public:
  explicit OverReportingRegistry(Registry& inner) : inner_(inner) {}
  WinError openKey(RegKey parent, std::string_view subKey, std::uint32_t access,
                   RegKey& opened) override {
    return inner_.openKey(parent, subKey, access, opened);
  }
  WinError createKey(RegKey parent, std::string_view subKey, std::uint32_t access,
                     RegKey& created) override {
    return inner_.createKey(parent, subKey, access, created);
  }
  WinError closeKey(RegKey key) override { return inner_.closeKey(key); }
  WinError enumKey(RegKey key, std::uint32_t index, std::span<char> name,
                   std::uint32_t& length) override {
    return inner_.enumKey(key, index, name, length);
  }
  WinError queryValue(RegKey key, std::string_view name, std::uint32_t* type,
                      std::span<std::uint8_t> data, std::uint32_t& size) override {
    const WinError status = inner_.queryValue(key, name, type, data, size);
    if (status == win::kSuccess && !data.empty())
      size = static_cast<std::uint32_t>(data.size()) + 4;
    return status;
  }
  WinError setValue(RegKey key, std::string_view name, std::uint32_t type,
                    std::span<const std::uint8_t> data) override {
    return inner_.setValue(key, name, type, data);
  }
  WinError deleteValue(RegKey key, std::string_view name) override {
    return inner_.deleteValue(key, name);
  }
  WinError deleteTree(RegKey key, std::string_view subKey) override {
    return inner_.deleteTree(key, subKey);
  }

 private:
  Registry& inner_;
};

TEST_F(Configuration, ValueReportedLongerThanItsBufferIsNotRead) {
  putRaw(kConfig, "debug", reg::kDword, {1, 0, 0, 0});
  registry().putString(reg::kCurrentUser, kConfig, "From", "Team Lead");
  OverReportingRegistry overReporting(registry());
  const GlobalSwitches switches = ConfigurationStore(overReporting, codePage).readGlobalSwitches();
  EXPECT_TRUE(switches.opened);
  EXPECT_FALSE(switches.debug);
  EXPECT_FALSE(switches.senderName);
}

// --- The engine's copy -----------------------------------------------------

TEST_F(Configuration, EngineWatchesEveryFolderTheHostCanOpen) {
  const std::string alpha = ansi(addSharedFolder(u"Alpha", "alpha"));
  registry().putDword(reg::kCurrentUser, folderKey(alpha), "isProcessed", 1);
  // A folder asked for with a store id that is not its store's.
  const std::string beta = ansi(addTaskFolder(u"Beta"));
  configureFolder(beta, "0000", "wrong store");
  // A key without values: the host looks the folder up without a store id.
  const std::string gamma = ansi(addTaskFolder(u"Gamma"));
  registry().putKey(reg::kCurrentUser, folderKey(gamma));
  // A folder the store does not hold (deleted since it was configured).
  const std::string gone = "0000DEAD";
  configureFolder(gone, storeId(), "deleted folder");
  ASSERT_EQ(connect(), hr::kOk);
  std::map<std::string, const FolderWatch*> watches;
  for (const auto& watch : engine()->folderWatches())
    watches[ansi(watch->folder()->entryId().value())] = watch.get();
  ASSERT_EQ(watches.size(), 2u);
  ASSERT_TRUE(watches.contains(alpha));
  ASSERT_TRUE(watches.contains(gamma));
  EXPECT_EQ(watches[alpha]->shareName(), "alpha");
  EXPECT_TRUE(watches[alpha]->processed());
  EXPECT_TRUE(watches[alpha]->subscribed());
  EXPECT_FALSE(watches[alpha]->sink()->isDeletedItemsSink());
  EXPECT_EQ(watches[gamma]->shareName(), "");
  EXPECT_FALSE(watches[gamma]->processed());
  // The folders the host could not open are skipped silently; their keys stay.
  EXPECT_EQ(debugLog(), "");
  EXPECT_TRUE(registry().hasKey(reg::kCurrentUser, folderKey(beta)));
  EXPECT_TRUE(registry().hasKey(reg::kCurrentUser, folderKey(gone)));
}

TEST_F(Configuration, DebugSwitchWritesStartEntriesAndEachFolder) {
  setDebug(1);
  mail().setVersion(u"11.0.0.5510");
  addSharedFolder(u"Alpha", "alpha");
  addSharedFolder(u"Beta", "beta");
  faults.fail("mail.Folder.Name", hr::kFail, 2);
  ASSERT_EQ(connect(), hr::kOk);
  EXPECT_TRUE(engine()->diagnostics().debugOn());
  // The connection's processFolders then names each folder after handling it.
  EXPECT_EQ(
      debugEntries(),
      (std::vector<std::string>{
          "Debugger started", "11.0.0.5510", "Add folder:Alpha share as alpha", "Debugger error",
          "user list:", "process folder:Alpha", "user list:", "process folder:Beta"}));
  // The watch whose entry failed stays in the list.
  EXPECT_EQ(engine()->folderWatches().size(), 2u);
}

TEST_F(Configuration, UnreadableHostVersionIsLoggedAsDebuggerError) {
  for (const char* operation : {"mail.Namespace.Application", "mail.Application.Version"}) {
    SCOPED_TRACE(operation);
    setDebug(1);
    faults.fail(operation, hr::kFail, 0);
    connection.reset();
    ASSERT_EQ(connect(), hr::kOk);
    EXPECT_EQ(debugEntries(), (std::vector<std::string>{"Debugger started", "Debugger error"}));
    connection->onDisconnection(0);
    faults.clearAll();
  }
}

TEST_F(Configuration, DebugTwoLeavesTheLogEmpty) {
  setDebug(2);
  ASSERT_EQ(connect(), hr::kOk);
  EXPECT_FALSE(engine()->diagnostics().debugOn());
  EXPECT_EQ(debugLog(), "");
}

TEST_F(Configuration, ReloadRebuildsWatchesAndRereadsTheSwitches) {
  const std::u16string alpha = addSharedFolder(u"Alpha", "alpha");
  const std::u16string beta = addTaskFolder(u"Beta");
  ASSERT_EQ(connect(), hr::kOk);
  engine()->dontTouchList().add(u"ITEM");
  ConfigurationStore(registry(), codePage)
      .saveFolder({beta, mail().defaultStoreId(), true, u"beta", {}});
  setDebug(1);
  registry().putString(reg::kCurrentUser, kConfig, "From", "Office");
  EXPECT_TRUE(engine()->reloadFolders());
  ASSERT_EQ(engine()->folderWatches().size(), 2u);
  EXPECT_EQ(mail().itemSubscriptions(alpha), 1u);  // old sink gone, new one advised
  EXPECT_EQ(mail().itemSubscriptions(beta), 1u);
  EXPECT_TRUE(engine()->dontTouchList().ids().empty());
  EXPECT_EQ(mail().itemSubscriptions(deletedItemsId()), 1u);
  EXPECT_EQ(engine()->senderName(), u"Office");
  EXPECT_EQ(debugEntries().front(), "Debugger started");

  // Without Config the switch keeps its value and the sender name goes.
  registry().removeKey(reg::kCurrentUser, kConfig);
  engine()->reloadFolders();
  EXPECT_TRUE(engine()->diagnostics().debugOn());
  EXPECT_FALSE(engine()->senderName());
}

TEST_F(Configuration, SetProcessedThroughTheEngineDoesNotChangeTheWatch) {
  const std::u16string alpha = addSharedFolder(u"Alpha", "alpha");
  ASSERT_EQ(connect(), hr::kOk);
  engine()->setProcessed(alpha);
  EXPECT_FALSE(engine()->folderWatches()[0]->processed());
  engine()->reloadFolders();
  EXPECT_TRUE(engine()->folderWatches()[0]->processed());
}

TEST_F(Configuration, WatchWhoseSubscriptionFailsIsStillListed) {
  addSharedFolder(u"Alpha", "alpha");
  // Application events, namespace events, then the folder's items.
  faults.fail("mail.ConnectionPoint.Advise", hr::kFail, 3);
  ASSERT_EQ(connect(), hr::kOk);
  ASSERT_EQ(engine()->folderWatches().size(), 1u);
  EXPECT_FALSE(engine()->folderWatches()[0]->subscribed());
}

TEST_F(Configuration, PageSaveTakesEffectAtOnce) {
  const std::u16string alpha = addTaskFolder(u"Alpha");
  ASSERT_EQ(connect(), hr::kOk);
  EXPECT_TRUE(engine()->folderWatches().empty());
  setDebug(1);
  saveFolderPage(*module, {alpha, mail().defaultStoreId(), true, u"alpha", {u"bob@example.org"}});
  ASSERT_EQ(engine()->folderWatches().size(), 1u);
  EXPECT_EQ(engine()->folderWatches()[0]->shareName(), "alpha");
  EXPECT_EQ(engine()->readFolderUsers(alpha), std::vector<std::u16string>{u"bob@example.org"});
  // "debug" is read again with every save.
  EXPECT_EQ(debugEntries().front(), "Debugger started");
  auto page = loadFolderPage(*module, alpha);
  ASSERT_TRUE(page);
  EXPECT_EQ(page->shareName, u"alpha");

  saveFolderPage(*module, {alpha, mail().defaultStoreId(), false, u"alpha", {}});
  EXPECT_TRUE(engine()->folderWatches().empty());
  EXPECT_FALSE(loadFolderPage(*module, alpha));
}

TEST_F(Configuration, PageSaveWithoutEngineOnlyWritesTheRegistry) {
  mail().setVersion(u"10.0.0.4024");
  ASSERT_EQ(connect(), hr::kOk);
  ASSERT_EQ(engine(), nullptr);
  saveFolderPage(*module, {u"A1", u"S1", true, u"alpha", {}});
  EXPECT_TRUE(registry().hasKey(reg::kCurrentUser, folderKey("A1")));
}

}  // namespace
}  // namespace qx::testsupport

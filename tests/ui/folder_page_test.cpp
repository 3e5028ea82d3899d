// The folder property page, hosted by the stand-in's Properties dialog.
#include <gtest/gtest.h>

#include "common/messages.h"
#include "core/sync_engine.h"
#include "page_fixture.h"

namespace qx::test {
namespace {

using namespace folder_page;

TEST_F(PageTest, AFolderWithoutSettingsShowsTheDefaultShareNameAndAClearBox) {
  start();
  page = openPage(tasksId());
  EXPECT_EQ(text(kShareNameField), u"Tasks_sync");
  EXPECT_FALSE(checked());
  EXPECT_TRUE(list().empty());
  for (int id : {kAddressField, kRecipientList, kRecipientsGroup, kAddButton, kRemoveButton,
                 kBasicSyncButton})
    EXPECT_FALSE(enabled(id)) << id;
  EXPECT_TRUE(enabled(kShareNameField));
  EXPECT_TRUE(enabled(kAddressBookButton));
  EXPECT_EQ(text(kSyncCheckBox), u"Synchronize this folder");
  EXPECT_EQ(text(kBasicSyncButton), u"Run basicsynchronisation");
  EXPECT_EQ(text(kRecipientsGroup), u"synchronisation-recipients");
  // Writing the share name counted as a change.
  EXPECT_EQ(dialog->dirty(hosted()), true);
  EXPECT_GE(*hosted().statusChanges, 1);
}

TEST_F(PageTest, TextsComeFromTheTableOfTheLanguageCapturedAtConnection) {
  start(lang::kGerman);
  page = openPage(tasksId());
  EXPECT_EQ(text(kSyncCheckBox), u"Dieses Verzeichnis synchronisieren");
  EXPECT_EQ(text(kShareNameLabel), u"Freigabename:");
}

struct SavedFolderCase {
  const char* name;
  bool usersKey;
  std::vector<std::string> users;
  bool basicSyncEnabled;
};

class SavedFolder : public PageTest, public ::testing::WithParamInterface<SavedFolderCase> {};

TEST_P(SavedFolder, ShowsItsSettingsAndEnablesWhatTheyAllow) {
  const SavedFolderCase& c = GetParam();
  start();
  configure(tasksId(), "team", c.users, c.usersKey);
  page = openPage(tasksId());
  EXPECT_TRUE(checked());
  EXPECT_EQ(text(kShareNameField), u"team");
  EXPECT_EQ(list().size(), c.users.size());
  EXPECT_EQ(enabled(kBasicSyncButton), c.basicSyncEnabled);
  EXPECT_EQ(enabled(kRemoveButton), c.users.size() > 0);
  for (int id : {kAddressField, kRecipientList, kRecipientsGroup}) EXPECT_TRUE(enabled(id)) << id;
}

INSTANTIATE_TEST_SUITE_P(
    UsersKey, SavedFolder,
    ::testing::Values(SavedFolderCase{"two", true, {"bob@example.org", "carol@example.org"}, true},
                      SavedFolderCase{"none", true, {}, true},
                      SavedFolderCase{"unopenable", false, {}, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct AddressCase {
  std::u16string typed;
  bool enabled;
};

TEST_F(PageTest, TheAddressRuleWantsAnAtAndADotInMoreThanFourCharacters) {
  start();
  configure(tasksId(), "team", {});
  page = openPage(tasksId());
  const AddressCase cases[] = {
      {u"a@b.c", true}, {u"a@bc", false},   {u"ab.cd", false}, {u".a@bc", true},
      {u"@.", false},   {u"x", false},      {u"", false},      {u"bob@example.org", true},
      {u"a.b@c", true}, {u"abcdef", false}, {u"a@.b", false},
  };
  for (const AddressCase& c : cases) {
    ASSERT_TRUE(type(c.typed));
    EXPECT_EQ(enabled(kAddButton), c.enabled) << std::string(c.typed.begin(), c.typed.end());
  }
}

struct PickedCase {
  const char* name;
  std::u16string chosen;
  bool flag;
  bool enabledAfterChoice;
};

class PickedEntry : public PageTest, public ::testing::WithParamInterface<PickedCase> {};

TEST_P(PickedEntry, TheAddressBooksFlagCountsForOneChangeOnly) {
  const PickedCase& c = GetParam();
  start();
  configure(tasksId(), "team", {});
  page = openPage(tasksId());
  mail().scriptAddressBook(std::vector<sim::mail::AddressChoice>{{c.chosen, c.flag}});
  ASSERT_TRUE(click(kAddressBookButton));
  EXPECT_EQ(text(kAddressField), c.chosen);
  EXPECT_EQ(enabled(kAddButton), c.enabledAfterChoice);
  // The first change used the flag up.
  ASSERT_TRUE(type(c.chosen + u"x"));
  EXPECT_FALSE(enabled(kAddButton));
}

INSTANTIATE_TEST_SUITE_P(AddressBook, PickedEntry,
                         ::testing::Values(PickedCase{"resolved_name", u"Bob Smith", true, true},
                                           PickedCase{"unresolved_name", u"Bob Smith", false,
                                                      false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PageTest, TheAddressBookIsAskedWithItsFixedArguments) {
  start();
  configure(tasksId(), "team", {});
  page = openPage(tasksId());
  type(u"keep@example.org");
  // The user cancels: the field stays; an empty choice empties it.
  ASSERT_TRUE(click(kAddressBookButton));
  EXPECT_EQ(text(kAddressField), u"keep@example.org");
  mail().scriptAddressBook(std::vector<sim::mail::AddressChoice>{});
  ASSERT_TRUE(click(kAddressBookButton));
  EXPECT_EQ(text(kAddressField), u"");
  ASSERT_EQ(mail().addressBookCalls().size(), 2u);
  const std::vector<Variant>& args = mail().addressBookCalls()[0];
  ASSERT_EQ(args.size(), 9u);
  EXPECT_TRUE(args[0].isMissing());
  EXPECT_EQ(*args[1].text(), u"Bitte einen Synchronisationsempf\u00e4nger w\u00e4hlen!");
  EXPECT_EQ(args[2], Variant(true));
  EXPECT_EQ(args[3], Variant(true));
  EXPECT_EQ(args[4], Variant(std::int32_t{1}));
  EXPECT_EQ(*args[5].text(), u"SyncEmpf\u00e4nger");
  EXPECT_TRUE(args[6].isMissing());
  EXPECT_TRUE(args[7].isMissing());
  EXPECT_EQ(args[8], Variant(false));
}

TEST_F(PageTest, WithoutTheLibraryTheAddressBookButtonDoesNothing) {
  start();
  configure(tasksId(), "team", {});
  page = openPage(tasksId());
  mail().setLibraryState(sim::mail::LibraryState::kClassNotRegistered);
  type(u"keep@example.org");
  ASSERT_TRUE(click(kAddressBookButton));
  EXPECT_EQ(text(kAddressField), u"keep@example.org");
  EXPECT_TRUE(mail().addressBookCalls().empty());
}

TEST_F(PageTest, AnAddressListedInOtherLetterCaseIsRefused) {
  start();
  configure(tasksId(), "team", {"bob@example.org"});
  page = openPage(tasksId());
  windows().answerNextBox(win::kIdOk);
  ASSERT_TRUE(addAddress(u"BOB@Example.ORG"));
  EXPECT_EQ(list(), std::vector<std::u16string>{u"bob@example.org"});
  EXPECT_EQ(text(kAddressField), u"");
  EXPECT_FALSE(enabled(kAddButton));
  ASSERT_EQ(windows().shownBoxes().size(), 1u);
  EXPECT_EQ(windows().shownBoxes()[0].text, u"This address is already  in the list");
  EXPECT_EQ(windows().shownBoxes()[0].caption, u"Error");
  EXPECT_EQ(windows().shownBoxes()[0].owner, page);
}

TEST_F(PageTest, AddRemoveAndDoubleClickKeepTheButtonsInStep) {
  start();
  configure(tasksId(), "team", {});
  page = openPage(tasksId());
  ASSERT_TRUE(addAddress(u"carol@example.org"));
  ASSERT_TRUE(addAddress(u"bob@example.org"));
  EXPECT_EQ(list(), (std::vector<std::u16string>{u"bob@example.org", u"carol@example.org"}));
  EXPECT_TRUE(enabled(kRemoveButton));
  ASSERT_TRUE(windows().doubleClickListEntry(page, kRecipientList, 1));
  EXPECT_EQ(text(kAddressField), u"carol@example.org");
  EXPECT_TRUE(enabled(kAddButton));
  ASSERT_TRUE(click(kRemoveButton));
  EXPECT_EQ(list(), std::vector<std::u16string>{u"bob@example.org"});
  EXPECT_TRUE(enabled(kRemoveButton));
  // Nothing selected: nothing removed.
  ASSERT_TRUE(click(kRemoveButton));
  EXPECT_EQ(list().size(), 1u);
  ASSERT_TRUE(windows().selectListEntry(page, kRecipientList, 0));
  ASSERT_TRUE(click(kRemoveButton));
  EXPECT_TRUE(list().empty());
  EXPECT_FALSE(enabled(kRemoveButton));
}

TEST_F(PageTest, TheCheckBoxEnablesTheRecipientsOnly) {
  start();
  page = openPage(tasksId());
  ASSERT_TRUE(click(kSyncCheckBox));
  for (int id : {kAddressField, kRecipientList, kRecipientsGroup}) EXPECT_TRUE(enabled(id)) << id;
  EXPECT_FALSE(enabled(kBasicSyncButton));
  EXPECT_FALSE(enabled(kRemoveButton));
  ASSERT_TRUE(click(kSyncCheckBox));
  for (int id : {kAddressField, kRecipientList, kRecipientsGroup}) EXPECT_FALSE(enabled(id)) << id;
}

TEST_F(PageTest, ApplySavesTheFolderAndTheEngineFollowsAtOnce) {
  start();
  const std::string key = folderKey(tasksId());
  registry().putDword(reg::kCurrentUser, key, "isProcessed", 1);
  registry().putKey(reg::kCurrentUser, key + "\\Users\\old@example.org");
  page = openPage(tasksId());
  ASSERT_TRUE(click(kSyncCheckBox));
  ASSERT_TRUE(windows().typeText(page, kShareNameField, u"team"));
  ASSERT_TRUE(addAddress(u"carol@example.org"));
  ASSERT_TRUE(addAddress(u"bob@example.org"));
  EXPECT_EQ(dialog->apply(), 1);
  EXPECT_EQ(registry().value(reg::kCurrentUser, key, "used")->data,
            (std::vector<std::uint8_t>{1, 0, 0, 0}));
  std::string sid = ansi(mail().defaultStoreId());
  sid.push_back('\0');
  EXPECT_EQ(registry().value(reg::kCurrentUser, key, "SID")->data,
            std::vector<std::uint8_t>(sid.begin(), sid.end()));
  EXPECT_TRUE(registry().value(reg::kCurrentUser, key, "isProcessed").has_value());
  EXPECT_EQ(registry().subkeyNames(reg::kCurrentUser, key + "\\Users"),
            (std::vector<std::string>{"bob@example.org", "carol@example.org"}));
  ASSERT_EQ(module->engine()->folderWatches().size(), 1u);
  EXPECT_NE(module->engine()->sharedFolderByName("team"), nullptr);
  // The flag stays set: OK saves again.
  EXPECT_EQ(dialog->dirty(hosted()), true);
  EXPECT_EQ(dialog->ok(), 1);
}

TEST_F(PageTest, FailedRegistryWritesAreNotReportedAndTheReloadShowsWhatWasReached) {
  start();
  page = openPage(tasksId());
  ASSERT_TRUE(click(kSyncCheckBox));
  ASSERT_TRUE(addAddress(u"bob@example.org"));
  host->faults().fail("registry.createKey", WinError::kAccessDenied, 0);
  EXPECT_EQ(dialog->apply(), 1);
  host->faults().clearAll();
  EXPECT_FALSE(registry().hasKey(reg::kCurrentUser, folderKey(tasksId())));
  EXPECT_TRUE(module->engine()->folderWatches().empty());
  EXPECT_TRUE(windows().shownBoxes().empty());
  EXPECT_EQ(host->disk().readText(host->moduleFolder() + "error.log").value_or(""), "");
  // The page still holds what the user entered: the next OK saves it.
  EXPECT_EQ(dialog->ok(), 1);
  EXPECT_EQ(registry().subkeyNames(reg::kCurrentUser, folderKey(tasksId()) + "\\Users"),
            std::vector<std::string>{"bob@example.org"});
  EXPECT_EQ(module->engine()->folderWatches().size(), 1u);
}

TEST_F(PageTest, UncheckingAndApplyingDeletesTheFolderKey) {
  start();
  configure(tasksId(), "team", {"bob@example.org"});
  registry().putDword(reg::kCurrentUser, folderKey(tasksId()), "isProcessed", 1);
  page = openPage(tasksId());
  ASSERT_TRUE(click(kSyncCheckBox));
  dialog->ok();
  EXPECT_FALSE(registry().hasKey(reg::kCurrentUser, folderKey(tasksId())));
  EXPECT_TRUE(module->engine()->folderWatches().empty());
  page = openPage(tasksId());
  EXPECT_FALSE(checked());
  EXPECT_EQ(text(kShareNameField), u"Tasks_sync");
  EXPECT_TRUE(list().empty());
}

TEST_F(PageTest, CancelDiscardsEveryChange) {
  start();
  configure(tasksId(), "team", {"bob@example.org"});
  const std::string before = registry().saveRegFile(sim::RegFileEncoding::kUtf8);
  page = openPage(tasksId());
  ASSERT_TRUE(addAddress(u"carol@example.org"));
  ASSERT_TRUE(windows().typeText(page, kShareNameField, u"other"));
  ASSERT_TRUE(click(kSyncCheckBox));
  dialog->cancel();
  EXPECT_EQ(registry().saveRegFile(sim::RegFileEncoding::kUtf8), before);
  EXPECT_TRUE(windows().dialogs().empty());
}

TEST_F(PageTest, TheBasicSyncButtonAsksAndStartsACatchUpOnlyOnYes) {
  start();
  configure(tasksId(), "team", {"bob@example.org"});
  registry().putDword(reg::kCurrentUser, folderKey(tasksId()), "isProcessed", 1);
  module->engine()->reloadFolders();
  const WindowHandle timer = connection->hiddenWindow().handle();
  page = openPage(tasksId());
  ASSERT_TRUE(enabled(kBasicSyncButton));
  windows().answerNextBox(win::kIdNo);
  ASSERT_TRUE(click(kBasicSyncButton));
  EXPECT_EQ(host->timerInterval(timer, 1), 10000u);
  windows().answerNextBox(win::kIdYes);
  ASSERT_TRUE(click(kBasicSyncButton));
  EXPECT_EQ(host->timerInterval(timer, 1), 1000u);
  ASSERT_EQ(windows().shownBoxes().size(), 2u);
  EXPECT_EQ(windows().shownBoxes()[1].caption, u"!!!");
  EXPECT_EQ(windows().shownBoxes()[1].type, win::kMbYesNo);
  EXPECT_EQ(windows().shownBoxes()[1].owner, page);
  const std::string queue = module->engine()->dataDirectory() + ansi(tasksId()) + ".ids";
  EXPECT_TRUE(host->disk().readText(queue).has_value());
}

TEST_F(PageTest, HelpOpensTheHelpFileOfTheLanguageBesideTheModule) {
  start(lang::kGerman);
  page = openPage(tasksId());
  ASSERT_TRUE(windows().pressHelp(page));
  ASSERT_EQ(shell().executions().size(), 1u);
  const sim::ShellExecution& run = shell().executions()[0];
  EXPECT_EQ(run.verb, "open");
  EXPECT_EQ(run.file, host->moduleFolder() + "hilfe.chm");
  EXPECT_EQ(run.parameters, "");
  EXPECT_EQ(run.directory, host->moduleFolder());
  EXPECT_EQ(run.show, win::kSwShow);
}

TEST_F(PageTest, ThePageGivesNoHelpInformationToTheHost) {
  start();
  page = openPage(tasksId());
  std::u16string file;
  std::int32_t context = 0;
  EXPECT_EQ(hosted().page->getPageInfo(file, context), hr::kNotImpl);
}

// The host may close the dialog while one of the page's message boxes is up:
// the click is seen through and the page is let go afterwards.
TEST_F(PageTest, ClosingTheDialogUnderAMessageBoxLeavesThePageSound) {
  start();
  configure(tasksId(), "team", {"bob@example.org"});
  for (const bool duplicate : {true, false}) {
    SCOPED_TRACE(duplicate);
    page = openPage(tasksId());
    const std::weak_ptr<PageControl> control = hosted().control;
    ASSERT_TRUE(type(u"bob@example.org"));
    host->thread().post([this] { dialog->cancel(); });
    windows().answerNextBox(duplicate ? win::kIdOk : win::kIdNo);
    (void)click(duplicate ? kAddButton : kBasicSyncButton);
    EXPECT_FALSE(dialog->isOpen());
    EXPECT_TRUE(control.expired());
    EXPECT_EQ(windows().shownBoxes().size(), duplicate ? 1u : 2u);
  }
}

// The module's page folder follows every Properties dialog the host opens: a
// page still open saves into the folder it was opened for, never another one.
TEST_F(PageTest, APageSavesItsOwnFolderAfterAnotherFoldersDialogOpened) {
  start();
  const std::u16string other = mail().createFolder(u"Other", u"IPM.Task");
  page = openPage(tasksId());
  sim::FolderPropertiesDialog second(mail(), windows(), *servers, host->faults());
  ASSERT_TRUE(second.open(other));
  second.cancel();
  ASSERT_TRUE(click(kSyncCheckBox));
  ASSERT_TRUE(windows().typeText(page, kShareNameField, u"team"));
  EXPECT_EQ(dialog->apply(), 1);
  EXPECT_TRUE(registry().value(reg::kCurrentUser, folderKey(tasksId()), "used").has_value());
  EXPECT_FALSE(registry().value(reg::kCurrentUser, folderKey(other), "used").has_value());
  EXPECT_NE(module->engine()->sharedFolderByName("team"), nullptr);
}

struct RefusedCase {
  const char* name;
  std::u16string address;
  std::u16string message;
};

class RefusedAddress : public PageTest, public ::testing::WithParamInterface<RefusedCase> {};

// Each recipient is saved as a registry key named after its address.
TEST_P(RefusedAddress, IsRefusedOnThePageWithTheTextLeftToMend) {
  const RefusedCase& c = GetParam();
  start();
  configure(tasksId(), "team", {});
  page = openPage(tasksId());
  windows().answerNextBox(win::kIdOk);
  ASSERT_TRUE(addAddress(c.address));
  EXPECT_TRUE(list().empty());
  EXPECT_EQ(text(kAddressField), c.address);
  ASSERT_EQ(windows().shownBoxes().size(), 1u);
  EXPECT_EQ(windows().shownBoxes()[0].text, c.message);
  EXPECT_EQ(windows().shownBoxes()[0].caption, u"Error");
  EXPECT_EQ(windows().shownBoxes()[0].owner, page);
  // The longest name the registry holds goes in.
  ASSERT_TRUE(addAddress(u"a@b." + std::u16string(251, u'c')));
  EXPECT_EQ(list().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Registry, RefusedAddress,
    ::testing::Values(
        RefusedCase{"too_long", u"a@b." + std::u16string(252, u'c'),
                    u"This address is too long: an address has at most 255 characters."},
        RefusedCase{"backslash", u"bob\\x@example.org",
                    u"An address cannot hold a backslash (\\)."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PageTest, ClosingTheDialogUnderTheAddressBookLeavesThePageSound) {
  start();
  configure(tasksId(), "team", {});
  page = openPage(tasksId());
  const std::weak_ptr<PageControl> control = hosted().control;
  mail().scriptAddressBook(std::vector<sim::mail::AddressChoice>{{u"bob@example.org", true}});
  bool aliveWhileOpen = false;
  host->thread().post([&] {
    dialog->cancel();
    aliveWhileOpen = !control.expired();
  });
  ASSERT_TRUE(click(kAddressBookButton));
  EXPECT_TRUE(aliveWhileOpen);
  EXPECT_FALSE(dialog->isOpen());
  EXPECT_TRUE(control.expired());
}

TEST_F(PageTest, AFolderWhoseStoreCannotBeReadIsNotSaved) {
  start();
  page = openPage(tasksId());
  ASSERT_TRUE(click(kSyncCheckBox));
  ASSERT_TRUE(addAddress(u"bob@example.org"));
  host->faults().fail("mail.Folder.StoreID", hr::kFail);
  EXPECT_EQ(dialog->apply(), 1);
  EXPECT_FALSE(registry().hasKey(reg::kCurrentUser, folderKey(tasksId())));
}

TEST_F(PageTest, ApplyAfterThePageClosedKeepsTheSettings) {
  start();
  configure(tasksId(), "team", {"bob@example.org"});
  page = openPage(tasksId());
  ASSERT_EQ(hosted().control->close(), hr::kOk);
  EXPECT_EQ(hosted().page->apply(), hr::kOk);
  EXPECT_TRUE(registry().hasKey(reg::kCurrentUser, folderKey(tasksId()) + "\\Users\\bob@example.org"));
}

}  // namespace
}  // namespace qx::test

// OptionsPagesAdd: which folders get a page, which page, and the page folder.
#include "ui/page_offer.h"

#include <gtest/gtest.h>

#include "common/messages.h"
#include "page_fixture.h"
#include "platform/mail_folder.h"
#include "sim/faults.h"

namespace qx::test {
namespace {

TEST(TaskFolderClass, IsComparedUpToTheTerminatorAndWithLetterCase) {
  struct Case {
    std::string_view messageClass;
    bool taskFolder;
  };
  const Case cases[] = {
      {"IPM.Task", true},
      {std::string_view("IPM.Task\0old", 12), true},
      {"IPM.Task.Custom", false},
      {"IPM.TaskX", false},
      {"ipm.task", false},
      {"IPM.Tas", false},
      {"IPM.Note", false},
      {"IPM.Contact", false},
      {"", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(isTaskFolderClass(c.messageClass), c.taskFolder) << c.messageClass;
}

class PageOffer : public PageTest {
 protected:
  std::vector<sim::mail::OfferedPage> offered(std::u16string_view folderId) {
    return mail().openFolderProperties(folderId);
  }
  std::u16string pageFolderId() {
    if (!module->pageFolder()) return u"";
    return module->pageFolder()->entryId().value_or(u"?");
  }
};

TEST_F(PageOffer, FoldersOfOtherClassesGetNoPageButBecomeThePageFolder) {
  start();
  const std::u16string contacts = mail().createFolder(u"Contacts", u"IPM.Contact");
  const std::u16string custom = mail().createFolder(u"Jobs", u"IPM.Task.Job");
  const std::u16string inbox = mail().defaultFolderId(default_folder::kInbox);
  for (const std::u16string& id : {inbox, contacts, custom}) {
    EXPECT_TRUE(offered(id).empty());
    EXPECT_EQ(pageFolderId(), id);
  }
  const auto pages = offered(tasksId());
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(*pages[0].page.text(), u"Corvessa.OLFoldersPropPage");
  EXPECT_EQ(pages[0].title, u"Quendrilax");
  EXPECT_EQ(pageFolderId(), tasksId());
}

struct StoreCase {
  const char* name;
  std::int32_t kind;
  const char* fault;  // a failing step of the store test
  bool libraryMissing;
  std::u16string_view progId;
};

class StoreTest : public PageOffer, public ::testing::WithParamInterface<StoreCase> {};

TEST_P(StoreTest, OnlyAStoreKnownNotToBeAPersonalFoldersFileGetsThePlaceholder) {
  const StoreCase& c = GetParam();
  start();
  const std::u16string store = mail().addStore(u"Second", c.kind);
  const std::u16string folder = mail().createFolder(u"Tasks", u"IPM.Task", {}, store);
  if (c.libraryMissing) mail().setLibraryState(sim::mail::LibraryState::kProgIdUnknown);
  if (*c.fault) host->faults().fail(c.fault, hr::kFail);
  const auto pages = offered(folder);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(*pages[0].page.text(), c.progId);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, StoreTest,
    ::testing::Values(
        StoreCase{"kind1", 1, "", false, u"Corvessa.OLFoldersPropPage"},
        StoreCase{"kind2", 2, "", false, u"Corvessa.OLFoldersPropPage"},
        StoreCase{"kind3", 3, "", false, u"Quendrilax.PropPageEmpty"},
        StoreCase{"kind0", 0, "", false, u"Quendrilax.PropPageEmpty"},
        StoreCase{"no_library", 3, "", true, u"Corvessa.OLFoldersPropPage"},
        StoreCase{"logon_fails", 3, "safe.SafeSession.Logon", false, u"Corvessa.OLFoldersPropPage"},
        StoreCase{"store_unknown", 3, "safe.SafeSession.GetStoreFromID", false,
                  u"Corvessa.OLFoldersPropPage"},
        StoreCase{"kind_unreadable", 3, "safe.Store.Kind", false, u"Corvessa.OLFoldersPropPage"},
        StoreCase{"store_id_unreadable", 3, "mail.Folder.StoreID", false,
                  u"Corvessa.OLFoldersPropPage"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PageOffer, ThePlaceholderSaysWhyInTheThreadsLanguage) {
  start(lang::kGerman);
  const std::u16string store = mail().addStore(u"Server", 3);
  const std::u16string folder = mail().createFolder(u"Tasks", u"IPM.Task", {}, store);
  ASSERT_TRUE(dialog->open(folder));
  const sim::HostedPage* hosted = dialog->firstHosted();
  ASSERT_NE(hosted, nullptr);
  EXPECT_EQ(hosted->progId, u"Quendrilax.PropPageEmpty");
  EXPECT_EQ(hosted->page, nullptr);
  const std::u16string shown = windows().control(hosted->window, empty_page::kMessageText)->text;
  EXPECT_TRUE(shown.starts_with(u"Leider ist es nicht m\u00f6glich"))
      << std::string(shown.begin(), shown.end());
  EXPECT_EQ(shown, loadMessage(lang::kGerman, msg::kPlaceholderPage));
  dialog->ok();
  EXPECT_TRUE(windows().dialogs().empty());
}

TEST_F(PageOffer, AfterUnregistrationTheHostCannotCreateThePage) {
  start();
  ASSERT_EQ(unregisterServer(registry()), win::kSuccess);
  ASSERT_TRUE(dialog->open(tasksId()));
  ASSERT_EQ(dialog->pages().size(), 1u);
  EXPECT_EQ(dialog->pages()[0].created, hr::kInvalidClassString);
  EXPECT_EQ(dialog->firstHosted(), nullptr);
  dialog->cancel();
  ASSERT_EQ(registerServer(registry(), host->moduleFile()), win::kSuccess);
  ASSERT_TRUE(dialog->open(tasksId()));
  EXPECT_NE(dialog->firstHosted(), nullptr);
}

TEST_F(PageOffer, AFailedAddIsNotReported) {
  start();
  host->faults().fail("mail.PropertyPages.Add", hr::kFail);
  EXPECT_TRUE(offered(tasksId()).empty());
  EXPECT_EQ(pageFolderId(), tasksId());
  EXPECT_EQ(host->disk().readText(host->moduleFolder() + "error.log").value_or(""), "");
}

}  // namespace
}  // namespace qx::test

// The lookups the outgoing and incoming sides share: a folder's recipient
// line, its share name, and a shared folder by share name.
#include "outgoing_fixture.h"

namespace qx::test {
namespace {

class Recipients : public OutgoingTest {};

TEST_F(Recipients, TheLineListsTheRecipientsInReverseEnumerationOrder) {
  const std::u16string empty = mail().createFolder(u"Empty", u"IPM.Task");
  share(team, "team", {"b@example.org", "a@example.org", "C@example.org"});
  share(empty, "empty", {});
  connect();
  EXPECT_TRUE(engine().fillUserList(team));
  EXPECT_EQ(engine().recipientLine(), u"C@example.org;b@example.org;a@example.org;");
  EXPECT_EQ(debugEntries().back(), "user list:C@example.org;b@example.org;a@example.org;");
  EXPECT_FALSE(engine().fillUserList(empty));
  EXPECT_EQ(engine().recipientLine(), u"");
  EXPECT_TRUE(engine().fillUserList(team));
  EXPECT_FALSE(engine().fillUserList(u"0000DEADBEEF"));
  EXPECT_EQ(engine().recipientLine(), u"");
}

TEST_F(Recipients, ShareNamesAreFoundByFolderAndFoldersByExactShareName) {
  const std::u16string second = mail().createFolder(u"Second", u"IPM.Task");
  const std::u16string plain = mail().createFolder(u"Plain", u"IPM.Task");
  share(team, "Team", {"bob@example.org"});
  share(second, "Team", {"carol@example.org"});
  connect();
  ASSERT_EQ(engine().folderWatches().size(), 2u);
  const std::u16string first = *engine().folderWatches()[0]->folder()->entryId();

  std::shared_ptr<Folder> found = engine().sharedFolderByName("Team");
  ASSERT_TRUE(found);
  EXPECT_EQ(*found->entryId(), first);
  EXPECT_FALSE(engine().sharedFolderByName("team"));
  EXPECT_FALSE(engine().sharedFolderByName("Team "));
  EXPECT_FALSE(engine().sharedFolderByName(""));

  std::string shareName = "kept";
  auto folderObject = [&](const std::u16string& id) {
    return alice->mail().core().folderObject(alice->mail().core().defaultStore(), id);
  };
  engine().shareNameOfFolder(*folderObject(second), shareName);
  EXPECT_EQ(shareName, "Team");
  shareName = "kept";
  engine().shareNameOfFolder(*folderObject(plain), shareName);
  EXPECT_EQ(shareName, "kept");
}

}  // namespace
}  // namespace qx::test

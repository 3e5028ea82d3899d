// Message files of the simulated safe-item library: every field survives the
// round trip, and anything but an intact file is refused whole.
#include "sim/mail/msg_file.h"
#include "sim/mail_fixture.h"

namespace qx::sim::mailtest {
namespace {

constexpr std::string_view kPath = "C:\\Users\\alice\\AppData\\Roaming\\Vantrosse\\share.syn";
constexpr std::u16string_view kWidePath =
    u"C:\\Users\\alice\\AppData\\Roaming\\Vantrosse\\share.syn";

mail::ItemData fullTask() {
  mail::ItemData d = mail::ItemData::newTask();
  d.subject = u"Überprüfung ñ 日本 \U0001F600";
  static constexpr char16_t kBody[] = u"line 1\r\nline 2\n\0embedded\x01\xFFFF";
  d.body = std::u16string(kBody, std::size(kBody) - 1);
  d.categories = u"Feiertag, Büro";
  d.owner = u"Jörg";
  d.importance = importance::kHigh;
  d.sensitivity = sensitivity::kConfidential;
  d.status = task_status::kWaiting;
  d.percentComplete = 75;
  d.startDate = DateValue{46000.25};
  d.dueDate = DateValue{46001.5};
  d.complete = true;
  d.userProperties = {
      {u"quendrilaxid", user_property_type::kText,
       Variant(u"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}")},
      {u"lastsharename", user_property_type::kText, Variant(u"Büroplanung")},
      {u"Menge", user_property_type::kNumber, Variant(12.5)},
      {u"Erledigt", user_property_type::kYesNo, Variant(true)},
      {u"Wann", user_property_type::kDateTime, Variant(DateValue{45000.75})},
      {u"leer", user_property_type::kText, Variant(std::u16string())},
  };
  return d;
}

class MailMessageFileTest : public MailFixture {
 protected:
  std::shared_ptr<SafeTaskItem> safeTask() { return ok(createSafeTaskItem(client.library())); }
  std::shared_ptr<MapiUtilities> utilities() { return ok(createMapiUtilities(client.library())); }
};

TEST_F(MailMessageFileTest, OfSeveralPropertiesWithOneNameTheFileKeepsTheFirst) {
  auto data = fullTask();
  data.userProperties.push_back({u"quendrilaxid", user_property_type::kText, Variant(u"{SECOND}")});
  std::u16string sourceId = client.addItem(tasksId(), data);
  auto saver = safeTask();
  ASSERT_EQ(saver->putItem(ok(ns()->getItemFromId(sourceId, Variant::missing()))), hr::kOk);
  ASSERT_EQ(saver->saveAs(kWidePath), hr::kOk);
  auto decoded = mail::decodeMessageFile(files.files.at(std::string(kPath)));
  ASSERT_TRUE(decoded) << "a task with a doubled property must still be readable";
  EXPECT_EQ(decoded->userProperties, fullTask().userProperties);
}

TEST_F(MailMessageFileTest, EveryFieldAndUserPropertySurvivesSaveAsAndReadBack) {
  std::u16string shared = client.createFolder(u"Shared", u"IPM.Task");
  std::u16string sourceId = client.addItem(shared, fullTask());
  auto saver = safeTask();
  ASSERT_EQ(saver->putItem(ok(ns()->getItemFromId(sourceId, Variant::missing()))), hr::kOk);
  ASSERT_EQ(saver->saveAs(kWidePath), hr::kOk);
  ASSERT_TRUE(files.files.contains(std::string(kPath)));

  auto received = ok(utilities()->getItemFromMsgFile(kWidePath, false));
  EXPECT_FALSE(received->queryTask().has_value()) << "a file item lies outside any folder";

  // Copy it onto a fresh local task, as a receiving add-in does.
  auto local = ok(ok(app()->createItem(item_kind::kTask))->queryTask());
  ASSERT_EQ(local->save(), hr::kOk);
  auto copier = safeTask();
  ASSERT_EQ(copier->putItem(received), hr::kOk);
  ASSERT_EQ(copier->copyTo(local), hr::kOk);
  ASSERT_EQ(local->save(), hr::kOk);
  EXPECT_EQ(client.item(ok(local->entryId()))->data, fullTask());
}

TEST_F(MailMessageFileTest, UserPropertiesReadAsNamedPublicStrings) {
  files.files[std::string(kPath)] = mail::encodeMessageFile(fullTask());
  auto util = utilities();
  auto received = ok(util->getItemFromMsgFile(kWidePath, false));
  auto message = ok(received->querySafeMessage());

  std::int32_t tag =
      ok(util->getIdsFromNames(received, prop_set::kPublicStrings, u"quendrilaxid", false));
  EXPECT_EQ(tag & 0xFFFF, 0) << "the type part is left to the caller";
  auto value = ok(message->field(tag | prop_type::kString8));
  EXPECT_EQ(*value.text(), u"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}");
  // Lower-case set text names the same set; other names are unknown without create.
  EXPECT_EQ(ok(util->getIdsFromNames(received, u"{00020329-0000-0000-c000-000000000046}",
                                     u"quendrilaxid", false)),
            tag);
  EXPECT_EQ(util->getIdsFromNames(received, prop_set::kPublicStrings, u"nothere", false).error(),
            hr::kMapiNotFound);
  std::int32_t created =
      ok(util->getIdsFromNames(received, prop_set::kPublicStrings, u"nothere", true));
  EXPECT_EQ(message->field(created | prop_type::kString8).error(), hr::kMapiNotFound);
  // A number is not there when asked for as text.
  std::int32_t menge =
      ok(util->getIdsFromNames(received, prop_set::kPublicStrings, u"Menge", false));
  EXPECT_EQ(message->field(menge | prop_type::kString8).error(), hr::kMapiNotFound);
}

TEST_F(MailMessageFileTest, DamagedTruncatedOrForeignFilesAreRefusedWhole) {
  const std::vector<std::uint8_t> good = mail::encodeMessageFile(fullTask());
  ASSERT_TRUE(mail::decodeMessageFile(good).has_value());

  // Every truncation, and a flipped bit in every byte.
  for (std::size_t n = 0; n < good.size(); ++n) {
    std::span<const std::uint8_t> prefix(good.data(), n);
    EXPECT_EQ(mail::decodeMessageFile(prefix).error(), hr::kMapiCorruptData) << n;
    std::vector<std::uint8_t> flipped = good;
    flipped[n] ^= 0x10;
    EXPECT_EQ(mail::decodeMessageFile(flipped).error(), hr::kMapiCorruptData) << n;
  }
  std::vector<std::uint8_t> extended = good;
  extended.push_back(0);
  EXPECT_FALSE(mail::decodeMessageFile(extended).has_value());

  // Line ends rewritten by a text-mode transfer.
  std::vector<std::uint8_t> rewritten;
  for (std::uint8_t b : good) {
    if (b == '\n') rewritten.push_back('\r');
    rewritten.push_back(b);
  }
  EXPECT_FALSE(mail::decodeMessageFile(rewritten).has_value());

  const std::string foreign = "From: someone\r\nSubject: not a message file\r\n\r\n";
  EXPECT_FALSE(mail::decodeMessageFile(
                   std::span(reinterpret_cast<const std::uint8_t*>(foreign.data()), foreign.size()))
                   .has_value());
}

TEST_F(MailMessageFileTest, ReadingABadFileReportsAStatusAndMakesNoItem) {
  auto util = utilities();
  EXPECT_EQ(util->getItemFromMsgFile(u"C:\\none\\sync.msg", false).error(),
            static_cast<Hresult>(0x80070002u));
  files.files["C:\\bad\\sync.msg"] = {'Q', 'X', 'M', 'S', 'G', 0x1A, 0x0D, 0x0A, 1};
  EXPECT_EQ(util->getItemFromMsgFile(u"C:\\bad\\sync.msg", false).error(), hr::kMapiCorruptData);
}

TEST_F(MailMessageFileTest, CopyToMergesIntoTheTargetsWorkingCopy) {
  std::u16string targetId = client.addItem(tasksId(), [] {
    auto d = task(u"old");
    d.userProperties.push_back({u"local", user_property_type::kText, Variant(u"kept")});
    d.userProperties.push_back({u"lastsharename", user_property_type::kText, Variant(u"old")});
    return d;
  }());
  files.files[std::string(kPath)] = mail::encodeMessageFile(fullTask());
  auto received = ok(utilities()->getItemFromMsgFile(kWidePath, false));
  auto target = openTask(targetId);
  auto copier = safeTask();
  ASSERT_EQ(copier->putItem(received), hr::kOk);
  ASSERT_EQ(copier->copyTo(target), hr::kOk);
  EXPECT_EQ(client.item(targetId)->data.subject, u"old") << "stored only by the caller's save";
  ASSERT_EQ(target->save(), hr::kOk);
  auto stored = client.item(targetId)->data;
  EXPECT_EQ(stored.subject, fullTask().subject);
  EXPECT_EQ(*stored.findUserProperty(u"local")->value.text(), u"kept");
  EXPECT_EQ(*stored.findUserProperty(u"lastsharename")->value.text(), u"Büroplanung");
  EXPECT_EQ(stored.userProperties.size(), fullTask().userProperties.size() + 1);

  EXPECT_EQ(copier->copyTo(nullptr), hr::kPointer);
  EXPECT_EQ(copier->copyTo(ok(createSafeTaskItem(client.library()))), hr::kInvalidArg);
  EXPECT_EQ(safeTask()->copyTo(target), hr::kUnexpected) << "nothing put into it yet";
}

}  // namespace
}  // namespace qx::sim::mailtest

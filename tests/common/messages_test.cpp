#include "common/messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace qx {
namespace {

std::string narrow(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '#';
  return out;
}

struct Quoted {
  LangId language;
  int id;
  std::u16string_view text;
};

// Texts that other parts of the add-in, the mails and the user's documentation
// rely on, letter for letter.
const Quoted kQuoted[] = {
    {lang::kEnglishUs, 100, u"Quendrilax"},
    {lang::kGerman, 100, u"Quendrilax"},
    {lang::kSpanish, 100, u"Quendrilax"},
    {lang::kEnglishUs, 213, u"Basicsynchronisation:"},
    {lang::kGerman, 213, u"Grundabgleich:"},
    {lang::kSpanish, 213, u"Alineación básica:"},
    {lang::kEnglishUs, 214, u"Quendrilax"},
    {lang::kGerman, 214, u"Quendrilax"},
    {lang::kSpanish, 214, u"Quendrilax"},
    {lang::kEnglishUs, 215, u"Error"},
    {lang::kGerman, 215, u"Fehler"},
    {lang::kSpanish, 215, u"Error"},
    {lang::kEnglishUs, 216, u"This address is already  in the list"},
    {lang::kGerman, 216, u"Die Adresse ist schon vorhanden!"},
    {lang::kSpanish, 216, u"¡La dirección ya esta presente!"},
    {lang::kEnglishUs, 218,
     u"All tasks want be synchronized again,\nthe synchronization runs in the Background\nIt "
     u"doesn't matter if you stop Outlook in between."},
    {lang::kGerman, 218,
     u"Hierbei werden alle Aufgaben erneut zu den jeweiligen Synchronisationsempfängern "
     u"gesendet!\nDer Grundabgleich wird im Hintergrund stattfinden."},
    {lang::kSpanish, 218,
     u"En este caso se envian las entradas de esta carpeta otra vez a los receptores "
     u"respectivos de la sincronización"},
    {lang::kEnglishUs, 219, u"!!!"},
    {lang::kGerman, 219, u"Achtung!"},
    {lang::kSpanish, 219, u"¡Atención!"},
    {lang::kEnglishUs, 221, u"help.chm"},
    {lang::kGerman, 221, u"hilfe.chm"},
    {lang::kSpanish, 221, u"help.chm"},
    {lang::kEnglishUs, 222,
     u"Would you like to make a basicsynchronisation now?\nIf you choice cancel, you will get "
     u"only the newest items synchronized!"},
    {lang::kGerman, 222,
     u"Wollen Sie den Grundabgleich durchführen?\nWenn Sie NEIN wählen, so werden nur neue "
     u"eingetragene Termine synchronisiert.\nDer Grundabgleich arbeitet im Hintergrund bis alle "
     u"Termine abgearbeitet sind,\ndabei spielt es keine Rolle, ob Outlook zwischendurch beendet "
     u"wurde."},
    {lang::kSpanish, 222, u"Usted desea ejecutar la alineación básica?"},
    {lang::kEnglishUs, 223, u"Hessaplex is not right registered"},
    {lang::kGerman, 223, u"Hessaplex ist nicht richtig registriert"},
    {lang::kSpanish, 223, u"¡Hessaplex ni esta regitrada correctamente!"},
    {lang::kEnglishUs, 1224, u"Synchronize this folder"},
    {lang::kGerman, 1224, u"Dieses Verzeichnis synchronisieren"},
    {lang::kSpanish, 1224, u"Synchronize this folder"},
    {lang::kEnglishUs, 1226, u"Run basicsynchronisation"},
    {lang::kGerman, 1226, u"Grundabgleich durchführen"},
    {lang::kSpanish, 1226, u"Run basicsynchronisation"},
    {lang::kEnglishUs, 1227, u"Sharename:"},
    {lang::kGerman, 1227, u"Freigabename:"},
    {lang::kSpanish, 1227, u"Sharename:"},
    {lang::kEnglishUs, 1228,
     u"Please use for all folders which you want to share with this folder, the same sharename."},
    {lang::kGerman, 1228,
     u"Sie müssen in allen Aufgabenordnern, welche mit diesem zu synchronisieren sind, den "
     u"gleichen Freigabenamen vergeben!"},
    {lang::kSpanish, 1228,
     u"Please use for all folders which you want to share with this folder, the same sharename."},
    {lang::kEnglishUs, 1229, u"synchronisation-recipients"},
    {lang::kGerman, 1229, u"Liste der Synchronisationsempfänger"},
    {lang::kSpanish, 1229, u"synchronisation-recipients"},
    {lang::kEnglishUs, 1231,
     u"Please insert here all users, with which you want to synchronize your appointments!"},
    {lang::kGerman, 1231,
     u"Tragen Sie hier bitte alle Outlookbenutzer mit ihren E-Mail Adressen ein, welche die "
     u"Änderungen in diesem Ordner empfangen sollen."},
    {lang::kSpanish, 1231,
     u"Please insert here all users, with which you want to synchronize your appointments!"},
    {lang::kEnglishUs, 1233, u"Basicsynchronisation"},
    {lang::kGerman, 1233, u"Grundabgleich"},
    {lang::kSpanish, 1233, u"Basicsynchronisation"},
    {lang::kEnglishUs, 1234, u"items left"},
    {lang::kGerman, 1234, u"Aufgaben verbleiben"},
    {lang::kSpanish, 1234, u"items left"},
    {lang::kEnglishUs, 1237,
     u"Sorry, but you have no SP3 installed, to run Quendrilax you have to install it first"},
    {lang::kGerman, 1237,
     u"Um Quendrilax mit Outlook XP benutzen zu können, muß Office SP3 installiert sein."},
    {lang::kSpanish, 1237,
     u"Sorry, but you have no SP3 installed, to run Quendrilax you have to install it first"},
};

TEST(MessagesTest, QuotedTextsAreExact) {
  for (const Quoted& q : kQuoted) {
    EXPECT_EQ(loadMessage(q.language, q.id), q.text)
        << "id " << q.id << " language " << std::hex << q.language;
  }
}

TEST(MessagesTest, PlaceholderTextStartsWithTheQuotedSentenceAndGoesOn) {
  const std::u16string_view english =
      u"Sorry, it is not possible to synchronize other folders than PST-folders";
  const std::u16string_view german =
      u"Leider ist es nicht möglich dieses Verzeichnis mit Quendrilax abzugleichen, da es nicht "
      u"aus einer PST-Datei stammt.";
  for (auto [language, prefix] :
       {std::pair{lang::kEnglishUs, english}, std::pair{lang::kSpanish, english},
        std::pair{lang::kGerman, german}}) {
    std::u16string_view text = loadMessage(language, msg::kPlaceholderPage);
    EXPECT_TRUE(text.starts_with(prefix)) << narrow(text);
    EXPECT_GT(text.size(), prefix.size() + 10) << "no recommendation follows";
  }
}

// The notice heads every sync mail, whose reader finds its fields by plain
// substring search; a marker inside the notice would corrupt every mail.
TEST(MessagesTest, MailNoticeHoldsNoMarkerOfTheMailBody) {
  for (LangId language : {lang::kEnglishUs, lang::kGerman, lang::kSpanish}) {
    std::u16string_view text = loadMessage(language, msg::kMailNotice);
    ASSERT_FALSE(text.empty());
    std::u16string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char16_t c) { return c >= u'A' && c <= u'Z' ? c + 32 : c; });
    for (std::u16string_view marker : {u"is:", u"lf:", u":lf", u"id:", u":id"}) {
      EXPECT_EQ(lower.find(marker), std::u16string::npos)
          << narrow(marker) << " in " << narrow(text);
    }
  }
}

TEST(MessagesTest, NeutralNoticeIsOneQuotedLineNamingProductAndSite) {
  std::u16string_view text = loadMessage(lang::kEnglishUs, msg::kMailNotice);
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(text.front(), u'"');
  EXPECT_EQ(text.back(), u'"');
  EXPECT_EQ(text.find(u'\n'), std::u16string_view::npos);
  EXPECT_NE(text.find(u"Quendrilax"), std::u16string_view::npos);
  EXPECT_NE(text.find(u"www."), std::u16string_view::npos);
  // The German notice puts its pointer to the site on a second line.
  EXPECT_NE(loadMessage(lang::kGerman, msg::kMailNotice).find(u"\nWeitere"),
            std::u16string_view::npos);
}

TEST(MessagesTest, RegionalVariantsShareTheirLanguagesTableOthersFallBackToNeutral) {
  struct Case {
    LangId language;
    LangId expectedTable;
  };
  const Case cases[] = {
      {0x0407, lang::kGerman},    {0x0807, lang::kGerman},    {0x0C07, lang::kGerman},
      {0x1007, lang::kGerman},    {0x1407, lang::kGerman},    {0x0C0A, lang::kSpanish},
      {0x040A, lang::kSpanish},   {0x080A, lang::kSpanish},   {0x2C0A, lang::kSpanish},
      {0x0409, lang::kEnglishUs}, {0x0809, lang::kEnglishUs}, {0x040C, lang::kEnglishUs},
      {0x0411, lang::kEnglishUs}, {0x0000, lang::kEnglishUs}, {0x0416, lang::kEnglishUs},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(loadMessage(c.language, msg::kErrorCaption) == u"Fehler",
              c.expectedTable == lang::kGerman)
        << std::hex << c.language;
    EXPECT_EQ(loadMessage(c.language, msg::kBasicSyncCaptionPrefix),
              loadMessage(c.expectedTable, msg::kBasicSyncCaptionPrefix))
        << std::hex << c.language;
    EXPECT_EQ(loadMessage(c.language, msg::kBasicSyncAgainCaption),
              loadMessage(c.expectedTable, msg::kBasicSyncAgainCaption))
        << std::hex << c.language;
  }
}

TEST(MessagesTest, EveryIdHasATextInEveryTableAndUnknownIdsAreEmpty) {
  const int expected[] = {100, 213, 214,  215,  216,  218,  219,  220,  221,  222,  223,
                          225, 230, 1224, 1226, 1227, 1228, 1229, 1231, 1233, 1234, 1237,
                          1240, 1241};
  ASSERT_TRUE(std::ranges::equal(messageIds(), expected));
  for (int id : messageIds()) {
    for (LangId language : {lang::kEnglishUs, lang::kGerman, lang::kSpanish}) {
      EXPECT_FALSE(loadMessage(language, id).empty()) << id << " " << std::hex << language;
    }
  }
  for (int id : {0, 99, 101, 217, 224, 1225, 1238, -1}) {
    EXPECT_TRUE(loadMessage(lang::kGerman, id).empty()) << id;
    EXPECT_TRUE(loadMessage(lang::kEnglishUs, id).empty()) << id;
  }
}

}  // namespace
}  // namespace qx

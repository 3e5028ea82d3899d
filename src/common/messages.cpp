#include "common/messages.h"

#include <algorithm>
#include <array>

namespace qx {
namespace {

struct Message {
  int id;
  std::u16string_view neutral;
  std::u16string_view german;
  std::u16string_view spanish;
};

// Kept sorted by id: the lookup below is a binary search.
constexpr Message kMessages[] = {
    {msg::kProjectName, u"Quendrilax", u"Quendrilax", u"Quendrilax"},
    {msg::kBasicSyncCaptionPrefix, u"Basicsynchronisation:", u"Grundabgleich:",
     u"Alineación básica:"},
    {msg::kProductName, u"Quendrilax", u"Quendrilax", u"Quendrilax"},
    {msg::kErrorCaption, u"Error", u"Fehler", u"Error"},
    {msg::kDuplicateAddress, u"This address is already  in the list",
     u"Die Adresse ist schon vorhanden!", u"¡La dirección ya esta presente!"},
    {msg::kBasicSyncAgainQuestion,
     u"All tasks want be synchronized again,\nthe synchronization runs in the Background\n"
     u"It doesn't matter if you stop Outlook in between.",
     u"Hierbei werden alle Aufgaben erneut zu den jeweiligen Synchronisationsempfängern "
     u"gesendet!\nDer Grundabgleich wird im Hintergrund stattfinden.",
     u"En este caso se envian las entradas de esta carpeta otra vez a los receptores "
     u"respectivos de la sincronización"},
    {msg::kBasicSyncAgainCaption, u"!!!", u"Achtung!", u"¡Atención!"},
    // The notice heads every sync mail; receivers search the body for their
    // markers, so none of these texts may hold a marker.
    {msg::kMailNotice,
     u"\"This e-mail was sent by Quendrilax. More about Quendrilax at "
     u"https://www.vantrosse.example\"",
     u"Diese E-Mail wird von Quendrilax automatisch übernommen und in den Aufgabenordner "
     u"eingetragen. Wenn Sie diese Nachricht in Ihrem Posteingang finden, ist Quendrilax nicht "
     u"richtig installiert.\nWeitere Informationen zu Quendrilax finden Sie unter "
     u"https://www.vantrosse.example",
     u"Quendrilax recoge este correo automáticamente y lo anota en la carpeta de tareas. Si "
     u"encuentra este mensaje en su bandeja de entrada, Quendrilax no está instalado "
     u"correctamente."},
    {msg::kHelpFile, u"help.chm", u"hilfe.chm", u"help.chm"},
    {msg::kBasicSyncQuestion,
     u"Would you like to make a basicsynchronisation now?\nIf you choice cancel, you will get "
     u"only the newest items synchronized!",
     u"Wollen Sie den Grundabgleich durchführen?\nWenn Sie NEIN wählen, so werden nur neue "
     u"eingetragene Termine synchronisiert.\nDer Grundabgleich arbeitet im Hintergrund bis alle "
     u"Termine abgearbeitet sind,\ndabei spielt es keine Rolle, ob Outlook zwischendurch beendet "
     u"wurde.",
     u"Usted desea ejecutar la alineación básica?"},
    {msg::kLibraryMissing, u"Hessaplex is not right registered",
     u"Hessaplex ist nicht richtig registriert", u"¡Hessaplex ni esta regitrada correctamente!"},
    {msg::kPlaceholderPage,
     u"Sorry, it is not possible to synchronize other folders than PST-folders.\n"
     u"To share these tasks, move them into a task folder of a personal folders file.",
     u"Leider ist es nicht möglich dieses Verzeichnis mit Quendrilax abzugleichen, da es nicht "
     u"aus einer PST-Datei stammt.\nUm diese Aufgaben abzugleichen, verschieben Sie sie bitte in "
     u"einen Aufgabenordner einer PST-Datei.",
     u"Sorry, it is not possible to synchronize other folders than PST-folders.\n"
     u"To share these tasks, move them into a task folder of a personal folders file."},
    {msg::kUnsupportedHost, u"This version of the mail client is not supported by Quendrilax.",
     u"Diese Version des Mailprogramms wird von Quendrilax nicht unterstützt.",
     u"This version of the mail client is not supported by Quendrilax."},
    {msg::kSyncThisFolder, u"Synchronize this folder", u"Dieses Verzeichnis synchronisieren",
     u"Synchronize this folder"},
    {msg::kRunBasicSync, u"Run basicsynchronisation", u"Grundabgleich durchführen",
     u"Run basicsynchronisation"},
    {msg::kShareNameLabel, u"Sharename:", u"Freigabename:", u"Sharename:"},
    {msg::kShareNameHint,
     u"Please use for all folders which you want to share with this folder, the same sharename.",
     u"Sie müssen in allen Aufgabenordnern, welche mit diesem zu synchronisieren sind, den "
     u"gleichen Freigabenamen vergeben!",
     u"Please use for all folders which you want to share with this folder, the same sharename."},
    {msg::kRecipientsGroup, u"synchronisation-recipients", u"Liste der Synchronisationsempfänger",
     u"synchronisation-recipients"},
    {msg::kRecipientsHint,
     u"Please insert here all users, with which you want to synchronize your appointments!",
     u"Tragen Sie hier bitte alle Outlookbenutzer mit ihren E-Mail Adressen ein, welche die "
     u"Änderungen in diesem Ordner empfangen sollen.",
     u"Please insert here all users, with which you want to synchronize your appointments!"},
    {msg::kBasicSyncTitle, u"Basicsynchronisation", u"Grundabgleich", u"Basicsynchronisation"},
    {msg::kItemsLeft, u"items left", u"Aufgaben verbleiben", u"items left"},
    {msg::kHostUpdateNeeded,
     u"Sorry, but you have no SP3 installed, to run Quendrilax you have to install it first",
     u"Um Quendrilax mit Outlook XP benutzen zu können, muß Office SP3 installiert sein.",
     u"Sorry, but you have no SP3 installed, to run Quendrilax you have to install it first"},
    {msg::kAddressTooLong, u"This address is too long: an address has at most 255 characters.",
     u"Die Adresse ist zu lang: eine Adresse hat höchstens 255 Zeichen.",
     u"La dirección es demasiado larga: una dirección tiene como máximo 255 caracteres."},
    {msg::kAddressBackslash, u"An address cannot hold a backslash (\\).",
     u"Eine Adresse darf keinen umgekehrten Schrägstrich (\\) enthalten.",
     u"Una dirección no puede contener una barra invertida (\\)."},
};

constexpr bool sortedById() {
  for (std::size_t i = 1; i < std::size(kMessages); ++i) {
    if (kMessages[i - 1].id >= kMessages[i].id) return false;
  }
  return true;
}
static_assert(sortedById(), "message table must stay sorted by id");

constexpr auto kIds = [] {
  std::array<int, std::size(kMessages)> ids{};
  for (std::size_t i = 0; i < ids.size(); ++i) ids[i] = kMessages[i].id;
  return ids;
}();

}  // namespace

std::u16string_view loadMessage(LangId language, int id) {
  const auto* found = std::lower_bound(std::begin(kMessages), std::end(kMessages), id,
                                       [](const Message& m, int key) { return m.id < key; });
  if (found == std::end(kMessages) || found->id != id) return {};
  switch (lang::primary(language)) {
    case lang::kPrimaryGerman:
      return found->german;
    case lang::kPrimarySpanish:
      return found->spanish;
    default:
      return found->neutral;
  }
}

std::span<const int> messageIds() { return kIds; }

}  // namespace qx

#pragma once
// The add-in's message table: every text the user sees, in a neutral (English),
// a German and a Spanish table, looked up like a string resource by id in the
// UI language captured at connection.
#include <span>
#include <string_view>

#include "platform/locale.h"

namespace qx {

namespace msg {
inline constexpr int kProjectName = 100;
inline constexpr int kBasicSyncCaptionPrefix = 213;
inline constexpr int kProductName = 214;
inline constexpr int kErrorCaption = 215;
inline constexpr int kDuplicateAddress = 216;
inline constexpr int kBasicSyncAgainQuestion = 218;
inline constexpr int kBasicSyncAgainCaption = 219;
inline constexpr int kMailNotice = 220;
inline constexpr int kHelpFile = 221;
inline constexpr int kBasicSyncQuestion = 222;
inline constexpr int kLibraryMissing = 223;
inline constexpr int kPlaceholderPage = 225;
inline constexpr int kUnsupportedHost = 230;
inline constexpr int kSyncThisFolder = 1224;
inline constexpr int kRunBasicSync = 1226;
inline constexpr int kShareNameLabel = 1227;
inline constexpr int kShareNameHint = 1228;
inline constexpr int kRecipientsGroup = 1229;
inline constexpr int kRecipientsHint = 1231;
inline constexpr int kBasicSyncTitle = 1233;
inline constexpr int kItemsLeft = 1234;
inline constexpr int kHostUpdateNeeded = 1237;
inline constexpr int kAddressTooLong = 1240;
inline constexpr int kAddressBackslash = 1241;
}  // namespace msg

// The text of message `id` in the table that serves `language`: German and its
// regional variants read the German table, Spanish and its variants the
// Spanish one, every other language the neutral table. An id that is in no
// table gives an empty text, as a failed string load does.
std::u16string_view loadMessage(LangId language, int id);

// Every id the table holds, ascending.
std::span<const int> messageIds();

}  // namespace qx

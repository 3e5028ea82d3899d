#pragma once
// The folder property page's dialog template and the ids of its controls.
#include "platform/window_system.h"

namespace qx {

namespace folder_page {
inline constexpr int kTemplateId = 123;
inline constexpr int kSyncCheckBox = 221;
inline constexpr int kAddressField = 215;
inline constexpr int kAddButton = 216;  // ">>"
inline constexpr int kRecipientList = 217;
inline constexpr int kRecipientsGroup = 222;
inline constexpr int kRemoveButton = 218;  // "<<"
inline constexpr int kShareNameField = 219;
inline constexpr int kShareNameLabel = 247;
inline constexpr int kShareNameHint = 248;
inline constexpr int kRecipientsHint = 250;
inline constexpr int kBasicSyncButton = 227;
inline constexpr int kAddressBookButton = 220;  // "?"
inline constexpr int kPictureBitmap = 227;
}  // namespace folder_page

// Controls in tab order; texts from the message table are set when the
// dialog is initialised.
DialogTemplate folderPageTemplate();

namespace empty_page {
inline constexpr int kTemplateId = 124;
inline constexpr int kMessageText = 251;
}  // namespace empty_page

DialogTemplate emptyPageTemplate();

}  // namespace qx

#include "ui/folder_page_template.h"

#include <cstdint>

namespace qx {

namespace {

// Window and control styles as the resource compiler writes them.
constexpr std::uint32_t kChild = 0x40000000u;
constexpr std::uint32_t kVisible = 0x10000000u;
constexpr std::uint32_t kDisabled = 0x08000000u;
constexpr std::uint32_t kBorder = 0x00800000u;
constexpr std::uint32_t kVScroll = 0x00200000u;
constexpr std::uint32_t kGroup = 0x00020000u;
constexpr std::uint32_t kTabStop = 0x00010000u;
constexpr std::uint32_t kDsSetFont = 0x00000040u;
constexpr std::uint32_t kExControlParent = 0x00010000u;
constexpr std::uint32_t kBsAutoCheckBox = 0x3u;
constexpr std::uint32_t kBsGroupBox = 0x7u;
constexpr std::uint32_t kBsFlat = 0x8000u;
constexpr std::uint32_t kEsAutoHScroll = 0x80u;
constexpr std::uint32_t kLbsNotify = 0x1u;
constexpr std::uint32_t kLbsSort = 0x2u;
constexpr std::uint32_t kLbsNoIntegralHeight = 0x100u;
constexpr std::uint32_t kLbsHasStrings = 0x40u;
constexpr std::uint32_t kSsCenter = 0x1u;
constexpr std::uint32_t kSsBitmap = 0xEu;
constexpr std::uint32_t kSsCenterImage = 0x200u;
constexpr std::uint32_t kSsSunken = 0x1000u;  // the client edge of the picture

constexpr std::uint32_t kControl = kChild | kVisible;

}  // namespace

DialogTemplate folderPageTemplate() {
  using namespace folder_page;
  DialogTemplate dialog;
  dialog.id = kTemplateId;
  dialog.width = 261;
  dialog.height = 239;
  dialog.fontName = u"Tahoma";
  dialog.fontSize = 8;
  dialog.style = kChild | kDsSetFont;
  dialog.exStyle = kExControlParent;
  dialog.controls = {
      {kSyncCheckBox, u"BUTTON", u"", 109, 13, 126, 10, kControl | kBsAutoCheckBox | kTabStop},
      {kAddressField, u"EDIT", u"", 30, 147, 77, 14,
       kControl | kBorder | kEsAutoHScroll | kGroup | kTabStop},
      {kAddButton, u"BUTTON", u">>", 113, 147, 21, 14, kControl | kBsFlat | kDisabled},
      {kRecipientList, u"LISTBOX", u"", 139, 147, 97, 67,
       kControl | kLbsSort | kLbsNotify | kLbsHasStrings | kLbsNoIntegralHeight | kVScroll |
           kBorder},
      {kRecipientsGroup, u"BUTTON", u"", 16, 134, 229, 86, kControl | kBsGroupBox | kGroup},
      {kRemoveButton, u"BUTTON", u"<<", 114, 168, 21, 14, kControl | kBsFlat | kDisabled},
      {kShareNameField, u"EDIT", u"", 108, 82, 128, 14, kControl | kBorder | kEsAutoHScroll},
      {kShareNameLabel, u"STATIC", u"", 109, 73, 49, 8, kControl},
      {-1, u"BUTTON", u"", 15, 5, 230, 125, kControl | kBsGroupBox},
      {kShareNameHint, u"STATIC", u"", 19, 99, 222, 26, kControl},
      {kRecipientsHint, u"STATIC", u"", 22, 166, 88, 51, kControl},
      {kBasicSyncButton, u"BUTTON", u"", 108, 42, 127, 14, kControl | kBsFlat | kDisabled},
      {-1, u"STATIC", u"#227", 19, 12, 82, 84, kControl | kSsBitmap | kSsCenterImage | kSsSunken},
      {kAddressBookButton, u"BUTTON", u"?", 22, 147, 8, 14, kControl | kBsFlat | kTabStop},
  };
  return dialog;
}

DialogTemplate emptyPageTemplate() {
  DialogTemplate dialog;
  dialog.id = empty_page::kTemplateId;
  dialog.width = 256;
  dialog.height = 226;
  dialog.fontName = u"MS Sans Serif";
  dialog.fontSize = 8;
  dialog.style = kChild | kDsSetFont;
  dialog.controls = {
      {-1, u"BUTTON", u"Quendrilax", 17, 16, 221, 191, kControl | kBsGroupBox},
      {empty_page::kMessageText, u"STATIC", u"", 37, 54, 183, 123, kControl | kSsCenter},
  };
  return dialog;
}

}  // namespace qx

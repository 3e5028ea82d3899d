#include "basicsync/progress_dialog.h"

#include <algorithm>

namespace qx {

namespace {
// WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT.
constexpr std::uint32_t kDialogStyle = 0x80C808C0u;
constexpr std::uint32_t kToolWindow = 0x00000080u;
// WS_CHILD | WS_VISIBLE | WS_BORDER.
constexpr std::uint32_t kBarStyle = 0x50800000u;
// WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | SS_CENTER.
constexpr std::uint32_t kTextStyle = 0x50030001u;
// WS_CHILD | WS_VISIBLE | SS_ICON.
constexpr std::uint32_t kIconStyle = 0x50000003u;
}  // namespace

DialogTemplate progressTemplate() {
  DialogTemplate dialog;
  dialog.id = progress_dialog::kTemplateId;
  // The same in every language.
  dialog.caption = u"Grundabgleich";
  dialog.width = 187;
  dialog.height = 48;
  dialog.fontName = u"MS Sans Serif";
  dialog.fontSize = 8;
  dialog.style = kDialogStyle;
  dialog.exStyle = kToolWindow;
  dialog.controls = {
      {progress_dialog::kBarId, u"msctls_progress32", u"", 7, 35, 173, 6, kBarStyle},
      {progress_dialog::kTextId, u"STATIC", u"", 9, 17, 144, 8, kTextStyle},
      // The add-in's icon resource.
      {progress_dialog::kIconId, u"STATIC", u"#225", 156, 9, 21, 20, kIconStyle},
  };
  return dialog;
}

CProgress::~CProgress() { destroy(); }

bool CProgress::create(WindowHandle parent) {
  if (exists()) return true;
  WindowHandle created = kNoWindow;
  if (windows_.createDialog(progressTemplate(), parent, *this, created) != win::kSuccess)
    return false;
  handle_ = created;
  return exists();
}

bool CProgress::show() { return exists() && windows_.showWindow(handle_, win::kSwShow); }

void CProgress::setRange(std::int64_t itemCount) {
  if (!exists()) return;
  itemCount_ = std::max<std::int64_t>(itemCount, 0);
  const auto high = static_cast<std::uint16_t>(std::min(itemCount_, progress_dialog::kBarMaximum));
  windows_.progressSetRange(handle_, progress_dialog::kBarId, 0, high);
}

void CProgress::setPos(std::int64_t position) {
  if (!exists()) return;
  std::int64_t bar = position;
  if (itemCount_ > progress_dialog::kBarMaximum)
    bar = position * progress_dialog::kBarMaximum / itemCount_;
  windows_.progressSetPos(handle_, progress_dialog::kBarId, static_cast<int>(bar));
}

void CProgress::setText(std::u16string_view text) {
  if (!exists()) return;
  windows_.setItemText(handle_, progress_dialog::kTextId, text);
}

bool CProgress::repaint() { return exists() && windows_.updateWindow(handle_); }

void CProgress::destroy() {
  if (!exists()) return;
  windows_.destroyWindow(std::exchange(handle_, kNoWindow));
}

void CProgress::onInitDialog(WindowHandle dialog) { (void)dialog; }

void CProgress::onCommand(WindowHandle dialog, int controlId, int notifyCode) {
  (void)notifyCode;
  // OK and Cancel end the dialog; the listing that owns it destroys it.
  if (controlId == win::kIdOk || controlId == win::kIdCancel)
    windows_.showWindow(dialog, win::kSwHide);
}

}  // namespace qx

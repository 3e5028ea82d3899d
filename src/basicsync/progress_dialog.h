#pragma once
// The small window a listing shows while it writes a folder's basic-sync
// queue: the folder's name with the percentage reached, a bar and the
// add-in's icon. It is a modeless dialog that only displays what it is given;
// the listing pumps no messages for it, so it is repainted item by item.
#include <cstdint>
#include <string_view>

#include "platform/window_system.h"

namespace qx {

namespace progress_dialog {
inline constexpr int kTemplateId = 244;
inline constexpr int kBarId = 245;
inline constexpr int kTextId = 246;
inline constexpr int kIconId = -1;
// The bar's limits travel in 16 bits.
inline constexpr std::int64_t kBarMaximum = 0xFFFF;
}  // namespace progress_dialog

// The dialog template of the progress window.
DialogTemplate progressTemplate();

class CProgress final : public DialogSink {
 public:
  explicit CProgress(WindowSystem& windows) : windows_(windows) {}
  // Destroys the window if it still exists.
  ~CProgress() override;
  CProgress(const CProgress&) = delete;
  CProgress& operator=(const CProgress&) = delete;

  // Creates the window, not yet visible. False when no window exists.
  bool create(WindowHandle parent);
  bool show();
  // The setters do nothing without a window.
  // The bar runs from 0 to `itemCount`. Counts beyond what the bar holds are
  // scaled, so that the bar fills exactly at the last item.
  void setRange(std::int64_t itemCount);
  void setPos(std::int64_t position);
  void setText(std::u16string_view text);
  // False once the window is gone.
  bool repaint();
  void destroy();

  WindowHandle handle() const { return handle_; }
  bool exists() const { return handle_ != kNoWindow; }

  void onInitDialog(WindowHandle dialog) override;
  void onCommand(WindowHandle dialog, int controlId, int notifyCode) override;

 private:
  WindowSystem& windows_;
  WindowHandle handle_ = kNoWindow;
  std::int64_t itemCount_ = 0;
};

}  // namespace qx

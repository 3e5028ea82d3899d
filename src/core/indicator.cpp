// The temporary toolbar that shows the basic synchronization's progress in the
// host's explorer window during the first catch-up phase of a run.
#include <string_view>

#include "common/messages.h"
#include "core/addin_module.h"
#include "core/sync_engine.h"
#include "platform/mail_application.h"
#include "platform/mail_command_bars.h"
#include "platform/mail_namespace.h"

namespace qx {

namespace {

constexpr std::u16string_view kToolbarName = u"Vantrosse";
constexpr std::int32_t kTopPosition = 1;
constexpr std::int32_t kFaceId = 790;

// The visible bar of ours that an earlier run or another add-in of the maker
// left up. The first bar whose name begins with ours decides: a hidden one is
// not used.
std::shared_ptr<CommandBar> visibleBarOfOurs(CommandBars& bars, bool& failedCall) {
  auto count = bars.count();
  if (!count) {
    failedCall = true;
    return nullptr;
  }
  for (std::int32_t i = 1; i <= *count; ++i) {
    auto bar = bars.item(i);
    if (!bar) {
      failedCall = true;
      return nullptr;
    }
    auto name = (*bar)->name();
    if (!name) {
      failedCall = true;
      return nullptr;
    }
    if (!name->starts_with(kToolbarName)) continue;
    auto visible = (*bar)->visible();
    if (!visible) {
      failedCall = true;
      return nullptr;
    }
    return *visible ? *bar : nullptr;
  }
  return nullptr;
}

bool setUpButton(CommandBarButton& button, std::u16string_view productName) {
  return succeeded(button.setStyle(button_style::kIconAndCaption)) &&
         succeeded(button.setFaceId(kFaceId)) && succeeded(button.setVisible(true)) &&
         succeeded(button.setCaption(productName)) && succeeded(button.setEnabled(true)) &&
         succeeded(button.setTooltipText(productName)) && succeeded(button.setTag(productName));
}

}  // namespace

void SyncEngine::showIndicator() {
  if (indicatorToolbar_ || !namespace_) return;
  auto application = namespace_->application();
  if (!application) return;
  auto explorer = (*application)->activeExplorer();
  // No explorer window (the host runs without one): nothing to show it in.
  if (!explorer || !*explorer) return;
  auto bars = (*explorer)->commandBars();
  if (!bars) return;

  bool failedCall = false;
  std::shared_ptr<CommandBar> bar = visibleBarOfOurs(**bars, failedCall);
  if (failedCall) return;
  const bool added = !bar;
  if (added) {
    auto newBar = (*bars)->add(kToolbarName, kTopPosition, true);
    if (!newBar) return;
    bar = std::move(*newBar);
  }
  // A later tick tries again from the start: what this attempt put up goes.
  auto giveUp = [&](const std::shared_ptr<CommandBarButton>& button) {
    if (button) button->deleteControl();
    if (added) bar->deleteBar();
  };

  auto controls = bar->controls();
  if (!controls) return giveUp(nullptr);
  auto control = (*controls)->add(control_type::kButton, true);
  if (!control) return giveUp(nullptr);
  auto button = (*control)->queryCommandBarButton();
  if (!button) return giveUp(nullptr);
  if (!setUpButton(**button, loadMessage(module_.uiLanguage(), msg::kProductName)) ||
      failed(bar->setVisible(true)))
    return giveUp(*button);
  indicatorToolbar_ = std::move(bar);
  indicatorButton_ = std::move(*button);
}

void SyncEngine::removeIndicator() {
  // Both references stay: the indicator is not put up again in this run.
  if (indicatorButton_) indicatorButton_->deleteControl();
  if (indicatorToolbar_) indicatorToolbar_->deleteBar();
}

void SyncEngine::setIndicatorText(std::u16string_view caption, std::u16string_view tooltip) {
  if (!indicatorButton_) return;
  if (!caption.empty()) indicatorButton_->setCaption(caption);
  if (!tooltip.empty()) indicatorButton_->setTooltipText(tooltip);
  // Disabling and enabling makes the host repaint the button.
  indicatorButton_->setEnabled(false);
  indicatorButton_->setEnabled(true);
}

}  // namespace qx

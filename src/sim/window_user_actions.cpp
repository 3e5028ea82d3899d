// The simulated user at work on the dialogs, and what the windows show.
#include <algorithm>

#include "sim/window_system_sim.h"

namespace qx::sim {

bool WindowSystemSim::typeText(WindowHandle dialog, int id, std::u16string_view text) {
  ControlState* edit = findControl(dialog, id, ControlKind::kEdit);
  if (!edit || !edit->enabled) return false;
  edit->text = text;
  notify(dialog, id, qx::win::kEnChange);
  return true;
}

bool WindowSystemSim::click(WindowHandle dialog, int id) {
  ControlState* button = findControl(dialog, id, ControlKind::kButton);
  if (!button || !button->enabled) return false;
  if (button->checksOnClick()) {
    const bool radio = (button->style & style::kBsTypeMask) == style::kBsAutoRadioButton;
    button->checked = radio || !button->checked;
  }
  notify(dialog, id, qx::win::kBnClicked);
  return true;
}

bool WindowSystemSim::selectListEntry(WindowHandle dialog, int id, int index) {
  ControlState* list = findControl(dialog, id, ControlKind::kListBox);
  if (!list || !list->enabled || index < 0 || index >= list->list.count()) return false;
  const bool changed = list->list.selection() != index;
  list->list.select(index);
  if (changed && (list->style & style::kLbsNotify) != 0) {
    notify(dialog, id, qx::win::kLbnSelChange);
  }
  return true;
}

bool WindowSystemSim::doubleClickListEntry(WindowHandle dialog, int id, int index) {
  if (!selectListEntry(dialog, id, index)) return false;
  // The selection change may have closed the dialog.
  const ControlState* list = findControl(dialog, id, ControlKind::kListBox);
  if (list && (list->style & style::kLbsNotify) != 0) notify(dialog, id, qx::win::kLbnDblClk);
  return true;
}

bool WindowSystemSim::pressHelp(WindowHandle dialog) {
  const Window* window = find(dialog);
  if (!window || !window->dialogSink) return false;
  DialogSink* sink = window->dialogSink;
  sink->onHelp(dialog);
  return true;
}

const ControlState* WindowSystemSim::control(WindowHandle dialog, int id) const {
  return const_cast<WindowSystemSim*>(this)->findControl(dialog, id);
}

std::vector<std::u16string> WindowSystemSim::listEntries(WindowHandle dialog, int id) const {
  const ControlState* list = control(dialog, id);
  if (!list || list->kind != ControlKind::kListBox) return {};
  return list->list.entries();
}

std::vector<WindowHandle> WindowSystemSim::dialogs() const {
  std::vector<WindowHandle> open;
  for (const auto& [handle, window] : windows_) {
    if (window.dialogSink) open.push_back(handle);
  }
  return open;
}

std::optional<WindowHandle> WindowSystemSim::findDialog(int templateId) const {
  std::optional<WindowHandle> newest;
  for (const auto& [handle, window] : windows_) {
    if (window.dialogSink && window.templateId == templateId) newest = handle;
  }
  return newest;
}

std::optional<std::u16string> WindowSystemSim::caption(WindowHandle handle) const {
  const Window* window = find(handle);
  if (!window) return std::nullopt;
  return window->caption;
}

std::optional<WindowHandle> WindowSystemSim::parentOf(WindowHandle handle) const {
  const Window* window = find(handle);
  if (!window) return std::nullopt;
  return window->parent;
}

bool WindowSystemSim::isVisible(WindowHandle handle) const {
  const Window* window = find(handle);
  return window && window->visible;
}

int WindowSystemSim::repaintCount(WindowHandle handle) const {
  const Window* window = find(handle);
  return window ? window->repaints : 0;
}

}  // namespace qx::sim

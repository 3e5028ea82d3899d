#include "sim/window_system_sim.h"

#include <algorithm>

namespace qx::sim {
namespace {

constexpr WindowHandle kDesktop = 0x10010;

}  // namespace

WindowSystemSim::WindowSystemSim(UiThread& thread, Faults& faults)
    : thread_(thread), faults_(faults) {}

WindowSystemSim::~WindowSystemSim() {
  // The thread outlives this object: no tick may reach it afterwards.
  for (const auto& [handle, window] : windows_) thread_.killTimers(handle);
}

bool WindowSystemSim::failed(const char* operation) { return faults_.check(operation).has_value(); }

bool WindowSystemSim::exists(WindowHandle window) const {
  return window == kDesktop || windows_.contains(window);
}

WindowSystemSim::Window* WindowSystemSim::find(WindowHandle window) {
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : &it->second;
}

const WindowSystemSim::Window* WindowSystemSim::find(WindowHandle window) const {
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : &it->second;
}

ControlState* WindowSystemSim::findControl(WindowHandle dialog, int id) {
  Window* window = find(dialog);
  if (!window) return nullptr;
  // Several controls may share an id (-1); the first in template order answers.
  auto it = std::find_if(window->controls.begin(), window->controls.end(),
                         [&](const ControlState& control) { return control.id == id; });
  return it == window->controls.end() ? nullptr : &*it;
}

ControlState* WindowSystemSim::findControl(WindowHandle dialog, int id, ControlKind kind) {
  ControlState* control = findControl(dialog, id);
  return control && control->kind == kind ? control : nullptr;
}

ControlHistory* WindowSystemSim::historyOf(WindowHandle dialog, const ControlState& control) {
  Window* window = find(dialog);
  if (!window || !window->record) return nullptr;
  const auto index = static_cast<std::size_t>(&control - window->controls.data());
  return &history_[*window->record].controls[index];
}

void WindowSystemSim::notify(WindowHandle dialog, int id, int code) {
  const Window* window = find(dialog);
  if (!window || !window->dialogSink) return;
  DialogSink* sink = window->dialogSink;
  sink->onCommand(dialog, id, code);
}

void WindowSystemSim::deliverTimer(WindowHandle handle, std::uint32_t id) {
  const Window* window = find(handle);
  // A dialog's timers go to the default dialog procedure: nothing happens.
  if (!window || !window->windowSink) return;
  WindowSink* sink = window->windowSink;
  sink->onTimer(handle, id);
}

WindowHandle WindowSystemSim::desktopWindow() {
  if (failed("windows.desktopWindow")) return kNoWindow;
  return kDesktop;
}

WinError WindowSystemSim::createWindow(WindowHandle parent, std::uint32_t style, WindowSink& sink,
                                       WindowHandle& created) {
  created = kNoWindow;
  if (auto status = faults_.check("windows.createWindow")) return winError(*status);
  if (parent != kNoWindow && !exists(parent)) return kErrorInvalidWindowHandle;
  if ((style & qx::win::kWsChild) != 0 && parent == kNoWindow) return kErrorTopLevelChild;
  const WindowHandle handle = nextHandle_;
  nextHandle_ += 0x10;
  Window& window = windows_[handle];
  window.parent = parent;
  window.style = style;
  window.visible = (style & qx::win::kWsVisible) != 0;
  window.windowSink = &sink;
  created = handle;
  return qx::win::kSuccess;
}

WinError WindowSystemSim::createDialog(const DialogTemplate& dialogTemplate, WindowHandle parent,
                                       DialogSink& sink, WindowHandle& created) {
  created = kNoWindow;
  if (auto status = faults_.check("windows.createDialog")) return winError(*status);
  if (parent != kNoWindow && !exists(parent)) return kErrorInvalidWindowHandle;
  if ((dialogTemplate.style & qx::win::kWsChild) != 0 && parent == kNoWindow) {
    return kErrorTopLevelChild;
  }
  const WindowHandle handle = nextHandle_;
  nextHandle_ += 0x10;
  Window& window = windows_[handle];
  window.parent = parent;
  window.style = dialogTemplate.style;
  window.visible = (dialogTemplate.style & qx::win::kWsVisible) != 0;
  window.dialogSink = &sink;
  window.templateId = dialogTemplate.id;
  window.caption = dialogTemplate.caption;
  DialogRecord record;
  record.handle = handle;
  record.templateId = dialogTemplate.id;
  record.caption = dialogTemplate.caption;
  record.shown = window.visible;
  for (const DialogControl& control : dialogTemplate.controls) {
    window.controls.emplace_back(control);
    ControlHistory history;
    history.id = control.id;
    history.kind = window.controls.back().kind;
    history.lastPosition = window.controls.back().progress.position();
    record.controls.push_back(std::move(history));
  }
  window.record = history_.size();
  history_.push_back(std::move(record));
  created = handle;
  sink.onInitDialog(handle);
  // A dialog that destroys itself while it initialises is never handed out.
  if (!exists(handle)) {
    created = kNoWindow;
    return kErrorInvalidWindowHandle;
  }
  return qx::win::kSuccess;
}

bool WindowSystemSim::destroyWindow(WindowHandle handle) {
  if (failed("windows.destroyWindow")) return false;
  if (!windows_.contains(handle)) return false;
  // Children go with their parent, and the timers with their window.
  std::vector<WindowHandle> doomed{handle};
  for (std::size_t i = 0; i < doomed.size(); ++i) {
    for (const auto& [child, window] : windows_) {
      if (window.parent == doomed[i]) doomed.push_back(child);
    }
  }
  for (WindowHandle window : doomed) {
    thread_.killTimers(window);
    if (const Window* gone = find(window); gone && gone->record)
      history_[*gone->record].open = false;
    windows_.erase(window);
  }
  return true;
}

void WindowSystemSim::destroyAll() {
  for (const auto& [handle, window] : windows_) {
    thread_.killTimers(handle);
    if (window.record) history_[*window.record].open = false;
  }
  windows_.clear();
}

bool WindowSystemSim::showWindow(WindowHandle handle, int command) {
  if (failed("windows.showWindow")) return false;
  if (handle == kDesktop) return true;
  Window* window = find(handle);
  if (!window) return false;
  const bool wasVisible = window->visible;
  window->visible = command != qx::win::kSwHide;
  if (window->visible && window->record) history_[*window->record].shown = true;
  return wasVisible;
}

bool WindowSystemSim::updateWindow(WindowHandle handle) {
  if (failed("windows.updateWindow")) return false;
  if (handle == kDesktop) return true;
  Window* window = find(handle);
  if (!window) return false;
  ++window->repaints;
  return true;
}

bool WindowSystemSim::isWindow(WindowHandle handle) {
  if (failed("windows.isWindow")) return false;
  return exists(handle);
}

bool WindowSystemSim::setTimer(WindowHandle handle, std::uint32_t id, std::uint32_t milliseconds) {
  if (failed("windows.setTimer")) return false;
  if (!windows_.contains(handle)) return false;
  const std::uint32_t interval = std::clamp(milliseconds, kTimerMinimumMs, kTimerMaximumMs);
  thread_.setTimer(handle, id, interval, [this, handle, id] { deliverTimer(handle, id); });
  return true;
}

bool WindowSystemSim::killTimer(WindowHandle handle, std::uint32_t id) {
  if (failed("windows.killTimer")) return false;
  return windows_.contains(handle) && thread_.killTimer(handle, id);
}

int WindowSystemSim::messageBox(WindowHandle owner, std::u16string_view text,
                                std::u16string_view caption, std::uint32_t type) {
  if (failed("windows.messageBox")) return 0;
  if (owner != kNoWindow && !exists(owner)) return 0;
  const MessageBoxRecord record =
      boxes_.show(owner, text, caption, type, thread_.clock().nowMs(), thread_.modalDepth());
  thread_.modalLoop(record.openMs);
  return record.answer;
}

bool WindowSystemSim::setItemText(WindowHandle dialog, int id, std::u16string_view text) {
  if (failed("windows.setItemText")) return false;
  ControlState* control = findControl(dialog, id);
  if (!control) return false;
  control->text = text;
  if (ControlHistory* history = historyOf(dialog, *control)) history->texts.emplace_back(text);
  if (control->kind == ControlKind::kEdit) notify(dialog, id, qx::win::kEnChange);
  return true;
}

Result<std::u16string> WindowSystemSim::itemText(WindowHandle dialog, int id) {
  if (auto status = faults_.check("windows.itemText")) return failure(*status);
  if (!exists(dialog)) return failure(kHrInvalidWindowHandle);
  const ControlState* control = findControl(dialog, id);
  if (!control) return failure(kHrControlIdNotFound);
  return control->text;
}

bool WindowSystemSim::enableItem(WindowHandle dialog, int id, bool enable) {
  if (failed("windows.enableItem")) return false;
  ControlState* control = findControl(dialog, id);
  if (!control) return false;
  control->enabled = enable;
  return true;
}

bool WindowSystemSim::isItemEnabled(WindowHandle dialog, int id) {
  if (failed("windows.isItemEnabled")) return false;
  const ControlState* control = findControl(dialog, id);
  return control && control->enabled;
}

bool WindowSystemSim::checkButton(WindowHandle dialog, int id, bool checked) {
  if (failed("windows.checkButton")) return false;
  ControlState* control = findControl(dialog, id);
  if (!control) return false;
  if (control->checkable()) control->checked = checked;
  return true;
}

bool WindowSystemSim::isButtonChecked(WindowHandle dialog, int id) {
  if (failed("windows.isButtonChecked")) return false;
  const ControlState* control = findControl(dialog, id);
  return control && control->checked;
}

int WindowSystemSim::listAddString(WindowHandle dialog, int id, std::u16string_view text) {
  if (failed("windows.listAddString")) return qx::win::kLbErr;
  ControlState* list = findControl(dialog, id, ControlKind::kListBox);
  return list ? list->list.add(text) : qx::win::kLbErr;
}

int WindowSystemSim::listDeleteString(WindowHandle dialog, int id, int index) {
  if (failed("windows.listDeleteString")) return qx::win::kLbErr;
  ControlState* list = findControl(dialog, id, ControlKind::kListBox);
  return list ? list->list.remove(index) : qx::win::kLbErr;
}

int WindowSystemSim::listCount(WindowHandle dialog, int id) {
  if (failed("windows.listCount")) return qx::win::kLbErr;
  ControlState* list = findControl(dialog, id, ControlKind::kListBox);
  return list ? list->list.count() : qx::win::kLbErr;
}

int WindowSystemSim::listSelection(WindowHandle dialog, int id) {
  if (failed("windows.listSelection")) return qx::win::kLbErr;
  ControlState* list = findControl(dialog, id, ControlKind::kListBox);
  return list ? list->list.selection() : qx::win::kLbErr;
}

int WindowSystemSim::listSetSelection(WindowHandle dialog, int id, int index) {
  if (failed("windows.listSetSelection")) return qx::win::kLbErr;
  ControlState* list = findControl(dialog, id, ControlKind::kListBox);
  return list ? list->list.select(index) : qx::win::kLbErr;
}

Result<std::u16string> WindowSystemSim::listText(WindowHandle dialog, int id, int index) {
  if (auto status = faults_.check("windows.listText")) return failure(*status);
  if (!exists(dialog)) return failure(kHrInvalidWindowHandle);
  ControlState* list = findControl(dialog, id, ControlKind::kListBox);
  if (!list) return failure(kHrControlIdNotFound);
  if (index < 0 || index >= list->list.count()) return failure(hr::kInvalidArg);
  return list->list.entries()[static_cast<std::size_t>(index)];
}

int WindowSystemSim::listResetContent(WindowHandle dialog, int id) {
  if (failed("windows.listResetContent")) return qx::win::kLbErr;
  ControlState* list = findControl(dialog, id, ControlKind::kListBox);
  if (!list) return qx::win::kLbErr;
  list->list.clear();
  return 0;
}

int WindowSystemSim::listFindExact(WindowHandle dialog, int id, int startAfter,
                                   std::u16string_view text) {
  if (failed("windows.listFindExact")) return qx::win::kLbErr;
  ControlState* list = findControl(dialog, id, ControlKind::kListBox);
  return list ? list->list.findExact(startAfter, text) : qx::win::kLbErr;
}

bool WindowSystemSim::progressSetRange(WindowHandle dialog, int id, std::uint16_t low,
                                       std::uint16_t high) {
  if (failed("windows.progressSetRange")) return false;
  ControlState* bar = findControl(dialog, id, ControlKind::kProgress);
  if (!bar) return false;
  bar->progress.setRange(low, high);
  if (ControlHistory* history = historyOf(dialog, *bar)) {
    history->ranges.emplace_back(low, high);
    history->lastPosition = bar->progress.position();
  }
  return true;
}

bool WindowSystemSim::progressSetPos(WindowHandle dialog, int id, int position) {
  if (failed("windows.progressSetPos")) return false;
  ControlState* bar = findControl(dialog, id, ControlKind::kProgress);
  if (!bar) return false;
  bar->progress.setPosition(position);
  if (ControlHistory* history = historyOf(dialog, *bar)) {
    history->positions.push_back(position);
    history->lastPosition = bar->progress.position();
  }
  return true;
}

}  // namespace qx::sim

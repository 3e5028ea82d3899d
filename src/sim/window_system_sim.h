#pragma once
// Windows, timers, message boxes and modeless dialogs of one simulated user,
// on that user's UI thread. Timer ticks and posted messages reach the windows
// only when the thread pumps: after a top-level call or inside a modal loop,
// so a message box that stays open for a while of virtual time delivers the
// ticks that fall due meanwhile, as the real one does.
//
// Every port call first asks the faults under "windows." + its name
// ("windows.createWindow", "windows.setTimer", "windows.messageBox",
// "windows.listAddString", ...) and fails as the host call would: a status
// where it returns one, false, 0, kLbErr or an empty result otherwise.
//
// Besides the port, tests and the scenario runner act as the user (typing,
// clicking, double-clicking a list entry, pressing F1) and look at what the
// windows show.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/window_system.h"
#include "sim/dialog_controls.h"
#include "sim/faults.h"
#include "sim/message_box_script.h"
#include "sim/ui_thread.h"

namespace qx::sim {

// ERROR_INVALID_WINDOW_HANDLE, ERROR_CONTROL_ID_NOT_FOUND, ERROR_TLW_WITH_WSCHILD.
inline constexpr WinError kErrorInvalidWindowHandle = winError(1400);
inline constexpr WinError kErrorControlIdNotFound = winError(1421);
inline constexpr WinError kErrorTopLevelChild = winError(1406);
// The same as HRESULTs, for the calls that return Result.
inline constexpr Hresult kHrInvalidWindowHandle = static_cast<Hresult>(0x80070578u);
inline constexpr Hresult kHrControlIdNotFound = static_cast<Hresult>(0x8007058Du);
// SetTimer's limits: shorter or longer intervals run at the limit.
inline constexpr std::uint32_t kTimerMinimumMs = 10;
inline constexpr std::uint32_t kTimerMaximumMs = 0x7FFFFFFF;

class WindowSystemSim final : public WindowSystem {
 public:
  // The thread and the faults must outlive the window system.
  WindowSystemSim(UiThread& thread, Faults& faults);
  ~WindowSystemSim() override;
  WindowSystemSim(const WindowSystemSim&) = delete;
  WindowSystemSim& operator=(const WindowSystemSim&) = delete;

  // --- the port ---
  WindowHandle desktopWindow() override;
  WinError createWindow(WindowHandle parent, std::uint32_t style, WindowSink& sink,
                        WindowHandle& created) override;
  WinError createDialog(const DialogTemplate& dialogTemplate, WindowHandle parent, DialogSink& sink,
                        WindowHandle& created) override;
  bool destroyWindow(WindowHandle window) override;
  // Returns whether the window was visible before, as the host does.
  bool showWindow(WindowHandle window, int command) override;
  bool updateWindow(WindowHandle window) override;
  bool isWindow(WindowHandle window) override;
  bool setTimer(WindowHandle window, std::uint32_t id, std::uint32_t milliseconds) override;
  bool killTimer(WindowHandle window, std::uint32_t id) override;
  int messageBox(WindowHandle owner, std::u16string_view text, std::u16string_view caption,
                 std::uint32_t type) override;
  // An edit control reports every text set on it with EN_CHANGE, before the
  // call returns.
  bool setItemText(WindowHandle dialog, int id, std::u16string_view text) override;
  Result<std::u16string> itemText(WindowHandle dialog, int id) override;
  bool enableItem(WindowHandle dialog, int id, bool enable) override;
  bool isItemEnabled(WindowHandle dialog, int id) override;
  // Only check boxes and radio buttons keep the check.
  bool checkButton(WindowHandle dialog, int id, bool checked) override;
  bool isButtonChecked(WindowHandle dialog, int id) override;
  int listAddString(WindowHandle dialog, int id, std::u16string_view text) override;
  int listDeleteString(WindowHandle dialog, int id, int index) override;
  int listCount(WindowHandle dialog, int id) override;
  int listSelection(WindowHandle dialog, int id) override;
  int listSetSelection(WindowHandle dialog, int id, int index) override;
  Result<std::u16string> listText(WindowHandle dialog, int id, int index) override;
  int listResetContent(WindowHandle dialog, int id) override;
  int listFindExact(WindowHandle dialog, int id, int startAfter, std::u16string_view text) override;
  bool progressSetRange(WindowHandle dialog, int id, std::uint16_t low,
                        std::uint16_t high) override;
  bool progressSetPos(WindowHandle dialog, int id, int position) override;

  // --- the user ---
  // Scripted answers, taken in order by the boxes to come; without one a box
  // is answered with its first button (IDOK, IDYES) at once.
  void answerNextBox(int button, std::int64_t openMs = 0) { boxes_.push({button, openMs}); }
  MessageBoxScript& messageBoxes() { return boxes_; }
  const std::vector<MessageBoxRecord>& shownBoxes() const { return boxes_.shown(); }
  // Each returns false, sending nothing, when the control is missing, of
  // another kind or disabled.
  // Replaces an edit control's text as typing would and sends EN_CHANGE.
  bool typeText(WindowHandle dialog, int id, std::u16string_view text);
  // Clicks a button: an automatic check box toggles, then BN_CLICKED.
  bool click(WindowHandle dialog, int id);
  // Clicks a list entry: selects it, LBN_SELCHANGE when the list notifies.
  bool selectListEntry(WindowHandle dialog, int id, int index);
  // Double-clicks a list entry: selects it, then LBN_DBLCLK when the list notifies.
  bool doubleClickListEntry(WindowHandle dialog, int id, int index);
  // F1 on the dialog: WM_HELP.
  bool pressHelp(WindowHandle dialog);

  // The end of the host process: every window goes, with its timers. The log
  // of message boxes, the dialog history and the scripted answers stay.
  void destroyAll();

  // --- what the windows show ---
  const ControlState* control(WindowHandle dialog, int id) const;
  std::vector<std::u16string> listEntries(WindowHandle dialog, int id) const;
  // Open dialogs, oldest first; the newest one of a template, if any.
  std::vector<WindowHandle> dialogs() const;
  std::optional<WindowHandle> findDialog(int templateId) const;
  // Every modeless dialog created so far, oldest first, open or closed: what
  // was set on its controls survives the dialog.
  const std::vector<DialogRecord>& dialogHistory() const { return history_; }
  std::optional<std::u16string> caption(WindowHandle window) const;
  std::optional<WindowHandle> parentOf(WindowHandle window) const;
  bool isVisible(WindowHandle window) const;
  int repaintCount(WindowHandle window) const;
  std::size_t windowCount() const { return windows_.size(); }
  std::optional<std::uint32_t> timerInterval(WindowHandle window, std::uint32_t id) const {
    return thread_.timerInterval(window, id);
  }
  UiThread& thread() { return thread_; }

 private:
  struct Window {
    WindowHandle parent = kNoWindow;
    std::uint32_t style = 0;
    bool visible = false;
    WindowSink* windowSink = nullptr;
    DialogSink* dialogSink = nullptr;
    int templateId = 0;
    std::u16string caption;
    std::vector<ControlState> controls;
    int repaints = 0;
    // The dialog's entry in history_.
    std::optional<std::size_t> record;
  };

  bool exists(WindowHandle window) const;
  Window* find(WindowHandle window);
  const Window* find(WindowHandle window) const;
  ControlState* findControl(WindowHandle dialog, int id);
  ControlState* findControl(WindowHandle dialog, int id, ControlKind kind);
  // The history of a control found above, if its window is a dialog.
  ControlHistory* historyOf(WindowHandle dialog, const ControlState& control);
  // WM_COMMAND to the dialog's sink; the sink may destroy the dialog.
  void notify(WindowHandle dialog, int id, int code);
  void deliverTimer(WindowHandle window, std::uint32_t id);
  bool failed(const char* operation);

  UiThread& thread_;
  Faults& faults_;
  MessageBoxScript boxes_;
  // Handles are never reused, so a stale handle never names a new window.
  std::map<WindowHandle, Window> windows_;
  std::vector<DialogRecord> history_;
  WindowHandle nextHandle_ = 0x20010;
};

}  // namespace qx::sim

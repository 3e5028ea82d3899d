#pragma once
// The state of the controls of a simulated dialog: what the real controls keep
// and how they answer their messages (list box order and search, progress bar
// clamping, which buttons can be checked).
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/window_system.h"

namespace qx::sim {

namespace style {
inline constexpr std::uint32_t kWsDisabled = 0x08000000u;
inline constexpr std::uint32_t kWsVisible = 0x10000000u;
inline constexpr std::uint32_t kLbsNotify = 0x0001u;
inline constexpr std::uint32_t kLbsSort = 0x0002u;
inline constexpr std::uint32_t kBsTypeMask = 0x000Fu;
inline constexpr std::uint32_t kBsCheckBox = 0x2u;
inline constexpr std::uint32_t kBsAutoCheckBox = 0x3u;
inline constexpr std::uint32_t kBsRadioButton = 0x4u;
inline constexpr std::uint32_t kBs3State = 0x5u;
inline constexpr std::uint32_t kBsAuto3State = 0x6u;
inline constexpr std::uint32_t kBsAutoRadioButton = 0x9u;
}  // namespace style

// Texts compared as the host's case-insensitive comparison does it for the
// letters of the Latin, Greek and Cyrillic alphabets.
char16_t foldCase(char16_t c);
bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b);
// The order of a sorted list box: letters compare without regard to case and,
// first of all, without regard to accents; punctuation comes before digits,
// digits before letters; hyphens and apostrophes count only to break ties.
int compareForSorting(std::u16string_view a, std::u16string_view b);

class ListBoxState {
 public:
  explicit ListBoxState(bool sorted = false) : sorted_(sorted) {}

  // LB_ADDSTRING: the index the text went to. A sorted list inserts after the
  // entries that compare equal; the selected entry stays selected.
  int add(std::u16string_view text);
  // LB_DELETESTRING: the number of entries left, or kLbErr.
  int remove(int index);
  // LB_RESETCONTENT.
  void clear();
  // LB_FINDSTRINGEXACT: the whole entry without regard to case, starting after
  // `startAfter` and wrapping round to it; a start outside the list searches
  // from the top.
  int findExact(int startAfter, std::u16string_view text) const;
  // LB_SETCURSEL: the index, or kLbErr for -1 (no selection) and for an index
  // outside the list (the selection then stays).
  int select(int index);

  int count() const { return static_cast<int>(entries_.size()); }
  int selection() const { return selection_; }
  bool sorted() const { return sorted_; }
  const std::vector<std::u16string>& entries() const { return entries_; }

 private:
  bool sorted_;
  std::vector<std::u16string> entries_;
  int selection_ = win::kLbErr;
};

class ProgressState {
 public:
  // PBM_SETRANGE: the current position is pulled into the new range.
  void setRange(std::uint16_t low, std::uint16_t high);
  // PBM_SETPOS: positions outside the range stop at its ends.
  void setPosition(int position);

  std::uint16_t low() const { return low_; }
  std::uint16_t high() const { return high_; }
  int position() const { return position_; }

 private:
  std::uint16_t low_ = 0;
  std::uint16_t high_ = 100;
  int position_ = 0;
};

enum class ControlKind { kButton, kEdit, kListBox, kStatic, kProgress, kOther };

struct ControlState {
  explicit ControlState(const DialogControl& control);

  // Check boxes and radio buttons keep a check; push buttons and group boxes do not.
  bool checkable() const;
  // A click changes the check itself (automatic check box or radio button).
  bool checksOnClick() const;

  int id;
  ControlKind kind;
  std::u16string windowClass;
  std::uint32_t style;
  std::u16string text;
  bool enabled;
  bool visible;
  bool checked = false;
  ListBoxState list;
  ProgressState progress;
};

// What one control of a dialog was given over the dialog's life. Only calls
// that succeeded count.
struct ControlHistory {
  int id = 0;
  ControlKind kind = ControlKind::kOther;
  // Every text set on the control, in order.
  std::vector<std::u16string> texts;
  // A progress bar's ranges and positions as they were asked for, in order,
  // and where the bar stood at the end (within its range).
  std::vector<std::pair<std::uint16_t, std::uint16_t>> ranges;
  std::vector<int> positions;
  int lastPosition = 0;
};

// A modeless dialog as it was seen, kept after it closes.
struct DialogRecord {
  WindowHandle handle = kNoWindow;
  int templateId = 0;
  std::u16string caption;
  // Shown at least once; still open.
  bool shown = false;
  bool open = true;
  // One per control of the template, in template order.
  std::vector<ControlHistory> controls;

  // The first control with this id (template order), if any.
  const ControlHistory* control(int id) const;
};

}  // namespace qx::sim

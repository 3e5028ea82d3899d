#include "sim/message_box_script.h"

#include <algorithm>
#include <span>

namespace qx::sim {
namespace {

std::span<const int> buttonsOf(std::uint32_t type) {
  using namespace qx::win;
  static constexpr int kOk[] = {kIdOk};
  static constexpr int kOkCancel[] = {kIdOk, kIdCancel};
  static constexpr int kAbortRetryIgnore[] = {kIdAbort, kIdRetry, kIdIgnore};
  static constexpr int kYesNoCancel[] = {kIdYes, kIdNo, kIdCancel};
  static constexpr int kYesNo[] = {kIdYes, kIdNo};
  static constexpr int kRetryCancel[] = {kIdRetry, kIdCancel};
  switch (type & kMbTypeMask) {
    case kMbOkCancel:
      return kOkCancel;
    case kMbAbortRetryIgnore:
      return kAbortRetryIgnore;
    case kMbYesNoCancel:
      return kYesNoCancel;
    case kMbYesNo:
      return kYesNo;
    case kMbRetryCancel:
      return kRetryCancel;
    default:
      return kOk;
  }
}

}  // namespace

bool offersButton(std::uint32_t type, int button) {
  const auto buttons = buttonsOf(type);
  return std::find(buttons.begin(), buttons.end(), button) != buttons.end();
}

int defaultButton(std::uint32_t type) { return buttonsOf(type).front(); }

MessageBoxRecord MessageBoxScript::show(WindowHandle owner, std::u16string_view text,
                                        std::u16string_view caption, std::uint32_t type,
                                        std::int64_t nowMs, int modalDepth) {
  MessageBoxRecord record{
      owner,     std::u16string(caption), std::u16string(text), type, defaultButton(type), nowMs, 0,
      modalDepth};
  if (!pending_.empty()) {
    const ScriptedAnswer answer = pending_.front();
    pending_.pop_front();
    record.scripted = true;
    record.openMs = std::max<std::int64_t>(answer.openMs, 0);
    if (offersButton(type, answer.button)) {
      record.answer = answer.button;
    } else {
      record.scriptMismatch = true;
    }
  }
  shown_.push_back(record);
  if (observer_) observer_(record);
  return record;
}

}  // namespace qx::sim

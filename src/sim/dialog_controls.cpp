#include "sim/dialog_controls.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace qx::sim {
namespace {

// Base letters of U+0100..U+017F, in code point order.
constexpr std::string_view kLatinExtendedBase =
    "aaaaaacccccccc"
    "ddddeeeeeeeeeegggggggghhhh"
    "iiiiiiiiiiiijjkkk"
    "llllllllllnnnnnnnnnoooooooo"
    "rrrrrrsssssssstttttt"
    "uuuuuuuuuuuuwwyyyzzzzzzs";
static_assert(kLatinExtendedBase.size() == 0x80);

// Base letters of U+00E0..U+00FF ('*': no letter of its own, see below).
constexpr std::string_view kLatin1Base = "aaaaaa*ceeeeiiiidnooooo*ouuuuy*y";
static_assert(kLatin1Base.size() == 0x20);

enum Group : int { kSymbol = 0, kDigit = 1, kLetter = 2 };

struct Weight {
  int group;
  char16_t value;
  auto operator<=>(const Weight&) const = default;
};

bool isUpper(char16_t c) { return foldCase(c) != c; }

// The first-level weights of a text: letters reduced to their base letter,
// ligatures expanded, hyphens and apostrophes left out.
std::vector<Weight> primaryWeights(std::u16string_view text) {
  std::vector<Weight> weights;
  for (char16_t c : text) {
    if (c == u'-' || c == u'\'') continue;
    const char16_t folded = foldCase(c);
    if (folded >= u'0' && folded <= u'9') {
      weights.push_back({kDigit, folded});
    } else if (folded >= u'a' && folded <= u'z') {
      weights.push_back({kLetter, folded});
    } else if (folded == 0xDF) {  // sharp s sorts as "ss"
      weights.push_back({kLetter, u's'});
      weights.push_back({kLetter, u's'});
    } else if (folded == 0xE6) {  // ae ligature
      weights.push_back({kLetter, u'a'});
      weights.push_back({kLetter, u'e'});
    } else if (folded == 0xFE) {  // thorn sorts after z
      weights.push_back({kLetter, u'z' + 1});
    } else if (folded >= 0xE0 && folded <= 0xFF && kLatin1Base[folded - 0xE0] != '*') {
      weights.push_back({kLetter, static_cast<char16_t>(kLatin1Base[folded - 0xE0])});
    } else if (folded >= 0x100 && folded <= 0x17F) {
      weights.push_back({kLetter, static_cast<char16_t>(kLatinExtendedBase[folded - 0x100])});
    } else if (folded >= 0x370) {  // other alphabets after the Latin one
      weights.push_back({kLetter, folded});
    } else {
      weights.push_back({kSymbol, folded});
    }
  }
  return weights;
}

}  // namespace

char16_t foldCase(char16_t c) {
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 0x20);
  if (c < 0xC0) return c;
  if (c <= 0xDE) return c == 0xD7 ? c : static_cast<char16_t>(c + 0x20);
  if (c >= 0x100 && c <= 0x17F) {
    if (c == 0x130) return u'i';
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    if (c == 0x178) return 0xFF;
    const bool oddIsUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    const bool upper = oddIsUpper ? (c % 2 == 1) : (c % 2 == 0);
    return upper ? static_cast<char16_t>(c + 1) : c;
  }
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return static_cast<char16_t>(c + 0x20);
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 0x50);
  if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 0x20);
  return c;
}

bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char16_t x, char16_t y) { return foldCase(x) == foldCase(y); });
}

int compareForSorting(std::u16string_view a, std::u16string_view b) {
  const auto primaryA = primaryWeights(a);
  const auto primaryB = primaryWeights(b);
  if (primaryA != primaryB) {
    return std::lexicographical_compare(primaryA.begin(), primaryA.end(), primaryB.begin(),
                                        primaryB.end())
               ? -1
               : 1;
  }
  // Accents and the left-out marks, then lower case before upper case.
  std::u16string foldedA(a), foldedB(b);
  std::transform(foldedA.begin(), foldedA.end(), foldedA.begin(), foldCase);
  std::transform(foldedB.begin(), foldedB.end(), foldedB.begin(), foldCase);
  if (const int order = foldedA.compare(foldedB); order != 0) return order < 0 ? -1 : 1;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (isUpper(a[i]) != isUpper(b[i])) return isUpper(a[i]) ? 1 : -1;
  }
  return 0;
}

int ListBoxState::add(std::u16string_view text) {
  auto position = entries_.end();
  if (sorted_) {
    position = std::upper_bound(entries_.begin(), entries_.end(), text,
                                [](std::u16string_view value, const std::u16string& entry) {
                                  return compareForSorting(value, entry) < 0;
                                });
  }
  const int index = static_cast<int>(position - entries_.begin());
  entries_.insert(position, std::u16string(text));
  if (selection_ != win::kLbErr && index <= selection_) ++selection_;
  return index;
}

int ListBoxState::remove(int index) {
  if (index < 0 || index >= count()) return win::kLbErr;
  entries_.erase(entries_.begin() + index);
  if (selection_ == index) {
    selection_ = win::kLbErr;
  } else if (selection_ > index) {
    --selection_;
  }
  return count();
}

void ListBoxState::clear() {
  entries_.clear();
  selection_ = win::kLbErr;
}

int ListBoxState::findExact(int startAfter, std::u16string_view text) const {
  const int n = count();
  if (startAfter < 0 || startAfter >= n) startAfter = n - 1;
  for (int step = 1; step <= n; ++step) {
    const int index = (startAfter + step) % n;
    if (equalsIgnoringCase(entries_[index], text)) return index;
  }
  return win::kLbErr;
}

int ListBoxState::select(int index) {
  if (index == -1) {
    selection_ = win::kLbErr;
    return win::kLbErr;
  }
  if (index < 0 || index >= count()) return win::kLbErr;
  selection_ = index;
  return index;
}

void ProgressState::setRange(std::uint16_t low, std::uint16_t high) {
  low_ = low;
  high_ = high;
  setPosition(position_);
}

void ProgressState::setPosition(int position) {
  const int lowest = std::min<int>(low_, high_);
  const int highest = std::max<int>(low_, high_);
  position_ = std::clamp(position, lowest, highest);
}

namespace {

ControlKind kindOf(std::u16string_view windowClass) {
  const std::pair<std::u16string_view, ControlKind> kinds[] = {
      {u"BUTTON", ControlKind::kButton},
      {u"EDIT", ControlKind::kEdit},
      {u"LISTBOX", ControlKind::kListBox},
      {u"STATIC", ControlKind::kStatic},
      {u"msctls_progress32", ControlKind::kProgress},
  };
  for (const auto& [name, kind] : kinds) {
    if (equalsIgnoringCase(name, windowClass)) return kind;
  }
  return ControlKind::kOther;
}

}  // namespace

ControlState::ControlState(const DialogControl& control)
    : id(control.id),
      kind(kindOf(control.windowClass)),
      windowClass(control.windowClass),
      style(control.style),
      text(control.text),
      enabled((control.style & style::kWsDisabled) == 0),
      visible((control.style & style::kWsVisible) != 0),
      list(kind == ControlKind::kListBox && (control.style & style::kLbsSort) != 0) {}

bool ControlState::checkable() const {
  if (kind != ControlKind::kButton) return false;
  switch (style & style::kBsTypeMask) {
    case style::kBsCheckBox:
    case style::kBsAutoCheckBox:
    case style::kBsRadioButton:
    case style::kBs3State:
    case style::kBsAuto3State:
    case style::kBsAutoRadioButton:
      return true;
    default:
      return false;
  }
}

bool ControlState::checksOnClick() const {
  if (kind != ControlKind::kButton) return false;
  const std::uint32_t type = style & style::kBsTypeMask;
  return type == style::kBsAutoCheckBox || type == style::kBsAuto3State ||
         type == style::kBsAutoRadioButton;
}

const ControlHistory* DialogRecord::control(int id) const {
  auto it = std::find_if(controls.begin(), controls.end(),
                         [&](const ControlHistory& c) { return c.id == id; });
  return it == controls.end() ? nullptr : &*it;
}

}  // namespace qx::sim

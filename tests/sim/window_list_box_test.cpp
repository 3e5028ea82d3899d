#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/dialog_controls.h"
#include "sim/window_test_support.h"

namespace qx::sim {
namespace {

using Entries = std::vector<std::u16string>;

Entries filled(ListBoxState& list, const Entries& texts) {
  for (const auto& text : texts) list.add(text);
  return list.entries();
}

TEST(ListBoxTest, SortedListInsertsWithoutRegardToCaseOrAccents) {
  struct Case {
    Entries added;
    Entries expected;
  };
  const Case cases[] = {
      {{u"carol@x.de", u"Bob@x.de", u"alice@x.de"}, {u"alice@x.de", u"Bob@x.de", u"carol@x.de"}},
      // Upper case letters do not sort before all lower case ones.
      {{u"b", u"A", u"c", u"B"}, {u"A", u"b", u"B", u"c"}},
      // Accented letters sort with their base letter, not after "z".
      {{u"Zander", u"Birne", u"\u00C4pfel", u"Apfel"},
       {u"Apfel", u"\u00C4pfel", u"Birne", u"Zander"}},
      {{u"Stra\u00DFe", u"Strasse", u"Strb", u"Stra"},
       {u"Stra", u"Strasse", u"Stra\u00DFe", u"Strb"}},
      // Punctuation before digits before letters; hyphens only break ties.
      {{u"ab", u"1a", u"a-b", u"_x", u"ac"}, {u"_x", u"1a", u"a-b", u"ab", u"ac"}},
      {{u"\u0411\u043E\u0440\u0438\u0441", u"zed", u"\u0430\u043D\u044F"},
       {u"zed", u"\u0430\u043D\u044F", u"\u0411\u043E\u0440\u0438\u0441"}},
  };
  for (const Case& c : cases) {
    ListBoxState list(true);
    EXPECT_EQ(filled(list, c.added), c.expected);
  }
}

TEST(ListBoxTest, EqualEntriesKeepTheirOrderAndAddReportsTheIndex) {
  ListBoxState list(true);
  EXPECT_EQ(list.add(u"m"), 0);
  EXPECT_EQ(list.add(u"a"), 0);
  EXPECT_EQ(list.add(u"z"), 2);
  EXPECT_EQ(list.add(u"m"), 2);  // after the equal entry
  EXPECT_EQ(list.entries(), (Entries{u"a", u"m", u"m", u"z"}));

  ListBoxState unsorted;
  filled(unsorted, {u"z", u"a", u"m"});
  EXPECT_EQ(unsorted.entries(), (Entries{u"z", u"a", u"m"}));
  EXPECT_EQ(unsorted.add(u"b"), 3);
}

TEST(ListBoxTest, FindExactMatchesWholeEntriesWithoutRegardToCaseAndWraps) {
  ListBoxState list;
  filled(list, {u"a@x.de", u"B@X.DE", u"a@x.de", u"c@x.de"});
  struct Case {
    int startAfter;
    std::u16string text;
    int expected;
  };
  const Case cases[] = {
      {-1, u"A@X.DE", 0}, {0, u"a@x.de", 2},    {2, u"a@x.de", 0},  {1, u"a@x.de", 2},
      {3, u"c@x.de", 3},  {-1, u"b@x.de", 1},   {17, u"a@x.de", 0}, {-5, u"c@X.de", 3},
      {-1, u"a@x.d", -1}, {-1, u"a@x.dee", -1}, {-1, u"", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(list.findExact(c.startAfter, c.text), c.expected)
        << c.startAfter << " " << std::string(c.text.begin(), c.text.end());
  }
  EXPECT_EQ(ListBoxState().findExact(-1, u"a"), -1);

  ListBoxState accents;
  filled(accents, {u"J\u00F6rg", u"\u0416"});
  EXPECT_EQ(accents.findExact(-1, u"J\u00D6RG"), 0);
  EXPECT_EQ(accents.findExact(-1, u"JORG"), -1);
  EXPECT_EQ(accents.findExact(-1, u"\u0436"), 1);
}

TEST(ListBoxTest, SelectionFollowsItsEntry) {
  ListBoxState list(true);
  filled(list, {u"b", u"d"});
  EXPECT_EQ(list.selection(), -1);
  EXPECT_EQ(list.select(1), 1);
  list.add(u"a");
  EXPECT_EQ(list.selection(), 2);  // still "d"
  list.add(u"e");
  EXPECT_EQ(list.selection(), 2);
  EXPECT_EQ(list.remove(0), 3);
  EXPECT_EQ(list.selection(), 1);
  EXPECT_EQ(list.select(9), -1);  // outside: the selection stays
  EXPECT_EQ(list.selection(), 1);
  EXPECT_EQ(list.remove(1), 2);  // the selected entry goes
  EXPECT_EQ(list.selection(), -1);
  EXPECT_EQ(list.remove(2), -1);
  EXPECT_EQ(list.remove(-1), -1);
  EXPECT_EQ(list.select(0), 0);
  EXPECT_EQ(list.select(-1), -1);  // clearing also answers LB_ERR
  EXPECT_EQ(list.selection(), -1);
  list.select(0);
  list.clear();
  EXPECT_EQ(list.count(), 0);
  EXPECT_EQ(list.selection(), -1);
}

TEST(ProgressTest, PositionStaysInsideTheRange) {
  ProgressState bar;
  bar.setPosition(150);
  EXPECT_EQ(bar.position(), 100);  // default range 0..100
  // Only the low 16 bits of a count of 70000 reach the bar.
  bar.setRange(0, static_cast<std::uint16_t>(70000));
  EXPECT_EQ(bar.high(), 4464);
  bar.setPosition(5000);
  EXPECT_EQ(bar.position(), 4464);
  bar.setRange(0, 10);
  EXPECT_EQ(bar.position(), 10);
  bar.setPosition(-3);
  EXPECT_EQ(bar.position(), 0);
  bar.setRange(0, 0);
  bar.setPosition(1);
  EXPECT_EQ(bar.position(), 0);
}

TEST(ControlStateTest, TemplateStylesDecideStateAndBehaviour) {
  struct Case {
    const char16_t* windowClass;
    std::uint32_t style;
    ControlKind kind;
    bool enabled, checkable, checksOnClick;
  };
  const Case cases[] = {
      {u"BUTTON", 0x50010003u, ControlKind::kButton, true, true, true},     // auto check box
      {u"Button", 0x58010000u, ControlKind::kButton, false, false, false},  // disabled push button
      {u"BUTTON", 0x50000007u, ControlKind::kButton, true, false, false},   // group box
      {u"BUTTON", 0x50000002u, ControlKind::kButton, true, true, false},    // manual check box
      {u"edit", 0x50810080u, ControlKind::kEdit, true, false, false},
      {u"LISTBOX", 0x50A10103u, ControlKind::kListBox, true, false, false},
      {u"msctls_progress32", 0x50800000u, ControlKind::kProgress, true, false, false},
      {u"SysListView32", 0x50000000u, ControlKind::kOther, true, false, false},
  };
  for (const Case& c : cases) {
    ControlState control(testing::makeControl(1, c.windowClass, c.style));
    EXPECT_EQ(control.kind, c.kind) << c.style;
    EXPECT_EQ(control.enabled, c.enabled) << c.style;
    EXPECT_EQ(control.checkable(), c.checkable) << c.style;
    EXPECT_EQ(control.checksOnClick(), c.checksOnClick) << c.style;
  }
  ControlState sortedList(testing::makeControl(1, u"LISTBOX", 0x2));
  EXPECT_TRUE(sortedList.list.sorted());
  ControlState plainList(testing::makeControl(1, u"LISTBOX", 0x1));
  EXPECT_FALSE(plainList.list.sorted());
}

}  // namespace
}  // namespace qx::sim

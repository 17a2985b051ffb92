#include "panel_fixture.h"
#include "wide_texts.h"

using ConverterPanel::Result;

namespace {

const std::string kOnes32(32, '1');
const std::string kOnes33(33, '1');

// A panel of its own for one row of a table, with digits typed into Decimal.
struct TypedInDecimal {
  explicit TypedInDecimal(const char* keys) {
    host.FocusField(FieldKind::Decimal);
    host.Type(keys);
  }
  PanelState state{};
  FakeHost host{state};
};

// -1 stands for focus in some other window.
const int kFocusCases[] = {0, 1, 2, 3, -1};

// The characters each field takes, written out independently of the panel.
bool Allowed(int field, int code) {
  switch (field) {
    case 0: return code == '0' || code == '1';
    case 1: return code >= '0' && code <= '7';
    case 2: return code >= '0' && code <= '9';
    case 3: return (code >= '0' && code <= '9') || (code >= 'a' && code <= 'f') ||
                   (code >= 'A' && code <= 'F');
  }
  return false;
}

// Every byte in every field and with the focus elsewhere: the result, the
// focus and the texts it leaves behind.
TEST(ConverterPanelChar, EveryCodeInEveryFocus) {
  for (int focus : kFocusCases) {
    for (int code = 0; code < 256; ++code) {
      SCOPED_TRACE(testing::Message() << "focus " << focus << " code " << code);
      PanelState state{};
      FakeHost host(state);
      for (uint32_t f = 0; f < FieldCount; ++f) host.SetText(static_cast<FieldKind>(f), "1");
      if (focus < 0) host.FocusNone(); else host.FocusField(static_cast<FieldKind>(focus));

      const Result r = ConverterPanel::OnFieldChar(host, state, static_cast<uint8_t>(code));

      int wantFocus = focus;
      int cleared = -1;
      if (code == 8) {
        EXPECT_EQ(r, Result::HandOn);
      } else if (code == 9) {
        EXPECT_NE(r, Result::HandOn);  // a tab character never reaches the edit control
        if (focus >= 0) wantFocus = (focus + 1) % 4;
      } else if (code == 27) {
        EXPECT_EQ(r, Result::HandOn);
        cleared = focus;
      } else if (focus < 0) {
        EXPECT_EQ(r, Result::HandOn);
      } else {
        EXPECT_EQ(r, Allowed(focus, code) ? Result::HandOn : Result::Swallow);
      }
      for (int f = 0; f < 4; ++f) {
        EXPECT_EQ(host.Text(static_cast<FieldKind>(f)), f == cleared ? "" : "1");
        EXPECT_EQ(host.HasFocus(static_cast<FieldKind>(f)), f == wantFocus);
      }
      if (code == 9 && focus >= 0) {
        uint32_t start, end;
        host.GetSelection(static_cast<FieldKind>(wantFocus), start, end);
        EXPECT_EQ(start, 0u);
        EXPECT_EQ(end, 1u);
      }
      EXPECT_TRUE(host.warnings.empty());
    }
  }
}

using ConverterPanelTyping = PanelTest;

// Keys typed into one field (focused by a click) and all four texts after
// the last key release.
TEST_F(ConverterPanelTyping, ConvertsOnEveryKeyRelease) {
  struct Case {
    FieldKind field;
    const char* keys;
    Texts want;
  };
  const Case cases[] = {
      {kDec, "1", {"1", "1", "1", "1"}},
      {kDec, "4294967295", {kOnes32, "37777777777", "4294967295", "FFFFFFFF"}},
      {kDec, "007", {"111", "7", "007", "7"}},
      {kDec, "129\b", {"1100", "14", "12", "C"}},
      {kDec, "\b\b", {"0", "0", "", "0"}},
      {kDec, "12345678901", {"1001001100101100000001011010010", "11145401322", "1234567890",
                             "499602D2"}},
      {kDec, "1a-2 .3", {"1111011", "173", "123", "7B"}},
      {kOct, "18 9g2", {"1010", "12", "10", "A"}},
      {kOct, "37777777777", {kOnes32, "37777777777", "4294967295", "FFFFFFFF"}},
      {kHex, "fF", {"11111111", "377", "255", "fF"}},
      {kHex, "1gG2", {"10010", "22", "18", "12"}},
      {kHex, "123456789", {"10010001101000101011001111000", "2215053170", "305419896",
                           "12345678"}},
      {kBin, "0001", {"00001", "1", "1", "1"}},
      {kBin, "1021", {"0101", "5", "5", "5"}},
      {kBin, kOnes32.c_str(), {"0" + kOnes32.substr(1), "17777777777", "2147483647", "7FFFFFFF"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    PanelState fresh{};
    FakeHost h(fresh);
    h.FocusField(c.field);
    h.Select(c.field, UINT32_MAX, UINT32_MAX);
    h.Type(c.keys);
    EXPECT_EQ(TextsOf(h), c.want);
    EXPECT_TRUE(h.warnings.empty());
  }
}

TEST_F(ConverterPanelTyping, TypingInBinaryAtStartReplacesSelectedZero) {
  host.Type("101");
  EXPECT_EQ(All(), (Texts{"101", "5", "5", "5"}));
}

// Shift+Tab brings the same Tab character: the panel cannot tell them apart,
// so Shift is checked with real keys (e2e keys.shift_tab_moves_forward_like_tab).
TEST_F(ConverterPanelTyping, TabCyclesAndSelectsAll) {
  const FieldKind next[] = {kOct, kDec, kHex, kBin};
  ClickEnd(kDec);
  host.Type("12");
  FieldKind at = kDec;
  for (int step = 0; step < 4; ++step) {
    host.Type("\t");
    at = next[static_cast<int>(at)];
    ASSERT_TRUE(host.HasFocus(at));
    uint32_t start, end;
    host.GetSelection(at, start, end);
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, host.Text(at).size());
    EXPECT_EQ(All(), (Texts{"1100", "14", "12", "C"}));
  }
}

TEST_F(ConverterPanelTyping, EscEmptiesFocusedFieldOnly) {
  ClickEnd(kHex);
  host.Type("ff\x1b");
  EXPECT_EQ(All(), (Texts{"0", "0", "0", ""}));
  EXPECT_TRUE(host.HasFocus(kHex));

  host.Type("a");
  host.FocusNone();  // e.g. the main window itself
  EXPECT_EQ(ConverterPanel::OnFieldChar(host, state, 27), Result::HandOn);
  EXPECT_EQ(All(), (Texts{"1010", "12", "10", "a"}));
}

TEST_F(ConverterPanelTyping, KeyReleaseConvertsFromFocusedField) {
  ClickEnd(kDec);
  host.Type("255");
  host.SetText(kOct, "017");  // a text the focused field got from elsewhere
  host.FocusField(kOct);
  EXPECT_EQ(host.KeyUp(), Result::HandOn);
  EXPECT_EQ(All(), (Texts{"1111", "017", "15", "F"}));
  EXPECT_EQ(state.CurrentValue, 15u);

  host.FocusNone();
  host.SetText(kDec, "9");
  EXPECT_EQ(host.KeyUp(), Result::HandOn);
  EXPECT_EQ(All(), (Texts{"1111", "017", "9", "F"}));
}

TEST_F(ConverterPanelTyping, NonTypingKeysChangeNothingWhenCanonical) {
  ClickEnd(kDec);
  host.Type("4096");
  const Texts canonical = All();
  for (FieldKind f : {kBin, kOct, kDec, kHex}) {
    host.FocusField(f);
    host.KeyUp();
    host.KeyUp();
    EXPECT_EQ(All(), canonical);
    EXPECT_EQ(state.CurrentValue, 4096u);
  }
}

TEST_F(ConverterPanelTyping, LowerHexStaysUntilTabConvertsFromBinary) {
  ClickEnd(kHex);
  host.Type("ff");
  EXPECT_EQ(All(), (Texts{"11111111", "377", "255", "ff"}));
  host.Type("\t");
  EXPECT_TRUE(host.HasFocus(kBin));
  EXPECT_EQ(All(), (Texts{"11111111", "377", "255", "FF"}));
}

TEST_F(ConverterPanelTyping, LeadingZerosGoAfterTab) {
  ClickEnd(kDec);
  host.Type("007");
  EXPECT_EQ(host.Text(kDec), "007");
  host.Type("\t");
  EXPECT_TRUE(host.HasFocus(kHex));
  EXPECT_EQ(All(), (Texts{"111", "7", "7", "7"}));
}

using ConverterPanelOverflow = PanelTest;

const std::string kBin429 = "11001100110011001100110011001";  // 429496729

TEST_F(ConverterPanelOverflow, TenthDigitAfterConvertedTextIsUndone) {
  ClickEnd(kHex);
  host.Type("19999999");
  ASSERT_EQ(host.Text(kDec), "429496729");
  ClickEnd(kDec);
  host.Type("6");
  ASSERT_EQ(host.warnings.size(), 1u);
  const FakeHost::Warning& w = host.warnings[0];
  EXPECT_EQ(w.field, kDec);
  EXPECT_EQ(w.text, OverflowWarningTextW);
  EXPECT_EQ(w.caption, OverflowWarningCaptionW);
  EXPECT_EQ(w.depth, 1u);
  EXPECT_EQ(All(), (Texts{kBin429, "3146314631", "429496729", "19999999"}));
  EXPECT_TRUE(host.HasFocus(kDec));
  EXPECT_EQ(host.maxNesting, 2u);
  EXPECT_EQ(state.OverflowDepth, 0u);
}

// Digits typed one after another from an empty field are one edit, so the
// undo empties the field and the others show 0.
TEST_F(ConverterPanelOverflow, TypedFromEmptyUndoesWholeEntry) {
  struct Case {
    FieldKind field;
    const char* keys;
  };
  for (const Case& c : {Case{kDec, "4294967296"}, Case{kOct, "40000000000"},
                        Case{kOct, "77777777777"}, Case{kDec, "5000000000"}}) {
    SCOPED_TRACE(c.keys);
    PanelState fresh{};
    FakeHost h(fresh);
    h.FocusField(c.field);
    const std::string keys = c.keys;
    h.Type(keys.substr(0, keys.size() - 1));
    EXPECT_TRUE(h.warnings.empty());  // a 4 as first octal digit is fine until the 11th
    h.Type(keys.substr(keys.size() - 1));
    EXPECT_EQ(h.warnings.size(), 1u);
    EXPECT_EQ(TextsOf(h), EmptiedOthersZero(c.field));
    EXPECT_TRUE(h.HasFocus(c.field));
  }
}

TEST_F(ConverterPanelOverflow, AfterMinimizeBinaryRewritesTheOthers) {
  host.DrawnMinimise();
  ClickEnd(kDec);
  host.Type("4294967296");
  ASSERT_EQ(host.warnings.size(), 1u);
  // The undo emptied Decimal, but the resent release converted Binary, which
  // still held 429496729 from the ninth digit.
  EXPECT_EQ(All(), (Texts{kBin429, "3146314631", "429496729", "19999999"}));
  EXPECT_TRUE(host.HasFocus(kDec));
}

// When the text the undo restores overflows too, one warning and the field
// is emptied instead of warning again and again.
TEST_F(ConverterPanelOverflow, RestoredTextStillOverflowingWarnsOnce) {
  struct Case {
    FieldKind field;
    const char* before;
    bool typeOverFirst;  // select the first digit and type 6 over it
  };
  const Case cases[] = {
      {kDec, "4294967296", false},
      {kDec, "5000000000", true},
      {kOct, "70000000000", true},
      {kOct, "40000000000", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before);
    for (bool minimized : {false, true}) {
      PanelState fresh{};
      FakeHost h(fresh);
      if (minimized) h.DrawnMinimise();
      h.Type("1");  // Binary 1, the others 1
      h.SetText(c.field, c.before);
      h.FocusField(c.field);
      if (c.typeOverFirst) {
        h.Select(c.field, 0, 1);
        h.Type("6");
      } else {
        h.KeyUp();
      }
      EXPECT_EQ(h.warnings.size(), 1u);
      EXPECT_LE(h.maxNesting, 2u);
      EXPECT_TRUE(h.HasFocus(c.field));
      EXPECT_EQ(fresh.OverflowDepth, 0u);
      if (minimized) {
        // Binary had the focus for the resent release: its 1 fits everywhere.
        EXPECT_EQ(h.Text(c.field), "1");
      } else {
        EXPECT_EQ(TextsOf(h), EmptiedOthersZero(c.field));
      }
    }
  }
}

// After a minimise the resent release converts Binary; when Binary holds text
// it will not convert, the restored text is still checked and converted.
TEST_F(ConverterPanelOverflow, RestoredTextConvertedEvenWhenBinaryIsNot) {
  host.DrawnMinimise();
  host.SetText(kDec, "5000000000");  // the undo restores this: still too large
  host.SetText(kBin, "12");
  host.FocusField(kDec);
  host.Select(kDec, 0, 1);
  host.Type("6");
  EXPECT_EQ(host.warnings.size(), 1u);
  EXPECT_EQ(All(), EmptiedOthersZero(kDec));
  EXPECT_TRUE(host.HasFocus(kDec));

  ClickEnd(kDec);
  host.Type("429496729");
  host.SetText(kBin, "x");
  host.Type("6");  // the undo empties Decimal: typed in one go
  EXPECT_EQ(host.warnings.size(), 2u);
  EXPECT_EQ(All(), EmptiedOthersZero(kDec));
}

TEST_F(ConverterPanelOverflow, ForeignTextIsNeverConverted) {
  struct Case {
    FieldKind field;
    const char* text;
  };
  const Case cases[] = {
      {kDec, "12a"},        {kDec, "50000000-0"}, {kDec, " 1"}, {kBin, "102"},
      {kOct, "8"},          {kOct, "4000000000x"}, {kHex, "0x1F"}, {kHex, "\xB0\xCB"},
      {kHex, "fg"},
      // Digits beyond the field's limit: modulo 2^32 they would show a wrong value.
      {kDec, "12345678901"}, {kOct, "000000000001"}, {kHex, "123456789"},
      {kBin, "100000000000000000000000000000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TypedInDecimal row("77");
    FakeHost& h = row.host;
    Texts want = TextsOf(h);
    h.SetText(c.field, c.text);
    want[static_cast<int>(c.field)] = c.text;
    h.FocusField(c.field);
    EXPECT_EQ(h.KeyUp(), Result::HandOn);
    h.Type("\x10");  // a swallowed key: its release is another look
    EXPECT_EQ(TextsOf(h), want);
    EXPECT_TRUE(h.warnings.empty());
    EXPECT_EQ(row.state.CurrentValue, 77u);
  }
}

// Changes that are not typing: the edit control's Undo, Cut and Delete (its
// menu sends it these), text set or put in by another program. Each is told
// as the field's change notification is, and converts at once.
using ConverterPanelEdits = PanelTest;

// Decimal holds 255, typed; then the change from outside.
TEST_F(ConverterPanelEdits, OutsideEditsConvertAtOnce) {
  enum Edit { Delete, Undo, PutIn };
  struct Case {
    const char* name;
    uint32_t selStart, selEnd;  // selected before the edit
    Edit edit;
    const char* text;  // put in (EM_REPLACESEL)
    Texts want;
    size_t warnings;
  };
  const Case cases[] = {
      {"delete all", 0, 3, Delete, "", {"0", "0", "", "0"}, 0},
      {"delete the 5", 2, 3, Delete, "", {"11001", "31", "25", "19"}, 0},
      {"undo the typing", 3, 3, Undo, "", {"0", "0", "", "0"}, 0},
      {"digits put in", 3, 3, PutIn, "4", {"100111111010", "4772", "2554", "9FA"}, 0},
      // Above 32 bits: the warning, then the undo, as typing gets.
      {"too large put in", 0, 3, PutIn, "9999999999", {"11111111", "377", "255", "FF"}, 1},
      {"too large put in before", 0, 0, PutIn, "9999999", {"11111111", "377", "255", "FF"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TypedInDecimal row("255");
    FakeHost& h = row.host;
    // Tab round: Decimal rewritten by a conversion, its typing no longer the
    // edit an undo takes back, but for the Undo row.
    if (c.edit != Undo) h.Type("\t\t\t\t");
    h.Select(kDec, c.selStart, c.selEnd);
    if (c.edit == Undo) {
      h.UndoFromOutside(kDec);
    } else {
      h.ReplaceFromOutside(kDec, c.text);
    }
    EXPECT_EQ(TextsOf(h), c.want);
    EXPECT_EQ(h.warnings.size(), c.warnings);
    EXPECT_TRUE(h.HasFocus(kDec));
  }
}

// The overflow's undo empties the field; the menu's Undo then brings the
// number back, which warns again and goes.
TEST_F(ConverterPanelEdits, MenuUndoOfAnOverflowWarnsAgain) {
  ClickEnd(kDec);
  host.Type("4294967296");
  ASSERT_EQ(host.warnings.size(), 1u);
  ASSERT_EQ(host.Text(kDec), "");
  host.UndoFromOutside(kDec);
  EXPECT_EQ(host.warnings.size(), 2u);
  EXPECT_EQ(All(), EmptiedOthersZero(kDec));
}

TEST_F(ConverterPanelEdits, TextSetByAnotherProgram) {
  enum Outcome { Taken, Beep, Warning };
  struct Case {
    FieldKind field;
    const char* text;
    Outcome outcome;
  };
  const Case cases[] = {
      {kDec, "255", Taken},         {kHex, "fF", Taken},           {kDec, "", Taken},
      {kOct, "37777777777", Taken}, {kBin, kOnes32.c_str(), Taken},
      {kDec, "12z", Beep},          {kDec, " 1", Beep},            {kHex, "0x1F", Beep},
      {kOct, "8", Beep},            {kDec, "1\x7F", Beep},  // NarrowText's stand-in
      {kDec, "12345678901", Beep},  {kBin, kOnes33.c_str(), Beep},
      {kDec, "4294967296", Warning}, {kOct, "40000000000", Warning},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TypedInDecimal row("77");
    FakeHost& h = row.host;
    const Texts before = TextsOf(h);
    EXPECT_EQ(h.SetTextFromOutside(c.field, c.text), c.outcome == Taken);
    EXPECT_EQ(h.beeps, c.outcome == Beep ? 1u : 0u);
    EXPECT_EQ(h.warnings.size(), c.outcome == Warning ? 1u : 0u);
    if (c.outcome == Taken) {
      EXPECT_EQ(h.Text(c.field), c.text);
      FakeHost typed{row.state};  // the same text typed converts to the same
      typed.FocusField(c.field);
      typed.Select(c.field, 0, UINT32_MAX);
      typed.Type(c.text[0] ? c.text : "\b");
      EXPECT_EQ(TextsOf(h), TextsOf(typed));
    } else {
      EXPECT_EQ(TextsOf(h), before);
    }
  }
}

// After any change from outside, the characters the field does not take are
// taken out with the beep, the selection moves back by those taken out
// before it, and what is left is converted; the user's next key lands where
// the user was.
TEST_F(ConverterPanelEdits, ForeignCharacterNeverStaysAndTheCaretStays) {
  struct Case {
    const char* text;  // the field's text after the change (\x7F: beyond ASCII)
    uint32_t selStart, selEnd;
    const char* kept;       // Decimal then, converted at once
    const char* afterFive;  // and after a 5 typed
    uint32_t beeps;
  };
  const Case cases[] = {
      {"12\x7F", 3, 3, "12", "125", 1},  // a full-width 3 put in at the caret
      {"1\x7F" "2", 2, 2, "12", "152", 1},
      {"1\x7F" "2", 1, 1, "12", "152", 1},  // taken out after the caret: it stays
      {"\x7F" "12x", 1, 3, "12", "5", 1},   // the selection kept whole
      {"123x4", 5, 5, "1234", "12345", 1},
      {"123", 3, 3, "123", "1235", 0},        // digits stay, converted
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TypedInDecimal row("77");
    FakeHost& h = row.host;
    h.SetText(kDec, c.text);
    h.Select(kDec, c.selStart, c.selEnd);
    ConverterPanel::OnFieldChanged(h, row.state, kDec);
    const uint32_t value = static_cast<uint32_t>(std::stoul(c.kept));
    EXPECT_EQ(row.state.CurrentValue, value);
    EXPECT_EQ(h.Text(kDec), c.kept);
    EXPECT_EQ(h.beeps, c.beeps);
    h.Type("5");
    EXPECT_EQ(h.Text(kDec), c.afterFive);
  }
}

// While the warning is up another program changes another field to a number
// above 32 bits: refused with the beep, no second box, the focus left with
// the box; once dismissed, the first warning's undo as ever.
TEST_F(ConverterPanelEdits, OneWarningAtATime) {
  struct Case {
    const char* name;
    bool set;  // WM_SETTEXT, else put in (EM_REPLACESEL)
    Texts want;
  };
  const Case cases[] = {
      {"set", true, EmptiedOthersZero(kDec)},
      // The put-in digit is undone, and Octal converted from while the box is
      // up; the first warning's undo then finds nothing to take back.
      {"put in", false, {kBin429, "3146314631", "429496729", "19999999"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TypedInDecimal row("429496729");
    FakeHost& h = row.host;
    h.whileWarningUp = [&] {
      if (c.set) {
        EXPECT_FALSE(h.SetTextFromOutside(kOct, "40000000000"));
      } else {
        h.Select(kOct, 0, 0);
        h.ReplaceFromOutside(kOct, "4");
      }
      EXPECT_EQ(h.Text(kOct), "3146314631");
      EXPECT_TRUE(h.FocusIsNone());  // still the box's
    };
    h.Type("6");
    EXPECT_EQ(h.warnings.size(), 1u);
    EXPECT_EQ(h.beeps, 1u);
    EXPECT_EQ(TextsOf(h), c.want);
    EXPECT_TRUE(h.HasFocus(kDec));
    EXPECT_EQ(row.state.OverflowDepth, 0u);
  }
}

// Where the focus goes back after the window was left, whichever order the
// system tells it in. Windows takes the focus off the field first when it
// minimises the window, then deactivates it; a switch to another program
// deactivates first; wine leaves the focus in the field and, minimising the
// only window, sends no deactivation at all, giving the window the focus on
// the restore. After the drawn minimise button, Binary every time.
TEST_F(ConverterPanelEdits, FocusBackToTheFieldTheUserWasIn) {
  enum Order { FocusTakenFirst, DeactivatedFirst, NoDeactivation };
  for (Order order : {FocusTakenFirst, DeactivatedFirst, NoDeactivation}) {
    for (bool drawn : {false, true}) {
      SCOPED_TRACE(testing::Message() << "order " << order << (drawn ? ", drawn button" : ""));
      PanelState fresh{};
      FakeHost h(fresh);
      h.FocusField(kOct);
      h.Activate(false);  // an earlier switch away and back
      h.Activate(true);
      h.FocusField(kHex);
      h.Type("a");
      if (drawn) h.DrawnMinimise();
      if (order == FocusTakenFirst) h.FocusNone();
      if (order != NoDeactivation) h.Activate(false);
      if (order == DeactivatedFirst) h.FocusNone();
      h.Activate(true);  // the restore
      EXPECT_TRUE(h.HasFocus(drawn ? kBin : kHex));
    }
  }
}

TEST(ConverterPanelNarrow, AsciiAsItIsEverythingElseRefused) {
  struct Case {
    const char16_t* text;
    uint32_t size;
    std::string want;
  };
  const Case cases[] = {
      {u"0123456789abcdefABCDEF", 36, "0123456789abcdefABCDEF"},
      {u"1\uFF12", 36, "1\x7F"},     // full-width 2, not a look-alike 2
      {u"\u200E7", 36, "\x7F" "7"},  // a left-to-right mark
      {u"\u00B2\u0662", 36, "\x7F\x7F"},
      {u"12345", 4, "123"},
      {nullptr, 36, ""},
  };
  for (const Case& c : cases) {
    char buffer[36];
    ConverterPanel::NarrowText(c.text, buffer, c.size);
    EXPECT_EQ(buffer, c.want);
  }
}

}  // namespace

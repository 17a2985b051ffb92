// The overflow warning, and the mouse: drawn buttons, drag strip, and where the focus goes on switching and restoring.
#include "e2e.h"

using namespace e2e;


// Tab around the four fields and back, then End: the field's text is then the one a conversion wrote, so that its
// undo takes back only what is typed next.
const char kRewrite[] = "{Tab}{Tab}{Tab}{Tab}{End}";
const std::string kBinary429 = Canonical(429496729, Binary);

static void Rewritten(const std::string& decimal, Where where = Where::current()) {
  TypeInto(Decimal, decimal + kRewrite, Showing(Decimal, decimal), where);
}

static void Calm(const std::string& step, const std::string& line, Where where = Where::current()) {
  if (Steady(step, line, 0.3, where).box.window) Fail(step, "no warning", "the warning is up", where);
}

// Restored as a taskbar does it: shown again, then activated.
static void Restore(Field focus, Where where = Where::current()) {
  Show(SW_RESTORE);
  Expect("restored", "not iconic", [](const State& s) { return !s.iconic; }, where);
  ActivateMain(where);
  Expect(Say("restored, focus in %s", kFieldNames[focus]), Say("focus=%s", kFieldNames[focus]), FocusIn(focus), where);
}

// Minimised by the drawn button from a field: from then on every activation puts the focus in Binary.
static void DrawnMinimiseAndRestore(Field from, Where where = Where::current()) {
  FocusField(from, where);
  Click(Centre(kMinimise));
  Expect("minimised by the drawn button", "iconic", Iconic, where);
  Restore(Binary, where);
}

// Binary given one more digit whose key is released in another window, which nothing converts, then Decimal
// overflowed: the line shows which field the undo converted from.
static void OverflowAfterUnconvertedBinary(const std::string& step, const std::string& line,
                                           Where where = Where::current()) {
  Rewritten("429496729", where);
  FocusField(Binary, where);
  Type("{End}");
  KeyDown("1");
  Expect("1 put in", "binary=" + kBinary429 + "1", [](const State& s) { return s.text[Binary] == kBinary429 + "1"; },
         where);
  ActivateOther(where);
  KeyUp("1");
  ActivateMain(where);
  ClickField(Decimal, 270);  // past the text's end: the caret at the end, with no key released there
  Expect("focus in decimal", "focus=decimal", FocusIn(Decimal), where);
  Type("6");
  DismissWarning("warning", false, where);
  Shows(step, line, where);
}


struct Overflow {
  const char* name;
  Field field;
  const char* text;    // typed, taken without a warning
  const char* moves;   // keys that keep the text
  const char* keys;    // typed next: they overflow ("": nothing more)
  bool click;          // the warning dismissed by a click on OK, or by Enter
  const char* undone;  // what the field holds once it is dismissed
  const char *next, *after;  // typed then, and the field's text after it ("": nothing)
};

const int overflowing = Table<Overflow>(
    "overflow", {
        {"decimal_tenth_digit_warns_and_undoes", Decimal, "429496729", kRewrite, "6", false, "429496729", "", ""},
        // What a user does next: type the right last digit.
        {"corrected_digit_after_warning_lands_at_end", Decimal, "429496729", kRewrite, "6", false, "429496729", "5",
         "4294967295"},
        // Digits typed into an empty field are one edit: the undo empties it.
        {"decimal_typed_run_warns_dismissed_by_click", Decimal, "", "", "5000000000", true, "", "", ""},
        {"octal_eleventh_digit_warns", Octal, "4000000000", "", "0", true, "", "", ""},
        {"octal_digit_typed_over_selection_restored", Octal, "37777777777", "{Home}{S-Right}", "4", false,
         "37777777777", "", ""},
        {"octal_largest_fits", Octal, "37777777777", "", "", false, "", "", ""},
    },
    [](const Overflow& r) { return std::string(r.name); },
    [](const Overflow& r) {
      EmptyField(r.field);
      Type(std::string(r.text) + r.moves);
      Calm(Say("typed %s", r.text), Showing(r.field, r.text));
      if (!*r.keys) return;
      Type(r.keys);
      DismissWarning(Say("warning for %s%s", r.text, r.keys), r.click);
      Shows("undone", Showing(r.field, r.undone));
      if (!*r.next) return;
      Type(r.next);
      Calm("no second warning", Showing(r.field, r.after));
    });

SCENARIO("overflow", main_window_unusable_while_warning_up) {
  EmptyField(Decimal);
  Type("9999999999");
  ExpectWarning("warning up");
  const std::string up = Read().Line();
  Click(Centre(kClose));  // behind the modal box
  Steady("still running, box still up", up);
  DismissWarning("warning");
  Shows("undone, others 0", Showing(Decimal, ""));
}

SCENARIO("overflow", keys_while_warning_up_reach_only_the_box) {
  Rewritten("429496729");
  Type("6");
  ExpectWarning("warning up");
  const std::string up = Read().Line();
  Type("123{Tab}");
  Steady("fields unchanged behind the box", up);
  // Esc closes the box as its OK would; the field sees no Esc, which would empty it.
  Type("{Esc}");
  Expect("box closed by Esc", "no box", NoBox);
  Shows("undone, not emptied", Showing(Decimal, "429496729"));
}

SCENARIO("overflow", switching_away_while_warning_up) {
  Rewritten("429496729");
  Type("6");
  const Box box = ExpectWarning("warning up");
  ActivateOther();
  Expect("box kept while away", "the warning", [](const State& s) { return s.box.window != nullptr; });
  // On the box's text just above its button: below the caption, whatever its height at the scale.
  ClickScreen({(box.rect.left + box.rect.right) / 2, box.ok.top - Scale(8)});
  Expect("box active again", "active=box", [](const State& s) { return s.active == "box"; });
  Type("{Enter}");
  Expect("box closed", "no box", NoBox);
  Shows("undone", Showing(Decimal, "429496729"));
  Type("5");
  Shows("typing goes on at the end", Showing(Decimal, "4294967295"));
}

// Decimal gets 4294967296 with no key release of its own (the 6 is released in another window); a digit typed over
// its last digit is undone back to 4294967296, which overflows as well: the field is emptied, with one warning.
SCENARIO("overflow", text_still_overflowing_after_undo_brings_one_warning) {
  Rewritten("429496729");
  KeyDown("6");
  Expect("6 inserted", "decimal=4294967296", [](const State& s) { return s.text[Decimal] == "4294967296"; });
  ActivateOther();
  KeyUp("6");
  ActivateMain();
  Expect("focus back, nothing converted", "4294967296 in decimal, binary " + kBinary429, [](const State& s) {
    return s.focus == "decimal" && s.text[Decimal] == "4294967296" && !s.box.window && s.text[Binary] == kBinary429;
  });
  const POINT p = CharPosition(Decimal, 9);
  DragScreen({p.x + 1, p.y + 5}, {p.x + 30, p.y + 5});  // a selection made with no key release
  Expect("last digit selected", "decimal 9-10",
         [](const State& s) { return s.sel[Decimal][0] == 9 && s.sel[Decimal][1] == 10; });
  Type("7");
  DismissWarning("one warning");
  Calm("field emptied, others 0, no second warning", Showing(Decimal, ""));
}

SCENARIO("overflow", undo_converts_from_the_undone_field) {
  OverflowAfterUnconvertedBinary("converted from the undone decimal", Showing(Decimal, "429496729"));
}

// Put in by another program with no undo: the warning once, and the field emptied.
SCENARIO("overflow", foreign_overflowing_text_brings_one_warning) {
  EmptyField(Decimal);
  ReplaceText(Decimal, L"9999999999");
  DismissWarning("one warning");
  Calm("field emptied, others 0", Showing(Decimal, ""));
}

// After the drawn minimise, the activation that follows the box puts the focus in Binary, whose value is then
// written into the other three, Decimal included.
SCENARIO("overflow", after_drawn_minimise_undo_converts_from_binary) {
  DrawnMinimiseAndRestore(Decimal);
  OverflowAfterUnconvertedBinary("converted from binary", Showing(Binary, kBinary429 + "1", -1, Decimal));
}

struct Strip { POINT at; const char* effect; };  // a click at client coordinates (96 DPI), and what it does

const int clicks = Table<Strip>(
    "mouse", {
        // Each close and drag ends its program: the next row starts a fresh one.
        {{377, 18}, "close"}, {{392, 0}, "close"},
        {{376, 5}, "drag"}, {{356, 18}, "drag"}, {{0, 0}, "drag"},
        {{10, 19}, "nothing"}, {{200, 140}, "nothing"},
        {{200, 5}, "double"},  // no caption to maximise: two drags of no distance
        {{385, 9}, "right"}, {{365, 9}, "right"},  // the drawn buttons take the left button only
        {{357, 18}, "minimise"}, {{375, 0}, "minimise"},
    },
    [](const Strip& r) { return Say("%s_at_%ld_%ld", r.effect, r.at.x, r.at.y); },
    [](const Strip& r) {
      const std::string effect = r.effect;
      EmptyField(Binary);
      const State before = Read();
      if (effect == "drag") {
        const POINT from = ToScreen(r.at);
        DragScreen(from, {from.x + 40, from.y + 25});
        RECT want = before.rect;
        OffsetRect(&want, 40, 25);
        Expect("dragged by (40, 25)", "the window moved by (40, 25)",
               [&](const State& s) { return EqualRect(&s.rect, &want) && !s.iconic; });
        Click(Centre(kClose));  // the buttons moved with the window
        return Exits();
      }
      Click(r.at, effect == "right" ? Right : Left, effect == "double" ? 2 : 1);
      if (effect == "close") return Exits();
      if (effect == "minimise") return void(Expect("minimised", "iconic", Iconic));
      Steady("nothing happens", "\"\" 0 0 0 @binary");
      Expect("window kept", "the same rectangle, not minimised",
             [&](const State& s) { return EqualRect(&s.rect, &before.rect) && !s.iconic; });
      Type("1");
      Shows("still usable", "1 1 1 1 @binary");
    });

SCENARIO("mouse", clicks_and_drags_on_the_surface_keep_the_field) {
  FocusField(Hexadecimal);
  Click({10, 19});
  Click(kNeutral);
  const POINT from = ToScreen({200, 5});
  DragScreen(from, {from.x + 30, from.y + 30});
  Type("a");
  Shows("typing goes on in hexadecimal", Showing(Hexadecimal, "a"));
}

SCENARIO("mouse", restore_after_drawn_minimise_focuses_binary) {
  DrawnMinimiseAndRestore(Decimal);
  Type("1");
  Shows("typing goes to binary", Showing(Binary, "1"));
}

// Minimised by other means than the drawn button, in the order Windows tells it (the focus taken off the field
// first, then the deactivation) and in wine's (the focus left in the field, no deactivation for the only window, and
// the window given the focus on the restore): the field comes back either way, not one remembered at an earlier switch.
void OtherMinimiseKeepsField(bool windowsOrder) {
  FocusField(Octal);
  ActivateOther();
  ActivateMain();
  FocusField(Hexadecimal);
  if (windowsOrder) {  // the focus taken off the field first, as Windows does at the very start of a minimise
    FocusThere(nullptr);
    Expect("focus taken off the field", "focus=none", [](const State& s) { return s.focus == "none"; });
    ActivateOther();
  }
  Show(SW_MINIMIZE);
  Expect("minimised", "iconic", Iconic);
  Restore(Hexadecimal);
  Type("b");
  Shows("typing goes on there", Showing(Hexadecimal, "b"));
  ActivateMain();
  Expect("a click keeps it there", "focus=hexadecimal", FocusIn(Hexadecimal));
}
SCENARIO("mouse", restore_after_other_minimise_keeps_field) { OtherMinimiseKeepsField(false); }
SCENARIO("mouse", restore_after_other_minimise_keeps_field_in_windows_order) { OtherMinimiseKeepsField(true); }

SCENARIO("mouse", after_drawn_minimise_binary_wins_every_activation) {
  DrawnMinimiseAndRestore(Octal);
  ActivateOther();
  FocusField(Octal);
  ActivateOther();
  ActivateMain();
  Expect("binary after every activation", "focus=binary", FocusIn(Binary));
}

SCENARIO("mouse", focus_kept_across_switching_windows) {
  FocusField(Hexadecimal);
  Type("a");
  ActivateOther();
  Expect("main inactive", "active=none", [](const State& s) { return s.active == "none"; });
  ActivateMain();
  Expect("focus back in hexadecimal", "focus=hexadecimal", FocusIn(Hexadecimal));
  Type("b");
  Shows("typing continues there", Showing(Hexadecimal, "ab"));
}

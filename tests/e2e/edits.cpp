// Changes that are not typing: the edit menu (WM_UNDO, WM_CUT, WM_CLEAR), text set by another program (UI Automation
// and MSAA send WM_SETTEXT), digits or a character put in some other way, a button pushed before its click, a paste
// while the clipboard is held. Each converts at once, as a key release does; no field keeps a character it refuses.
#include "e2e.h"
#include "imports.h"
#include "menu.h"

using namespace e2e;

struct MenuEdit { const char* name; MenuItem item; };

const int menuEdits = Table<MenuEdit>(
    "edits", {{"delete", MenuDelete}, {"cut", MenuCut}},
    [](const MenuEdit& r) { return Say("menu_%s_converts", r.name); },
    [](const MenuEdit& r) {
      TypeInto(Decimal, "255", "11111111 377 255 FF @decimal");
      ClickMenuItem(Decimal, MenuSelectAll);
      Expect("all selected", "decimal 0-3 selected", [](const State& s) { return s.sel[Decimal][1] == 3; });
      ClickMenuItem(Decimal, r.item);
      Shows(Say("menu %s: the others 0", r.name), "0 0 \"\" 0 @decimal");
    });

// The undo of the overflow's undo brings the number back: it warns again, and goes.
SCENARIO("edits", menu_undo_of_an_overflow_warns_again) {
  EmptyField(Decimal);
  Type("4294967296");
  DismissWarning("warning for 4294967296", true);
  Shows("undone, others 0", "0 0 \"\" 0 @decimal");
  ClickMenuItem(Decimal, MenuUndo);
  DismissWarning("warning again after the menu's undo", true);
  Shows("no number above 32 bits left", "0 0 \"\" 0 @decimal");
}

static std::string Answer(Field f, UINT message, WPARAM wParam, const wchar_t* text, UINT ms = 3000) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(FieldWindow(f), message, wParam, LPARAM(text), SMTO_ABORTIFHUNG, ms, &answer)) {
    return "no answer";
  }
  return Say("%lu", (unsigned long)answer);
}

SCENARIO("edits", text_set_by_another_program) {
  TypeInto(Decimal, "7", "111 7 7 7 @decimal");
  const unsigned beeps = Beeps();
  Same("12z set: the answer", "0", Answer(Decimal, WM_SETTEXT, 0, L"12z"));
  Steady("12z refused", "111 7 7 7 @decimal");
  Same("12z refused: beeps", "1", Say("%u", Beeps() - beeps));
  Same("255 set: the answer", "1", Answer(Decimal, WM_SETTEXT, 0, L"255"));
  Shows("255 converted at once", "11111111 377 255 FF @decimal");
}

// The box holds whoever sent the message that brought it, unless answered first: UI Automation sets a value under a
// time limit and takes anything but 1 as failure.
struct Held { const char* name; const char* keys; bool warned; UINT message; const wchar_t* text; const char* answer, *line; };

const int held = Table<Held>(
    "edits", {
        {"text_set_above_the_limit", "7", false, WM_SETTEXT, L"4294967296", "0", "111 7 7 7 @decimal"},
        // The overflow's undo emptied the field; the undo of that undo brings the number back.
        {"undo_back_above_the_limit", "4294967296", true, EM_UNDO, nullptr, "1", "0 0 \"\" 0 @decimal"},
    },
    [](const Held& r) { return Say("%s_answered_before_the_warning", r.name); },
    [](const Held& r) {
      EmptyField(Decimal);
      Type(r.keys);
      if (r.warned) DismissWarning("the typing's warning");
      Shows("typed", r.line);
      const double sent = Now();
      const std::string answer = Answer(Decimal, r.message, 0, r.text, 1000);
      Same(Say("the answer, in %.2f s", Now() - sent), r.answer, answer);
      DismissWarning("the box up after the answer");
      Shows("refused, or undone", r.line);
    });

// Type 12, another program puts a full-width 3 in at the caret (as Windows' edit menu puts in a Unicode control
// character), then type 3: the 3 taken out with the beep, the caret where it was.
SCENARIO("edits", caret_kept_where_a_character_is_taken_out) {
  TypeInto(Decimal, "12", "1100 14 12 C @decimal");
  const unsigned beeps = Beeps();
  Send(FieldWindow(Decimal), EM_REPLACESEL, TRUE, LPARAM(L"\uff13"));
  Shows("taken out", "1100 14 12 C @decimal");
  Same("taken out: beeps", "1", Say("%u", Beeps() - beeps));
  Type("3");
  Shows("typed where the user was", "1111011 173 123 7B @decimal");
}

SCENARIO("edits", digits_put_in_by_another_program_convert_at_once) {
  TypeInto(Decimal, "7", "111 7 7 7 @decimal");
  Send(FieldWindow(Decimal), EM_REPLACESEL, TRUE, LPARAM(L"5"));
  Shows("converted at once", "1001011 113 75 4B @decimal");
  ReplaceText(Decimal, L"9999999999", true);
  DismissWarning("above the limit: the warning");
  Shows("then the undo", "1001011 113 75 4B @decimal");
}

// Another program sets a number above 32 bits into Octal while the warning is up: refused with the beep, and the
// focus stays in the box.
SCENARIO("edits", one_warning_at_a_time) {
  EmptyField(Decimal);
  const unsigned beeps = Beeps();
  Type("4294967296");
  ExpectWarning("the first warning");
  const std::string answer = Answer(Octal, WM_SETTEXT, 0, L"40000000000", 1000);
  int boxes = 1;
  if (Poll([&] { FindVisible("#32770", Main(), &boxes); return boxes != 1; }, 0.5)) {
    Fail("boxes", "one box", Say("%d boxes", boxes));
  }
  Same("Octal set: the answer", "0", answer);
  Same("refused: beeps", "1", Say("%u", Beeps() - beeps));
  Expect("the focus left in the box", "focus=box", [](const State& s) { return s.focus == "box"; });
  DismissWarning("the one box");
  Shows("the first warning's undo", "0 0 \"\" 0 @decimal");
}

// How Windows' UI Automation invokes a button: BM_SETSTATE(TRUE), then BM_CLICK.
SCENARIO("edits", button_pushed_then_clicked_is_released) {
  const HWND minimise = GetDlgItem(Main(), 1005);
  Send(minimise, BM_SETSTATE, TRUE);
  Send(minimise, BM_CLICK);
  Expect("minimised", "iconic", Iconic);
  Same("after the click: BST_PUSHED in BM_GETSTATE", "0", Say("%d", int(Send(minimise, BM_GETSTATE) & BST_PUSHED)));
}

// As clipboard history or a remote desktop's clipboard holds it open: held past the program's retries, the paste is
// refused with the beep; released within them, it goes through.
SCENARIO("edits", paste_while_another_program_holds_the_clipboard) {
  SetClipboard(std::string("77"));
  EmptyField(Decimal);
  const unsigned beeps = Beeps();
  for (DWORD hold : {500, 40}) {
    if (!OpenClipboard(nullptr)) Fail("clipboard held", "OpenClipboard", "refused");
    PostMessageW(FieldWindow(Decimal), WM_PASTE, 0, 0);
    Sleep(hold);
    CloseClipboard();
    if (hold == 500) {
      if (!Poll([&] { return Beeps() == beeps + 1; }, Slow(5))) Fail("busy clipboard", "one beep", "none");
      Steady("nothing pasted", "0 0 \"\" 0 @decimal");
    }
  }
  Shows("pasted once the clipboard is free", "1001101 115 77 4D @decimal");
}

// Changes that are not typing: the edit menu (WM_UNDO, WM_CUT, WM_CLEAR), text set by another program (UI Automation
// and MSAA send WM_SETTEXT), a character put in some other way, a button pushed before its click, a paste while the
// clipboard is held. Each converts at once, as a key release does, and no field keeps a character it does not take.
#include "e2e.h"
#include "imports.h"
#include "menu.h"

using namespace e2e;

struct MenuEdit { const char* name; MenuItem item; };

const int menuEdits = Table<MenuEdit>(
    "edits", {{"delete", MenuDelete}, {"cut", MenuCut}},
    [](const MenuEdit& r) { return Say("menu_%s_converts", r.name); },
    [](const MenuEdit& r) {
      EmptyField(Decimal);
      Type("255");
      Shows("typed", "11111111 377 255 FF @decimal");
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

// WM_SETTEXT's answer, told apart from no answer at all.
static std::string SetText(const wchar_t* text) {
  DWORD_PTR taken = 0;
  if (!SendMessageTimeoutW(FieldWindow(Decimal), WM_SETTEXT, 0, LPARAM(text), SMTO_ABORTIFHUNG, 3000, &taken)) {
    return "no answer";
  }
  return taken ? "taken" : "refused";
}

SCENARIO("edits", text_set_by_another_program) {
  EmptyField(Decimal);
  Type("7");
  Shows("typed", "111 7 7 7 @decimal");
  const unsigned beeps = Beeps();
  Same("12z set", "refused", SetText(L"12z"));
  Steady("12z refused", "111 7 7 7 @decimal");
  Same("12z refused: beeps", "1", Say("%u", Beeps() - beeps));
  Same("255 set", "taken", SetText(L"255"));
  Shows("255 converted at once", "11111111 377 255 FF @decimal");
}

// As an insertion inside the edit control would be, which no window procedure of the field sees: announced only by
// EN_CHANGE. The full-width 2 would read as "2" through the ANSI calls.
SCENARIO("edits", character_put_in_by_other_means_is_taken_out) {
  EmptyField(Decimal);
  Type("12");
  Shows("typed", "1100 14 12 C @decimal");
  const unsigned beeps = Beeps();
  ReplaceText(Decimal, L"1\uff12", true);
  Shows("taken out, the rest converted", "1 1 1 1 @decimal");
  Same("taken out: beeps", "1", Say("%u", Beeps() - beeps));
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

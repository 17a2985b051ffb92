// The window as it starts, typing and conversion, the characters a field takes, Tab and Esc, and quitting.
#include "e2e.h"

using namespace e2e;

struct Typed { Field field; const char *keys, *line; };  // line: the four texts and the focus after the keys

static void TypeRow(const Typed& r) { TypeInto(r.field, r.keys, r.line); }

static void TabCycles(const char* tab) {
  EmptyField(Binary);
  Type("101");
  for (Field f : {Octal, Decimal, Hexadecimal, Binary}) {
    Type(tab);
    Expect(Say("%s to %s", tab, kFieldNames[f]), Say("focus in %s, all selected", kFieldNames[f]), [f](const State& s) {
      return s.focus == kFieldNames[f] && s.sel[f][0] == 0 && s.sel[f][1] == (f == Binary ? 3 : 1);
    });
  }
  Shows("no tab character", "101 5 5 5 @binary");
}

SCENARIO("start", centred_window_binary_focused) {
  Expect("window placed", "the window centred, client 2 px smaller", Placed);
  // A captionless popup with a one-pixel border; borderless fields that scroll rather than refuse wider text.
  const LONG popup = WS_POPUP | WS_BORDER | WS_VISIBLE, edit = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL;
  const LONG unwanted = WS_DLGFRAME | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
  Same("window style (popup, border; no caption, frame or system menu), extended style", Say("%lx 0", popup),
       Say("%lx %lx", GetWindowLongW(Main(), GWL_STYLE) & (popup | unwanted), GetWindowLongW(Main(), GWL_EXSTYLE)));
  for (Field f : {Binary, Octal, Decimal, Hexadecimal}) {
    Same(Say("field %s: a borderless, scrolling edit, and its limit", kFieldNames[f]), Say("%lx %d", edit, kLimits[f]),
         Say("%lx %lld", GetWindowLongW(FieldWindow(f), GWL_STYLE) & (edit | WS_BORDER),
             static_cast<long long>(Send(FieldWindow(f), EM_GETLIMITTEXT))));
  }
  Expect("initial fields", "0 \"\" \"\" \"\" @binary, the 0 selected, in the foreground", [](const State& s) {
    return s.Line() == "0 \"\" \"\" \"\" @binary" && s.sel[Binary][0] == 0 && s.sel[Binary][1] == 1 &&
           s.active == "main" && s.foreground == "main" && !s.box.window;
  });
}

SCENARIO("start", first_keystroke_replaces_selected_zero) {
  Type("101");
  Shows("typed 101 at start", "101 5 5 5 @binary");
}

SCENARIO("start", startup_focus_survives_switching_away) {
  ActivateOther();
  ActivateMain();
  Type("11");
  Shows("typing reaches binary", "11 3 3 3 @binary");
}

const int typing = Table<Typed>(
    "typing", {
        {Binary, "0001011", "0001011 13 11 B @binary"},
        {Octal, "0017", "1111 0017 15 F @octal"},
        {Decimal, "0042", "101010 52 0042 2A @decimal"},
        {Hexadecimal, "00ff", "11111111 377 255 00ff @hexadecimal"},
        // Beyond a field's limit nothing more is taken.
        {Hexadecimal, "DeadBeef1", "11011110101011011011111011101111 33653337357 3735928559 DeadBeef @hexadecimal"},
        {Decimal, "4294967295", "11111111111111111111111111111111 37777777777 4294967295 FFFFFFFF @decimal"},
        {Decimal, "12345678901", "1001001100101100000001011010010 11145401322 1234567890 499602D2 @decimal"},
        {Octal, "377777777770", "11111111111111111111111111111111 37777777777 4294967295 FFFFFFFF @octal"},
        {Binary, "111111111111111111111111111111111",
         "11111111111111111111111111111111 37777777777 4294967295 FFFFFFFF @binary"},
        // Backspace edits, and its release converts.
        {Decimal, "123{Back}", "1100 14 12 C @decimal"},
    },
    [](const Typed& r) { return Say("%s_%.12s", kFieldNames[r.field], r.keys); }, TypeRow);

// Any key's release converts, Shift's and an arrow's too: a digit held down is in the field but not yet converted.
SCENARIO("typing", shift_and_arrow_release_convert_focused_field) {
  TypeInto(Decimal, "12", "1100 14 12 C @decimal");
  for (const char* key : {"Shift", "Left"}) {
    KeyDown("3");
    Expect("3 held down", "decimal=123 binary=1100", [](const State& s) { return s.text[Decimal] == "123" &&
                                                                                 s.text[Binary] == "1100"; });
    Type(Say("{%s}", key));
    Shows(Say("%s released", key), "1111011 173 123 7B @decimal");
    KeyUp("3");
    Type("{End}{Back}{Back}{Back}12");  // back to 12, typed again with the caret at the end
    Shows("typed again", "1100 14 12 C @decimal");
  }
}

// A key pressed in Decimal and released once a click moved the focus to Octal converts Octal, over Decimal's digit.
SCENARIO("typing", release_converts_from_field_with_focus) {
  TypeInto(Octal, "17", "1111 17 15 F @octal");
  FocusField(Decimal);
  Type("{End}");
  KeyDown("5");
  Expect("5 inserted", "decimal=155", [](const State& s) { return s.text[Decimal] == "155"; });
  FocusField(Octal);
  // Wine lets go of a key SendInput holds once the pointer moves: the release comes with the click and converts
  // whichever field has the focus by then. Windows keeps the key down until it is released.
  if (!Wine()) Steady("nothing converted by the click", "1111 17 155 F @octal");
  KeyUp("5");
  if (!Wine()) return void(Shows("released in octal", "1111 17 15 F @octal"));
  Expect("released by the click", "one conversion, from decimal or octal", [](const State& s) {
    return s.Line() == "1111 17 15 F @octal" || s.Line() == "10011011 233 155 9B @octal";
  });
}

const int filtering = Table<Typed>(
    "filtering", {
        {Binary, "1a2b0 -1.", "101 5 5 5 @binary"},
        {Octal, "7 8 9 g G - a F 1", "111001 71 57 39 @octal"},
        {Decimal, "9a-b8 F+.", "1100010 142 98 62 @decimal"},
        {Hexadecimal, "fgG Az-9", "111110101001 7651 4009 fA9 @hexadecimal"},
    },
    [](const Typed& r) { return Say("alphabet_%s", kFieldNames[r.field]); }, TypeRow);

// Ctrl+X, C, V, Z, A and B, and Enter: no cut, copy, paste, undo or stray character. Copying is the menu's and
// Ctrl+Insert's, pasting Shift+Insert's.
SCENARIO("filtering", control_characters_do_nothing) {
  SetClipboard(std::string("5"));
  EmptyField(Decimal);
  Type("12{S-Home}");
  Expect("selected", "decimal 0-2 selected",
         [](const State& s) { return s.sel[Decimal][1] == 2 && !s.sel[Decimal][0]; });
  Type("{C-x}{C-c}{C-v}{C-z}{C-a}{C-b}{Enter}{End}3");
  Shows("no cut, paste, undo or stray character", "1111011 173 123 7B @decimal");
  Type("{S-Home}{S-Ins}");  // the clipboard still holds what was put there
  Shows("clipboard unchanged", "101 5 5 5 @decimal");
  Type("{End}7{S-Home}{C-Ins}{End}{Back}{Back}{S-Ins}");
  Shows("Ctrl+Insert copied", "111001 71 57 39 @decimal");
}

// Ctrl+S is swallowed, and the release of S (Ctrl still down) converts.
SCENARIO("filtering", ctrl_s_consumed_and_s_release_converts) {
  EmptyField(Decimal);
  Type("12");
  KeyDown("3");
  KeyDown("Ctrl");
  Type("s");
  Shows("S released, Ctrl still down", "1111011 173 123 7B @decimal");
  KeyUp("Ctrl");
  KeyUp("3");
  Type("4");
  Shows("nothing inserted", "10011010010 2322 1234 4D2 @decimal");
}

SCENARIO("keys", tab_cycles_and_selects_all) { TabCycles("{Tab}"); }
SCENARIO("keys", shift_tab_moves_forward_like_tab) { TabCycles("{S-Tab}"); }

SCENARIO("keys", hex_lower_case_kept_until_tab) {
  EmptyField(Hexadecimal);
  Type("ff");
  Steady("lower case while focused", "11111111 377 255 ff @hexadecimal");
  Type("{Tab}");
  Shows("Tab's release converts from binary", "11111111 377 255 FF @binary");
}

// Tab's release converts from the field it moves to.
SCENARIO("keys", decimal_leading_zeros_dropped_by_tab) { TypeInto(Decimal, "007{Tab}", "111 7 7 7 @hexadecimal"); }

// No menu bar and no system menu: the menu keys start no menu mode that would eat the next keys.
SCENARIO("keys", alt_and_f10_leave_typing_alone) { TypeInto(Decimal, "{Alt}5{F10}6", "111000 70 56 38 @decimal"); }

const int escapes = Table<Typed>(
    "keys", {{Binary, "", ""}, {Octal, "17", ""}, {Decimal, "99", ""}, {Hexadecimal, "ff", ""}},
    [](const Typed& r) { return Say("esc_empties_%s", kFieldNames[r.field]); },
    [](const Typed& r) {
      FocusField(r.field);
      Type(r.keys + std::string("{Esc}"));
      Shows("Esc released", Showing(r.field, ""));
    });

SCENARIO("quit", close_button_exit_code_zero) {
  Type("1");
  Shows("in use", "1 1 1 1 @binary");
  Click(Centre(kClose));
  Exits();
}

SCENARIO("quit", wm_close_exit_code_zero) {
  PostMessageW(Main(), WM_CLOSE, 0, 0);
  Exits();
}

SCENARIO("quit", alt_f4_exit_code_zero) {
  Type("{A-F4}");
  Exits();
}

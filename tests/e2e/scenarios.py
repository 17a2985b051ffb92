"""End-to-end scenarios: what a person does with the window, and what must show.

    bash scripts/e2e.sh [--x64] GROUP [NAME-REGEX]     run a group (or some of it)
    bash scripts/e2e.sh [--x64] --list [GROUP]         the groups and their scenarios

A scenario is a function of an App (harness.py) in the section of its group,
registered with @scenario("GROUP"); a table of cases is one function under
@parametrize. The variants below run it again at other display scales, code
pages and colours, wherever it stands in its section; not_in=("dpi144",)
keeps it out of one. The product's facts (ids, layout, texts) are in
product.py. Each group is a CTest test per build (tests/e2e/CMakeLists.txt
asks this file for the list).

Groups, by section:
    start         the window as it starts; accessible names
    typing        typing and conversion
    filtering     characters outside a field's alphabet, and beyond ASCII
    keys          Tab and Esc
    overflow      the overflow warning
    paste         paste by menu and keys
    edits         changes that are not typing: the menu's Undo, Cut and
                  Delete, text set by another program, a busy clipboard, a
                  button pushed before its click
    mouse         drawn buttons, drag strip, focus keeping
    painting      the painted skin; moving to another display scale
    small_screen  a display smaller than the window
    quit          exit codes
    soak          random real keys (QV_SOAK_KEYS, QV_SOAK_SEED)
    wide_system_font  a System font wider than the fields
    contrast      high contrast on and off
and the variants, each a group of its own (VARIANTS).
"""

import itertools
import os
import random
import statistics
import struct
import subprocess
import sys
import time
from collections import Counter

from harness import App, Failure, Registry, canonical, conversion_problem, poll, scale, slow, wine10
from product import CLOSE, FIELD_IDS, FIELD_RECTS, FIELDS, LABEL_RECTS, LABELS, LIMITS, MINIMISE, \
    NEUTRAL_SPOT, ROWS, TITLE_STRIP, TITLE_TEXT, WINDOW_SIZE, centre

# Groups run again in sessions of other options: name -> (Session options,
# the groups it re-runs whole and the GROUP.SCENARIOs it re-runs alone).
# A variant's own scenarios are registered under its name.
VARIANTS = {
    # Code page 1252: the labels and the warning read the same on a Western
    # desktop, with the label face mapped to an installed CJK font, and with
    # no face of that name at all, only a CJK font under its own name.
    "cp1252": ({"codepage": 1252}, [
        "painting.skin_pixels", "overflow.decimal_tenth_digit_warns_and_undoes",
        "start.accessible_names", "start.ui_automation_names",
        "filtering.characters_beyond_ascii_never_enter"]),
    "cp1252_nofontmap": ({"codepage": 1252, "font_mapping": False}, ["painting.skin_pixels"]),
    # At 150 % the groups that use the mouse and the keyboard most, with
    # every click scaled; at 125 % and 200 % the painted skin; and at 150 %
    # where programs stay unaware of the scale unless they ask, that the
    # program asks.
    "dpi144": ({"dpi": 144}, ["typing", "keys", "overflow", "mouse", "painting",
                              "start.accessible_names", "start.ui_automation_names",
                              "start.buttons_pressed_as_assistive_technology_does"]),
    "dpi120": ({"dpi": 120}, ["painting.skin_pixels"]),
    "dpi192": ({"dpi": 192}, ["painting.skin_pixels"]),
    "dpi144_unaware": ({"dpi": 144, "dpi_unaware": True},
                       ["painting.skin_pixels", "dpi144.aware_with_physical_rectangles"]),
    # In a copy of the prefix with Windows' High Contrast Black colours.
    "contrast_black": ({"theme": "hcblack"}, ["contrast"]),
    # Groups of their own that need another session.
    "small_screen": ({"screen": "320x100x24"}, []),
    "wide_system_font": ({"codepage": 1252, "system_font": "DejaVu Sans"}, []),
}
reg = Registry(VARIANTS)
scenario = reg.scenario

# shows(app, step, source, text, value=None, focus=None): source holds text as
# typed, the other three show value (default: text's value).
shows = App.shows


def back_to_start(app):
    """The fields as a fresh program shows them, without starting one: Binary
    holds 0, selected, with the focus; the others are empty, with nothing to
    undo. Mouse only: a key release would convert."""
    st = app.state()
    if st["iconic"]:
        st = restore(app, "reset: restored")
    app.click_field("binary")
    for f in FIELDS:
        if not st[f]:
            app.probe.set_text(f, "0")  # emptying an empty field keeps its undo
        app.probe.set_text(f, "0" if f == "binary" else "")
    app.click_field("binary", x=3, repeat=2)  # selects the word: the 0
    app.steady("reset: the start's fields", duration=0.1, binary="0", octal="", decimal="",
               hexadecimal="", focus="binary", sel_binary=(0, 1), box=None, foreground="main",
               active="main")


def parametrize(group, cases, name, fresh=None):
    """Registers fn once per case: scenario name = name(case). The rows run
    one after another in one program, set back to the start's fields between
    them (back_to_start), except those for which fresh(case) holds: they
    need a program of their own (start-up state, exit codes)."""
    def register(fn):
        for case in cases:
            row = lambda app, case=case: fn(app, *case)
            if not (fresh and fresh(case)):
                row.table = (fn, back_to_start)
            scenario(group, name(case))(row)
        return fn
    return register


def type_in(app, field, keys, check=False):
    """Types keys into field: Binary has the focus from the start, another
    field is clicked first. With check, waits until the field shows them and
    the others their value."""
    if field != "binary":
        app.focus_field(field)
    if keys:
        app.type(keys)
        if check:
            shows(app, "typed", field, keys)


def restore(app, step, activate=False, **want):
    """Restores the minimised window as a taskbar would, and gives it the X
    focus (with activate, a click into it as well)."""
    app.probe("show", 9)
    app.activate_main() if activate else app.focus_x()
    return app.expect(step, iconic=False, **want)


def drawn_minimise_and_restore(app, field, activate=False):
    """Minimised by the drawn button from field, restored: from then on
    activation puts the focus in Binary."""
    app.focus_field(field)
    app.click(*centre(MINIMISE))
    app.expect("minimised by the drawn button", iconic=True)
    restore(app, "restored, focus in binary", activate, focus="binary")


def open_context_menu(app, field=None):
    """The edit control's context menu, by a right click in field or by the
    Menu key: its screen rectangle."""
    if field:
        app.click_field(field, x=150, button=3)
    else:
        app.key("Menu")
    app.wait("context menu open", lambda st: app.probe("menu")["menu"] is not None,
             expected="the edit control's context menu")
    return app.probe("menu")["menu"]


# The edit control's context menu, item by item (separators not counted).
MENU_UNDO, MENU_CUT, MENU_COPY, MENU_PASTE, MENU_DELETE, MENU_SELECT_ALL = range(6)


def menu_item_rows(app, menu):
    """Screen y of each item's middle, found in a screenshot of the menu.

    On the menu's background, items are bands of rows holding some text
    pixels; separators and the frame are rows that are nearly all line."""
    left, top, right, bottom = menu

    def bands():
        shot = app.s.screenshot()
        background = shot.pixel(left + 2, top + 2)
        found, start = [], None
        for y in range(top + 1, bottom):
            marked = sum(1 for x in range(left + 3, right - 3) if shot.pixel(x, y) != background)
            is_text = 0 < marked < (right - left) * 3 // 4
            if is_text and start is None:
                start = y
            elif not is_text and start is not None:
                found.append((start + y - 1) // 2)
                start = None
        return found
    painted, found = poll(bands, lambda found: len(found) == 6, slow(3))
    if not painted:
        app.fail("context menu items", "6 items", {"item rows": found, "menu": menu})
    return found


def click_menu_item(app, field, item):
    """Right-click in a field and click one item of its context menu."""
    menu = open_context_menu(app, field)
    rows = menu_item_rows(app, menu)
    app.click_screen((menu[0] + menu[2]) // 2, rows[item])
    app.wait("menu closed", lambda st: app.probe("menu")["menu"] is None)


def paste(app, field, path):
    if path == "menu_click":
        click_menu_item(app, field, MENU_PASTE)
    elif path == "menu_key":
        open_context_menu(app, field)
        app.key("p")  # the Paste item's mnemonic
        app.wait("menu closed", lambda st: app.probe("menu")["menu"] is None)
    else:
        app.key("shift+Insert")


# --- start -------------------------------------------------------------------

def placement(app):
    """Where the window must be, scaled to the session's display: centred in
    the maximised area, but at 0 on a side where the screen is the smaller
    (centring would put it near 2^31 or at a negative place)."""
    m = app.state()["metrics"]
    width, height = (app.s.scale(n) for n in WINDOW_SIZE)
    left, top = max(0, (m["cxmaximized"] - width) // 2), max(0, (m["cymaximized"] - height) // 2)
    return {"rect": [left, top, left + width, top + height], "client": [width - 2, height - 2]}


@scenario("start")
def centred_window_binary_focused(app):
    app.expect("window placed", iconic=False, **placement(app))
    # A captionless popup with a one-pixel border; borderless edit fields with
    # the field limits that scroll rather than refuse text wider than they are.
    WS_POPUP, WS_BORDER, WS_VISIBLE, WS_CHILD = 0x80000000, 0x800000, 0x10000000, 0x40000000
    WS_DLGFRAME, WS_SYSMENU, WS_THICKFRAME, WS_MINIMIZEBOX, WS_MAXIMIZEBOX = \
        0x400000, 0x80000, 0x40000, 0x20000, 0x10000
    ES_AUTOHSCROLL = 0x80
    wanted, unwanted = WS_POPUP | WS_BORDER | WS_VISIBLE, \
        WS_DLGFRAME | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX
    app.expect("window and field styles", limits=[LIMITS[f] for f in FIELDS], exstyle=0,
               style=lambda v: v & wanted == wanted and not v & unwanted,
               field_styles=lambda vs: all(v & (WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL)
                                           == WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL
                                           and not v & WS_BORDER for v in vs))
    app.expect("initial fields", binary="0", octal="", decimal="", hexadecimal="",
               lengths=[1, 0, 0, 0], focus="binary", sel_binary=(0, 1), active="main",
               foreground="main", box=None)


@scenario("start")
def first_keystroke_replaces_selected_zero(app):
    app.type("101")
    shows(app, "typed 101 at start", "binary", "101", focus="binary")


@scenario("start")
def startup_focus_survives_switching_away(app):
    app.activate_other()
    app.activate_main()
    app.expect("focus back in binary", focus="binary")
    app.type("11")
    shows(app, "typing reaches binary", "binary", "11", focus="binary")


# --- typing and conversion -----------------------------------------------------

TYPING = [
    # field, keys, text kept in the field, value
    ("binary", "0001011", "0001011", 11),
    ("octal", "0017", "0017", 15),
    ("decimal", "0042", "0042", 42),
    ("hexadecimal", "00ff", "00ff", 255),
    ("hexadecimal", "DeadBeef1", "DeadBeef", 0xDEADBEEF),   # limit 8
    ("decimal", "4294967295", "4294967295", 0xFFFFFFFF),
    ("decimal", "12345678901", "1234567890", 1234567890),    # limit 10
    ("octal", "377777777770", "37777777777", 0xFFFFFFFF),    # limit 11
    ("binary", "1" * 33, "1" * 32, 0xFFFFFFFF),               # limit 32
]


@parametrize("typing", TYPING, lambda c: "%s_%s" % (c[0], c[1][:12]))
def typing_converts(app, field, keys, kept, value):
    type_in(app, field, keys)
    shows(app, "typed %r" % keys, field, kept, value, focus=field)


@scenario("typing")
def backspace_edits_and_converts(app):
    type_in(app, "decimal", "123", check=True)
    app.key("BackSpace")
    shows(app, "backspace", "decimal", "12", focus="decimal")


@scenario("typing")
def shift_and_arrow_release_convert_focused_field(app):
    type_in(app, "decimal", "12", check=True)
    app.probe.set_text("binary", "111")
    app.probe.set_text("hexadecimal", "0")
    app.expect("set from outside", binary="111", hexadecimal="0")
    app.key("shift")
    shows(app, "Shift released", "decimal", "12", focus="decimal")
    app.probe.set_text("octal", "0")
    app.key("Left")
    shows(app, "Left released", "decimal", "12", focus="decimal")
    app.expect("caret moved", sel_decimal=(1, 1))


@scenario("typing")
def release_converts_from_field_with_focus(app):
    # The release of a key pressed in Decimal arrives after a click moved the
    # focus to Octal: it converts Octal, so Decimal's new digit is overwritten.
    type_in(app, "octal", "17", check=True)
    app.focus_field("decimal")
    app.key("End")
    app.keydown("5")
    app.expect("5 inserted", decimal="155")
    app.click_field("octal")
    app.keyup("5")
    shows(app, "released in octal", "octal", "17", focus="octal")


# --- character filtering ---------------------------------------------------------

FILTERING = [
    ("binary", "1a2b0 -1.", "101"),
    ("octal", "7 8 9 g G - a F 1", "71"),
    ("decimal", "9a-b8 F+.", "98"),
    ("hexadecimal", "fgG Az-9", "fA9"),
]


@parametrize("filtering", FILTERING, lambda c: "alphabet_" + c[0])
def characters_outside_alphabet_swallowed(app, field, keys, kept):
    type_in(app, field, keys)
    shows(app, "typed %r" % keys, field, kept, focus=field)


@scenario("filtering")
def control_characters_do_nothing(app):
    app.probe.set_clipboard("5")
    type_in(app, "decimal", "12", check=True)
    app.key("shift+Home")
    app.expect("selected", sel_decimal=(0, 2))
    for combo in ("ctrl+x", "ctrl+c", "ctrl+v", "ctrl+z", "ctrl+a", "ctrl+b", "Return"):
        app.key(combo)
    app.key("End")
    app.type("3")
    shows(app, "no cut, paste, undo or stray character", "decimal", "123", focus="decimal")
    # Ctrl+C did not copy either: the clipboard still holds what was put there.
    app.key("shift+Home")
    app.key("shift+Insert")
    shows(app, "clipboard unchanged", "decimal", "5", focus="decimal")


@scenario("filtering")
def ctrl_s_consumed_and_s_release_converts(app):
    type_in(app, "decimal", "12", check=True)
    app.probe.set_text("binary", "0")
    app.keydown("ctrl")
    app.key("s")
    shows(app, "S released, Ctrl still down", "decimal", "12", focus="decimal")
    app.keyup("ctrl")
    app.type("3")
    shows(app, "nothing inserted", "decimal", "123", focus="decimal")


# --- Tab and Esc -------------------------------------------------------------------

def tab_cycles_and_selects_all(app, tab="Tab"):
    type_in(app, "binary", "101", check=True)
    for field, length in (("octal", 1), ("decimal", 1), ("hexadecimal", 1), ("binary", 3)):
        app.key(tab)
        app.expect("%s to %s" % (tab, field), focus=field, **{"sel_" + field: (0, length)})
    app.expect("no tab character", **canonical(5))


scenario("keys")(tab_cycles_and_selects_all)


@scenario("keys")
def shift_tab_moves_forward_like_tab(app):
    tab_cycles_and_selects_all(app, "shift+Tab")


@scenario("keys")
def hex_lower_case_kept_until_tab(app):
    app.focus_field("hexadecimal")
    app.type("ff")
    app.steady("lower case while focused", hexadecimal="ff", binary="11111111", octal="377",
               decimal="255")
    app.key("Tab")
    shows(app, "Tab's release converts from binary", "binary", "11111111", focus="binary")


@scenario("keys")
def decimal_leading_zeros_dropped_by_tab(app):
    type_in(app, "decimal", "007", check=True)
    app.key("Tab")
    shows(app, "Tab's release converts from hexadecimal", "hexadecimal", "7",
          focus="hexadecimal")


@scenario("keys")
def alt_and_f10_leave_typing_alone(app):
    # No menu bar and no system menu: the menu keys start no menu mode that
    # would eat the next keys.
    app.focus_field("decimal")
    app.key("alt")
    app.type("5")
    app.key("F10")
    app.type("6")
    shows(app, "both digits typed", "decimal", "56", focus="decimal")


ESCAPES = [("binary", None), ("octal", "17"), ("decimal", "99"), ("hexadecimal", "ff")]


@parametrize("keys", ESCAPES, lambda c: "esc_empties_" + c[0])
def escape_empties_field(app, field, keys):
    type_in(app, field, keys, check=True)
    app.key("Escape")
    shows(app, "Esc released", field, "", 0, focus=field)


# --- overflow warning ----------------------------------------------------------------

def type_decimal_written_by_conversion(app, text):
    """Decimal holds text written by a conversion; caret at its end."""
    type_in(app, "decimal", text)
    for _ in range(4):
        app.key("Tab")
    app.expect("back in decimal", focus="decimal")
    app.key("End")
    shows(app, "decimal rewritten", "decimal", text)


@scenario("overflow")
def decimal_tenth_digit_warns_and_undoes(app):
    type_decimal_written_by_conversion(app, "429496729")
    app.type("6")
    app.dismiss_warning("warning for 4294967296", how="enter")
    shows(app, "undone", "decimal", "429496729", focus="decimal")


@scenario("overflow")
def corrected_digit_after_warning_lands_at_end(app):
    # What a user does next: type the right last digit.
    decimal_tenth_digit_warns_and_undoes(app)
    app.type("5")
    app.steady("no second warning", box=None, decimal="4294967295")
    shows(app, "largest value", "decimal", "4294967295", focus="decimal")


@scenario("overflow")
def undo_converts_from_the_undone_field(app):
    # Binary is given a different value from outside, so that a conversion
    # from Binary instead of from the undone Decimal would show.
    type_decimal_written_by_conversion(app, "429496729")
    app.probe.set_text("binary", "1")
    app.type("6")
    app.dismiss_warning("warning", how="enter")
    shows(app, "converted from the undone decimal", "decimal", "429496729", focus="decimal")


@scenario("overflow")
def decimal_typed_run_warns_dismissed_by_click(app):
    app.focus_field("decimal")
    app.type("5000000000")
    box = app.expect_warning("warning for 5000000000")
    if box["owner"] != app.hwnd:
        app.fail("warning owner", "owned by the main window %d" % app.hwnd, box)
    app.dismiss_warning("warning", how="click")
    # The ten digits typed into the empty field are one edit: the undo empties it.
    shows(app, "undone, others 0", "decimal", "", focus="decimal")


@scenario("overflow")
def main_window_unusable_while_warning_up(app):
    app.focus_field("decimal")
    app.type("9999999999")
    app.expect_warning("warning up")
    app.click(*centre(CLOSE))  # behind the modal box
    app.steady("still running, box still up", box=lambda b: b is not None)
    if app.proc.poll() is not None:
        app.fail("close while box up", "the program to keep running", {"exit": app.proc.returncode})
    app.dismiss_warning("warning", how="enter")
    shows(app, "undone, others 0", "decimal", "", focus="decimal")


@scenario("overflow")
def octal_eleventh_digit_warns(app):
    app.focus_field("octal")
    app.type("4000000000")
    app.steady("ten digits starting with 4 accepted", box=None, octal="4000000000",
               decimal=str(0o4000000000))
    app.type("0")
    app.dismiss_warning("warning for 40000000000", how="click")
    # All eleven digits went into the empty field as one edit.
    shows(app, "undone, others 0", "octal", "", focus="octal")


@scenario("overflow")
def octal_digit_typed_over_selection_restored(app):
    app.focus_field("octal")
    app.type("37777777777")
    shows(app, "largest octal", "octal", "37777777777")
    app.key("Home", "shift+Right")
    app.expect("first digit selected", sel_octal=(0, 1))
    app.type("4")
    app.dismiss_warning("warning for 47777777777", how="enter")
    shows(app, "the replaced digit is back", "octal", "37777777777", focus="octal")


@scenario("overflow")
def keys_while_warning_up_reach_only_the_box(app):
    type_decimal_written_by_conversion(app, "429496729")
    app.type("6")
    app.expect_warning("warning up")
    before = app.state()
    app.type("123")
    app.key("Tab")
    app.steady("fields unchanged behind the box", box=lambda b: b is not None,
               **{f: before[f] for f in FIELDS})
    # Esc closes the box as its OK would; the field sees no Esc character,
    # which would empty it.
    app.key("Escape")
    app.expect("box closed by Esc", box=None)
    shows(app, "undone, not emptied", "decimal", "429496729", focus="decimal")


@scenario("overflow")
def switching_away_while_warning_up(app):
    type_decimal_written_by_conversion(app, "429496729")
    app.type("6")
    box = app.expect_warning("warning up")
    app.activate_other()
    app.expect("box kept while away", box=lambda b: b is not None)
    app.focus_x(box["xid"])
    # On the box's text, just above its button: below the caption bar,
    # whatever its height at the display's scale.
    left, right, ok_top = box["rect"][0], box["rect"][2], box["ok"][1]
    app.click_screen((left + right) // 2, ok_top - app.s.scale(8))
    app.expect("box active again", active="box")
    app.key("Return")
    app.expect("box closed", box=None)
    app.focus_x()  # the window manager's part once the box's window is gone
    shows(app, "undone", "decimal", "429496729", focus="decimal")
    app.type("5")
    shows(app, "typing goes on at the end", "decimal", "4294967295", focus="decimal")


@scenario("overflow")
def octal_largest_fits(app):
    app.focus_field("octal")
    app.type("37777777777")
    app.steady("no warning", box=None, **canonical(0xFFFFFFFF))


@scenario("overflow")
def text_still_overflowing_after_undo_brings_one_warning(app):
    # Decimal gets 4294967296 without a key release of its own: the 6 is
    # pressed in Decimal and released in another window.
    type_decimal_written_by_conversion(app, "429496729")
    app.keydown("6")
    app.expect("6 inserted", decimal="4294967296")
    app.activate_other()
    app.keyup("6")
    app.activate_main()
    app.expect("focus back, nothing converted", focus="decimal", decimal="4294967296",
               box=None, binary=canonical(429496729)["binary"])
    # Select the last digit with the mouse (no key release) and type over it:
    # the undo restores 4294967296, which overflows as well.
    x9, y9 = app.char_position("decimal", 9)
    app.drag_screen((x9 + 1, y9 + 5), (x9 + 30, y9 + 5))
    app.expect("last digit selected", sel_decimal=(9, 10))
    app.type("7")
    app.dismiss_warning("one warning", how="enter")
    shows(app, "field emptied, others 0", "decimal", "", 0, focus="decimal")
    app.steady("no second warning", box=None, decimal="")


@scenario("overflow")
def foreign_overflowing_text_brings_one_warning(app):
    # Only reachable from outside: text set by another program, which the
    # field's undo cannot take back.
    app.focus_field("decimal")
    app.probe.set_text("decimal", "9999999999")
    app.key("shift")
    app.dismiss_warning("one warning", how="enter")
    shows(app, "field emptied, others 0", "decimal", "", 0, focus="decimal")
    app.steady("no second warning", box=None, decimal="")


@scenario("overflow")
def after_drawn_minimise_undo_converts_from_binary(app):
    drawn_minimise_and_restore(app, "decimal", activate=True)
    type_decimal_written_by_conversion(app, "429496729")
    app.probe.set_text("binary", "1")
    app.type("6")
    app.dismiss_warning("warning", how="enter")
    # The activation after the box puts the focus in Binary, whose value is
    # then written into the other three, Decimal included.
    shows(app, "converted from binary", "binary", "1", focus="decimal")


# --- paste ---------------------------------------------------------------------

class Utf16(str):
    """Clipboard text put as UTF-16 alone (CF_UNICODETEXT), as nearly every
    program puts it; a plain str is put as CF_TEXT bytes alone."""


# Rows that hang on the clipboard's format; the cp1252 group runs them too. The
# CF_TEXT the system makes from UTF-16 maps look-alikes to ASCII ("best fit").
FORMAT_PASTES = [
    ("fullwidth_binary", "binary", "1", Utf16("\uff11\uff10\uff11"), "refuse", "1"),
    ("subscript_binary", "binary", "1", Utf16("\u2081\u2080"), "refuse", "1"),
    ("greek_hex", "hexadecimal", "7", Utf16("\u03b1\u03b4"), "refuse", "7"),
    ("fullwidth_hex_prefix", "hexadecimal", "7", Utf16("\uff10\uff58\uff46\uff46"), "refuse",
     "7"),
    ("utf16_hex", "hexadecimal", "", Utf16(" 0x1f "), "accept", "1f"),
    ("utf16_narrow_spaces", "decimal", "", Utf16("4\u202f294\u202f967\u202f295"), "accept",
     "4294967295"),
    ("text_only_hex", "hexadecimal", "", " 0x1f ", "accept", "1f"),
]
PASTES = [
    # name, field, typed first ("|" marks where a selection up to the end
    # starts), clipboard, outcome, field text after
    ("grouped_decimal", "decimal", "", " 1 000 \r\n", "accept", "1000"),
    ("hex_prefix_underscore", "hexadecimal", "", "0XfF_ff", "accept", "fFff"),
    ("hex_suffix", "hexadecimal", "1", "ABh", "accept", "1AB"),
    ("binary_prefix", "binary", "", "0b1010", "accept", "1010"),
    ("octal_prefix", "octal", "7", "0O17", "accept", "717"),
    ("bad_character", "decimal", "7", "12a", "refuse", "7"),
    ("foreign_prefix", "decimal", "7", "0x10", "refuse", "7"),
    ("prefix_and_suffix", "hexadecimal", "7", "0xABh", "refuse", "7"),
    ("beyond_limit", "binary", "1010", "1" * 29, "refuse", "1010"),
    ("octal_digit_8", "octal", "7", "8", "refuse", "7"),
    ("decimal_overflow", "decimal", "4", "294967296", "warn", "4"),
    ("octal_overflow", "octal", "", "40000000000", "warn", ""),
    ("replace_within_limit", "binary", "1" * 30 + "|00", "0b11", "accept", "1" * 32),
    ("blank_padded", "decimal", "", " " * 150 + "5" + " " * 150, "accept", "5"),
]
PATHS = ("menu_click", "menu_key", "shiftins")


# The format rows by the keys and by a click in the menu: the menu's key and
# its click paste alike.
@parametrize("paste", [(p,) + c for p in PATHS for c in PASTES]
             + [(p,) + c for p in ("menu_click", "shiftins") for c in FORMAT_PASTES],
             lambda c: "%s_%s" % (c[0], c[1]))
def paste_is_validated(app, path, name, field, first, clip, outcome, after):
    app.probe.set_clipboard(clip, utf16=isinstance(clip, Utf16))
    if field != "binary":
        app.focus_field(field)
    else:
        app.key("BackSpace")  # the selected 0
    typed, _, selected = first.partition("|")
    typed += selected
    if typed or field == "binary":
        app.type(typed)
        shows(app, "before paste", field, typed)
    app.key("End")
    if selected:
        app.key(*["shift+Left"] * len(selected))
        app.expect("selected", **{"sel_" + field: (len(typed) - len(selected), len(typed))})
    paste(app, field, path)
    if outcome == "accept":
        # Converted at once: a paste by mouse has no key release after it.
        shows(app, "pasted (%s)" % name, field, after, focus=field)
        return
    if outcome == "warn":
        app.dismiss_warning("overflowing paste", how="enter")
    # Sync point: a digit typed after the refused paste lands on the old text.
    app.key("End")
    app.type("1")
    shows(app, "unchanged after paste (%s)" % name, field, after + "1", focus=field)


@scenario("paste")
def paste_into_field_without_focus(app):
    # Right-clicking a field that does not have the focus pastes into it.
    app.probe.set_clipboard("0x1F")
    app.expect("binary focused", focus="binary")
    click_menu_item(app, "hexadecimal", MENU_PASTE)
    shows(app, "pasted into hexadecimal", "hexadecimal", "1F")


@scenario("paste")
def context_menu_from_keyboard(app):
    app.probe.set_clipboard("77")
    app.focus_field("decimal")
    app.type("1")
    open_context_menu(app)
    app.key("p")
    shows(app, "pasted at the caret", "decimal", "177", focus="decimal")


@scenario("paste")
def paste_replaces_selection_as_one_undoable_edit(app):
    app.probe.set_clipboard("45")
    type_in(app, "decimal", "123", check=True)
    app.key("shift+Home")
    app.key("shift+Insert")
    shows(app, "pasted over the selection", "decimal", "45", focus="decimal")
    click_menu_item(app, "decimal", MENU_UNDO)
    app.expect("one undo restores the typed text", decimal="123")
    app.key("shift")
    shows(app, "converted", "decimal", "123", focus="decimal")


# --- changes that are not typing ------------------------------------------------------
# The edit control's menu sends it WM_UNDO, WM_CUT and WM_CLEAR; UI Automation
# and MSAA set a text with WM_SETTEXT. Each converts at once, by the rules of
# a key release, and no field keeps a character it does not take.

MENU_EDITS = [("delete", MENU_DELETE), ("cut", MENU_CUT)]


@parametrize("edits", MENU_EDITS, lambda c: "menu_%s_converts" % c[0])
def menu_edit_converts(app, name, item):
    type_in(app, "decimal", "255", check=True)
    click_menu_item(app, "decimal", MENU_SELECT_ALL)
    app.expect("all selected", sel_decimal=(0, 3))
    click_menu_item(app, "decimal", item)
    shows(app, "menu %s: the others 0" % name, "decimal", "", 0)


@scenario("edits")
def menu_undo_of_an_overflow_warns_again(app):
    app.focus_field("decimal")
    app.type("4294967296")
    app.dismiss_warning("warning for 4294967296", how="click")
    shows(app, "undone, others 0", "decimal", "", focus="decimal")
    # The undo of that undo brings the number back: it warns, and goes.
    click_menu_item(app, "decimal", MENU_UNDO)
    app.dismiss_warning("warning again after the menu's undo", how="click")
    shows(app, "no number above 32 bits left", "decimal", "", 0, focus="decimal")


@scenario("edits")
def text_set_by_another_program(app):
    type_in(app, "decimal", "7", check=True)
    beeps = app.probe.beeps()
    if app.probe.send_text("decimal", "12z") != 0:
        app.fail("12z set", "WM_SETTEXT answered 0 (refused)")
    app.steady("12z refused", decimal="7", binary="111")
    if app.probe.beeps() != beeps + 1:
        app.fail("12z refused", "one beep", {"beeps": app.probe.beeps() - beeps})
    if app.probe.send_text("decimal", "255") != 1:
        app.fail("255 set", "WM_SETTEXT answered 1 (taken)")
    shows(app, "255 converted at once", "decimal", "255", focus="decimal")


@scenario("edits")
def character_put_in_by_other_means_is_taken_out(app):
    # As an insertion inside the edit control, which no subclass sees, would
    # be: announced only by EN_CHANGE. The full-width 2 would read as "2"
    # through the ANSI calls.
    type_in(app, "decimal", "12", check=True)
    beeps = app.probe.beeps()
    app.probe.set_text("decimal", "1\uff12", undo=True)
    shows(app, "taken out, the rest converted", "decimal", "1", focus="decimal")
    if app.probe.beeps() != beeps + 1:
        app.fail("taken out", "one beep", {"beeps": app.probe.beeps() - beeps})


@scenario("edits")
def button_pushed_then_clicked_is_released(app):
    # How Windows' UI Automation invokes a button: BM_SETSTATE(TRUE), then
    # BM_CLICK.
    BM_GETSTATE, BM_SETSTATE, BM_CLICK, BST_PUSHED = 0xF2, 0xF3, 0xF5, 0x4
    button = 1005  # the minimise button's id
    app.probe("message", button, "sendw", BM_SETSTATE, 1)
    app.probe("message", button, "sendw", BM_CLICK, 0)
    app.expect("minimised", iconic=True)
    state = app.probe("message", button, "sendw", BM_GETSTATE, 0)["result"]
    if state & BST_PUSHED:
        app.fail("after the click", "the button not pushed", {"BM_GETSTATE": state})


@scenario("edits")
def paste_while_another_program_holds_the_clipboard(app):
    app.probe.set_clipboard("77")
    app.focus_field("decimal")
    beeps = app.probe.beeps()
    # Held past the program's retries: refused with the beep.
    app.probe("holdclip", FIELD_IDS["decimal"], 500, timeout=slow(5))
    app.wait("busy clipboard refused", lambda st: app.probe.beeps() == beeps + 1,
             expected="one beep")
    app.steady("nothing pasted", decimal="")
    # Released within them: pasted.
    app.probe("holdclip", FIELD_IDS["decimal"], 40, timeout=slow(5))
    shows(app, "pasted once the clipboard is free", "decimal", "77", focus="decimal")


# --- drawn buttons, drag strip, focus keeping --------------------------------------------

CLICKS = [
    # Each close and drag ends its program (exit code): a program of its own.
    ((377, 18), "close"), ((392, 0), "close"),
    ((376, 5), "drag"), ((356, 18), "drag"), ((0, 0), "drag"),
    ((10, 19), "nothing"), ((200, 140), "nothing"),
    ((200, 5), "double"),  # no caption to maximise: two drags of no distance
    ((385, 9), "right"), ((365, 9), "right"),  # the drawn buttons take the left button only
    # Last: from the first minimise on, activation puts the focus in Binary.
    ((357, 18), "minimise"), ((375, 0), "minimise"),
]


@parametrize("mouse", CLICKS, lambda c: "%s_at_%d_%d" % (c[1], c[0][0], c[0][1]),
             fresh=lambda c: c[1] in ("close", "drag"))
def click_on_top_strip(app, at, effect):
    before = app.state()
    if effect == "drag":
        start = app.to_screen(*at)
        app.drag_screen(start, (start[0] + 40, start[1] + 25))
        r = before["rect"]
        app.expect("dragged by (40, 25)", rect=[r[0] + 40, r[1] + 25, r[2] + 40, r[3] + 25],
                   iconic=False)
        app.click(*centre(CLOSE))  # the buttons moved with the window
        app.exits()
        return
    app.click(*at, button=3 if effect == "right" else 1, repeat=2 if effect == "double" else 1)
    if effect == "close":
        app.exits()
    elif effect == "minimise":
        app.expect("minimised", iconic=True)
    else:
        app.steady("nothing happens", rect=before["rect"], iconic=False, focus="binary",
                   binary="0")
        app.type("1")
        shows(app, "still usable", "binary", "1", focus="binary")


@scenario("mouse")
def clicks_and_drags_on_the_surface_keep_the_field(app):
    app.focus_field("hexadecimal")
    app.click(10, 19)
    app.click(*NEUTRAL_SPOT)
    start = app.to_screen(200, 5)
    app.drag_screen(start, (start[0] + 30, start[1] + 30))
    app.type("a")
    shows(app, "typing goes on in hexadecimal", "hexadecimal", "a", focus="hexadecimal")


@scenario("mouse")
def restore_after_drawn_minimise_focuses_binary(app):
    drawn_minimise_and_restore(app, "decimal")
    app.type("1")
    shows(app, "typing goes to binary", "binary", "1", focus="binary")


@scenario("mouse")
def restore_after_other_minimise_keeps_field(app):
    # A field remembered at an earlier switch must not come back instead.
    app.focus_field("octal")
    app.activate_other()
    app.activate_main()
    app.focus_field("hexadecimal")
    app.probe("show", 6)  # as a taskbar would
    app.expect("minimised", iconic=True)
    restore(app, "focus back in hexadecimal", focus="hexadecimal")
    app.type("b")
    shows(app, "typing goes on there", "hexadecimal", "b", focus="hexadecimal")
    app.activate_main()
    app.expect("a click keeps it there", focus="hexadecimal")


@scenario("mouse")
def after_drawn_minimise_binary_wins_every_activation(app):
    drawn_minimise_and_restore(app, "octal", activate=True)
    app.activate_other()
    app.focus_field("octal")
    app.activate_other()
    app.activate_main()
    app.expect("binary after every activation", focus="binary")


@scenario("mouse")
def focus_kept_across_switching_windows(app):
    app.focus_field("hexadecimal")
    app.type("a")
    app.activate_other()
    app.expect("main inactive", active="none")
    app.activate_main()
    app.expect("focus back in hexadecimal", focus="hexadecimal")
    app.type("b")
    shows(app, "typing continues there", "hexadecimal", "ab", focus="hexadecimal")


# --- painting -------------------------------------------------------------------------

GRADIENT = {0: 0x518FAF, 25: 0x5593B5, 50: 0x5A98B8, 75: 0x5C9AB7, 100: 0x5F9DBA, 125: 0x67A3BF}


def red(c):
    return (c >> 16) & 255


def green(c):
    return (c >> 8) & 255


def blue(c):
    return c & 255


def close_to(a, b, tolerance=2):
    return all(abs(((a >> s) & 255) - ((b >> s) & 255)) <= tolerance for s in (0, 8, 16))


@scenario("painting")
def skin_pixels(app):
    app.until_none("screenshot pixels", "the painted skin", lambda: skin_problems(app))


def skin_problems(app):
    # Places are given at 96 DPI and scaled to the session's display; counts
    # go over every pixel of the scaled area, so the least numbers of glyph
    # pixels hold at any scale.
    ox, oy = app.client_origin()
    S = app.s.scale
    shot = app.s.screenshot()
    px = lambda x, y: shot.pixel(ox + S(x), oy + S(y))
    count = lambda x0, y0, x1, y1, test: sum(
        1 for y in range(S(y0), S(y1)) for x in range(S(x0), S(x1))
        if test(shot.pixel(ox + x, oy + y)))
    problems = []
    for y, colour in GRADIENT.items():
        for x in (2, 340 if y == 0 else 390):
            if not close_to(px(x, y), colour):
                problems.append("gradient row %d x %d: %06X, want %06X" % (y, x, px(x, y), colour))
    for left, top, right, bottom in ROWS:
        for y in (top, bottom - 1):
            for x in (left, 60, right - 3, right - 1):
                if px(x, y) != 0xCCCCCC and not (x == 60 and y == bottom - 1):
                    problems.append("row bar (%d, %d): %06X" % (x, y, px(x, y)))
    if px(ROWS[0][2], ROWS[0][1] + 1) == 0xCCCCCC or px(20, ROWS[0][3]) == 0xCCCCCC:
        problems.append("row bars reach past their right or bottom edge")
    # Text is drawn anti-aliased: glyph pixels are blends of the text
    # colour and what is behind it, with a few at the full colour.
    yellow = lambda c: min(red(c), green(c)) >= 0x90 and blue(c) <= red(c) - 0x40
    close_glyph = count(*CLOSE, yellow)
    minimise_glyph = count(*MINIMISE, yellow)
    if close_glyph < 15 or minimise_glyph < 4 or count(*CLOSE, lambda c: c == 0xFFFF00) < 1:
        problems.append("yellow glyphs: X %d px, - %d px" % (close_glyph, minimise_glyph))
    if count(0, 0, MINIMISE[0], 148, yellow):
        problems.append("yellow outside the buttons")
    white = lambda c: min(red(c), green(c), blue(c)) >= 0xD8
    if count(*TITLE_TEXT, white) < 200:
        problems.append("title: %d white pixels" % count(*TITLE_TEXT, white))
    if count(0, TITLE_STRIP[3], FIELD_RECTS[0][0] - 1, 148, white):
        problems.append("white below the title")
    dark = lambda c: max(red(c), green(c), blue(c)) < 0x90
    for i, rect in enumerate(LABEL_RECTS):
        n = count(*rect, dark)
        if n < 80:
            problems.append("label %d: %d dark pixels" % (i, n))
        if count(*rect, lambda c: dark(c) and not red(c) == green(c) == blue(c)):
            problems.append("label %d not black on grey" % i)
    # The labels are CJK glyphs, not empty boxes or single-byte characters:
    # 二 is two strokes across with nothing between, 十 a stroke across
    # and one down. A glyph's cell: 17 x 21 from just above the label.
    ink = lambda x, y: blue(shot.pixel(ox + x, oy + y)) < 0xB8
    cell = lambda i: [[ink(x, y) for x in range(S(LABEL_RECTS[i][0]), S(LABEL_RECTS[i][0] + 17))]
                      for y in range(S(LABEL_RECTS[i][1] - 1), S(LABEL_RECTS[i][1] + 20))]
    grid = cell(0)
    across = [sum(line) >= S(6) for line in grid]
    strokes = [y for y in range(len(grid)) if across[y] and (y == 0 or not across[y - 1])]
    if len(strokes) != 2 or any(sum(grid[y]) > S(2) for y in range(strokes[0], len(grid))
                                if not across[y] and any(across[y:])):
        problems.append("first label does not start with 二")
    for i in (2, 3):
        grid = cell(i)
        runs = lambda lines: max((len(r) for line in lines
                                  for r in "".join("#" if v else " " for v in line).split()),
                                 default=0)
        if runs(grid) < S(9) or runs(zip(*grid)) < S(9):
            problems.append("label %d does not start with 十" % i)
    return problems


# --- a display smaller than the window -----------------------------------------------

@scenario("small_screen")
def window_kept_on_a_small_screen(app):
    m = app.state()["metrics"]
    width, height = m["cxmaximized"], m["cymaximized"]
    if width >= WINDOW_SIZE[0] and height >= WINDOW_SIZE[1]:
        app.fail("display size", "a maximised size below 395 x 150 in one direction", m)
    # Wine 10 keeps the maximised height of so small a screen at 152, and
    # centres there.
    app.expect("top-left corner on the screen", focus="binary", **placement(app))
    app.type("11")
    shows(app, "usable", "binary", "11", focus="binary")
    app.key("alt+F4")  # the drawn close button is beyond the screen's edge
    app.exits()


# --- quitting ---------------------------------------------------------------------------

@scenario("quit")
def close_button_exit_code_zero(app):
    app.type("1")
    shows(app, "in use", "binary", "1")
    app.click(*centre(CLOSE))
    app.exits()


@scenario("quit")
def wm_close_exit_code_zero(app):
    app.probe("close")
    app.exits()


@scenario("quit")
def alt_f4_exit_code_zero(app):
    app.key("alt+F4")
    app.exits()


# --- desktops whose code page is not 936 ----------------------------------------------
# The variants cp1252 and cp1252_nofontmap (VARIANTS, at the top) run scenarios
# of other groups there. The paste rows that hang on the clipboard's format run
# there too; the menu's items are Latin text there, whose mnemonic underlines
# stand apart, so menu_item_rows finds no six rows: the menu is taken by its
# Paste mnemonic.
parametrize("cp1252", [(p,) + c for p in ("menu_key", "shiftins") for c in FORMAT_PASTES],
            lambda c: "paste_%s_%s" % (c[0], c[1]))(paste_is_validated)


# --- soak -------------------------------------------------------------------------------
# Random real key presses into one running program: QV_SOAK_KEYS of them (200
# by default), from the seed QV_SOAK_SEED (else a random one, printed). After
# every key the program must run and answer, and once settled
# the three other fields show the focused field's value; an overflow warning
# must carry its text and caption, and is dismissed with Enter.

# xdotool key names and their weights. Digits dominate so that fields fill up
# to their limits and the overflow warning comes up regularly.
SOAK_KEYS = ([(str(d), 8) for d in range(10)]
             + [(c, 2) for c in "abcdef"] + [(c, 1) for c in "ABCDEFgxz"]
             + [("Tab", 4), ("shift+Tab", 1), ("Escape", 1), ("BackSpace", 3), ("Delete", 1),
                ("Left", 2), ("Right", 1), ("Home", 1), ("End", 2), ("space", 1), ("minus", 1),
                ("ctrl+z", 1), ("ctrl+v", 1), ("shift+Insert", 2)])


def random_clip(rng):
    kind = rng.randrange(4)
    if kind == 0:
        return str(rng.randrange(0, 1 << 32))
    if kind == 1:
        return "0x%x" % rng.randrange(0, 1 << 32)
    if kind == 2:
        return "".join(rng.choice("0123456789abcdefxyz -_") for _ in range(rng.randrange(1, 14)))
    return str(rng.randrange(1 << 32, 10 ** 11))


def settled_problem(st):
    """What is wrong with a settled state, or None."""
    if st["focus"] not in FIELDS:
        return "focus is %r, not in a field" % st["focus"]
    return conversion_problem(st, st["focus"])


@scenario("soak")
def random_keys(app):
    keys = int(os.environ.get("QV_SOAK_KEYS", "200"))
    seed = int(os.environ.get("QV_SOAK_SEED") or random.randrange(1 << 30))
    rng = random.Random(seed)
    print("soak: %d keys, seed %d" % (keys, seed), flush=True)
    names = [k for k, w in SOAK_KEYS for _ in range(w)]
    settle, warnings = [], 0
    started = time.monotonic()
    log_path = os.path.join(app.s.artifacts, "soak-%d.log" % seed)
    try:
        with open(log_path, "w") as log:
            for i in range(keys):
                key = rng.choice(names)
                if key == "shift+Insert":
                    app.probe.set_clipboard(random_clip(rng))
                step = "key %d (%s)" % (i, key)
                t0 = time.monotonic()
                app.key(key)
                # Settled: the warning is up, or the fields agree in two
                # readings in a row (a key whose release has not been handled
                # yet may still change them).
                last = []

                def settled(st):
                    if app.proc.poll() is not None:
                        app.fail(step, "the program to keep running", {"exit": app.proc.returncode})
                    if st["box"]:
                        return True
                    now = [st[f] for f in FIELDS] + [st["focus"]]
                    agreed = settled_problem(st) is None and last == [now]
                    last[:] = [now]
                    return agreed
                st = app.wait(step, settled, timeout=slow(10),
                              expected="the other fields showing the focused field's value")
                if st["box"]:
                    warnings += 1
                    app.dismiss_warning(step + ": warning")
                    st = app.wait(step + ": settled after the warning",
                                  lambda s: not s["box"] and settled_problem(s) is None
                                  and s["focus"] in ("octal", "decimal"),
                                  expected="the fields agreeing, the focus back in octal or "
                                           "decimal")
                    log.write("%d %s: warning -> %s\n" % (i, key, [st[f] for f in FIELDS]))
                settle.append(time.monotonic() - t0)
                if (i + 1) % 100 == 0:
                    print("  %d keys, %d warnings, %.0f s; now %s" % (
                        i + 1, warnings, time.monotonic() - started,
                        " ".join("%s=%s" % (f[:3], st[f] or '""') for f in FIELDS)), flush=True)
        app.probe("close")
        app.exits("close")
    except Failure as e:
        raise Failure("seed %d: %s" % (seed, e)) from None
    settle.sort()
    print("soak: %d keys, %d overflow warnings, 0 failures, %.1f s; per key until settled: "
          "median %.0f ms, max %.0f ms (seed %d, log %s)"
          % (len(settle), warnings, time.monotonic() - started,
             1000 * statistics.median(settle), 1000 * settle[-1], seed, log_path), flush=True)


# --- display scales ---------------------------------------------------------------------
# The variants dpi144, dpi120, dpi192 and dpi144_unaware (VARIANTS, at the
# top) run scenarios of other groups at other scales, and these of their own.

@scenario("dpi144")
def aware_with_physical_rectangles(app):
    """The program takes the per-monitor mode (v2 under wine 10, as on
    Windows 10 1703 and later; wine 8 refuses v2 and the program falls back
    to v1), and its window and fields have their scaled sizes in physical
    pixels, read by a probe that is per-monitor aware itself: to a reader
    that is not, wine 10 hands the rectangles scaled back to 96 DPI."""
    got = app.probe("awareness")
    per_monitor = {"awareness": 2, "v2": wine10()}
    if not got["ok"] or got["probe"]["awareness"] != 2 or got["program"] != per_monitor \
            or got["window_dpi"] != app.s.dpi:
        app.fail("awareness", "program %r, window at %d DPI, read by a per-monitor aware probe"
                 % (per_monitor, app.s.dpi), got)
    app.expect("scaled window and fields", **placement(app),
               field_rects=[[app.s.scale(v) for v in rect] for rect in FIELD_RECTS])


def icons_at_the_scale(app):
    """The window's icon and small icon come at the display's scale (64 and
    32 pixels at 200 %), as a taskbar gets them: wine puts the class's two
    icons on the X window (_NET_WM_ICON, each image its width, its height and
    its pixels). Asked for before the program is aware of the scale, they
    would be made for 100 %. Wine 8 makes every program aware from the start,
    so only wine 10 tells."""
    xid = str(app.state()["xid"])

    def problems():
        out = subprocess.run(["xprop", "-id", xid, "-notype", "32c", "_NET_WM_ICON"],
                             env=app.s.env, stdout=subprocess.PIPE, text=True).stdout
        words = [int(w) for w in out.partition("=")[2].replace(",", " ").split()]
        sizes, i = [], 0
        while i + 1 < len(words):
            sizes.append([words[i], words[i + 1]])
            i += 2 + words[i] * words[i + 1]
        return sorted(sizes) != [[S(16), S(16)], [S(32), S(32)]] and ["_NET_WM_ICON %r" % sizes]

    S = app.s.scale
    app.until_none("icon sizes", "%d and %d pixels square" % (S(32), S(16)), problems)


scenario("dpi192", "icons_at_the_scale", when=wine10)(icons_at_the_scale)


def label_ink_rows(app, dpi):
    """Rows of the first label that hold dark ink, as (first, last)."""
    ox, oy = app.client_origin()
    shot = app.s.screenshot()
    left, right = scale(LABEL_RECTS[0][0], dpi), scale(LABEL_RECTS[0][2], dpi)
    rows = [y for y in range(scale(ROWS[0][1], dpi), scale(ROWS[0][3], dpi))
            if any(max(red(c), green(c), blue(c)) < 0x90
                   for c in (shot.pixel(ox + x, oy + y) for x in range(left, right)))]
    return (rows[0], rows[-1]) if rows else None


def digit_advance(app):
    """Width of the first digit in Decimal, as the field lays it out."""
    return app.char_position("decimal", 1)[0] - app.char_position("decimal", 0)[0]


@scenario("painting", not_in=("dpi144",))
def moved_to_150_percent_and_back(app):
    # Wine never moves a window between displays of different scales, so the
    # message the system sends then is sent from outside. From 96 DPI only.
    app.focus_field("decimal")
    app.type("1234")
    shows(app, "typed", "decimal", "1234", focus="decimal")
    app.key("shift+Left", "shift+Left")
    st = app.expect("selected", sel_decimal=(2, 4))
    texts = {f: st[f] for f in FIELDS}
    ink96 = label_ink_rows(app, 96)
    advance96 = digit_advance(app)
    left, top = st["rect"][:2]
    for step, dpi in enumerate((144, 96), 1):
        width, height = scale(WINDOW_SIZE[0], dpi), scale(WINDOW_SIZE[1], dpi)
        rect = [left + 20 * step, top + 10 * step, left + 20 * step + width,
                top + 10 * step + height]
        if not app.probe("dpichanged", dpi, ",".join(map(str, rect)))["ok"]:
            app.fail("WM_DPICHANGED %d" % dpi, "the message sent", {})
        fields = [[scale(v, dpi) for v in rect] for rect in FIELD_RECTS]
        app.expect("laid out at %d DPI" % dpi, rect=rect, client=[width - 2, height - 2],
                   field_rects=fields, focus="decimal", sel_decimal=(2, 4), **texts)
        # The labels' glyphs and the fields' digits at the new scale: half as
        # tall and wide again at 144, and exactly as before back at 96.
        want_ink = ((ink96[1] - ink96[0] + 1) * dpi + 48) // 96
        ink_height = lambda: (lambda rows: rows[1] - rows[0] + 1)(label_ink_rows(app, dpi))
        app.wait("label glyphs at %d DPI" % dpi,
                 lambda st: abs(ink_height() - want_ink) <= (1 if dpi != 96 else 0),
                 expected="label ink %d rows high (%r at 96)" % (want_ink, ink96))
        advance = digit_advance(app)
        want = (advance96 * dpi + 48) // 96
        if abs(advance - want) > (1 if dpi != 96 else 0):
            app.fail("digits at %d DPI" % dpi, "a digit %d px wide" % want, {"advance": advance})
    # The remembered focus still works.
    app.activate_other()
    app.activate_main()
    app.expect("focus back in decimal", focus="decimal", sel_decimal=(2, 4), **texts)


@scenario("painting")
def size_asked_before_a_scale_change(app):
    # Windows asks for the size at the new scale before it suggests a place;
    # the answer must be the layout's own, whatever size it offers.
    for dpi in (120, 144, 192):
        want = [scale(WINDOW_SIZE[0], dpi), scale(WINDOW_SIZE[1], dpi)]
        got = app.probe("scaledsize", dpi, "%d,%d" % (want[0] - 1, want[1] + 1))
        if not got["ok"] or got["result"] != 1 or got["size"] != want:
            app.fail("WM_GETDPISCALEDSIZE %d" % dpi, "TRUE and the size %r" % (want,), got)



# --- what a screen reader hears ---------------------------------------------------------

ROLE_SYSTEM_TEXT = 42


# The drawn - and X as the push buttons over them: named as Chinese Windows
# names a caption's buttons, at their places at 96 DPI scaled as the program
# scales them; besides the fields, exactly these. Windows' oleacc gives a
# "Button" window its push-button role; wine's gives every window but an edit
# the client role (10), and its UI Automation calls those panes (50033).
BUTTONS = (("最小化", (357, 0, 375, 18)), ("关闭", (377, 0, 395, 18)))
BUTTON_ROLES = {43, 10}  # ROLE_SYSTEM_PUSHBUTTON; ROLE_SYSTEM_CLIENT under wine
BUTTON_TYPES = {50000, 50033}  # UIA Button; Pane under wine


UIA_EDIT_CONTROL = 50004


def named_like_labels(app, how, kind, field_kind, button_kinds):
    """What the probe's how (accessible, uia) reads: each field named after
    its label, of field_kind (a role or control type, kind), and besides the
    fields exactly the two buttons, "Button" windows of button_kinds."""
    got = app.probe(how)
    ox, oy = app.client_origin()
    S = app.s.scale
    want = sorted([name, [ox + S(l), oy + S(t), ox + S(r), oy + S(b)]]
                  for name, (l, t, r, b) in BUTTONS)
    if not got["ok"] or got["names"] != list(LABELS) or got[kind + "s"] != [field_kind] * 4 \
            or sorted([b["name"], b["rect"]] for b in got["buttons"]) != want \
            or any(b[kind] not in button_kinds or b["class"] != "Button" for b in got["buttons"]):
        app.fail(how, "names %r, %s %d; buttons %r at %r, %s in %r"
                 % (LABELS, kind, field_kind, BUTTONS, want, kind, button_kinds), got)


def accessible_names(app):
    """Each field is named after its label when a screen reader asks (MSAA),
    because the window just before it is a hidden static holding the label;
    the drawn buttons are push buttons with names."""
    named_like_labels(app, "accessible", "role", ROLE_SYSTEM_TEXT, BUTTON_ROLES)
    app.expect("hidden static before each field",
               before=[{"class": "Static", "visible": False, "text_w": label} for label in LABELS])


def ui_automation_names(app):
    """The same through UI Automation, which Narrator and current NVDA use:
    wine 10 has it, wine 8 does not."""
    named_like_labels(app, "uia", "type", UIA_EDIT_CONTROL, BUTTON_TYPES)


scenario("start", "accessible_names")(accessible_names)


E_NOTIMPL = "0x80004001"


def buttons_pressed_as_assistive_technology_does(app):
    """A button given the focus hands it back to the field that had it. Its
    default action (accDoDefaultAction; Invoke where UI Automation exists)
    does what a press on the drawn one does: minimise, after which Binary
    has the focus, and close, exit code 0. Wine implements neither default
    action (E_NOTIMPL): there the click that a push button's default action
    is, BM_CLICK, stands in."""
    app.focus_field("decimal")
    for i in range(len(BUTTONS)):
        if not app.probe("press", i, "focus")["ok"]:
            app.fail("focus given to button %d" % i, "SetFocus done", {})
        app.expect("the focus back in decimal", focus="decimal")
    listed = {how: [b["name"] for b in app.probe(lister)["buttons"]]
              for how, lister in (("msaa", "accessible"), ("uia", "uia")) if how == "msaa" or wine10()}
    index = lambda how, name: listed[how].index(name) if name in listed[how] else -1
    for name, _ in BUTTONS:
        for how in listed:
            got = app.probe("press", index(how, name), how)
            if got["ok"] or got["hr"] != E_NOTIMPL:
                break
        else:
            got = app.probe("press", index("msaa", name), "click")
        if not got["ok"]:
            app.fail("default action of %s" % name, "done", got)
        if name == BUTTONS[0][0]:
            app.expect("minimised", iconic=True)
            restore(app, "restored, focus in binary", focus="binary")
    app.exits()


scenario("start", "ui_automation_names", when=wine10)(ui_automation_names)
scenario("start")(buttons_pressed_as_assistive_technology_does)


# --- characters beyond ASCII -------------------------------------------------------------
# Sent the ways a keyboard layout or an input method delivers them. In code page
# 936 the pairs 81 41 and 81 61 are double-byte characters whose trail bytes
# are the letters A and a; WM_IME_CHAR 0x8141 is the first of them whole. The
# UTF-16 characters have a digit or a hexadecimal letter as their low byte.
# No digit is a trail byte in any double-byte code page, so the pairs go to
# Hexadecimal.
WM_CHAR, WM_IME_CHAR = 0x102, 0x286
NOT_ASCII = {
    "binary": [("sendw", WM_CHAR, 0x4E31), ("postw", WM_CHAR, 0x4E30),
               ("sendw", WM_IME_CHAR, 0x4E31)],
    "octal": [("sendw", WM_CHAR, 0x4E37), ("postw", WM_IME_CHAR, 0x4E35)],
    "decimal": [("sendw", WM_CHAR, 0x4E39), ("sendw", WM_IME_CHAR, 0xFF19)],
    "hexadecimal": [("posta", WM_CHAR, 0x81), ("posta", WM_CHAR, 0x41),
                    ("senda", WM_CHAR, 0x81), ("senda", WM_CHAR, 0x61),
                    ("senda", WM_IME_CHAR, 0x8141), ("posta", WM_IME_CHAR, 0x8142),
                    ("sendw", WM_CHAR, 0x4E41), ("sendw", WM_IME_CHAR, 0x4E46)],
}
# What a Greek, Polish or Czech keyboard layout or Alt+224 types, posted as
# such characters arrive: through the program's queue and its message loop.
# Taken out as ANSI, they would become their "best fit" letters and digits
# (a, a, d, the digits, 1, 1, 0) before a field could refuse them.
FROM_LAYOUTS = [0x3B1, 0x105, 0x3B4] + list(range(0xFF10, 0xFF1A)) + [0xB9, 0x2081, 0x660]
TYPED_AFTER = {"binary": "1", "octal": "7", "decimal": "9", "hexadecimal": "c"}


def characters_beyond_ascii_never_enter(app):
    for field in FIELDS:
        app.focus_field(field)
        app.key("Escape")
        shows(app, "emptied", field, "", 0, focus=field)
        for how, message, wparam in NOT_ASCII[field]:
            # The byte pairs are double-byte characters only in code page
            # 936; elsewhere their trail bytes are plain letters.
            if how.endswith("a") and app.s.codepage != 936:
                continue
            app.probe("message", FIELD_IDS[field], how, message, wparam)
        for wparam in FROM_LAYOUTS + [ord(TYPED_AFTER[field])]:
            app.probe("message", FIELD_IDS[field], "postw", WM_CHAR, wparam)
        # Sync point: posted messages come before the typed key. Only the
        # posted ASCII digit and the typed one may be there.
        app.type(TYPED_AFTER[field])
        shows(app, "only the ASCII digits in %s" % field, field, TYPED_AFTER[field] * 2,
              focus=field)


scenario("filtering", "characters_beyond_ascii_never_enter")(characters_beyond_ascii_never_enter)


# --- a System font wider than the fields ----------------------------------------------------
# DejaVu Sans as System (the fields' font) makes 32 binary digits 288 pixels
# wide, more than the field's 280.

@scenario("wide_system_font")
def thirty_two_digits_typed_and_pasted_stay_whole(app):
    app.key("BackSpace")
    app.type("1" * 32)
    shows(app, "typed", "binary", "1" * 32, focus="binary")
    app.key("Home")
    left = app.char_position("binary", 0)[0]
    right = app.char_position("binary", 31)[0]
    if right - left < 280 - 9:
        app.fail("field font", "32 digits wider than the 280-pixel field",
                 {"first digit x": left, "last digit x": right})
    app.probe.set_clipboard("0b" + "10" * 16)
    app.key("End")
    app.key(*["shift+Left"] * 32)
    app.key("shift+Insert")
    shows(app, "pasted over all of it", "binary", "10" * 16, focus="binary")


# --- high contrast ----------------------------------------------------------------------------
# Wine never reports high contrast on: the probe makes the running program see
# it (the program's import of SystemParametersInfoW pointed at a stub that adds
# the flag) and tells it with one of the two messages Windows sends, then puts
# the import back and tells it with the other. The colours are the prefix's:
# wine's own light ones, and a copy with Windows' High Contrast Black, where a
# text left in a fixed black would vanish.

# GetSysColor indices of the colours a contrast theme sets, and the pairs it
# makes of them: each text colour and the background it is meant to be read on.
SYSTEM_COLOURS = {"window": 5, "window_text": 8, "highlight": 13, "highlight_text": 14,
                  "button_face": 15, "gray_text": 17, "button_text": 18, "hot_light": 26}
TEXT_PAIRS = (("window_text", "window"), ("button_text", "button_face"),
              ("highlight_text", "highlight"), ("hot_light", "window"))
# Texts and the least number of their pixels that must be ink, at least 30 %
# of the way from the background to a text colour (wine smooths these thin
# glyphs lightly: in the light theme the labels had 126 to 158 such pixels,
# the title 373).
TEXTS = [("title", TITLE_TEXT, 150), ("X", CLOSE, 15), ("-", MINIMISE, 4)] + [
    ("label %d" % i, rect, 60) for i, rect in enumerate(LABEL_RECTS)]


def channels(c):
    return red(c), green(c), blue(c)


def blend_of(c, a, b, tolerance=3):
    """How far c lies from a towards b (0 to 1) if it is a blend of the two,
    as anti-aliased text is of its colour and its background; else None."""
    c, a, b = channels(c), channels(a), channels(b)
    spans = [bi - ai for ai, bi in zip(a, b)]
    k = max(range(3), key=lambda i: abs(spans[i]))
    t = (c[k] - a[k]) / spans[k] if spans[k] else 0.0
    if -0.02 <= t <= 1.02 and all(abs(a[i] + t * spans[i] - c[i]) <= tolerance for i in range(3)):
        return t
    return None


def background_picture(repo):
    """Every colour of the background bitmap (24 bits, one pixel per row)."""
    with open(os.path.join(repo, "resources", "background.bmp"), "rb") as f:
        data = f.read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3
    return {int.from_bytes(data[offset + r * stride:offset + r * stride + 3], "little")
            for r in range(abs(height))}


def client_pixels(app):
    """The client area as rows of 0xRRGGBB, and the fields' rectangles."""
    st = app.state()
    ox, oy = st["rect"][0] + 1, st["rect"][1] + 1
    shot = app.s.screenshot()
    width, height = st["client"]
    return [[shot.pixel(ox + x, oy + y) for x in range(width)] for y in range(height)], \
        st["field_rects"]


def in_fields(fields, x, y):
    return any(left <= x < right and top <= y < bottom for left, top, right, bottom in fields)


def contrast_problems(app, colours, picture):
    """What keeps the window from being painted in the theme's colours only."""
    S = app.s.scale
    pixels, fields = client_pixels(app)
    named = {name: colours[index] for name, index in SYSTEM_COLOURS.items()}
    palette = set(named.values())
    blends = {}

    def system_or_blend(c):
        if c not in blends:
            blends[c] = c in palette or any(blend_of(c, a, b) is not None
                                            for a, b in itertools.combinations(palette, 2))
        return blends[c]

    problems = []
    stray = Counter()
    for y, line in enumerate(pixels):
        for x, c in enumerate(line):
            if in_fields(fields, x, y):
                continue
            if c in picture:
                stray["background picture %06X" % c] += 1
            elif not system_or_blend(c):
                stray["%06X" % c] += 1
    problems += ["%d pixels of %s" % (n, what) for what, n in stray.most_common(5)]
    labels = [[S(v) for v in rect] for rect in LABEL_RECTS]
    grey = sum(1 for left, top, right, bottom in ROWS for y in range(S(top), S(bottom))
               for x in range(S(left), S(right))
               if pixels[y][x] == 0xCCCCCC and not in_fields(fields + labels, x, y))
    if grey:
        problems.append("%d pixels of the row grey" % grey)
    pairs = {(named[text], named[back]) for text, back in TEXT_PAIRS}
    inks = {named[text] for text, _ in TEXT_PAIRS}
    for name, (x0, y0, x1, y1), least in TEXTS:
        area = [pixels[y][x] for y in range(S(y0), S(y1)) for x in range(S(x0), S(x1))]
        back = Counter(area).most_common(1)[0][0]
        # The text's colour: the text colour farthest from the background that
        # enough pixels reach (a nearer one lies on the way to it).
        distance = lambda ink: sum((i - b) ** 2 for i, b in zip(channels(ink), channels(back)))
        found = [(ink, sum(1 for c in area if (blend_of(c, back, ink) or 0) >= 0.3))
                 for ink in sorted(inks - {back}, key=distance, reverse=True)]
        ink = next((ink for ink, count in found if count >= least), None)
        if ink is None:
            problems.append("%s: no text colour on %06X (%s)" % (
                name, back, ", ".join("%06X %d px" % f for f in found)))
        elif (ink, back) not in pairs:
            problems.append("%s: %06X on %06X, not a text colour on its own background"
                            % (name, ink, back))
    return problems


def switch_contrast(app, state, message):
    answer = app.probe("contrast", state, message)
    if not answer["ok"] or answer["was_on"] == (state == "on"):
        app.fail("high contrast %s by %s" % (state, message), "the probe to switch it", answer)


def pixels_changed(app, before, outside_fields=False):
    """The client area's pixels (or those outside the fields) unlike before."""
    pixels, fields = client_pixels(app)
    different = [(x, y) for y, line in enumerate(pixels) for x, c in enumerate(line)
                 if c != before[y][x] and not (outside_fields and in_fields(fields, x, y))]
    return different and ["%d pixels, the first at %s" % (len(different), different[:3])]


def high_contrast_on_and_off(app):
    colours = app.probe("colours")["colours"]
    picture = background_picture(app.s.repo)
    skin_pixels(app)
    ordinary, _ = client_pixels(app)
    # Each message in each direction: on by one, off by the other, and the
    # other way round, typing in between.
    contrast_look = lambda step: app.until_none(
        step, "only the theme's colours, each text in a text colour on its background",
        lambda: contrast_problems(app, colours, picture))
    for round_, (on, off) in enumerate((("syscolor", "setting"), ("setting", "syscolor"))):
        switch_contrast(app, "on", on)
        contrast_look("high contrast on by %s" % on)
        if round_:
            app.type("101")
            shows(app, "typed in high contrast", "binary", "101", focus="binary")
            contrast_look("typed in high contrast")
        switch_contrast(app, "off", off)
        app.until_none("high contrast off by %s" % off, "0 pixels different from before",
                       lambda: pixels_changed(app, ordinary, outside_fields=round_ > 0))
        skin_pixels(app)


scenario("contrast", "on_and_off")(high_contrast_on_and_off)

if __name__ == "__main__":
    sys.exit(reg.main(sys.argv[1:]))

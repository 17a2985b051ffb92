// Paste by the context menu (a click on Paste, or its mnemonic) and by Shift+Insert: taken whole or refused whole.
#include <variant>

#include "e2e.h"
#include "menu.h"

using namespace e2e;


struct Pasted {
  const char* name;
  Field field;
  std::string first;  // keys typed first
  std::variant<std::string, std::wstring> clip;  // alone: CF_TEXT, or CF_UNICODETEXT as most programs put it
  char outcome;       // 'a'ccepted, 'r'efused, refused with the overflow 'w'arning
  std::string after;  // the field's text then
};

// The rows that hang on the clipboard's format (cp1252 too): CF_TEXT made from UTF-16 maps look-alikes to ASCII.
const std::vector<Pasted> kFormatPastes = {
    {"fullwidth_binary", Binary, "1", L"\uff11\uff10\uff11", 'r', "1"},
    {"subscript_binary", Binary, "1", L"\u2081\u2080", 'r', "1"},
    {"greek_hex", Hexadecimal, "7", L"\u03b1\u03b4", 'r', "7"},
    {"fullwidth_hex_prefix", Hexadecimal, "7", L"\uff10\uff58\uff46\uff46", 'r', "7"},
    {"utf16_hex", Hexadecimal, "", L" 0x1f ", 'a', "1f"},
    {"utf16_narrow_spaces", Decimal, "", L"4\u202f294\u202f967\u202f295", 'a', "4294967295"},
    {"text_only_hex", Hexadecimal, "", " 0x1f ", 'a', "1f"},
};

const std::vector<Pasted> kPastes = {
    {"grouped_decimal", Decimal, "", " 1 000 \r\n", 'a', "1000"},
    {"hex_prefix_underscore", Hexadecimal, "", "0XfF_ff", 'a', "fFff"},
    {"hex_suffix", Hexadecimal, "1", "ABh", 'a', "1AB"},
    {"binary_prefix", Binary, "", "0b1010", 'a', "1010"},
    {"octal_prefix", Octal, "7", "0O17", 'a', "717"},
    {"bad_character", Decimal, "7", "12a", 'r', "7"},
    {"foreign_prefix", Decimal, "7", "0x10", 'r', "7"},
    {"prefix_and_suffix", Hexadecimal, "7", "0xABh", 'r', "7"},
    {"beyond_limit", Binary, "1010", std::string(29, '1'), 'r', "1010"},
    {"octal_digit_8", Octal, "7", "8", 'r', "7"},
    {"decimal_overflow", Decimal, "4", "294967296", 'w', "4"},
    {"octal_overflow", Octal, "", "40000000000", 'w', ""},
    {"replace_within_limit", Binary, std::string(30, '1') + "00{S-Left}{S-Left}", "0b11", 'a', std::string(32, '1')},
    {"blank_padded", Decimal, "", std::string(150, ' ') + "5" + std::string(150, ' '), 'a', "5"},
};

enum Path { MenuClick, MenuKey, ShiftIns };
const char* const kPathNames[] = {"menu_click", "menu_key", "shiftins"};
using Row = std::pair<Path, Pasted>;

static std::vector<Row> Rows(std::vector<Path> paths, const std::vector<Pasted>& pastes, std::vector<Row> rows = {}) {
  for (Path path : paths) {
    for (const Pasted& p : pastes) rows.push_back({path, p});
  }
  return rows;
}

static std::string Name(const Row& row) { return Say("%s_%s", kPathNames[row.first], row.second.name); }

static void PasteIsValidated(const Row& row) {
  const auto& [path, p] = row;
  std::visit([](const auto& clip) { SetClipboard(clip); }, p.clip);
  EmptyField(p.field);
  Type(p.first);
  if (path == MenuKey) OpenContextMenu(p.field);  // then Paste's mnemonic
  path == MenuClick ? ClickMenuItem(p.field, MenuPaste) : Type(path == MenuKey ? "p" : "{S-Ins}");
  if (p.outcome == 'w') DismissWarning("overflowing paste");
  if (p.outcome != 'a') Type("{End}1");  // refused: a digit typed then lands on the old text
  Shows(Say("pasted (%s)", p.name), Showing(p.field, p.after + (p.outcome == 'a' ? "" : "1")));
}


// A paste by mouse converts at once, with no key release. The format rows not by the mnemonic: it pastes as a click.
const int pastes = Table<Row>(
    "paste", Rows({MenuClick, ShiftIns}, kFormatPastes, Rows({MenuClick, MenuKey, ShiftIns}, kPastes)), Name,
    PasteIsValidated);

SCENARIO("paste", paste_into_field_without_focus) {
  SetClipboard(std::string("0x1F"));
  Expect("binary focused", "focus=binary", FocusIn(Binary));
  ClickMenuItem(Hexadecimal, MenuPaste);
  Shows("pasted into hexadecimal", Showing(Hexadecimal, "1F"));
}

SCENARIO("paste", context_menu_from_keyboard) {
  SetClipboard(std::string("77"));
  FocusField(Decimal);
  Type("1");
  OpenContextMenu(Decimal, true);
  Type("p");
  Shows("pasted at the caret", "10110001 261 177 B1 @decimal");
}

SCENARIO("paste", paste_replaces_selection_as_one_undoable_edit) {
  SetClipboard(std::string("45"));
  FocusField(Decimal);
  Type("123{S-Home}{S-Ins}");
  Shows("pasted over the selection", "101101 55 45 2D @decimal");
  ClickMenuItem(Decimal, MenuUndo);
  Expect("one undo restores the typed text", "decimal=123", [](const State& s) { return s.text[Decimal] == "123"; });
  Type("{Shift}");
  Shows("converted", "1111011 173 123 7B @decimal");
}

// On a Western desktop the menu's items and Paste's mnemonic are Latin.
const int cp1252_pastes = Table<Row>("cp1252", Rows({MenuClick, MenuKey, ShiftIns}, kFormatPastes),
                                     [](const Row& r) { return "paste_" + Name(r); }, PasteIsValidated);

// Paste by the context menu (a click on Paste, or its mnemonic) and by
// Shift+Insert: what the clipboard holds is taken whole or refused whole.
#include "e2e.h"

using namespace e2e;

namespace {

struct Pasted {
  const char* name;
  Field field;
  std::string first;  // keys typed first
  std::wstring clip;
  bool utf16;         // put as CF_UNICODETEXT alone, as nearly every program puts it; else CF_TEXT alone
  char outcome;       // 'a'ccepted, 'r'efused, refused with the overflow 'w'arning
  std::string after;  // the field's text then
};

// The rows that hang on the clipboard's format; the cp1252 group runs them
// too. The CF_TEXT the system makes from UTF-16 maps look-alikes to ASCII
// ("best fit").
const std::vector<Pasted> kFormatPastes = {
    {"fullwidth_binary", Binary, "1", L"\uff11\uff10\uff11", true, 'r', "1"},
    {"subscript_binary", Binary, "1", L"\u2081\u2080", true, 'r', "1"},
    {"greek_hex", Hexadecimal, "7", L"\u03b1\u03b4", true, 'r', "7"},
    {"fullwidth_hex_prefix", Hexadecimal, "7", L"\uff10\uff58\uff46\uff46", true, 'r', "7"},
    {"utf16_hex", Hexadecimal, "", L" 0x1f ", true, 'a', "1f"},
    {"utf16_narrow_spaces", Decimal, "", L"4\u202f294\u202f967\u202f295", true, 'a', "4294967295"},
    {"text_only_hex", Hexadecimal, "", L" 0x1f ", false, 'a', "1f"},
};

const std::vector<Pasted> kPastes = {
    {"grouped_decimal", Decimal, "", L" 1 000 \r\n", false, 'a', "1000"},
    {"hex_prefix_underscore", Hexadecimal, "", L"0XfF_ff", false, 'a', "fFff"},
    {"hex_suffix", Hexadecimal, "1", L"ABh", false, 'a', "1AB"},
    {"binary_prefix", Binary, "", L"0b1010", false, 'a', "1010"},
    {"octal_prefix", Octal, "7", L"0O17", false, 'a', "717"},
    {"bad_character", Decimal, "7", L"12a", false, 'r', "7"},
    {"foreign_prefix", Decimal, "7", L"0x10", false, 'r', "7"},
    {"prefix_and_suffix", Hexadecimal, "7", L"0xABh", false, 'r', "7"},
    {"beyond_limit", Binary, "1010", std::wstring(29, L'1'), false, 'r', "1010"},
    {"octal_digit_8", Octal, "7", L"8", false, 'r', "7"},
    {"decimal_overflow", Decimal, "4", L"294967296", false, 'w', "4"},
    {"octal_overflow", Octal, "", L"40000000000", false, 'w', ""},
    {"replace_within_limit", Binary, std::string(30, '1') + "00{S-Left}{S-Left}", L"0b11", false, 'a',
     std::string(32, '1')},
    {"blank_padded", Decimal, "", std::wstring(150, L' ') + L"5" + std::wstring(150, L' '), false, 'a', "5"},
};

enum Path { MenuClick, MenuKey, ShiftIns };
const char* const kPathNames[] = {"menu_click", "menu_key", "shiftins"};

struct Row {
  Path path;
  Pasted p;
};

// Each paste by each path, after the rows given.
std::vector<Row> Rows(std::vector<Path> paths, const std::vector<Pasted>& pastes, std::vector<Row> rows = {}) {
  for (Path path : paths) {
    for (const Pasted& p : pastes) rows.push_back({path, p});
  }
  return rows;
}

void Paste(Field f, Path path) {
  if (path == MenuClick) return ClickMenuItem(f, MenuPaste);
  if (path == ShiftIns) return Type("{S-Ins}");
  OpenContextMenu(f);
  Type("p");  // the Paste item's mnemonic
}

void PasteIsValidated(const Row& row) {
  const Pasted& p = row.p;
  p.utf16 ? SetClipboard(p.clip) : SetClipboard(std::string(p.clip.begin(), p.clip.end()));  // ASCII
  EmptyField(p.field);
  Type(p.first);
  Paste(p.field, row.path);
  if (p.outcome == 'w') DismissWarning("overflowing paste");
  // Refused: a digit typed after the paste lands on the old text.
  if (p.outcome != 'a') Type("{End}1");
  Shows(std::string("pasted (") + p.name + ")", Showing(p.field, p.after + (p.outcome == 'a' ? "" : "1")));
}

}  // namespace

// A paste by mouse is converted at once: no key release follows it. The
// format rows by Paste's mnemonic too: it pastes as the click does.
const int pastes = Table<Row>(
    "paste", Rows({MenuClick, ShiftIns}, kFormatPastes, Rows({MenuClick, MenuKey, ShiftIns}, kPastes)),
    [](const Row& r) { return std::string(kPathNames[r.path]) + "_" + r.p.name; }, PasteIsValidated);

SCENARIO("paste", paste_into_field_without_focus) {
  SetClipboard(std::string("0x1F"));
  Expect("binary focused", "focus=binary", [](const State& s) { return s.focus == "binary"; });
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
const int cp1252_pastes = Table<Row>(
    "cp1252", Rows({MenuClick, MenuKey, ShiftIns}, kFormatPastes),
    [](const Row& r) { return std::string("paste_") + kPathNames[r.path] + "_" + r.p.name; }, PasteIsValidated);

#include "converter_panel.h"

#include "wide_texts.h"

using namespace RadixCodec;

// The labels and the warning a person reads are in wide_texts.h.
constinit const FieldRow FieldTable[FieldCount] = {
    {FieldKind::Binary, IDC_BINARY, 30, MaxBinaryDigits, "01", "0", OverflowRule::None,
     ParseBinary, FormatBinary},
    {FieldKind::Octal, IDC_OCTAL, 60, MaxOctalDigits, "07", "", OverflowRule::Octal, ParseOctal,
     FormatOctal},
    {FieldKind::Decimal, IDC_DECIMAL, 90, MaxDecimalDigits, "09", "", OverflowRule::Decimal,
     ParseDecimal, FormatDecimal},
    {FieldKind::Hexadecimal, IDC_HEXADECIMAL, 120, MaxHexDigits, "09afAF", "", OverflowRule::None,
     ParseHex, FormatHex},
};

namespace ConverterPanel {

namespace {

constexpr uint8_t kBackspace = 8;
constexpr uint8_t kTab = 9;
constexpr uint8_t kEscape = 27;

// The overflow rules look at no more than 11 digits; a longer read shows a
// text that is too long for either rule.
constexpr uint32_t OverflowCheckSize = 16;

bool InAlphabet(FieldKind kind, const char* text) {
  for (; *text != '\0'; ++text) {
    if (!Accepts(kind, static_cast<uint8_t>(*text))) return false;
  }
  return true;
}

// Text the field could hold from typing: its own digits, no more than its
// limit. Anything else was set from outside and is not converted: a foreign
// byte, or more digits than the field takes, would make the codec's modulo
// 2^32 arithmetic show numbers the user never entered.
bool IsFieldNumber(FieldKind kind, const char* text) {
  return InAlphabet(kind, text) && TextLength(text) <= RowOf(kind).textLimit;
}

bool Overflows(FieldKind kind, const char* text) {
  switch (RowOf(kind).overflow) {
    case OverflowRule::Octal: return OctalOverflows(text);
    case OverflowRule::Decimal: return DecimalOverflows(text);
    case OverflowRule::None: break;
  }
  return false;
}

// Empties a field whose text is too large, so the others show 0.
void ClearField(PanelHost& host, PanelState& state, FieldKind kind) {
  host.WriteFieldText(kind, nullptr);
  state.TextBuffer[0] = '\0';
  SyncFromField(host, state, kind);
}

bool HoldsOverflow(PanelHost& host, FieldKind kind) {
  char check[OverflowCheckSize];
  host.ReadFieldText(kind, check, OverflowCheckSize);
  return InAlphabet(kind, check) && Overflows(kind, check);
}

// The warning, one at a time: while its box is open, another change that
// would bring one (another program's, which the box does not hold back) is
// refused with the beep instead, and the focus stays with the box. True when
// the warning was shown.
bool Warn(PanelHost& host, PanelState& state, FieldKind kind) {
  if (state.WarningUp) {
    host.Beep();
    return false;
  }
  state.WarningUp = 1;
  host.ShowOverflowWarning(kind, OverflowWarningTextW, OverflowWarningCaptionW);
  state.WarningUp = 0;
  return true;
}

// Warn once, undo the field's last edit, and let the resent key release
// convert whatever the undo restored. The nested release must not warn
// again: an edit control's undo toggles between its last two texts, so if
// both overflow the warnings would never end. It empties the field instead,
// which leaves every field consistent (the others show 0). A change refused
// while the warning is up is undone the same way, and nothing else moves.
Result TakeOverflowPath(PanelHost& host, PanelState& state, FieldKind kind) {
  if (state.OverflowDepth > 0 && !state.WarningUp) {
    ClearField(host, state, kind);
    return Result::Done;
  }
  ++state.OverflowDepth;
  const bool warned = Warn(host, state, kind);
  host.UndoField(kind);
  if (warned) host.ResendKeyUp(kind);
  // The resent release converts the field that has the focus by then. After
  // a minimise that is Binary, and when Binary holds text that is no number
  // it converts nothing, leaving what the undo restored here unchecked and
  // the other fields showing the value before it. Converting from this field
  // once more settles that; otherwise it repeats what the resent release did
  // (this field holds its own text again, or Binary's value).
  host.ReadFieldText(kind, state.TextBuffer, TextBufferSize);
  if (IsFieldNumber(kind, state.TextBuffer)) {
    if (HoldsOverflow(host, kind)) {
      ClearField(host, state, kind);
    } else {
      SyncFromField(host, state, kind);
    }
  }
  if (warned) host.FocusField(kind);
  --state.OverflowDepth;
  return Result::Done;
}

// Whether text may replace a field's whole text from outside (a paste,
// another program): refused with the beep when the field could not hold it
// from typing, and with the overflow warning when it is too large.
bool Admits(PanelHost& host, PanelState& state, FieldKind kind, const char* text) {
  if (!IsFieldNumber(kind, text)) {
    host.Beep();
    return false;
  }
  if (Overflows(kind, text)) {
    if (Warn(host, state, kind)) host.FocusField(kind);
    return false;
  }
  return true;
}

// The field's text just put there, converted into the other three.
void ConvertFrom(PanelHost& host, PanelState& state, FieldKind kind) {
  host.ReadFieldText(kind, state.TextBuffer, TextBufferSize);
  SyncFromField(host, state, kind);
}

// Pasted text, trimmed and reduced to bare digits.
bool IsSeparator(char c) { return c == ' ' || c == '_'; }

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

char PrefixLetter(FieldKind kind) {
  switch (kind) {
    case FieldKind::Binary: return 'b';
    case FieldKind::Octal: return 'o';
    case FieldKind::Hexadecimal: return 'x';
    case FieldKind::Decimal: break;
  }
  return '\0';
}

// Writes the digits of clip into digits (room for limit + 1 bytes) and
// returns their count, or 0 when the text is not one number of this field's
// base. The walk stops as soon as the text is known to be too long, so a huge
// clipboard costs no more than its leading blanks.
uint32_t ExtractDigits(FieldKind kind, const char* clip, char* digits) {
  const uint32_t limit = RowOf(kind).textLimit;
  while (IsPasteBlank(*clip)) ++clip;

  // Longest acceptable text: limit digits, a separator between each two, and
  // a two-byte prefix.
  const uint32_t longest = 2 * limit + 1;
  uint32_t end = 0;  // one past the last non-blank byte
  for (uint32_t i = 0; clip[i] != '\0'; ++i) {
    if (IsPasteBlank(clip[i])) continue;
    if (i >= longest) return 0;
    end = i + 1;
  }

  uint32_t begin = 0;
  const char prefix = PrefixLetter(kind);
  bool prefixed = false;
  if (prefix != '\0' && end >= 2 && clip[0] == '0' && LowerAscii(clip[1]) == prefix) {
    begin = 2;
    prefixed = true;
  }
  if (kind == FieldKind::Hexadecimal && end > begin && LowerAscii(clip[end - 1]) == 'h') {
    if (prefixed) return 0;
    --end;
  }

  uint32_t count = 0;
  for (uint32_t i = begin; i < end; ++i) {
    const char c = clip[i];
    if (IsSeparator(c)) {
      // Only between two digits: "1 000" and "ff_ff" group, " 1" or "1__0" do not.
      const bool digitBefore = i > begin && Accepts(kind, static_cast<uint8_t>(clip[i - 1]));
      const bool digitAfter = i + 1 < end && Accepts(kind, static_cast<uint8_t>(clip[i + 1]));
      if (!digitBefore || !digitAfter) return 0;
      continue;
    }
    if (!Accepts(kind, static_cast<uint8_t>(c))) return 0;
    if (count == limit) return 0;
    digits[count++] = c;
  }
  digits[count] = '\0';
  return count;
}

// Unit i of a clipboard block as the byte the paste judges. A byte block's
// bytes are taken as they are. Of a UTF-16 block, ASCII is itself and the
// spaces typeset numbers are grouped with count as a space; any other unit
// is -1 and refuses the paste, since no field takes any character beyond
// ASCII, whatever its look-alike.
int PasteByte(const void* block, size_t i, bool utf16) {
  if (!utf16) return static_cast<const unsigned char*>(block)[i];
  const char16_t unit = static_cast<const char16_t*>(block)[i];
  if (unit < 0x80) return unit;
  if (unit == 0x00A0 || unit == 0x2007 || unit == 0x2009 || unit == 0x202F) return ' ';
  return -1;
}

}  // namespace

FieldKind NextField(FieldKind kind) {
  return static_cast<FieldKind>((static_cast<uint8_t>(kind) + 1) % FieldCount);
}

bool Accepts(FieldKind kind, uint8_t code) {
  const char* ranges = RowOf(kind).accepted;
  for (; ranges[0] != '\0'; ranges += 2) {
    if (code >= static_cast<uint8_t>(ranges[0]) && code <= static_cast<uint8_t>(ranges[1])) {
      return true;
    }
  }
  return false;
}

bool IsPasteBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool CopyClipboardText(const void* block, size_t size, bool utf16, char* buffer,
                       uint32_t bufferSize) {
  const size_t count = utf16 ? size / sizeof(char16_t) : size;
  uint32_t n = 0;
  for (size_t i = 0; i < count; ++i) {
    const int c = PasteByte(block, i, utf16);
    if (c == 0) break;
    if (c < 0) return false;
    const bool blank = IsPasteBlank(static_cast<char>(c));
    if (blank && n == 0) continue;  // before the text
    if (n + 1 < bufferSize) {
      buffer[n++] = static_cast<char>(c);
    } else if (!blank) {
      return false;  // more than fits
    }
  }
  buffer[n] = '\0';
  return true;
}

Result OnFieldChar(PanelHost& host, PanelState& /*state*/, uint8_t code) {
  if (code == kBackspace) return Result::HandOn;

  FieldKind focused;
  const bool inField = host.FocusedField(focused);

  if (code == kTab) {
    // Tab always moves forward and never reaches the edit control, so no tab
    // character is inserted and Shift makes no difference.
    if (!inField) return Result::Swallow;
    const FieldKind next = NextField(focused);
    host.FocusField(next);
    host.Select(next, 0, UINT32_MAX);
    return Result::Done;
  }

  if (code == kEscape) {
    // Only a number field is emptied; whatever else has the focus keeps its text.
    if (inField) host.WriteFieldText(focused, nullptr);
    return Result::HandOn;
  }

  if (!inField) return Result::HandOn;
  return Accepts(focused, code) ? Result::HandOn : Result::Swallow;
}

Result OnFieldKeyUp(PanelHost& host, PanelState& state) {
  FieldKind focused;
  if (!host.FocusedField(focused)) return Result::HandOn;
  return OnFieldEdited(host, state, focused);
}

Result OnFieldEdited(PanelHost& host, PanelState& state, FieldKind kind) {
  host.ReadFieldText(kind, state.TextBuffer, TextBufferSize);
  // Text that did not come through the character filter (set from outside)
  // may hold anything; the other fields keep what they show.
  if (!IsFieldNumber(kind, state.TextBuffer)) return Result::HandOn;

  if (RowOf(kind).overflow != OverflowRule::None && HoldsOverflow(host, kind)) {
    return TakeOverflowPath(host, state, kind);
  }

  SyncFromField(host, state, kind);
  return Result::HandOn;
}

bool OnFieldSetText(PanelHost& host, PanelState& state, FieldKind kind, const char* text) {
  return Admits(host, state, kind, text);
}

void OnFieldChanged(PanelHost& host, PanelState& state, FieldKind kind) {
  char text[TextBufferSize];
  host.ReadFieldText(kind, text, TextBufferSize);
  uint32_t start;
  uint32_t end;
  host.GetSelection(kind, start, end);
  uint32_t kept = 0;
  const uint32_t startBefore = start;
  const uint32_t endBefore = end;
  for (uint32_t i = 0; text[i] != '\0'; ++i) {
    if (Accepts(kind, static_cast<uint8_t>(text[i]))) {
      text[kept++] = text[i];
    } else {
      // Rewritten, the field would put the caret at its start: the user's
      // next key would land there.
      if (i < startBefore) --start;
      if (i < endBefore) --end;
    }
  }
  if (text[kept] != '\0') {
    text[kept] = '\0';
    host.Beep();
    host.WriteFieldText(kind, text);
    host.Select(kind, start, end);
  }
  OnFieldEdited(host, state, kind);
}

void OnFieldFocus(PanelState& state, FieldKind kind) { state.RememberedField = kind; }

void OnWindowActivation(PanelHost& host, PanelState& state, bool active) {
  if (state.MinimizedOnce) {
    state.RememberedField = FieldKind::Binary;
  } else if (!active) {
    return;
  }
  host.FocusField(state.RememberedField);
}

void NarrowText(const char16_t* text, char* buffer, uint32_t size) {
  uint32_t n = 0;
  for (; text && text[n] != u'\0' && n + 1 < size; ++n) {
    // DEL: a byte of no field's alphabet, and no paste blank.
    buffer[n] = text[n] < 0x80 ? static_cast<char>(text[n]) : '\x7F';
  }
  buffer[n] = '\0';
}

void SyncFromField(PanelHost& host, PanelState& state, FieldKind source) {
  state.CurrentValue = RowOf(source).parse(state.TextBuffer);
  for (uint32_t i = 0; i < FieldCount; ++i) {
    const FieldKind kind = static_cast<FieldKind>(i);
    if (kind == source) continue;  // leading zeros and lower case stay as typed
    RowOf(kind).format(state.TextBuffer, state.CurrentValue);
    host.WriteFieldText(kind, state.TextBuffer);
  }
}

Result OnFieldPaste(PanelHost& host, PanelState& state, FieldKind target, const char* clip) {
  const FieldRow& field = RowOf(target);
  char digits[MaxBinaryDigits + 1];
  const uint32_t count = ExtractDigits(target, clip, digits);
  if (count == 0) {
    host.Beep();
    return Result::Done;
  }

  // The field's text as it would be after the paste.
  host.ReadFieldText(target, state.TextBuffer, TextBufferSize);
  const uint32_t length = TextLength(state.TextBuffer);
  uint32_t start;
  uint32_t end;
  host.GetSelection(target, start, end);
  if (end > length) end = length;
  if (start > end) start = end;
  const uint32_t kept = length - (end - start);
  if (kept + count > field.textLimit) {
    host.Beep();
    return Result::Done;
  }
  char after[MaxBinaryDigits + 1];
  uint32_t n = 0;
  for (uint32_t i = 0; i < start; ++i) after[n++] = state.TextBuffer[i];
  for (uint32_t i = 0; i < count; ++i) after[n++] = digits[i];
  for (uint32_t i = end; i < length; ++i) after[n++] = state.TextBuffer[i];
  after[n] = '\0';

  // Digits around the selection that were set from outside would make the
  // result a text no keystroke could produce.
  if (Admits(host, state, target, after)) {
    host.ReplaceSelection(target, digits);
    ConvertFrom(host, state, target);
  }
  return Result::Done;
}

}  // namespace ConverterPanel

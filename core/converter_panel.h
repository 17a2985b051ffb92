// The behaviour of the four number fields taken together: which characters
// each field accepts, Tab and Esc, and the conversion of the focused field into
// the other three on every key release. It talks to the window system only
// through PanelHost, so it builds and runs without one.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "radix_codec.h"

// Screen order, rewrite order and Tab order.
enum class FieldKind : uint8_t { Binary, Octal, Decimal, Hexadecimal };
inline constexpr uint32_t FieldCount = 4;

inline constexpr uint16_t IDC_BINARY = 1001;
inline constexpr uint16_t IDC_OCTAL = 1002;
inline constexpr uint16_t IDC_DECIMAL = 1003;
inline constexpr uint16_t IDC_HEXADECIMAL = 1004;

enum class OverflowRule : uint8_t { None, Octal, Decimal };

struct FieldRow {
  FieldKind kind;
  uint16_t controlId;
  int16_t rowTop;           // y of the edit control in the main window
  uint8_t textLimit;        // bytes, enforced by the edit control
  char accepted[7];         // inclusive byte ranges as pairs: "01", "09afAF"
  const char* initialText;  // "0" for Binary, empty for the others
  OverflowRule overflow;
  uint32_t (*parse)(const char*);
  void (*format)(char*, uint32_t);
};

// Indexed by FieldKind.
extern const FieldRow FieldTable[FieldCount];

inline const FieldRow& RowOf(FieldKind kind) { return FieldTable[static_cast<uint8_t>(kind)]; }

inline constexpr uint32_t TextBufferSize = 36;

// The panel's state; lives inside the shell's process-wide AppState.
struct PanelState {
  uint32_t CurrentValue;            // last value parsed from a source field
  char TextBuffer[TextBufferSize];  // source text, then each formatted result
  uint8_t OverflowDepth;            // > 0 while an overflow warning is being handled
  uint8_t WarningUp;                // 1 while the warning's box is open
  FieldKind RememberedField;        // the field the user was in: the last to get the focus
  uint8_t MinimizedOnce;            // set by the first use of the drawn minimise button
};

// What the panel asks of the window layer. Each operation names the Win32
// call the shell performs it with.
class PanelHost {
 public:
  // GetFocus compared with the four fields; false when focus is elsewhere.
  virtual bool FocusedField(FieldKind& kind) = 0;
  // GetWindowTextW, then NarrowText: at most size - 1 (no more than
  // TextBufferSize - 1) characters of the field's text and a NUL.
  virtual void ReadFieldText(FieldKind kind, char* buffer, uint32_t size) = 0;
  // SetWindowTextA; a null text empties the field.
  virtual void WriteFieldText(FieldKind kind, const char* text) = 0;
  // SetFocus.
  virtual void FocusField(FieldKind kind) = 0;
  // EM_SETSEL start, end; an end beyond the text selects to its end.
  virtual void Select(FieldKind kind, uint32_t start, uint32_t end) = 0;
  // A message box owned by the main window, MB_OK; returns when dismissed.
  // The texts are UTF-16 (wide_texts.h).
  virtual void ShowOverflowWarning(FieldKind kind, const char16_t* text,
                                   const char16_t* caption) = 0;
  // WM_UNDO: undo the field's last edit.
  virtual void UndoField(FieldKind kind) = 0;
  // SendMessageA WM_KEYUP: re-enters OnFieldKeyUp synchronously.
  virtual void ResendKeyUp(FieldKind kind) = 0;
  // EM_GETSEL: the selection as byte offsets, start <= end.
  virtual void GetSelection(FieldKind kind, uint32_t& start, uint32_t& end) = 0;
  // EM_REPLACESEL with undo: replaces the selection as one undoable edit.
  virtual void ReplaceSelection(FieldKind kind, const char* text) = 0;
  // MessageBeep: a refused paste.
  virtual void Beep() = 0;

 protected:
  // Not virtual: hosts are never deleted through this interface, and a
  // virtual destructor would pull in operator delete.
  ~PanelHost() = default;
};

namespace ConverterPanel {

enum class Result : uint8_t {
  HandOn,   // let the edit control process the message as usual
  Swallow,  // drop the message and answer 0
  Done,     // the panel acted; nothing is handed on
};

// A character typed in a field; code is the low byte of the character code.
Result OnFieldChar(PanelHost& host, PanelState& state, uint8_t code);

// A key released in a field; converts from whichever field has the focus.
Result OnFieldKeyUp(PanelHost& host, PanelState& state);

// The field's text converted by the rules of a key release, as if the field
// had the focus. Done when the overflow path ran.
Result OnFieldEdited(PanelHost& host, PanelState& state, FieldKind kind);

// Another program sets a field's whole text (text, NUL-terminated, as
// NarrowText gives it): taken like a paste of exactly these characters, or
// refused with the beep (a character the field does not take, or more than
// its limit), or with the overflow warning; the field keeps its text unless
// taken. True when it may be set; the change is then told as any other
// (OnFieldChanged).
bool OnFieldSetText(PanelHost& host, PanelState& state, FieldKind kind, const char* text);

// A field's text was changed by something other than typing: the edit
// control's own Undo, Cut or Delete, text set or put in by another program,
// an input method. The field may hold only its own digits: every other
// character is taken out again, with the beep, and the selection moves back
// by those taken out before it. What is left is converted at once by the
// rules of a key release; above 32 bits it brings the warning and the undo.
void OnFieldChanged(PanelHost& host, PanelState& state, FieldKind kind);

// A field got the keyboard focus: the one the focus goes back to.
void OnFieldFocus(PanelState& state, FieldKind kind);

// The main window was activated (active), deactivated, or given the focus
// itself (as activated): the focus goes back to the field the user was in, or
// to Binary at the start, and at every change once the drawn minimise button
// has been used. A deactivation asks nothing of the focus, which Windows may
// already have taken off the field (a minimise does so first).
void OnWindowActivation(PanelHost& host, PanelState& state, bool active);

// Copies UTF-16 text (null for none) into buffer (room for size >= 1 bytes,
// NUL-terminated), at most size - 1 units: ASCII as it is, anything else as
// a byte that no field takes, never as a look-alike digit.
void NarrowText(const char16_t* text, char* buffer, uint32_t size);

// Binary -> Octal -> Decimal -> Hexadecimal -> Binary.
FieldKind NextField(FieldKind kind);

// Parses the text buffer as source's base and rewrites the other three fields.
void SyncFromField(PanelHost& host, PanelState& state, FieldKind source);

// True when the field accepts this byte as a typed character.
bool Accepts(FieldKind kind, uint8_t code);

// White space that a paste trims from around the number.
bool IsPasteBlank(char c);

// Copies the text of a clipboard block of size bytes into buffer (room for
// bufferSize >= 1 bytes, NUL-terminated): the blanks before it are skipped,
// at most bufferSize - 1 characters are copied up to the first NUL, and the
// blanks after the copy are skipped. The block holds bytes (CF_TEXT) or,
// when utf16, UTF-16 units (CF_UNICODETEXT; an odd last byte is not read).
// UTF-16 text is copied as ASCII: U+00A0, U+2007, U+2009 and U+202F as a
// space, and any other unit beyond ASCII refuses it. Another program may hand
// over a block with no NUL in it, so no byte at or past size is read; the
// block's end ends the text as a NUL would. False when the text is refused,
// or when text is left after that: a longer text is refused whole, since
// cutting it short could turn a refused text into an accepted one.
bool CopyClipboardText(const void* block, size_t size, bool utf16, char* buffer,
                       uint32_t bufferSize);

// Pastes clipboard text (NUL-terminated, any length) into target as one
// validated step: accepted whole and converted, refused whole with a beep, or
// refused with the overflow warning. The field is unchanged unless accepted.
Result OnFieldPaste(PanelHost& host, PanelState& state, FieldKind target, const char* clip);

}  // namespace ConverterPanel

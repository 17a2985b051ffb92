// The fields' window procedure and the panel's window operations. Typed
// characters and key releases go to the ConverterPanel; every way of pasting
// goes to it as one validated step; everything else reaches the stock edit
// procedure unchanged, its answer is passed back, and a change it made to the
// text goes to the panel then.
#include "field_window.h"

#include "app_state.h"

namespace {

// The program's own changes to a field's text, counted while they run: the
// field's procedure and the main window leave them alone.
struct OwnEdit {
  OwnEdit() { ++App.OwnEdits; }
  ~OwnEdit() { --App.OwnEdits; }
};

// Performs the panel's operations with the Win32 calls they are named after.
// Made afresh for each message, holding the window that had the focus when
// the message arrived: the panel decides by that field, not by the one the
// message was addressed to.
class Win32PanelHost final : public PanelHost {
 public:
  explicit Win32PanelHost(HWND focused) : focused_(focused) {}

  bool FocusedField(FieldKind& kind) override { return FieldKindOf(focused_, kind); }

  // Read as UTF-16: the ANSI read would turn a full-width digit into its
  // ASCII look-alike ("best fit"), which the field's alphabet would pass.
  // The panel never asks for more than its text buffer holds.
  void ReadFieldText(FieldKind kind, char* buffer, uint32_t size) override {
    wchar_t text[TextBufferSize];
    GetWindowTextW(FieldWindow(kind), text, static_cast<int>(size));
    ConverterPanel::NarrowText(reinterpret_cast<const char16_t*>(text), buffer, size);
  }

  void WriteFieldText(FieldKind kind, const char* text) override {
    OwnEdit own;
    SetWindowTextA(FieldWindow(kind), text);
  }

  void FocusField(FieldKind kind) override { SetFocus(FieldWindow(kind)); }

  // An end of UINT32_MAX is -1 to the edit control: to the end of the text.
  void Select(FieldKind kind, uint32_t start, uint32_t end) override {
    SendMessageA(FieldWindow(kind), EM_SETSEL, start, static_cast<int>(end));
  }

  // The box runs a loop of its own until it is dismissed. Another program
  // that sent the message bringing it (WM_SETTEXT refused, a paste, a key
  // release) would wait all that time for its answer, 0 in each case, and a
  // sender with a time limit, as UI Automation sets a value, would take the
  // wait for a failure: it is answered first. A change that is converted
  // after the edit control has answered (HandOnAndConvert) has had its answer
  // already, and a message of this thread has none to give early.
  void ShowOverflowWarning(FieldKind kind, const char16_t* text,
                           const char16_t* caption) override {
    ReplyMessage(0);
    MessageBoxW(GetParent(FieldWindow(kind)), Wide(text), Wide(caption), MB_OK);
  }

  void UndoField(FieldKind kind) override {
    OwnEdit own;
    SendMessageA(FieldWindow(kind), WM_UNDO, 0, 0);
  }

  void ResendKeyUp(FieldKind kind) override { SendMessageA(FieldWindow(kind), WM_KEYUP, 8, 8); }

  void GetSelection(FieldKind kind, uint32_t& start, uint32_t& end) override {
    DWORD first = 0;
    DWORD last = 0;
    SendMessageA(FieldWindow(kind), EM_GETSEL, reinterpret_cast<WPARAM>(&first),
                 reinterpret_cast<LPARAM>(&last));
    start = first;
    end = last;
  }

  void ReplaceSelection(FieldKind kind, const char* text) override {
    OwnEdit own;
    SendMessageA(FieldWindow(kind), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
  }

  void Beep() override { MessageBeep(MB_OK); }

 private:
  HWND focused_;
};

// Room for the longest text a field could take (a prefix, 32 digits and
// separators) with blanks around it. Blanks before the text, and blanks
// after it that do not fit, are skipped, since the paste trims them anyway.
constexpr uint32_t ClipboardBufferSize = 128;

// Refused: too long, a character beyond ASCII, or the clipboard busy.
enum class Clipboard : uint8_t { Empty, Text, Refused };

// Copies the clipboard's text into buffer. The clipboard is closed again
// before the caller does anything that could be modal (the overflow warning).
// The walk is bounded by the memory block's size, not by a NUL inside it:
// another program may have put text there without one.
// The UTF-16 text is read first. Most programs put only that, and the CF_TEXT
// the system makes from it maps characters to look-alikes ("best fit"): the
// full-width "１０１" and the subscripts "₁₀" arrive as digits, "αδ" as "ad".
// Where the system makes no UTF-16 text, the bytes of an older program are read.
// Clipboard history, clipboard managers and a remote desktop's clipboard open
// the clipboard on every change, and while one has it open, OpenClipboard
// fails: a paste right after a copy can run into one. It is asked again for
// about 100 ms; a clipboard still busy then refuses the paste.
Clipboard ReadClipboardText(HWND owner, char* buffer, uint32_t size) {
  for (uint32_t tries = 0; !OpenClipboard(owner); ++tries) {
    if (tries == 8) {
      return Clipboard::Refused;
    }
    Sleep(12);
  }
  Clipboard found = Clipboard::Empty;
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  const bool utf16 = data != nullptr;
  if (!utf16) {
    data = GetClipboardData(CF_TEXT);
  }
  if (data) {
    if (const void* text = GlobalLock(data)) {
      found = ConverterPanel::CopyClipboardText(text, GlobalSize(data), utf16, buffer, size)
                  ? Clipboard::Text
                  : Clipboard::Refused;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return found;
}

// The edit control pastes on Shift+Insert straight from its key handling,
// without a WM_PASTE, and does so with or without Ctrl; with Alt it ignores
// the key.
bool IsPasteKey(WPARAM key) {
  return key == VK_INSERT && (GetKeyState(VK_SHIFT) & 0x8000) && !(GetKeyState(VK_MENU) & 0x8000);
}

LRESULT HandOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcW(App.StockEditProc, window, message, wParam, lParam);
}

LRESULT HandOnTyping(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

LRESULT Answer(ConverterPanel::Result result, HWND window, UINT message, WPARAM wParam,
               LPARAM lParam) {
  return result == ConverterPanel::Result::HandOn ? HandOnTyping(window, message, wParam, lParam)
                                                  : 0;
}

LRESULT OnFieldKeyUp(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Win32PanelHost host(GetFocus());
  return Answer(ConverterPanel::OnFieldKeyUp(host, App.Panel), window, message, wParam, lParam);
}

// WM_CHAR, and WM_IME_CHAR, which the edit control would insert without a
// WM_CHAR. The fields are Unicode windows, so wParam is a whole UTF-16
// character: anything beyond ASCII is no digit of any base, and its low byte
// must not be judged as one.
LRESULT OnFieldChar(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (wParam > 0x7F) {
    return 0;
  }
  Win32PanelHost host(GetFocus());
  const auto code = static_cast<uint8_t>(wParam);
  return Answer(ConverterPanel::OnFieldChar(host, App.Panel, code), window, message, wParam,
                lParam);
}

// WM_PASTE (the context menu, the middle button, other programs) and
// Shift+Insert. With nothing on the clipboard nothing happens, as in a plain
// edit control.
LRESULT OnFieldPaste(HWND window) {
  Win32PanelHost host(GetFocus());
  FieldKind target;
  char text[ClipboardBufferSize];
  if (!FieldKindOf(window, target)) {
    return 0;
  }
  switch (ReadClipboardText(window, text, sizeof(text))) {
    case Clipboard::Text:
      ConverterPanel::OnFieldPaste(host, App.Panel, target, text);
      break;
    case Clipboard::Refused:
      host.Beep();
      break;
    case Clipboard::Empty:
      break;
  }
  return 0;
}

// Every message but typing and pasting: handed on, and a change of the
// text it made (EN_CHANGE, OnFieldChange) converted once the edit control
// has answered: the edit control's own Undo, Cut and Delete, which its
// context menu sends it as messages or may make inside itself, the same
// asked by another program, text set or put in by another program, an input
// method. The answer goes first to a sender in another thread, which would
// otherwise wait as long as the overflow warning is up.
LRESULT HandOnAndConvert(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT answer = HandOn(window, message, wParam, lParam);
  FieldKind kind;
  if (App.Changed == window && FieldKindOf(window, kind)) {
    App.Changed = nullptr;
    ReplyMessage(answer);
    Win32PanelHost host(GetFocus());
    ConverterPanel::OnFieldChanged(host, App.Panel, kind);
  }
  return answer;
}

// Typing, handed on: the key release converts what it changed.
LRESULT HandOnTyping(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT answer = HandOn(window, message, wParam, lParam);
  App.Changed = nullptr;
  return answer;
}

// Text set by another program (UI Automation's Value pattern and MSAA's
// put_accValue set an edit control's text so) is set only where the field
// could hold it; WM_SETTEXT's answer says whether it was.
LRESULT OnFieldSetText(HWND window, WPARAM wParam, LPARAM lParam) {
  Win32PanelHost host(GetFocus());
  FieldKind kind = FieldKind::Binary;
  FieldKindOf(window, kind);  // this procedure serves the fields only
  char text[TextBufferSize];
  ConverterPanel::NarrowText(reinterpret_cast<const char16_t*>(lParam), text, sizeof(text));
  if (!ConverterPanel::OnFieldSetText(host, App.Panel, kind, text)) {
    return FALSE;
  }
  return HandOnAndConvert(window, WM_SETTEXT, wParam, lParam);
}

// The field that last got the focus is the one the focus goes back to.
void OnFieldSetFocus(HWND window) {
  FieldKind kind;
  if (FieldKindOf(window, kind)) {
    ConverterPanel::OnFieldFocus(App.Panel, kind);
  }
}

}  // namespace

void OnFieldChange(HWND field) {
  if (!App.OwnEdits) {
    App.Changed = field;
  }
}

void OnMainActivation(bool active) {
  Win32PanelHost host(GetFocus());
  ConverterPanel::OnWindowActivation(host, App.Panel, active);
}

LRESULT CALLBACK FieldWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYUP:
      return OnFieldKeyUp(window, message, wParam, lParam);
    case WM_CHAR:
    case WM_IME_CHAR:
      return OnFieldChar(window, message, wParam, lParam);
    case WM_PASTE:
      return OnFieldPaste(window);
    case WM_KEYDOWN:
      if (IsPasteKey(wParam)) {
        return OnFieldPaste(window);
      }
      return HandOnTyping(window, message, wParam, lParam);
    case WM_SETTEXT:
      if (!App.OwnEdits) {
        return OnFieldSetText(window, wParam, lParam);
      }
      break;
    // The field's own limit stays whatever limit another program asks for:
    // a higher one would let in more digits than the field converts.
    case EM_LIMITTEXT:
      return 0;
    case WM_SETFOCUS:
      OnFieldSetFocus(window);
      break;
    // The edit control's context menu runs a loop of its own until it is
    // closed: another program that asks for it (it answers nothing) is not
    // held that long.
    case WM_CONTEXTMENU:
      ReplyMessage(0);
      break;
  }
  return HandOnAndConvert(window, message, wParam, lParam);
}

// The main window: creation of the fields, the painted skin, the drawn
// buttons and drag strip, and focus keeping across activation changes.
#include "main_window.h"

#include "app_state.h"
#include "field_window.h"
#include "resource.h"

namespace {

constexpr int FieldLeft = 100;
constexpr int FieldWidth = 280;
constexpr int FieldHeight = 17;
constexpr int LabelLeft = 10;
constexpr int LabelTop = 31;
constexpr int RowPitch = 30;
constexpr int DragStripBottom = 18;
constexpr int BackgroundWidth = 600;   // the bitmap is stretched to this and
constexpr int BackgroundHeight = 450;  // clipped to the client area

constexpr COLORREF ButtonColour = 0x0000FFFF;
constexpr COLORREF LabelColour = 0x00000000;
constexpr COLORREF TitleColour = 0x00FFFFFF;
constexpr COLORREF RowColour = 0x00CCCCCC;

HFONT CreateFontForLabels(BYTE charset) {
  return CreateFontW(15, 0, 0, 0, 300, FALSE, FALSE, FALSE, charset, OUT_STROKE_PRECIS,
                     CLIP_CHARACTER_PRECIS, DRAFT_QUALITY, FF_SCRIPT | DEFAULT_PITCH,
                     Wide(LabelFaceW));
}

// Where the system has no 宋体, the mapper substitutes a face of the asked-for
// ANSI character set, which may have no CJK glyphs at all: the labels would
// draw as empty boxes. A font that has no glyph for the first character of
// the face's own name has none for the labels either; then the font the
// mapper picks for GB2312 at the same size and weight is taken instead.
// Where 宋体 exists, nothing changes. The glyph counts as missing until the
// font says otherwise, so that a failed check falls back as well.
HFONT CreateLabelFont() {
  HFONT font = CreateFontForLabels(ANSI_CHARSET);
  WORD glyph = 0xFFFF;
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, font);
  GetGlyphIndicesW(dc, Wide(LabelFaceW), 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS);
  DeleteDC(dc);
  if (glyph == 0xFFFF) {
    DeleteObject(font);
    font = CreateFontForLabels(GB2312_CHARSET);
  }
  return font;
}

// ImmAssociateContext, from imm32, which the program does not import.
using AssociateContext = HANDLE(WINAPI*)(HWND, HANDLE);

// A field takes ASCII digits only, so an input method could compose nothing
// there that the field keeps. The fields have none: digits type directly
// whichever input method is on, and no composition's result reaches them.
AssociateContext FindAssociateContext() {
  return reinterpret_cast<AssociateContext>(reinterpret_cast<void (*)()>(
      GetProcAddress(LoadLibraryA("imm32"), "ImmAssociateContext")));
}

// Each field is preceded by a hidden static holding its label: screen readers
// name an edit control after the static just before it in z-order, visible or
// not, and a child window is created behind its older siblings. The fields are
// Unicode windows, so a double-byte character typed in an ANSI code page
// reaches them whole, as one character, never as its lead and trail bytes.
// They scroll (ES_AUTOHSCROLL): an edit control refuses any insertion wider
// than itself, and where the System font is wider than at 96 DPI, 32 binary
// digits are wider than a field.
HWND CreateField(HWND parent, const FieldRow& row, AssociateContext associate) {
  const auto index = static_cast<uint8_t>(row.kind);
  CreateWindowExW(0, L"Static", Wide(LabelsW[index]), WS_CHILD, 0, 0, 0, 0, parent, nullptr,
                  App.Instance, nullptr);
  HWND field = CreateWindowExW(0, L"edit", nullptr, WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL,
                               FieldLeft, row.rowTop, FieldWidth, FieldHeight, parent,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(row.controlId)),
                               App.Instance, nullptr);
  if (associate) {
    associate(field, nullptr);
  }
  if (row.initialText && row.initialText[0]) {
    SetWindowTextA(field, row.initialText);
  }
  SendMessageA(field, EM_LIMITTEXT, row.textLimit, 0);
  return field;
}

WNDPROC SubclassField(FieldKind kind) {
  return reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(FieldWindow(kind), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FieldWndProc)));
}

void OnCreate(HWND window) {
  App.LabelFont = CreateLabelFont();
  const AssociateContext associate = FindAssociateContext();
  for (uint32_t i = 0; i < FieldCount; ++i) {
    App.Fields[i] = CreateField(window, FieldTable[i], associate);
  }
  HWND binary = FieldWindow(FieldKind::Binary);
  SetFocus(binary);
  SendMessageA(binary, EM_SETSEL, 0, -1);

  // All four are "edit" controls, so the procedure the first one had serves
  // every field.
  App.StockEditProc = SubclassField(FieldKind::Binary);
  SubclassField(FieldKind::Decimal);
  SubclassField(FieldKind::Octal);
  SubclassField(FieldKind::Hexadecimal);

  App.Background = LoadBitmapA(App.Instance, MAKEINTRESOURCEA(IDB_BACKGROUND));
  App.RowBrush = CreateSolidBrush(RowColour);
}

void DrawBackground(HDC dc) {
  GetObjectA(App.Background, sizeof(App.BackgroundInfo), &App.BackgroundInfo);
  HDC memory = CreateCompatibleDC(dc);
  SelectObject(memory, App.Background);
  StretchBlt(dc, 0, 0, BackgroundWidth, BackgroundHeight, memory, 0, 0,
             App.BackgroundInfo.bmWidth, App.BackgroundInfo.bmHeight, SRCCOPY);
  DeleteDC(memory);
}

void OnPaint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = App.PaintDC = BeginPaint(window, &paint);
  DrawBackground(dc);

  // The button glyphs use the context's default font: the label font is
  // selected only afterwards.
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ButtonColour);
  DrawTextA(dc, "X", -1, &App.CloseRect, DT_CENTER);
  DrawTextA(dc, "-", -1, &App.MinimizeRect, DT_CENTER);

  for (const RECT& row : App.RowRects) {
    FillRect(dc, &row, App.RowBrush);
  }

  SelectObject(dc, App.LabelFont);
  SetTextColor(dc, LabelColour);
  for (uint32_t i = 0; i < FieldCount; ++i) {
    TextOutW(dc, LabelLeft, LabelTop + RowPitch * static_cast<int>(i), Wide(LabelsW[i]),
             LabelUnits[i]);
  }

  SetTextColor(dc, TitleColour);
  DrawTextA(dc, TitleText, -1, &App.TitleRect, 0);
  EndPaint(window, &paint);
}

void OnLButtonDown(HWND window, LPARAM position) {
  if (HitTestRect(position, App.CloseRect)) {
    PostQuitMessage(0);
  } else if (HitTestRect(position, App.MinimizeRect)) {
    App.MinimizedOnce = 1;
    SendMessageA(window, WMU_MINIMIZE, 0, 0);
  } else if (HIWORD(position) <= DragStripBottom) {
    // The top strip acts as the caption the window does not have.
    SendMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
  }
}

void OnMinimize(HWND window) { ShowWindow(window, SW_MINIMIZE); }

// The default activation handling is not used: the focus goes back to the
// field that had it, or to Binary once the drawn minimise button has been
// used, or when no field has been remembered yet (the start).
//
// Losing and gaining activation are told apart by the activation state, not
// by asking whether this window is the foreground one: when an owned modal
// box (the overflow warning) or a minimise takes the activation, the
// deactivation can arrive while this window still counts as the foreground,
// and the focus would then be moved instead of remembered.
void OnActivate(WORD state) {
  if (App.MinimizedOnce) {
    SetFocus(FieldWindow(FieldKind::Binary));
    App.RememberedFocus = nullptr;
  } else if (state != WA_INACTIVE) {
    SetFocus(App.RememberedFocus ? App.RememberedFocus : FieldWindow(FieldKind::Binary));
  } else {
    App.RememberedFocus = GetFocus();
  }
}

// The window itself has no use for the keyboard focus. Wine hands it the
// focus when the window is restored after being minimised by other means
// than the drawn button (and sends no deactivation when it minimises the only
// window), so the field losing the focus to it is the one to remember, and
// the focus goes on to a field by the same rules as an activation.
void OnSetFocus(HWND previous) {
  FieldKind kind;
  if (!App.MinimizedOnce && FieldKindOf(previous, kind)) {
    App.RememberedFocus = previous;
  }
  OnActivate(WA_ACTIVE);
}

void OnClose() { PostQuitMessage(0); }

// Ctrl+S (IDM_CTRL_S) and the fields' notifications need nothing; the answer
// is the message's wParam.
LRESULT OnCommand(WPARAM command) { return static_cast<LRESULT>(command); }

}  // namespace

bool HitTestRect(LPARAM position, const RECT& rect) {
  const LONG x = LOWORD(position);
  const LONG y = HIWORD(position);
  return rect.left <= x && x <= rect.right && rect.top <= y && y <= rect.bottom;
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate(window);
      return 0;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam));
      return 0;
    case WM_SETFOCUS:
      OnSetFocus(reinterpret_cast<HWND>(wParam));
      return 0;
    case WM_PAINT:
      OnPaint(window);
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_COMMAND:
      return OnCommand(wParam);
    case WM_LBUTTONDOWN:
      OnLButtonDown(window, lParam);
      return 0;
    case WMU_MINIMIZE:
      OnMinimize(window);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

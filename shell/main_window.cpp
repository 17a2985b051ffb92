// The main window: creation of the fields, the painted skin, the drawn
// buttons and drag strip, and focus keeping across activation changes.
#include "main_window.h"

#include "app_state.h"
#include "field_window.h"
#include "resource.h"

namespace {

// What the skin paints over its picture, each in its own colour, and the
// system colour that takes its place, and the picture's, while high contrast
// is on. A contrast theme is made of pairs, a text colour meant to be read on
// one background colour, each set as its user needs them; text in any other
// pairing may vanish. The window is a dialog: its face takes the button face,
// as dialog boxes do, and the title and the X and - on it the button text
// that goes with it (the X and - are buttons, and the title strip is what
// drags the window). The row bars hold the fields, which the system draws in
// the window colour, so they take that colour too, their labels the window
// text, and a frame in the window text shows where each row is, since many
// themes give the button face and the window one colour.
enum Part : uint8_t { Buttons, Rows, Labels, Title, Background };
constexpr COLORREF SkinColours[] = {0x0000FFFF, 0x00CCCCCC, 0x00000000, 0x00FFFFFF};
constexpr uint8_t ContrastColours[] = {COLOR_BTNTEXT, COLOR_WINDOW, COLOR_WINDOWTEXT,
                                       COLOR_BTNTEXT, COLOR_BTNFACE};
constexpr COLORREF RowColour = SkinColours[Rows];

HFONT CreateFontForLabels(BYTE charset) {
  return CreateFontW(App.Layout.labelFontHeight, 0, 0, 0, 300, FALSE, FALSE, FALSE, charset,
                     OUT_STROKE_PRECIS, CLIP_CHARACTER_PRECIS, DRAFT_QUALITY,
                     FF_SCRIPT | DEFAULT_PITCH, Wide(LabelFaceW));
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

// The stock system font is made for the system's scale, and "System" by name
// is a bitmap font that does not grow: away from 100 % the fields, "X" and
// "-" take Tahoma, a scalable face of the same weight that every Windows
// since 2000 has, at the scaled height, its width left to follow the height.
HFONT CreateFieldFont() {
  return CreateFontW(App.Layout.fieldFontHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                     DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
}

// The drawn - and X, in the order of their rectangles in the layout and of
// App.Buttons.
enum CaptionButton : uint8_t { MinimiseButton, CloseButton, CaptionButtons };
static_assert(offsetof(WindowLayout, close) ==
              offsetof(WindowLayout, minimize) + sizeof(LayoutRect));
LayoutRect& ButtonPlace(uint32_t button) { return (&App.Layout.minimize)[button]; }

// Their control identifiers, each the first plus its CaptionButton.
constexpr uint16_t IDC_MINIMISE = 1005;

// The names Chinese Windows gives the buttons of a caption: 最小化 and 关闭.
constexpr wchar_t ButtonNames[CaptionButtons][4] = {L"\u6700\u5C0F\u5316", L"\u5173\u95ED"};

void Place(HWND window, const LayoutRect& place) {
  MoveWindow(window, place.left, place.top, place.right - place.left, place.bottom - place.top,
             TRUE);
}

// Makes the fonts for dpi and puts the fields and buttons where App.Layout
// has them; the old fonts are deleted once nothing uses them. The stock fonts
// serve only where both the window's and the system's scale are 100 %, as the
// program always looked there.
void FitToLayout(UINT dpi) {
  HFONT oldLabelFont = App.LabelFont;
  HFONT oldFieldFont = App.FieldFont;
  App.LabelFont = CreateLabelFont();
  App.FieldFont = dpi == DesignDpi && App.SystemDpi == DesignDpi ? nullptr : CreateFieldFont();
  for (uint32_t i = 0; i < FieldCount; ++i) {
    Place(App.Fields[i], App.Layout.fields[i]);
    SendMessageA(App.Fields[i], WM_SETFONT, reinterpret_cast<WPARAM>(App.FieldFont), TRUE);
  }
  for (uint32_t i = 0; i < CaptionButtons; ++i) {
    Place(App.Buttons[i], ButtonPlace(i));
  }
  DeleteObject(oldLabelFont);
  DeleteObject(oldFieldFont);
}

// ImmAssociateContext, from imm32, which the program does not import.
using AssociateContext = HANDLE(WINAPI*)(HWND, HANDLE);

// A field takes ASCII digits only, so an input method could compose nothing
// there that the field keeps. The fields have none: digits type directly
// whichever input method is on, and no composition's result reaches them.
// A window can have an input method only where imm32 is already loaded; it
// is never loaded here by name, which would search the program's own folder
// first and run whatever imm32.dll lies beside a downloaded program.
AssociateContext FindAssociateContext() {
  const HMODULE imm32 = GetModuleHandleA("imm32");
  return imm32 ? LookUp<AssociateContext>(imm32, "ImmAssociateContext") : nullptr;
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
                               0, 0, 0, 0, parent,
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

LRESULT CALLBACK ButtonWndProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam);

// The drawn - and X are what a screen reader, voice control or switch access
// can find only as windows: each lies under a push button of its own, named
// as Windows names a caption's buttons. The buttons draw nothing: owner-drawn,
// every paint of theirs is a WM_DRAWITEM the main window leaves undone, and
// they erase nothing (ButtonWndProc), so the skin shows through. Not tab
// stops, and the focus given to one goes back to a field. Made after the
// fields, behind them, so that each field keeps its label just before it.
void CreateButtons(HWND parent) {
  for (uint32_t i = 0; i < CaptionButtons; ++i) {
    App.Buttons[i] = CreateWindowExW(
        0, L"Button", ButtonNames[i], WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 0, 0, 0, 0, parent,
        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_MINIMISE + i)), App.Instance, nullptr);
    App.StockButtonProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        App.Buttons[i], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ButtonWndProc)));
  }
}

WNDPROC SubclassField(FieldKind kind) {
  return reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(FieldWindow(kind), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FieldWndProc)));
}

void OnCreate(HWND window) {
  const AssociateContext associate = FindAssociateContext();
  for (uint32_t i = 0; i < FieldCount; ++i) {
    App.Fields[i] = CreateField(window, FieldTable[i], associate);
  }
  CreateButtons(window);
  FitToLayout(App.SystemDpi);  // the layout the window was made at
  HWND binary = FieldWindow(FieldKind::Binary);
  SetFocus(binary);
  SendMessageA(binary, EM_SETSEL, 0, -1);

  // All four are "edit" controls, so the procedure the first one had serves
  // every field.
  App.StockEditProc = SubclassField(FieldKind::Binary);
  SubclassField(FieldKind::Decimal);
  SubclassField(FieldKind::Octal);
  SubclassField(FieldKind::Hexadecimal);
  // Binary's 0, put in before, is the program's own text: nothing to convert.
  App.Changed = nullptr;

  App.Background = LoadBitmapA(App.Instance, MAKEINTRESOURCEA(IDB_BACKGROUND));
  App.RowBrush = CreateSolidBrush(RowColour);
}

void DrawBackground(HDC dc) {
  GetObjectA(App.Background, sizeof(App.BackgroundInfo), &App.BackgroundInfo);
  HDC memory = CreateCompatibleDC(dc);
  SelectObject(memory, App.Background);
  StretchBlt(dc, 0, 0, App.Layout.backgroundWidth, App.Layout.backgroundHeight, memory, 0, 0,
             App.BackgroundInfo.bmWidth, App.BackgroundInfo.bmHeight, SRCCOPY);
  DeleteDC(memory);
}

// Asked at every paint, so that no paint shows another look than the one
// the system asks for now.
bool HighContrastOn() {
  HIGHCONTRASTW contrast = {sizeof(contrast), 0, nullptr};
  SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0);
  return contrast.dwFlags & HCF_HIGHCONTRASTON;
}

// A system colour as FillRect takes it in place of a brush, which saves
// looking the brush up (FrameRect takes no such value).
HBRUSH SystemBrush(Part part) {
  return reinterpret_cast<HBRUSH>(static_cast<UINT_PTR>(ContrastColours[part] + 1));
}

void OnPaint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  // One way of painting for both looks: only the colours and what lies
  // behind everything differ.
  const bool contrast = HighContrastOn();
  COLORREF colours[Background];
  for (uint32_t i = 0; i < Background; ++i) {
    colours[i] = contrast ? GetSysColor(ContrastColours[i]) : SkinColours[i];
  }
  if (contrast) {
    FillRect(dc, &paint.rcPaint, SystemBrush(Background));
  } else {
    DrawBackground(dc);
  }

  // The button glyphs use the fields' font, where there is none the
  // context's default one (selecting no font changes nothing): the label
  // font is selected only afterwards.
  WindowLayout& layout = App.Layout;
  SelectObject(dc, App.FieldFont);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colours[Buttons]);
  DrawTextA(dc, "X", -1, AsRect(layout.close), DT_CENTER);
  DrawTextA(dc, "-", -1, AsRect(layout.minimize), DT_CENTER);

  HBRUSH rowBrush = contrast ? SystemBrush(Rows) : App.RowBrush;
  for (LayoutRect& row : layout.rows) {
    FillRect(dc, AsRect(row), rowBrush);
    if (contrast) {
      FrameRect(dc, AsRect(row), GetSysColorBrush(ContrastColours[Labels]));
    }
  }

  SelectObject(dc, App.LabelFont);
  SetTextColor(dc, colours[Labels]);
  for (uint32_t i = 0; i < FieldCount; ++i) {
    TextOutW(dc, layout.labelLeft, layout.labelTops[i], Wide(LabelsW[i]), LabelUnits[i]);
  }

  SetTextColor(dc, colours[Title]);
  DrawTextA(dc, TitleText, -1, AsRect(layout.title), 0);
  EndPaint(window, &paint);
}

// What the drawn - and X do, pressed with the mouse or through their buttons.
void Press(HWND window, uint32_t button) {
  if (button == CloseButton) {
    PostQuitMessage(0);
  } else if (button == MinimiseButton) {
    App.Panel.MinimizedOnce = 1;
    SendMessageA(window, WMU_MINIMIZE, 0, 0);
  }
}

// The drawn buttons act on the press, as they always have; the buttons over
// them let every mouse message through to this window.
void OnLButtonDown(HWND window, LPARAM position) {
  for (uint32_t i = 0; i < CaptionButtons; ++i) {
    if (HitTestRect(position, *AsRect(ButtonPlace(i)))) {
      Press(window, i);
      return;
    }
  }
  if (HIWORD(position) <= App.Layout.dragStripBottom) {
    // The top strip acts as the caption the window does not have.
    SendMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
  }
}

void OnMinimize(HWND window) { ShowWindow(window, SW_MINIMIZE); }

// The default activation handling is not used: the focus goes back to the
// field the user was in, or to Binary once the drawn minimise button has
// been used, or when no field has had the focus yet (the start). The field is
// the one that last got the focus (FieldWndProc tells the panel), not the one
// that has it at the deactivation: Windows takes the focus off a child window
// at the start of a minimise, before the deactivation, and an owned modal box
// (the overflow warning) takes it after.
void OnActivate(WORD state) { OnMainActivation(state != WA_INACTIVE); }

// The window itself has no use for the keyboard focus. Wine hands it the
// focus when the window is restored after being minimised by other means
// than the drawn button (and sends no deactivation when it minimises the only
// window): the focus goes on to a field by the same rules as an activation.
void OnSetFocus() { OnMainActivation(true); }

// Moved to a display of another scale: the window takes the place the system
// suggests for it, and everything inside is laid out and lettered anew.
// Texts, selections and the focus stay with the fields, which are only moved.
void OnDpiChanged(HWND window, UINT dpi, const RECT& suggested) {
  ScaleTo(dpi);
  MoveWindow(window, suggested.left, suggested.top, suggested.right - suggested.left,
             suggested.bottom - suggested.top, TRUE);
}

// Asked before a move to a display of another scale, for the size there: the
// layout's own, so that the rectangle WM_DPICHANGED then suggests is the
// laid-out window. Unanswered, Windows would scale the size itself (395 x 1.5
// is 592.5), and the window could end a pixel off its layout: the close
// button's click area a pixel short, or a row of background unpainted.
BOOL OnGetDpiScaledSize(UINT dpi, SIZE& size) {
  WindowLayout layout;
  LayoutForDpi(dpi, layout);
  size.cx = layout.windowWidth;
  size.cy = layout.windowHeight;
  return TRUE;
}

// High contrast turned on or off, or the system's colours changed: the next
// paint asks again. The window does not clip its children, so the fields are
// repainted with it, in the system's new colours. The default handling still
// gets both messages.
void OnSystemLookChanged(HWND window) { InvalidateRect(window, nullptr, FALSE); }

void OnClose() { PostQuitMessage(0); }

// A button's click, as its default action (accDoDefaultAction, UI Automation's
// Invoke) makes it, and a field's text changed. Ctrl+S (IDM_CTRL_S) and the
// other notifications need nothing; the answer is the message's wParam.
LRESULT OnCommand(HWND window, WPARAM command, HWND control) {
  if (HIWORD(command) == BN_CLICKED) {
    Press(window, static_cast<uint32_t>(LOWORD(command) - IDC_MINIMISE));
  } else if (HIWORD(command) == EN_CHANGE) {
    OnFieldChange(control);
  }
  return static_cast<LRESULT>(command);
}

// A click asked of a button (BM_CLICK, what its default action does) is told
// to the main window as the stock button tells it, without the stock
// button's press: that takes the focus first, the focus goes straight back to
// a field, and a button that loses the focus while pressed drops the click
// (wine then sends no BN_CLICKED). Windows' UI Automation invokes a button
// by pushing it (BM_SETSTATE) and then clicking it, and the stock button's
// click would release it: released here too, or the button would report
// itself pressed from then on.
LRESULT OnButtonClick(HWND button) {
  SendMessageA(button, BM_SETSTATE, FALSE, 0);
  const WPARAM command = IDC_MINIMISE + (button == App.Buttons[CloseButton] ? 1u : 0u);
  return SendMessageA(GetParent(button), WM_COMMAND, command, reinterpret_cast<LPARAM>(button));
}

// The buttons sit over the drawn ones for those who find the window's parts
// as windows; for the mouse they are not there (HTTRANSPARENT: the main
// window gets every press, as before), nor do they erase their place. The
// focus goes back where the main window would send it.
LRESULT CALLBACK ButtonWndProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCHITTEST:
      return HTTRANSPARENT;
    case WM_ERASEBKGND:
      return 1;
    case BM_CLICK:
      return OnButtonClick(button);
    case WM_SETFOCUS:
      OnSetFocus();
      return 0;
    default:
      return CallWindowProcW(App.StockButtonProc, button, message, wParam, lParam);
  }
}

}  // namespace

void ScaleTo(UINT dpi) {
  LayoutForDpi(dpi, App.Layout);
  FitToLayout(dpi);
}

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
      OnSetFocus();
      return 0;
    case WM_PAINT:
      OnPaint(window);
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_COMMAND:
      return OnCommand(window, wParam, reinterpret_cast<HWND>(lParam));
    case WM_LBUTTONDOWN:
      OnLButtonDown(window, lParam);
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(window, LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_GETDPISCALEDSIZE:
      return OnGetDpiScaledSize(static_cast<UINT>(wParam), *reinterpret_cast<SIZE*>(lParam));
    case WMU_MINIMIZE:
      OnMinimize(window);
      return 0;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
      OnSystemLookChanged(window);
      [[fallthrough]];
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

// The window shell's one process-wide record and the shell's constant texts.
#pragma once

#include <windows.h>

#include "converter_panel.h"
#include "window_layout.h"

// Sent by the main window to itself when its drawn minimise button is hit.
inline constexpr UINT WMU_MINIMIZE = 9901;

struct AppState {
  HFONT LabelFont;
  HWND RememberedFocus;    // the focused window when the main window lost activation
  uint32_t MinimizedOnce;  // set by the first use of the drawn minimise button
  HWND Fields[FieldCount];  // Binary, Octal, Decimal, Hexadecimal
  PanelState Panel;         // current value and text buffer, owned by the panel
  BITMAP BackgroundInfo;    // refreshed from the bitmap on every paint
  HBITMAP Background;
  WindowLayout Layout;  // at the window's display scale
  HFONT FieldFont;      // the fields' and buttons' font; none where the stock one serves
  UINT SystemDpi;
  HBRUSH RowBrush;
  HINSTANCE Instance;
  HDC PaintDC;
  int MaxWidth;   // of a maximised window on the primary display
  int MaxHeight;
  int Left;       // of the main window
  int Top;
  WNDPROC StockEditProc;  // the edit class's own procedure, for every field
};

extern AppState App;

// Class name, window name and drawn title: 40 bytes.
extern const char TitleText[];

// The program's texts are code page 936 bytes. The ANSI calls would read them
// in the system's own code page, which is 936 only on Chinese Windows, so the
// text a person reads is widened here and handed to the W calls. Returns the
// number of UTF-16 units written (with the NUL when bytes is -1).
inline int WidenText(const char* text, int bytes, wchar_t* out, int size) {
  return MultiByteToWideChar(936, 0, text, bytes, out, size);
}

// The layout's rectangles are Win32 RECTs member for member.
static_assert(sizeof(LayoutRect) == sizeof(RECT) &&
              offsetof(RECT, bottom) == offsetof(LayoutRect, bottom));
inline RECT* AsRect(LayoutRect& rect) { return reinterpret_cast<RECT*>(&rect); }

inline HWND FieldWindow(FieldKind kind) { return App.Fields[static_cast<uint8_t>(kind)]; }

// Which of the four fields window is; false for any other window and for none.
inline bool FieldKindOf(HWND window, FieldKind& kind) {
  for (uint32_t i = 0; i < FieldCount; ++i) {
    if (window && window == App.Fields[i]) {
      kind = static_cast<FieldKind>(i);
      return true;
    }
  }
  return false;
}

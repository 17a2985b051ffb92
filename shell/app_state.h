// The window shell's one process-wide record and the shell's constant texts.
#pragma once

#include <windows.h>

#include "converter_panel.h"
#include "wide_texts.h"
#include "window_layout.h"

// Sent by the main window to itself when its drawn minimise button is hit.
inline constexpr UINT WMU_MINIMIZE = 9901;

struct AppState {
  HFONT LabelFont;
  HWND Fields[FieldCount];  // Binary, Octal, Decimal, Hexadecimal
  PanelState Panel;         // current value and text buffer, owned by the panel
  BITMAP BackgroundInfo;    // refreshed from the bitmap on every paint
  HBITMAP Background;
  WindowLayout Layout;  // at the window's display scale
  HFONT FieldFont;      // the fields' and buttons' font; none where the stock one serves
  UINT SystemDpi;
  HBRUSH RowBrush;
  HINSTANCE Instance;
  int MaxWidth;   // of a maximised window on the primary display
  int MaxHeight;
  int Left;       // of the main window
  int Top;
  WNDPROC StockEditProc;  // the edit class's own procedure, for every field
  uint32_t OwnEdits;      // > 0 while the program itself changes a field's text
  HWND Changed;           // the field whose text changed from outside, until converted
  HWND Buttons[2];        // over the drawn - and X, in CaptionButton order
  WNDPROC StockButtonProc;
};

// Reached through a reference, whose value the code loads once into a
// register: on 32-bit x86 every absolute address in the code needs an entry
// in the relocation table that lets the loader move the image, and each
// member reached directly would be one (88 entries, most of the table).
extern AppState& App;

// Class name, window name and drawn title: 40 bytes.
extern const char TitleText[];

// The texts of wide_texts.h as the Unicode calls take them: wchar_t is the
// same 16-bit unit as char16_t on Windows.
static_assert(sizeof(wchar_t) == sizeof(char16_t));
inline const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

// The layout's rectangles are Win32 RECTs member for member.
static_assert(sizeof(LayoutRect) == sizeof(RECT) &&
              offsetof(RECT, bottom) == offsetof(LayoutRect, bottom));
inline RECT* AsRect(LayoutRect& rect) { return reinterpret_cast<RECT*>(&rect); }

// A function that not every Windows has, found by name at run time: imported,
// it would keep the file from starting where it is missing. Null when the
// module or the function is not there.
template <typename Function>
Function LookUp(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

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

// Every length of the main window at one display scale, computed from its
// size at 96 DPI (100 %). The shell lays the window out, paints it and tests
// clicks from one of these, so nothing can drift out of scale on its own.
#pragma once

#include <stdint.h>

#include "converter_panel.h"

inline constexpr uint32_t DesignDpi = 96;

// Same member order and size as the Win32 RECT; edges as Win32 uses them:
// right and bottom are one past the last pixel of a filled rectangle.
struct LayoutRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

// Only int32_t members: the whole record is scaled as one array.
struct WindowLayout {
  int32_t windowWidth;   // outer size, with the 1-pixel border
  int32_t windowHeight;
  LayoutRect title;
  LayoutRect minimize;   // the drawn "-" and its click area
  LayoutRect close;      // the drawn "X" and its click area
  int32_t dragStripBottom;
  LayoutRect rows[FieldCount];    // the grey bars
  LayoutRect fields[FieldCount];  // the edit controls
  int32_t labelLeft;
  int32_t labelTops[FieldCount];
  int32_t backgroundWidth;        // the bitmap is stretched to this and
  int32_t backgroundHeight;       // clipped to the client area
  int32_t labelFontHeight;
  int32_t fieldFontHeight;        // the stock system font's height at 96 DPI
};

// The layout at dpi: every length is its 96-DPI value times dpi / 96,
// rounded to the nearest pixel with halves away from zero, as MulDiv does.
// At 96 it is the window as it has always been.
void LayoutForDpi(uint32_t dpi, WindowLayout& layout);

// The window's layout at each common display scale: the 96-DPI window as it
// has always been, every length scaled by one rounding rule, and the parts
// still in their places relative to each other after rounding.
#include "window_layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr uint32_t Scales[] = {96, 120, 144, 168, 192, 240, 288};
constexpr uint32_t Lengths = sizeof(WindowLayout) / sizeof(int32_t);

std::vector<int32_t> Flat(const WindowLayout& layout) {
  const auto* p = reinterpret_cast<const int32_t*>(&layout);
  return std::vector<int32_t>(p, p + Lengths);
}

WindowLayout At(uint32_t dpi) {
  WindowLayout layout;
  LayoutForDpi(dpi, layout);
  return layout;
}

// Inside: a within b, edges included as Win32 fills them (right and bottom
// one past the last pixel).
bool Within(const LayoutRect& a, const LayoutRect& b) {
  return a.left >= b.left && a.top >= b.top && a.right <= b.right && a.bottom <= b.bottom;
}

TEST(WindowLayout, At96IsTheWindowAsItWas) {
  const WindowLayout l = At(96);
  EXPECT_EQ(l.windowWidth, 395);
  EXPECT_EQ(l.windowHeight, 150);
  const std::vector<int32_t> rects = Flat(l);
  const std::vector<int32_t> want = {
      395, 150, 0, 1, 395, 18, 357, 0, 375, 18, 377, 0, 395, 18, 18,
      5, 27, 388, 50, 5, 57, 388, 80, 5, 87, 388, 110, 5, 117, 388, 140,
      100, 30, 380, 47, 100, 60, 380, 77, 100, 90, 380, 107, 100, 120, 380, 137,
      10, 31, 61, 91, 121, 600, 450, 15, 16};
  EXPECT_EQ(rects, want);
  for (uint32_t i = 0; i < FieldCount; ++i) {
    EXPECT_EQ(l.fields[i].top, FieldTable[i].rowTop) << "field " << i;
  }
}

TEST(WindowLayout, EveryLengthScaledAndRoundedHalfUp) {
  const std::vector<int32_t> design = Flat(At(96));
  for (uint32_t dpi : Scales) {
    const std::vector<int32_t> scaled = Flat(At(dpi));
    for (uint32_t i = 0; i < Lengths; ++i) {
      // MulDiv's rule for positive numbers: the nearest integer, halves up.
      const double exact = design[i] * static_cast<double>(dpi) / 96.0;
      EXPECT_EQ(scaled[i], static_cast<int32_t>(std::floor(exact + 0.5)))
          << "length " << i << " at " << dpi << " DPI";
    }
  }
  // Measured under wine for a 395 x 150 window at 120, 144 and 192 DPI.
  EXPECT_EQ(At(120).windowWidth, 494);
  EXPECT_EQ(At(120).windowHeight, 188);
  EXPECT_EQ(At(144).windowWidth, 593);
  EXPECT_EQ(At(144).windowHeight, 225);
  EXPECT_EQ(At(192).windowWidth, 790);
  EXPECT_EQ(At(192).windowHeight, 300);
}

TEST(WindowLayout, PartsKeepTheirPlacesAtEveryScale) {
  for (uint32_t dpi : Scales) {
    SCOPED_TRACE(dpi);
    const WindowLayout l = At(dpi);
    const LayoutRect client = {0, 0, l.windowWidth - 2, l.windowHeight - 2};
    EXPECT_LT(l.minimize.right, l.close.left);
    EXPECT_EQ(l.dragStripBottom, l.close.bottom);
    EXPECT_EQ(l.close.right, l.windowWidth);
    for (uint32_t i = 0; i < FieldCount; ++i) {
      SCOPED_TRACE(i);
      EXPECT_TRUE(Within(l.rows[i], client));
      EXPECT_TRUE(Within(l.fields[i], l.rows[i]));
      EXPECT_GT(l.rows[i].top, l.dragStripBottom);
      if (i > 0) {
        EXPECT_GT(l.rows[i].top, l.rows[i - 1].bottom);
      }
      // The label's cell lies on its bar, left of its field.
      EXPECT_GE(l.labelTops[i], l.rows[i].top);
      EXPECT_LE(l.labelTops[i] + l.labelFontHeight, l.rows[i].bottom);
      EXPECT_LT(l.labelLeft, l.fields[i].left);
      // The digits fit their field.
      EXPECT_LE(l.fieldFontHeight, l.fields[i].bottom - l.fields[i].top);
    }
    EXPECT_GE(l.backgroundWidth, client.right);
    EXPECT_GE(l.backgroundHeight, client.bottom);
  }
}

}  // namespace

#include "window_layout.h"

namespace {

constexpr uint32_t LayoutLengths = sizeof(WindowLayout) / sizeof(int32_t);

// The window at 96 DPI, in WindowLayout's member order. Halfwords: no length
// comes near 32767, and the table is half the size.
constinit const int16_t DesignLayout[LayoutLengths] = {
    395, 150,                                     // window
    0, 1, 395, 18,                                // title
    357, 0, 375, 18,                              // minimise
    377, 0, 395, 18,                              // close
    18,                                           // drag strip bottom
    5, 27, 388, 50,   5, 57, 388, 80,             // rows
    5, 87, 388, 110,  5, 117, 388, 140,
    100, 30, 380, 47,   100, 60, 380, 77,         // fields, 280 x 17
    100, 90, 380, 107,  100, 120, 380, 137,
    10,  31, 61, 91, 121,                         // labels
    600, 450,                                     // background
    15, 16,                                       // fonts
};
static_assert(sizeof(WindowLayout) == LayoutLengths * sizeof(int32_t));

}  // namespace

void LayoutForDpi(uint32_t dpi, WindowLayout& layout) {
  auto* out = reinterpret_cast<int32_t*>(&layout);
  for (uint32_t i = 0; i < LayoutLengths; ++i) {
    const auto length = static_cast<uint32_t>(DesignLayout[i]);
    out[i] = static_cast<int32_t>((length * dpi + DesignDpi / 2) / DesignDpi);
  }
}

// The screen's pixels, read through GDI, and what a colour is made of.
#pragma once

#include "program.h"

namespace e2e {

struct Shot {  // the screen (or part of it), read through GDI
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0xRRGGBB
  uint32_t At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};
inline Shot Screen(RECT r = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}) {
  Shot shot{r.right - r.left, r.bottom - r.top};
  BITMAPINFO bi{{sizeof(BITMAPINFOHEADER), shot.width, -shot.height, 1, 32, BI_RGB}};
  const ScreenDc screen;
  HDC dc = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  BitBlt(dc, 0, 0, shot.width, shot.height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const auto* p = static_cast<const uint32_t*>(bits);
  shot.pixels.assign(p, p + size_t(shot.width) * size_t(shot.height));
  for (uint32_t& c : shot.pixels) c &= 0xFFFFFF;
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return shot;
}
inline std::string OutDir = ".";
inline void SavePicture(const std::string& name, RECT crop = {}) {
  const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  const Shot shot = Screen(IntersectRect(&crop, &crop, &screen) ? crop : screen);
  const DWORD size = DWORD(shot.pixels.size() * 4), offset = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  const BITMAPFILEHEADER file{0x4D42, offset + size, 0, 0, offset};
  const BITMAPINFOHEADER info{sizeof info, shot.width, -shot.height, 1, 32, BI_RGB, size};
  const std::string path = OutDir + "/" + name + ".bmp";
  if (FILE* f = fopen(path.c_str(), "wb")) {
    fwrite(&file, sizeof file, 1, f);
    fwrite(&info, sizeof info, 1, f);
    fwrite(shot.pixels.data(), 4, shot.pixels.size(), f);
    fclose(f);
    printf("  picture of the screen: %s\n", path.c_str());
  }
}
// The screen as read, addressed from the program's client area, and the window's state read with it.
struct Client {
  Shot shot = Screen();
  POINT o = ClientOrigin();
  State s = Read();
  uint32_t At(int x, int y) const { return shot.At(o.x + x, o.y + y); }
  template <typename F> void Each(RECT r, F f) const {  // f(x, y, colour) for every pixel in r
    for (int y = r.top; y < r.bottom; ++y) for (int x = r.left; x < r.right; ++x) f(x, y, At(x, y));
  }
  template <typename Test> int Count(RECT r, Test test) const {  // the pixels in r for which test holds
    int n = 0;
    Each(r, [&](int, int, uint32_t c) { n += test(c); });
    return n;
  }
};

inline int Channel(uint32_t c, int i) { return int(c >> (16 - 8 * i)) & 255; }  // 0 red, 1 green, 2 blue
inline int R(uint32_t c) { return Channel(c, 0); }
inline int G(uint32_t c) { return Channel(c, 1); }
inline int B(uint32_t c) { return Channel(c, 2); }
inline bool Dark(uint32_t c) { return std::max({R(c), G(c), B(c)}) < 0x90; }
inline uint32_t Sys(int i) { return __builtin_bswap32(GetSysColor(i)) >> 8; }  // 0xBBGGRR to 0xRRGGBB
// How far c lies from a towards b (0 to 1) if it blends the two, as smoothed text its colour and background, else -1:
// in grey smoothing every channel by the same part; in ClearType's (any) each channel by its own, their mean.
inline double BlendOf(uint32_t c, uint32_t a, uint32_t b, bool any = false) {
  const auto part = [&](int i) {
    const int span = Channel(b, i) - Channel(a, i);
    return span ? double(Channel(c, i) - Channel(a, i)) / span : 0.0;
  };
  int k = 0;  // the channel a and b differ most in
  for (int i = 1; i < 3; ++i) k = abs(Channel(b, i) - Channel(a, i)) > abs(Channel(b, k) - Channel(a, k)) ? i : k;
  double sum = 0;
  for (int i = 0; i < 3; ++i) {
    const double t = std::clamp(part(any ? i : k), -0.02, 1.02);
    if (std::abs(Channel(a, i) + t * (Channel(b, i) - Channel(a, i)) - Channel(c, i)) > 3) return -1;
    sum += t;
  }
  return any ? sum / 3 : std::clamp(part(k), -0.02, 1.02);
}

}  // namespace e2e

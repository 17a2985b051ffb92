// The painted skin, display scales, a small screen and a wide System font.
#include <regex>

#include "e2e.h"
#include "pixels.h"

using namespace e2e;


static bool Near(uint32_t a, uint32_t b) {
  return abs(R(a) - R(b)) <= 2 && abs(G(a) - G(b)) <= 2 && abs(B(a) - B(b)) <= 2;
}
static bool FieldsAt(const State& s, int dpi) {
  for (int f = 0; f < 4; ++f) {
    const RECT want = Scale(FieldRect(f), dpi);
    if (!EqualRect(&s.field[f], &want)) return false;
  }
  return true;
}

// Places at 96 DPI, scaled; counts go over every pixel of the scaled area.
static std::vector<std::string> SkinProblems() {
  const Client c;
  const auto S = [dpi = Dpi()](int length) { return Scale(length, dpi); };
  const auto px = [&](int x, int y) { return c.At(S(x), S(y)); };
  const auto count = [&](RECT r, auto test) { return c.Count(Scale(r), test); };
  std::vector<std::string> problems;
  auto check = [&](bool ok, const char* what, auto... args) { if (!ok) problems.push_back(Say(what, args...)); };
  const uint32_t gradient[] = {0x518FAF, 0x5593B5, 0x5A98B8, 0x5C9AB7, 0x5F9DBA, 0x67A3BF};  // rows 0, 25 ... 125
  for (int y = 0; y <= 125; y += 25) {
    for (int x : {2, y ? 390 : 340}) {
      const uint32_t want = gradient[y / 25];
      check(Near(px(x, y), want), "gradient (%d, %d): %06X, want %06X", x, y, px(x, y), want);
    }
  }
  for (int y : {27, 49, 57, 79, 87, 109, 117, 139}) {  // the grey bars' top and bottom lines (19 mod 30)
    for (int x : {5, 60, 385, 387}) {
      check(px(x, y) == 0xCCCCCC || (x == 60 && y % 30 == 19), "row bar (%d, %d): %06X", x, y, px(x, y));
    }
  }
  check(px(388, 28) != 0xCCCCCC && px(20, 50) != 0xCCCCCC, "row bars reach past their right or bottom edge");
  // Anti-aliased glyphs: blends of the text colour and what is behind, a few at the full colour.
  const auto yellow = [](uint32_t c) { return std::min(R(c), G(c)) >= 0x90 && B(c) <= R(c) - 0x40; };
  const int x_ink = count(kClose, yellow), minus_ink = count(kMinimise, yellow);
  check(x_ink >= 15 && minus_ink >= 4 && count(kClose, [](uint32_t c) { return c == 0xFFFF00; }) >= 1,
        "yellow glyphs: X %d px, - %d px", x_ink, minus_ink);
  check(!count({0, 0, kMinimise.left, 148}, yellow), "yellow outside the buttons");
  const auto white = [](uint32_t c) { return std::min({R(c), G(c), B(c)}) >= 0xD8; };
  check(count(kTitleText, white) >= 200, "title: %d white pixels", count(kTitleText, white));
  check(!count({0, kTitleStrip.bottom, FieldRect(0).left - 1, 148}, white), "white below the title");
  for (int i = 0; i < 4; ++i) {
    check(count(LabelRect(i), Dark) >= 80, "label %d: %d dark pixels", i, count(LabelRect(i), Dark));
    // Drawn from bitmaps or smoothed, grey or in ClearType's colours: black, the grey, or each channel between, the
    // darkest black (the light face's strokes at 15 px, smoothed, leave one or two).
    const int off = count(LabelRect(i), [](uint32_t c) { return BlendOf(c, 0xCCCCCC, 0, true) < 0; });
    const int black = count(LabelRect(i), [](uint32_t c) { return std::max({R(c), G(c), B(c)}) < 0x40; });
    check(!off && black, "label %d not black on grey: %d px of other colours, %d black", i, off, black);
  }
  // CJK labels, not boxes or single-byte characters: 二 two strokes across with nothing between, 十 one across
  // and one down. A glyph's cell, 17 x 21 from just above the label: its lines (or columns) ended by '|'.
  const auto cell = [&](int i, bool down) {
    const POINT at = {S(LabelRect(i).left), S(LabelRect(i).top - 1)};
    std::string lines;
    for (int a = 0; a < S(down ? 17 : 21); ++a, lines += '|') {
      for (int b = 0; b < S(down ? 21 : 17); ++b) {
        lines += B(c.At(at.x + (down ? a : b), at.y + (down ? b : a))) < 0xB8 ? '#' : ' ';
      }
    }
    return lines;
  };
  std::string two;  // per line: '-' a stroke across, 'x' some ink, '.' hardly any
  for (int ink = 0; char c : cell(0, false)) {
    ink += c == '#';
    if (c == '|') two += ink >= S(6) ? '-' : ink > S(2) ? 'x' : '.', ink = 0;
  }
  check(std::regex_match(two, std::regex("[.x]*-+[.]+-+[.x]*")), "label 0 does not start with 二: %s", two.c_str());
  const auto stroke = [&](int i, bool down) { return cell(i, down).find(std::string(S(9), '#')) != std::string::npos; };
  for (int i : {2, 3}) check(stroke(i, false) && stroke(i, true), "label %d does not start with 十", i);
  return problems;
}

static int LabelInkRows(int dpi) {
  const Client c;
  const RECT row = Scale(RowRect(0), dpi), label = Scale(LabelRect(0), dpi);
  int first = -1, last = -1;
  c.Each({label.left, row.top, label.right, row.bottom}, [&](int, int y, uint32_t p) {
    if (Dark(p)) first = first < 0 ? y : first, last = y;
  });
  return last - first + 1;
}

static int DigitAdvance() { return CharPosition(Decimal, 1).x - CharPosition(Decimal, 0).x; }

// lParam points at data that lies at the same address in both processes, so that it means the same whether the system
// copies it across (Windows, for the messages it knows to carry data) or not (wine copies none for 0x2E0-0x2FF): the
// answer is read where it changed.
static LRESULT SendWithData(UINT message, WPARAM wParam, void* data, SIZE_T size) {
  void *here = nullptr, *there = nullptr;
  for (UINT_PTR at = 0x20000000; at < 0x70000000 && !there; at += 0x01000000) {
    if ((here = VirtualAlloc(LPVOID(at), size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))) {
      there = VirtualAllocEx(Program(), here, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
      if (!there) VirtualFree(here, 0, MEM_RELEASE);
    }
  }
  DWORD_PTR answer = 0;
  std::vector<BYTE> back(size);
  if (there) memcpy(here, data, size);
  if (!there || !WriteProcessMemory(Program(), there, data, size, nullptr) ||
      !SendMessageTimeoutW(Main(), message, wParam, LPARAM(here), SMTO_ABORTIFHUNG, 3000, &answer) ||
      !ReadProcessMemory(Program(), there, back.data(), size, nullptr)) {
    Fail(Say("message %04X", message), "sent, its data at one address in both processes",
         Say("error %lu", GetLastError()));
  }
  memcpy(data, memcmp(here, data, size) ? here : back.data(), size);
  VirtualFree(here, 0, MEM_RELEASE);
  VirtualFreeEx(Program(), there, 0, MEM_RELEASE);
  return LRESULT(answer);
}

// A user32 call on a thread in the program (user32 lies at one address in each process of one bitness).
static DWORD InProgram(const char* function, UINT_PTR argument) {
  void* start = (void*)GetProcAddress(GetModuleHandleA("user32.dll"), function);
  HANDLE thread = CreateRemoteThread(Program(), nullptr, 0, LPTHREAD_START_ROUTINE(start), (void*)argument, 0, nullptr);
  DWORD code = 0;
  if (WaitForSingleObject(thread, 3000) == WAIT_OBJECT_0) GetExitCodeThread(thread, &code);
  CloseHandle(thread);
  return code;
}

SCENARIO("painting", skin_pixels) { UntilNone("screenshot pixels", "the painted skin", SkinProblems); }

// Wine never moves a window between displays of different scales: the message is sent from here, from 96 DPI.
SCENARIO("painting", moved_to_150_percent_and_back) {
  if (Dpi() != 96) throw Skipped{"moved from 96 DPI, and this display is not at 96"};
  FocusField(Decimal);
  Type("1234{S-Left}{S-Left}");
  const auto selected = [](const State& s) {
    return s.Line() == Showing(Decimal, "1234") && s.sel[Decimal][0] == 2 && s.sel[Decimal][1] == 4;
  };
  const State start = Expect("typed, 34 selected", Showing(Decimal, "1234") + " 34 selected", selected);
  const int ink96 = LabelInkRows(96), advance96 = DigitAdvance();
  for (int step : {1, 2}) {
    const int dpi = step == 1 ? 144 : 96, x = start.rect.left + 20 * step, y = start.rect.top + 10 * step;
    RECT want = {x, y, x + Scale(kWindowSize.cx, dpi), y + Scale(kWindowSize.cy, dpi)};  // the place suggested
    SendWithData(WM_DPICHANGED, MAKEWPARAM(dpi, dpi), &want, sizeof want);
    Expect(Say("laid out at %d DPI", dpi), "the window where suggested, its client 2 px smaller, fields scaled",
           [&](const State& s) { return EqualRect(&s.rect, &want) && s.client.cx == want.right - x - 2 &&
                                        s.client.cy == want.bottom - y - 2 && FieldsAt(s, dpi) && selected(s); });
    // Glyphs and digits half as tall and wide again at 144 (give or take a pixel), exactly as before back at 96.
    int ink = 0, advance = 0, slack = dpi == 96 ? 0 : 1;
    if (!Poll([&] { return ink = LabelInkRows(dpi), advance = DigitAdvance(), abs(ink - Scale(ink96, dpi)) <= slack &&
                           abs(advance - Scale(advance96, dpi)) <= slack; }, Slow(5))) {
      Fail(Say("glyphs at %d DPI", dpi), Say("label ink %d rows high, a digit %d px wide", Scale(ink96, dpi),
           Scale(advance96, dpi)), Say("%d rows, %d px", ink, advance));
    }
  }
  ActivateOther();
  ActivateMain();
  Expect("focus back in decimal", "decimal focused, 34 selected", selected);
}


// Windows asks for the size at a new scale before it suggests a place: the layout's own, whatever it offers.
SCENARIO("painting", size_asked_before_a_scale_change) {
  for (int dpi : {120, 144, 192}) {
    SIZE size = {Scale(kWindowSize.cx, dpi) - 1, Scale(kWindowSize.cy, dpi) + 1};
    const int answer = int(SendWithData(WM_GETDPISCALEDSIZE, dpi, &size, sizeof size));
    Same(Say("WM_GETDPISCALEDSIZE %d", dpi), Say("1, %d x %d", Scale(kWindowSize.cx, dpi), Scale(kWindowSize.cy, dpi)),
         Say("%d, %ld x %ld", answer, size.cx, size.cy));
  }
}

// Wine 10 keeps the maximised height of so small a screen at 152, and centres there.
SCENARIO("small_screen", window_kept_on_a_small_screen) {
  Expect("top-left corner on the screen", "the window placed, binary focused",
         [](const State& s) { return Placed(s) && s.focus == "binary"; });
  Type("11");
  Shows("usable", "11 3 3 3 @binary");
  Type("{A-F4}");  // the drawn close button is beyond the screen's edge
  Exits();
}

SCENARIO("wide_system_font", thirty_two_digits_typed_and_pasted_stay_whole) {
  const std::string ones(32, '1'), pattern = "10101010101010101010101010101010";
  Type("{Back}" + ones);
  Shows("typed", Showing(Binary, ones));
  Type("{Home}");
  const int left = CharPosition(Binary, 0).x, right = CharPosition(Binary, 31).x;
  if (right - left < 280 - 9) Fail("field font", "32 digits wider than a field", Say("x %d to %d", left, right));
  SetClipboard("0b" + pattern);
  Type("{End}{S-Home}{S-Ins}");
  Shows("pasted over all of it", Showing(Binary, pattern));
}

// Per-monitor aware, v2 where the system grants it (Windows 10 1703 on, wine 10; wine 8 refuses it), as
// this program, which asked for v2, is. The program's own context: wine 10 reports a v2 window as v1.
SCENARIO("dpi144", aware_with_physical_rectangles) {
  const auto program = DPI_AWARENESS_CONTEXT(UINT_PTR(InProgram("GetThreadDpiAwarenessContext", 0)));
  const auto v2 = [](DPI_AWARENESS_CONTEXT c) {
    return AreDpiAwarenessContextsEqual(c, DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) ? " (v2)" : "";
  };
  Same("awareness", Say("awareness 2%s, its window at %d DPI", v2(GetThreadDpiAwarenessContext()), Dpi()),
       Say("awareness %d%s, its window at %u DPI", GetAwarenessFromDpiAwarenessContext(program), v2(program),
           GetDpiForWindow(Main())));
  Expect("scaled window and fields", "the window placed, the fields scaled",
         [](const State& s) { return Placed(s) && FieldsAt(s, Dpi()); });
}

// The class's icons at the display's scale, as a taskbar takes them: loaded before awareness, at 100 %.
SCENARIO("dpi192", icons_at_the_scale) {
  const std::string want = Say("%dx%d, %dx%d", Scale(32), Scale(32), Scale(16), Scale(16));
  std::string sizes;
  for (int which : {GCLP_HICON, GCLP_HICONSM}) {
    ICONINFO info{};
    BITMAP bitmap{};
    if (GetIconInfo(HICON(GetClassLongPtrW(Main(), which)), &info)) GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
    DeleteObject(info.hbmColor), DeleteObject(info.hbmMask);
    sizes += Say("%s%ldx%ld", sizes.empty() ? "" : ", ", bitmap.bmWidth, bitmap.bmHeight);
  }
  // Wine keeps another process's class icons to itself (GetClassLongPtr answers 0): there only the icon
  // sizes the program's threads get, which it loads its icons at, show.
  const auto metric = [](int m) { return InProgram("GetSystemMetrics", m); };
  const std::string metrics = Say("%lux%lu, %lux%lu", metric(SM_CXICON), metric(SM_CYICON), metric(SM_CXSMICON),
                                  metric(SM_CYSMICON));
  if (sizes != want && (!Wine() || metrics != want)) Fail("class icons", want, sizes + "; metrics " + metrics);
}

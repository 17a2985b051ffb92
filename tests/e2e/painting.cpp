// The painted skin, moving between display scales, a screen smaller than the
// window, a System font wider than the fields, and the program's awareness of
// the display's scale.
#include <algorithm>
#include <cstdio>

#include "e2e.h"

using namespace e2e;

namespace {

template <typename... Args>
std::string Say(const char* format, Args... args) {
  char buffer[256];
  snprintf(buffer, sizeof buffer, format, args...);
  return buffer;
}

int R(uint32_t c) { return c >> 16 & 255; }
int G(uint32_t c) { return c >> 8 & 255; }
int B(uint32_t c) { return c & 255; }
bool Near(uint32_t a, uint32_t b) { return abs(R(a) - R(b)) <= 2 && abs(G(a) - G(b)) <= 2 && abs(B(a) - B(b)) <= 2; }
bool Dark(uint32_t c) { return std::max({R(c), G(c), B(c)}) < 0x90; }
int At(int length96, int dpi) { return MulDiv(length96, dpi, 96); }

// The title strip's gradient: the colour of a row, left to right.
const std::pair<int, uint32_t> kGradient[] = {{0, 0x518FAF},  {25, 0x5593B5},  {50, 0x5A98B8},
                                              {75, 0x5C9AB7}, {100, 0x5F9DBA}, {125, 0x67A3BF}};

// The longest run of ink ('#') across the lines of a grid, or down its columns.
int LongestRun(const std::vector<std::string>& g, bool down) {
  int best = 0;
  const size_t h = g.size(), w = g.empty() ? 0 : g[0].size();
  for (size_t a = 0; a < (down ? w : h); ++a) {
    for (size_t b = 0, run = 0; b < (down ? h : w); ++b) {
      run = (down ? g[b][a] : g[a][b]) == '#' ? run + 1 : 0;
      best = std::max(best, int(run));
    }
  }
  return best;
}

// Places are given at 96 DPI and scaled to the display; counts go over every
// pixel of the scaled area, so the least numbers of glyph pixels hold at any scale.
std::vector<std::string> SkinProblems() {
  const POINT o = ClientOrigin();
  const int dpi = Dpi();
  auto S = [dpi](int length) { return At(length, dpi); };
  const Shot shot = Screen();
  auto px = [&](int x, int y) { return shot.At(o.x + S(x), o.y + S(y)); };
  auto count = [&](RECT r, auto test) {
    int n = 0;
    for (int y = S(r.top), bottom = S(r.bottom), right = S(r.right); y < bottom; ++y) {
      for (int x = S(r.left); x < right; ++x) n += test(shot.At(o.x + x, o.y + y)) ? 1 : 0;
    }
    return n;
  };
  std::vector<std::string> problems;
  for (auto [y, colour] : kGradient) {
    for (int x : {2, y == 0 ? 340 : 390}) {
      if (!Near(px(x, y), colour)) problems.push_back(Say("gradient row %d x %d: %06X, want %06X", y, x, px(x, y), colour));
    }
  }
  for (int i = 0; i < 4; ++i) {
    const RECT r = RowRect(i);
    for (int y : {r.top, r.bottom - 1}) {
      for (int x : {int(r.left), 60, int(r.right) - 3, int(r.right) - 1}) {
        if (px(x, y) != 0xCCCCCC && !(x == 60 && y == r.bottom - 1)) problems.push_back(Say("row bar (%d, %d): %06X", x, y, px(x, y)));
      }
    }
  }
  if (px(RowRect(0).right, RowRect(0).top + 1) == 0xCCCCCC || px(20, RowRect(0).bottom) == 0xCCCCCC) {
    problems.push_back("row bars reach past their right or bottom edge");
  }
  // Text is drawn anti-aliased: glyph pixels are blends of the text colour
  // and what is behind it, with a few at the full colour.
  auto yellow = [](uint32_t c) { return std::min(R(c), G(c)) >= 0x90 && B(c) <= R(c) - 0x40; };
  const int x_glyph = count(kClose, yellow), minus_glyph = count(kMinimise, yellow);
  if (x_glyph < 15 || minus_glyph < 4 || count(kClose, [](uint32_t c) { return c == 0xFFFF00; }) < 1) {
    problems.push_back(Say("yellow glyphs: X %d px, - %d px", x_glyph, minus_glyph));
  }
  if (count({0, 0, kMinimise.left, 148}, yellow)) problems.push_back("yellow outside the buttons");
  auto white = [](uint32_t c) { return std::min({R(c), G(c), B(c)}) >= 0xD8; };
  if (int n = count(kTitleText, white); n < 200) problems.push_back(Say("title: %d white pixels", n));
  if (count({0, kTitleStrip.bottom, FieldRect(0).left - 1, 148}, white)) problems.push_back("white below the title");
  for (int i = 0; i < 4; ++i) {
    if (int n = count(LabelRect(i), Dark); n < 80) problems.push_back(Say("label %d: %d dark pixels", i, n));
    if (count(LabelRect(i), [](uint32_t c) { return Dark(c) && !(R(c) == G(c) && G(c) == B(c)); })) {
      problems.push_back(Say("label %d not black on grey", i));
    }
  }
  // The labels are CJK glyphs, not empty boxes or single-byte characters: 二
  // is two strokes across with nothing between, 十 a stroke across and one
  // down. A glyph's cell: 17 x 21 from just above the label.
  auto cell = [&](int i) {
    std::vector<std::string> g;
    const RECT l = LabelRect(i);
    for (int y = S(l.top - 1), bottom = S(l.top + 20), right = S(l.left + 17); y < bottom; ++y) {
      g.emplace_back();
      for (int x = S(l.left); x < right; ++x) g.back() += B(shot.At(o.x + x, o.y + y)) < 0xB8 ? '#' : ' ';
    }
    return g;
  };
  const std::vector<std::string> two = cell(0);
  auto across = [&](size_t y) { return std::count(two[y].begin(), two[y].end(), '#') >= S(6); };
  int strokes = 0, first = -1, last = -1;
  for (size_t y = 0; y < two.size(); ++y) {
    if (across(y)) strokes += y == 0 || !across(y - 1), last = int(y), first = first < 0 ? int(y) : first;
  }
  bool between = false;
  for (int y = first + 1; y < last; ++y) between |= !across(y) && std::count(two[y].begin(), two[y].end(), '#') > S(2);
  if (strokes != 2 || between) problems.push_back("first label does not start with 二");
  for (int i : {2, 3}) {
    if (LongestRun(cell(i), false) < S(9) || LongestRun(cell(i), true) < S(9)) {
      problems.push_back(Say("label %d does not start with 十", i));
    }
  }
  return problems;
}


// How many rows, from the first to the last, of the first label hold dark ink at a scale.
int LabelInkRows(int dpi) {
  const POINT o = ClientOrigin();
  const Shot shot = Screen();
  int first = -1, last = -1;
  for (int y = At(RowRect(0).top, dpi); y < At(RowRect(0).bottom, dpi); ++y) {
    for (int x = At(LabelRect(0).left, dpi), right = At(LabelRect(0).right, dpi); x < right; ++x) {
      if (Dark(shot.At(o.x + x, o.y + y))) {
        first = first < 0 ? y : first, last = y;
        break;
      }
    }
  }
  return last - first + 1;
}

int DigitAdvance() { return CharPosition(Decimal, 1).x - CharPosition(Decimal, 0).x; }

// Sends a message whose lParam points at data. Wine does not carry such data
// across processes: it is put into the program's own memory, the message
// points there, and what the program wrote back is read into data again.
bool SendWithData(UINT message, WPARAM wParam, void* data, SIZE_T size, LRESULT* result = nullptr) {
  DWORD pid = 0;
  GetWindowThreadProcessId(Main(), &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ, FALSE, pid);
  void* remote = process ? VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE) : nullptr;
  DWORD_PTR answer = 0;
  bool ok = remote && WriteProcessMemory(process, remote, data, size, nullptr) &&
            SendMessageTimeoutW(Main(), message, wParam, LPARAM(remote), SMTO_ABORTIFHUNG, 3000, &answer) &&
            ReadProcessMemory(process, remote, data, size, nullptr);
  if (result) *result = LRESULT(answer);
  if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  if (process) CloseHandle(process);
  return ok;
}

}  // namespace

SCENARIO("painting", skin_pixels) { UntilNone("screenshot pixels", "the painted skin", SkinProblems); }

// Wine never moves a window between displays of different scales, so the
// message the system sends then is sent from outside. From 96 DPI only.
void MovedTo150PercentAndBack() {
  FocusField(Decimal);
  Type("1234{S-Left}{S-Left}");
  auto selected = [](const State& s) { return s.Line() == Showing(Decimal, "1234") && s.sel[Decimal][0] == 2 &&
                                              s.sel[Decimal][1] == 4; };
  const State start = Expect("typed, 34 selected", Showing(Decimal, "1234") + " 2-4 selected", selected);
  const int ink96 = LabelInkRows(96), advance96 = DigitAdvance();
  for (int step : {1, 2}) {
    const int dpi = step == 1 ? 144 : 96, w = At(kWindowSize.cx, dpi), h = At(kWindowSize.cy, dpi);
    const RECT want = {start.rect.left + 20 * step, start.rect.top + 10 * step, start.rect.left + 20 * step + w,
                       start.rect.top + 10 * step + h};
    RECT suggested = want;
    if (!SendWithData(WM_DPICHANGED, MAKEWPARAM(dpi, dpi), &suggested, sizeof suggested)) {
      Fail(Say("WM_DPICHANGED %d", dpi), "the message sent", Say("error %lu", GetLastError()));
    }
    Expect(Say("laid out at %d DPI", dpi), Say("the window at the suggested place, %d x %d, fields scaled", w, h),
           [&](const State& s) {
             for (int f = 0; f < 4; ++f) {
               const RECT r = FieldRect(f), scaled = {At(r.left, dpi), At(r.top, dpi), At(r.right, dpi), At(r.bottom, dpi)};
               if (!EqualRect(&s.field[f], &scaled)) return false;
             }
             return EqualRect(&s.rect, &want) && s.client.cx == w - 2 && s.client.cy == h - 2 && selected(s);
           });
    // The labels' glyphs and the fields' digits at the new scale: half as
    // tall and wide again at 144, and exactly as before back at 96.
    const int tolerance = dpi == 96 ? 0 : 1, ink = At(ink96, dpi);
    int rows = 0;
    if (!Poll([&] { return abs((rows = LabelInkRows(dpi)) - ink) <= tolerance; }, Slow(5))) {
      Fail(Say("label glyphs at %d DPI", dpi), Say("label ink %d rows high (%d at 96)", ink, ink96), Say("%d", rows));
    }
    if (abs(DigitAdvance() - At(advance96, dpi)) > tolerance) {
      Fail(Say("digits at %d DPI", dpi), Say("a digit %d px wide", At(advance96, dpi)), Say("%d", DigitAdvance()));
    }
  }
  ActivateOther();
  ActivateMain();
  Expect("focus back in decimal", "decimal focused, 34 selected", selected);
}
const int moved = Add({"painting", "moved_to_150_percent_and_back", MovedTo150PercentAndBack, nullptr, nullptr, false,
                       [] { return Dpi() == 96; }});

// Windows asks for the size at the new scale before it suggests a place; the
// answer must be the layout's own, whatever size it offers.
SCENARIO("painting", size_asked_before_a_scale_change) {
  for (int dpi : {120, 144, 192}) {
    const SIZE want = {At(kWindowSize.cx, dpi), At(kWindowSize.cy, dpi)};
    SIZE size = {want.cx - 1, want.cy + 1};
    LRESULT answer = 0;
    if (!SendWithData(WM_GETDPISCALEDSIZE, dpi, &size, sizeof size, &answer) || answer != TRUE ||
        size.cx != want.cx || size.cy != want.cy) {
      Fail(Say("WM_GETDPISCALEDSIZE %d", dpi), Say("TRUE and %ld x %ld", want.cx, want.cy),
           Say("%d and %ld x %ld", int(answer), size.cx, size.cy));
    }
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
  std::string ones(32, '1'), pattern;
  for (int i = 0; i < 16; ++i) pattern += "10";
  Type("{Back}" + ones);
  Shows("typed", Showing(Binary, ones));
  Type("{Home}");
  const int left = CharPosition(Binary, 0).x, right = CharPosition(Binary, 31).x;
  if (right - left < Scale(280 - 9)) {
    Fail("field font", "32 digits wider than the 280-pixel field", Say("first digit x %d, last %d", left, right));
  }
  SetClipboard("0b" + pattern);
  std::string keys = "{End}";
  for (int i = 0; i < 32; ++i) keys += "{S-Left}";
  Type(keys + "{S-Ins}");
  Shows("pasted over all of it", Showing(Binary, pattern));
}

// --- display scales
namespace {
template <typename Function>
Function User32(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

// A user32 function of one argument called on a thread of the program's own
// (user32 lies at the same address in every process of one bitness): the
// thread's exit code is its answer, as the program's threads get it.
DWORD InProgram(const char* function, UINT_PTR argument) {
  DWORD pid = 0, code = 0;
  GetWindowThreadProcessId(Main(), &pid);
  HANDLE process = OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION |
                               PROCESS_VM_WRITE | PROCESS_VM_READ, FALSE, pid);
  auto start = User32<LPTHREAD_START_ROUTINE>(function);
  HANDLE thread = process && start ? CreateRemoteThread(process, nullptr, 0, start, (void*)argument, 0, nullptr) : nullptr;
  if (thread && WaitForSingleObject(thread, 3000) == WAIT_OBJECT_0) GetExitCodeThread(thread, &code);
  if (thread) CloseHandle(thread);
  if (process) CloseHandle(process);
  return code;
}
}  // namespace

// The program takes the per-monitor mode, v2 where the system grants it (as
// Windows 10 1703 on and wine 10 do; wine 8 refuses v2, and the program falls
// back to v1): this program asked for v2 first, so its own mode tells. Its
// window and fields have their scaled sizes in physical pixels, as read by a
// reader aware of the scale itself.
SCENARIO("dpi144", aware_with_physical_rectangles) {
  auto awareness = User32<int(WINAPI*)(DPI_AWARENESS_CONTEXT)>("GetAwarenessFromDpiAwarenessContext");
  auto equal = User32<BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT, DPI_AWARENESS_CONTEXT)>("AreDpiAwarenessContextsEqual");
  auto own = User32<DPI_AWARENESS_CONTEXT(WINAPI*)()>("GetThreadDpiAwarenessContext");
  auto window_dpi = User32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  if (!awareness || !equal || !own || !window_dpi) SkipScenario("no per-monitor awareness on this system");
  const bool v2 = equal(own(), DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  // The program's own context: a window's does not tell, as wine 10 reports
  // a v2 window as v1 and, asked from another process, answers unaware.
  const auto program = DPI_AWARENESS_CONTEXT(UINT_PTR(InProgram("GetThreadDpiAwarenessContext", 0)));
  if (awareness(own()) != 2 || awareness(program) != 2 || bool(equal(program, DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) != v2 ||
      int(window_dpi(Main())) != Dpi()) {
    Fail("awareness", Say("the program per-monitor aware%s, its window at %d DPI", v2 ? " (v2)" : "", Dpi()),
         Say("awareness %d (v2 %d), window at %u DPI, this program's awareness %d", awareness(program),
             int(equal(program, DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)), window_dpi(Main()), awareness(own())));
  }
  Expect("scaled window and fields", "the window placed, the fields scaled", [](const State& s) {
    for (int f = 0; f < 4; ++f) {
      const RECT want = Scale(FieldRect(f));
      if (!EqualRect(&s.field[f], &want)) return false;
    }
    return Placed(s);
  });
}

// The window's icon and small icon come at the display's scale (64 and 32
// pixels at 200 %), as a taskbar takes them from the class: loaded before the
// program is aware of the scale, they would be made for 100 %.
SCENARIO("dpi192", icons_at_the_scale) {
  const std::string want = Say("%dx%d, %dx%d", Scale(32), Scale(32), Scale(16), Scale(16));
  std::string sizes;
  for (int which : {GCLP_HICON, GCLP_HICONSM}) {
    const HICON icon = HICON(GetClassLongPtrW(Main(), which));
    ICONINFO info{};
    BITMAP bitmap{};
    if (icon && GetIconInfo(icon, &info)) {
      GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
      DeleteObject(info.hbmColor);
      DeleteObject(info.hbmMask);
    }
    sizes += Say("%s%ldx%ld", sizes.empty() ? "" : ", ", bitmap.bmWidth, bitmap.bmHeight);
  }
  if (sizes == want) return;
  // Wine keeps another process's class fields and icons to itself:
  // GetClassLongPtr answers 0 there. What it shows is the sizes the
  // program's threads get for icons, which the program loads its icons at.
  const std::string metrics = Say("%lux%lu, %lux%lu", InProgram("GetSystemMetrics", SM_CXICON),
                                  InProgram("GetSystemMetrics", SM_CYICON), InProgram("GetSystemMetrics", SM_CXSMICON),
                                  InProgram("GetSystemMetrics", SM_CYSMICON));
  if (!Wine() || metrics != want) Fail("class icons", want, sizes + (Wine() ? "; the program's icon sizes " + metrics : ""));
}

// The runner and the means of every scenario: the program started as a
// process of its own, real input through SendInput, the window read back
// through Win32, one wait loop, and what a failure prints and keeps.
//
//   e2e.exe [--exe PATH] [--out DIR] GROUP [NAME-REGEX]   one group, or some of it
//   e2e.exe [--exe PATH] [--out DIR] --all                every group this system can run
//   e2e.exe --list [GROUP]                                the groups and their scenarios
//
// PATH defaults to quorvane.exe beside this program, DIR to the current folder.
#include "e2e.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <map>
#include <regex>

namespace e2e {

const wchar_t kTitle[] = L" Quorvane V1.01 By Daskelt QQ:0000000000";
const wchar_t* const kLabels[4] = {L"二 进 制 :", L"八 进 制 :", L"十 进 制 :", L"十六进制 :"};
const wchar_t kWarningCaption[] = L"系统担示";
const wchar_t kWarningText[] = L"你输入的数值已大于32位最大值0xffffffffH,请重新输入！";

std::string Say(const char* format, ...) {
  char buffer[2048];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

std::string Utf8(const std::wstring& text) {
  char buffer[1024];
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, buffer, sizeof buffer, nullptr, nullptr);
  return n > 0 ? std::string(buffer, size_t(n - 1)) : std::string();
}

std::string ClassOf(HWND window) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 3000, &result);
  return LRESULT(result);
}

namespace {

struct Failure {
  std::string text;
};
struct Skipped {
  std::string why;
};

std::wstring ExePath;
std::string OutDir = ".";
std::string Current;  // group.name of the scenario running
PROCESS_INFORMATION Process{};
HWND MainWindow;
HWND OtherWindow;
bool StartedUnaware;


std::string Quoted(const std::string& bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) out += c >= 0x20 && c < 0x7F ? std::string(1, char(c)) : Say("\\x%02x", c);
  return out + "\"";
}

std::string RectText(RECT r) { return Say("(%ld,%ld,%ld,%ld)", r.left, r.top, r.right, r.bottom); }


// WM_GETTEXT, not GetWindowText: for another process's control the latter
// gives only its creation caption.
std::string TextA(HWND window) {
  char buffer[512] = "";
  DWORD_PTR n = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, LPARAM(buffer), SMTO_ABORTIFHUNG, 3000, &n);
  return std::string(buffer, strnlen(buffer, sizeof buffer));
}

std::wstring TextW(HWND window) {
  wchar_t buffer[512] = L"";
  Send(window, WM_GETTEXT, 512, LPARAM(buffer));
  return buffer;
}


struct Found {
  const char* cls;
  HWND owner;
  HWND window;
};

BOOL CALLBACK FindVisibleWindow(HWND w, LPARAM p) {
  auto* f = reinterpret_cast<Found*>(p);
  if (ClassOf(w) != f->cls || (f->owner && GetWindow(w, GW_OWNER) != f->owner) || !IsWindowVisible(w)) return TRUE;
  f->window = w;
  return FALSE;
}

// The first visible top-level window of a class (and owner, if given).
HWND FindVisible(const char* cls, HWND owner) {
  Found found{cls, owner, nullptr};
  EnumWindows(FindVisibleWindow, LPARAM(&found));
  return found.window;
}

std::string NameOf(HWND window, HWND main, HWND box) {
  if (!window) return "none";
  for (int f = 0; f < 4; ++f) {
    if (window == GetDlgItem(main, kFieldIds[f])) return kFieldNames[f];
  }
  if (window == main) return "main";
  if (window == OtherWindow) return "other";
  if (box && (window == box || IsChild(box, window))) return "box";
  return "elsewhere:" + ClassOf(window);
}

Box ReadBox(HWND main) {
  Box box;
  box.window = main ? FindVisible("#32770", main) : nullptr;
  if (!box.window) return box;
  box.caption = TextW(box.window);
  box.captionA = TextA(box.window);
  GetWindowRect(box.window, &box.rect);
  box.owner = GetWindow(box.window, GW_OWNER);
  for (HWND child = GetWindow(box.window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    const std::string cls = ClassOf(child);
    // The text is the static that has text; the icon's static has none.
    if (!_stricmp(cls.c_str(), "Static") && box.text.empty()) {
      box.text = TextW(child);
      box.textA = TextA(child);
    } else if (!_stricmp(cls.c_str(), "Button") && GetDlgCtrlID(child) == IDOK) {
      GetWindowRect(child, &box.ok);
    }
  }
  return box;
}

LRESULT CALLBACK OtherProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

double Now() { return GetTickCount64() / 1000.0; }

// --- keys ---------------------------------------------------------------------
struct Named {
  const char* name;
  WORD vk;
  bool extended;
};
const Named kKeys[] = {
    {"Tab", VK_TAB, false},   {"Esc", VK_ESCAPE, false}, {"Enter", VK_RETURN, false}, {"Back", VK_BACK, false},
    {"Del", VK_DELETE, true}, {"Home", VK_HOME, true},   {"End", VK_END, true},        {"Left", VK_LEFT, true},
    {"Right", VK_RIGHT, true}, {"Up", VK_UP, true},      {"Down", VK_DOWN, true},      {"Ins", VK_INSERT, true},
    {"Menu", VK_APPS, true},  {"F4", VK_F4, false},      {"F10", VK_F10, false},       {"Shift", VK_SHIFT, false},
    {"Ctrl", VK_CONTROL, false}, {"Alt", VK_MENU, false}, {"Space", VK_SPACE, false}};

struct Key {
  WORD vk = 0;
  bool extended = false;
  int modifiers = 0;  // 1 Shift, 2 Ctrl, 4 Alt
};

Key ParseKey(const std::string& name) {
  Key key;
  std::string rest = name;
  while (rest.size() > 2 && rest[1] == '-') {
    key.modifiers |= rest[0] == 'S' ? 1 : rest[0] == 'C' ? 2 : rest[0] == 'A' ? 4 : 0;
    rest = rest.substr(2);
  }
  for (const Named& k : kKeys) {
    if (rest == k.name) {
      key.vk = k.vk;
      key.extended = k.extended;
      return key;
    }
  }
  if (rest.size() != 1) throw Failure{"no key named {" + name + "}"};
  const SHORT scan = VkKeyScanW(wchar_t(static_cast<unsigned char>(rest[0])));
  if (scan == -1) throw Failure{"no key types '" + rest + "' on this keyboard layout"};
  key.vk = LOBYTE(scan);
  key.modifiers |= HIBYTE(scan) & 7;
  return key;
}

void SendKey(WORD vk, bool extended, bool up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = WORD(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  in.ki.dwFlags = (extended ? KEYEVENTF_EXTENDEDKEY : 0) | (up ? KEYEVENTF_KEYUP : 0);
  if (SendInput(1, &in, sizeof in) != 1) throw Failure{Say("SendInput failed: %lu", GetLastError())};
}

const WORD kModifierKeys[3] = {VK_SHIFT, VK_CONTROL, VK_MENU};

void Press(const Key& key, bool down, bool up) {
  for (int m = 0; m < 3; ++m) {
    if (down && key.modifiers & (1 << m)) SendKey(kModifierKeys[m], false, false);
  }
  if (down) SendKey(key.vk, key.extended, false);
  if (up) SendKey(key.vk, key.extended, true);
  for (int m = 2; m >= 0; --m) {
    if (up && key.modifiers & (1 << m)) SendKey(kModifierKeys[m], false, true);
  }
}

// --- mouse ---------------------------------------------------------------------
void SendMouse(DWORD flags, POINT at = {}) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flags;
  if (flags & MOUSEEVENTF_ABSOLUTE) {
    // Normalised to 0-65535 across the primary screen, rounded up: the
    // system takes the pixel by rounding down.
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    in.mi.dx = LONG((int64_t(at.x) * 65536 + w - 1) / w);
    in.mi.dy = LONG((int64_t(at.y) * 65536 + h - 1) / h);
  }
  if (SendInput(1, &in, sizeof in) != 1) throw Failure{Say("SendInput failed: %lu", GetLastError())};
}

void MoveTo(POINT at) {
  SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, at);
  POINT now{};
  if (!Poll([&] { return GetCursorPos(&now) && now.x == at.x && now.y == at.y; }, 1)) {
    throw Failure{Say("the pointer went to (%ld,%ld), not (%ld,%ld)", now.x, now.y, at.x, at.y)};
  }
}

// --- registry of groups and scenarios -------------------------------------------
std::vector<Scenario>& Scenarios() {
  static std::vector<Scenario> all;
  return all;
}

// A group, and for a variant (a group of its own on a system set up another
// way) what the system must be for it and what it runs again: whole groups,
// or GROUP.SCENARIO alone. On Windows a variant runs where the machine is set
// up for it; here the wine prefix of each variant is (scripts/e2e.sh).
struct Group {
  const char* name;
  const char* needs = nullptr;  // in words, for the skip message
  std::function<bool()> holds;
  std::vector<const char*> reruns;
};

int SystemFontWidth() {  // 32 binary digits in the fields' font
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FONT));
  SIZE size{};
  GetTextExtentPoint32A(dc, "11111111111111111111111111111111", 32, &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return size.cx;
}

int CALLBACK FaceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

}  // namespace

bool HasFace(const wchar_t* face) {
  LOGFONTW lf{};
  lf.lfCharSet = DEFAULT_CHARSET;
  wcscpy(lf.lfFaceName, face);
  HDC dc = GetDC(nullptr);
  bool found = false;
  EnumFontFamiliesExW(dc, &lf, FaceFound, LPARAM(&found), 0);
  ReleaseDC(nullptr, dc);
  return found;
}

namespace {

bool Colours(COLORREF window, COLORREF text) {
  return GetSysColor(COLOR_WINDOW) == window && GetSysColor(COLOR_WINDOWTEXT) == text;
}

// The groups, in the order --all runs them; scripts/e2e.sh and CMake read the
// names from the lines that open with one.
const std::vector<Group>& Groups() {
  static const std::vector<Group> groups = {
  {"start"},
  {"typing"},
  {"filtering"},
  {"keys"},
  {"overflow"},
  {"paste"},
  {"edits"},
  {"mouse"},
  {"painting"},
  {"quit"},
  {"soak"},
  {"contrast"},
  {"cp1252", "code page 1252", [] { return CodePage() == 1252; },
      {"painting.skin_pixels", "overflow.decimal_tenth_digit_warns_and_undoes", "start.accessible_names",
       "start.ui_automation_names", "filtering.characters_beyond_ascii_never_enter"}},
  {"cp1252_nofontmap", "code page 1252 and no face named 宋体",
      [] { return CodePage() == 1252 && !HasFace(L"宋体"); }, {"painting.skin_pixels"}},
  {"dpi144", "a display at 150 %", [] { return Dpi() == 144; },
      {"typing", "keys", "overflow", "mouse", "painting", "start.accessible_names", "start.ui_automation_names",
       "start.buttons_pressed_as_assistive_technology_does"}},
  {"dpi120", "a display at 125 %", [] { return Dpi() == 120; }, {"painting.skin_pixels"}},
  {"dpi192", "a display at 200 %", [] { return Dpi() == 192; }, {"painting.skin_pixels"}},
  {"dpi144_unaware", "a display at 150 % where programs start unaware of the scale",
      [] { return Dpi() == 144 && StartedUnaware; },
      {"painting.skin_pixels", "dpi144.aware_with_physical_rectangles"}},
  {"contrast_black", "High Contrast Black's colours", [] { return Colours(RGB(0, 0, 0), RGB(255, 255, 255)); },
      {"contrast"}},
  {"small_screen", "a screen smaller than the window",
      [] { return GetSystemMetrics(SM_CXMAXIMIZED) < kWindowSize.cx || GetSystemMetrics(SM_CYMAXIMIZED) < kWindowSize.cy; }},
  {"wide_system_font", "a System font in which 32 digits are wider than a field",
      [] { return SystemFontWidth() > 280; }},
  // Tools rather than checks, run where asked for (scripts/bench.sh, scripts/screenshots.sh).
  {"bench_keyup", "asked to (QV_BENCH_KEYS)", [] { return GetEnvironmentVariableA("QV_BENCH_KEYS", nullptr, 0) > 0; }},
  {"pictures", "asked to (QV_PICTURES)", [] { return GetEnvironmentVariableA("QV_PICTURES", nullptr, 0) > 0; }},
  };
  return groups;
}

const Group* FindGroup(const std::string& name) {
  for (const Group& g : Groups()) {
    if (name == g.name) return &g;
  }
  return nullptr;
}

// What a group runs, in order: its own scenarios, then what it runs again,
// named GROUP.NAME where it runs several whole groups.
std::vector<Scenario> Resolve(const Group& group) {
  std::vector<Scenario> found;
  int whole = 0;
  for (const char* r : group.reruns) whole += strchr(r, '.') ? 0 : 1;
  for (const Scenario& s : Scenarios()) {
    if (s.group == group.name) found.push_back(s);
  }
  for (const std::string rerun : group.reruns) {
    const size_t dot = rerun.find('.');
    const std::string source = rerun.substr(0, dot), only = dot == std::string::npos ? "" : rerun.substr(dot + 1);
    bool any = false;
    for (Scenario s : Scenarios()) {
      if (s.group != source || (!only.empty() && s.name != only)) continue;
      any = true;
      if (whole > 1) s.name = source + "." + s.name;
      found.push_back(s);
    }
    if (!any) throw Failure{std::string(group.name) + " runs " + rerun + " again, which no group has"};
  }
  return found;
}

struct Tally {
  int passed = 0, failed = 0, skipped = 0;
};

void RunGroup(const Group& group, const std::string& only, Tally& tally) {
  const double started = Now();
  if (group.holds && !group.holds()) {
    printf("SKIP %s: this system is not %s\n", group.name, group.needs);
    ++tally.skipped;
    return;
  }
  int launches = 0;
  const void* table = nullptr;  // the table whose program is running
  for (const Scenario& s : Resolve(group)) {
    if (!only.empty() && !std::regex_search(s.name, std::regex(only))) continue;
    if (s.when && !s.when()) continue;
    Current = std::string(group.name) + "." + s.name;
    const double t0 = Now();
    const char* status = "PASS";
    std::string message;
    try {
      if (MainWindow && (!s.table || s.table != table || s.fresh)) Close();
      if (MainWindow) {
        s.reset();
      } else {
        Launch();
        ++launches;
      }
      table = s.fresh ? nullptr : s.table;
      s.run();
    } catch (const Failure& f) {
      status = "FAIL";
      message = f.text;
    } catch (const Skipped& k) {
      status = "SKIP";
      message = k.why;
    }
    if (*status == 'F') {
      SavePicture(Current);
      printf("FAIL %s: %s\n", Current.c_str(), message.c_str());
    }
    if (*status != 'P' || !s.table || !Running()) {
      Close();
      table = nullptr;
    }
    (*status == 'P' ? tally.passed : *status == 'F' ? tally.failed : tally.skipped)++;
    printf("%s %s (%.1f s)%s%s\n", status, Current.c_str(), Now() - t0, *status == 'S' ? ": " : "",
           *status == 'S' ? message.c_str() : "");
    fflush(stdout);
  }
  Close();
  printf("%s: %d programs, %.1f s\n", group.name, launches, Now() - started);
}

}  // namespace

// --- the system ------------------------------------------------------------------
const char* Wine() {
  using Version = const char*(CDECL*)();
  static auto version = reinterpret_cast<Version>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")));
  return version ? version() : nullptr;
}

int Dpi() {
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return dpi;
}

int Scale(int length96) { return MulDiv(length96, Dpi(), 96); }
RECT Scale(RECT r) { return {Scale(r.left), Scale(r.top), Scale(r.right), Scale(r.bottom)}; }
UINT CodePage() { return GetACP(); }

double Slow(double seconds) {
  char factor[16] = "";
  return GetEnvironmentVariableA("QV_SLOW", factor, sizeof factor) ? seconds * atof(factor) : seconds;
}

// --- reading -----------------------------------------------------------------------
std::string State::Line() const {
  std::string line;
  for (int f = 0; f < 4; ++f) {
    line += text[f].empty() ? "\"\"" : text[f];
    if (length[f] != int(text[f].size())) line += Say("(length %d)", length[f]);
    line += " ";
  }
  return line + "@" + focus;
}

std::string State::Describe() const {
  if (!main) return "no window";
  std::string d = Line() + Say(" sel");
  for (int f = 0; f < 4; ++f) d += Say(" %d-%d", sel[f][0], sel[f][1]);
  d += " active=" + active + " foreground=" + foreground + (iconic ? " iconic" : "") + (visible ? "" : " hidden");
  d += " rect=" + RectText(rect);
  if (box.window) d += " box=\"" + Utf8(box.caption) + "\": \"" + Utf8(box.text) + "\"";
  return d;
}

std::string Canonical(uint32_t value, Field field) {
  if (field == Decimal) return Say("%lu", static_cast<unsigned long>(value));
  if (field == Octal) return Say("%lo", static_cast<unsigned long>(value));
  if (field == Hexadecimal) return Say("%lX", static_cast<unsigned long>(value));
  std::string bits;
  do {
    bits.insert(bits.begin(), char('0' + (value & 1)));
    value >>= 1;
  } while (value);
  return bits;
}

std::string Showing(Field source, const std::string& text, int64_t value, int focus) {
  if (value < 0) value = int64_t(strtoull(text.empty() ? "0" : text.c_str(), nullptr, kRadix[source]) & 0xFFFFFFFFu);
  State s;
  for (int f = 0; f < 4; ++f) {
    s.text[f] = f == source ? text : Canonical(uint32_t(value), Field(f));
    s.length[f] = int(s.text[f].size());
  }
  s.focus = kFieldNames[focus < 0 ? source : focus];
  return s.Line();
}

std::string Disagreement(const State& s) {
  int source = -1;
  for (int f = 0; f < 4; ++f) {
    if (s.focus == kFieldNames[f]) source = f;
    if (int(s.text[f].size()) > kLimits[f]) return Say("%s holds %zu characters", kFieldNames[f], s.text[f].size());
  }
  if (source < 0) return "the focus is not in a field: " + s.focus;
  const std::string& t = s.text[source];
  const char* digits = "0123456789abcdefABCDEF";
  const size_t alphabet = source == Hexadecimal ? 22 : size_t(kRadix[source]);
  for (char c : t) {
    if (!memchr(digits, c, alphabet)) return std::string(kFieldNames[source]) + " holds " + Quoted(t);
  }
  if ((source == Octal && t.size() == 11 && t[0] > '3') || (source == Decimal && t.size() == 10 && t > "4294967295")) {
    return std::string(kFieldNames[source]) + " holds " + t + ", above 32 bits";
  }
  const std::string want = Showing(Field(source), t);
  return s.Line() == want ? "" : "the others do not show its value: " + s.Line() + ", want " + want;
}

State Read() {
  State s;
  if (!MainWindow || !IsWindow(MainWindow)) return s;
  HWND main = s.main = MainWindow;
  s.box = ReadBox(main);
  GetWindowRect(main, &s.rect);
  RECT client{};
  GetClientRect(main, &client);
  s.client = {client.right, client.bottom};
  s.iconic = IsIconic(main);
  s.visible = IsWindowVisible(main);
  s.foreground = NameOf(GetForegroundWindow(), main, s.box.window);
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info)) {
    s.focus = NameOf(info.hwndFocus, main, s.box.window);
    s.active = NameOf(info.hwndActive, main, s.box.window);
  }
  for (int f = 0; f < 4; ++f) {
    HWND field = GetDlgItem(main, kFieldIds[f]);
    s.text[f] = TextA(field);
    s.length[f] = int(Send(field, WM_GETTEXTLENGTH, 0, 0));
    const DWORD sel = DWORD(Send(field, EM_GETSEL, 0, 0));
    s.sel[f][0] = LOWORD(sel);
    s.sel[f][1] = HIWORD(sel);
    GetWindowRect(field, &s.field[f]);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&s.field[f]), 2);
  }
  return s;
}

HWND Main() { return MainWindow; }
HWND FieldWindow(Field f) { return GetDlgItem(MainWindow, kFieldIds[f]); }

// --- the program ------------------------------------------------------------------------
void Launch() {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  std::wstring command = L"\"" + ExePath + L"\"";
  if (!CreateProcessW(ExePath.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &Process)) {
    throw Failure{Say("could not start %s: error %lu", Utf8(ExePath).c_str(), GetLastError())};
  }
  HWND found = nullptr;
  Poll([&] {
    found = FindWindowW(kTitle, kTitle);
    DWORD pid = 0;
    if (found) GetWindowThreadProcessId(found, &pid);
    return found && pid == Process.dwProcessId && IsWindowVisible(found);
  }, Slow(20));
  if (!found) throw Failure{"the program's window did not show within " + Say("%.0f s", Slow(20))};
  MainWindow = found;
  // Shown is not yet ready for keys: they go where the focus is once the window is active
  // (whether it became so is the start group's check, not a precondition).
  Poll([] { return GetForegroundWindow() == MainWindow; }, Slow(5));
}

bool Running() { return Process.hProcess && WaitForSingleObject(Process.hProcess, 0) == WAIT_TIMEOUT; }

void Exits(const char* step, Where where) {
  if (!Poll([] { return !Running(); }, Slow(5))) Fail(step, "the process to end", "still running", where);
  DWORD code = 1;
  GetExitCodeProcess(Process.hProcess, &code);
  if (code != 0) Fail(step, "exit code 0", Say("exit code %lu", code), where);
}

void Close() {
  if (!Process.hProcess) return;
  if (Running() && MainWindow) PostMessageW(MainWindow, WM_CLOSE, 0, 0);
  // A failed scenario may leave a modal box up: no need to wait long.
  if (!Poll([] { return !Running(); }, Slow(2))) TerminateProcess(Process.hProcess, 99);
  WaitForSingleObject(Process.hProcess, INFINITE);
  const HWND gone = MainWindow;
  Poll([gone] { return !IsWindow(gone); }, Slow(5));
  CloseHandle(Process.hProcess);
  CloseHandle(Process.hThread);
  Process = {};
  MainWindow = nullptr;
}

HWND Other() {
  if (!OtherWindow) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = OtherProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = HBRUSH(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = L"qv-e2e-other";
    RegisterClassW(&wc);
    OtherWindow = CreateWindowExW(0, wc.lpszClassName, wc.lpszClassName, WS_POPUP | WS_BORDER, 20, 20, 200, 100,
                                  nullptr, nullptr, wc.hInstance, nullptr);
  }
  ShowWindow(OtherWindow, SW_SHOWNOACTIVATE);
  UpdateWindow(OtherWindow);
  Pump();
  return OtherWindow;
}

// --- input ------------------------------------------------------------------------------
void Type(const std::string& keys) {
  for (size_t i = 0; i < keys.size(); ++i) {
    std::string name(1, keys[i]);
    if (keys[i] == '{') {
      const size_t end = keys.find('}', i + 2);
      if (end == std::string::npos) throw Failure{"unclosed { in keys " + keys};
      name = keys.substr(i + 1, end - i - 1);
      i = end;
    }
    Press(ParseKey(name), true, true);
  }
}

void KeyDown(const std::string& key) { Press(ParseKey(key), true, false); }
void KeyUp(const std::string& key) { Press(ParseKey(key), false, true); }

void ClickScreen(POINT at, Button button, int count) {
  MoveTo(at);
  const DWORD down = button == Left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN;
  for (int i = 0; i < count; ++i) {
    SendMouse(down);
    SendMouse(down << 1);  // the matching UP flag
  }
}

POINT ClientOrigin() {
  POINT origin{0, 0};
  ClientToScreen(MainWindow, &origin);
  return origin;
}

POINT ToScreen(POINT p) {
  const POINT o = ClientOrigin();
  return {o.x + Scale(p.x), o.y + Scale(p.y)};
}

void Click(POINT client96, Button button, int count) { ClickScreen(ToScreen(client96), button, count); }

void DragScreen(POINT from, POINT to) {
  MoveTo(from);
  SendMouse(MOUSEEVENTF_LEFTDOWN);
  for (int i = 1; i <= 5; ++i) {
    Sleep(20);
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE,
              {from.x + (to.x - from.x) * i / 5, from.y + (to.y - from.y) * i / 5});
  }
  SendMouse(MOUSEEVENTF_LEFTUP);
}

void ClickField(Field f, int x96, Button button, int count) {
  const State s = Read();
  const POINT o = ClientOrigin();
  ClickScreen({o.x + s.field[f].left + Scale(x96), o.y + s.field[f].top + Scale(8)}, button, count);
}

void FocusField(Field f, Where where) {
  ClickField(f);
  Expect(std::string("focus ") + kFieldNames[f], std::string("focus=") + kFieldNames[f],
         [f](const State& s) { return s.focus == kFieldNames[f]; }, where);
}

POINT CharPosition(Field f, int index) {
  const LRESULT r = Send(FieldWindow(f), EM_POSFROMCHAR, WPARAM(index), 0);
  POINT p{short(LOWORD(r)), short(HIWORD(r))};
  ClientToScreen(FieldWindow(f), &p);
  return p;
}

void ActivateMain(Where where) {
  Click(kNeutral);
  Expect("activate the main window", "foreground=main active=main",
         [](const State& s) { return s.foreground == "main" && s.active == "main"; }, where);
}

void ActivateOther(Where where) {
  RECT r;
  GetWindowRect(Other(), &r);
  ClickScreen(Centre(r));
  Expect("activate another window", "foreground=other", [](const State& s) { return s.foreground == "other"; },
         where);
}

void Show(int command) { ShowWindowAsync(MainWindow, command); }

namespace {
void PutClipboard(const void* data, size_t size, UINT format) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size + 2);
  char* p = static_cast<char*>(GlobalLock(memory));
  memcpy(p, data, size);
  p[size] = p[size + 1] = 0;
  GlobalUnlock(memory);
  bool ok = false;
  Poll([&] {
    if (!OpenClipboard(nullptr)) return false;
    EmptyClipboard();
    ok = SetClipboardData(format, memory) != nullptr;
    CloseClipboard();
    return true;
  }, 2);
  if (!ok) throw Failure{"could not put text on the clipboard"};
}
}  // namespace

void SetClipboard(const std::string& bytes) { PutClipboard(bytes.data(), bytes.size(), CF_TEXT); }
void SetClipboard(const std::wstring& text) { PutClipboard(text.data(), text.size() * 2, CF_UNICODETEXT); }

// --- waits and checks -------------------------------------------------------------------------
bool Poll(const std::function<bool()>& done, double seconds) {
  const double deadline = Now() + seconds;
  DWORD pause = 5;
  for (;;) {
    Pump();
    if (done()) return true;
    if (Now() > deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, pause, QS_ALLINPUT);
    pause = pause < 60 ? pause * 3 / 2 : 100;
  }
}

void Fail(const std::string& step, const std::string& expected, const std::string& read, Where where) {
  const char* file = strrchr(where.file_name(), '/');
  throw Failure{Say("%s:%u: %s: expected %s; read %s", file ? file + 1 : where.file_name(),
                       static_cast<unsigned>(where.line()), step.c_str(), expected.c_str(), read.c_str())};
}

State Expect(const std::string& step, const std::string& expected, const std::function<bool(const State&)>& ok,
             Where where) {
  State s;
  if (!Poll([&] { return ok(s = Read()); }, Slow(5))) Fail(step, expected, s.Describe(), where);
  return s;
}

State Shows(const std::string& step, const std::string& line, Where where) {
  std::string previous;
  return Expect(step, line, [&](const State& s) {
    const std::string now = s.Line();
    const bool twice = now == previous;
    previous = now;
    return twice && now == line;
  }, where);
}

State Steady(const std::string& step, const std::string& line, double seconds, Where where) {
  const State s = Shows(step, line, where);
  State now;
  if (Poll([&] { return (now = Read()).Line() != line || now.box.window != s.box.window; }, seconds)) {
    Fail(step + " (steady)", "no further change from " + line, now.Describe(), where);
  }
  return s;
}

void Same(const std::string& step, const std::string& want, const std::string& read, Where where) {
  if (read != want) Fail(step, want, read, where);
}

void UntilNone(const std::string& step, const std::string& expected,
               const std::function<std::vector<std::string>()>& problems, Where where) {
  std::vector<std::string> last;
  if (Poll([&] { return (last = problems()).empty(); }, Slow(5))) return;
  std::string read;
  for (const std::string& p : last) read += (read.empty() ? "" : "; ") + p;
  Fail(step, expected, read, where);
}

Box ExpectWarning(const std::string& step, Where where) {
  const State s = Expect(step, "the overflow warning", [](const State& s) { return s.box.window != nullptr; }, where);
  const Box& box = s.box;
  bool ok = box.caption == kWarningCaption && box.text == kWarningText && box.owner == MainWindow;
  // Through the ANSI calls a Chinese desktop reads the code page 936 bytes.
  char caption[64], text[256];
  if (CodePage() == 936) {
    WideCharToMultiByte(936, 0, kWarningCaption, -1, caption, sizeof caption, nullptr, nullptr);
    WideCharToMultiByte(936, 0, kWarningText, -1, text, sizeof text, nullptr, nullptr);
    ok = ok && box.captionA == caption && box.textA == text;
  }
  if (!ok) Fail(step, "the warning's caption and text, owned by the main window", s.Describe(), where);
  return box;
}

void DismissWarning(const std::string& step, bool click, Where where) {
  const Box box = ExpectWarning(step, where);
  if (click) {
    ClickScreen(Centre(box.ok));
  } else {
    Type("{Enter}");
  }
  Expect(step + ": box gone", "no box", [](const State& s) { return !s.box.window; }, where);
}

void Recover() {
  State s = Read();
  if (s.box.window) {
    Type("{Enter}");
    Expect("reset: box closed", "no box", [](const State& s) { return !s.box.window; });
  }
  if (s.iconic) {
    Show(SW_RESTORE);
    Expect("reset: restored", "not iconic", [](const State& s) { return !s.iconic; });
  }
  if (Read().foreground != "main") ActivateMain();
}

void EmptyField(Field f, Where where) {
  FocusField(f, where);
  Type("{Esc}");
  Shows(std::string(kFieldNames[f]) + " emptied", Showing(f, ""), where);
}

// --- the screen ------------------------------------------------------------------------------
Shot Screen() {
  Shot shot;
  shot.width = GetSystemMetrics(SM_CXSCREEN);
  shot.height = GetSystemMetrics(SM_CYSCREEN);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), shot.width, -shot.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  HDC screen = GetDC(nullptr), dc = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  BitBlt(dc, 0, 0, shot.width, shot.height, screen, 0, 0, SRCCOPY);
  GdiFlush();
  const auto* p = static_cast<const uint32_t*>(bits);
  shot.pixels.assign(p, p + size_t(shot.width) * size_t(shot.height));
  for (uint32_t& c : shot.pixels) c &= 0xFFFFFF;
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return shot;
}

void SavePicture(const std::string& name, RECT crop) {
  Shot shot = Screen();
  const RECT screen{0, 0, shot.width, shot.height};
  if (IntersectRect(&crop, &crop, &screen)) {
    Shot part{crop.right - crop.left, crop.bottom - crop.top, {}};
    for (LONG y = crop.top; y < crop.bottom; ++y) {
      part.pixels.insert(part.pixels.end(), &shot.pixels[size_t(y * shot.width + crop.left)],
                         &shot.pixels[size_t(y * shot.width + crop.right)]);
    }
    shot = part;
  }
  const DWORD size = DWORD(shot.pixels.size() * 4);
  BITMAPFILEHEADER file{0x4D42, DWORD(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) + size, 0, 0,
                        DWORD(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER))};
  BITMAPINFOHEADER info{sizeof info, shot.width, -shot.height, 1, 32, BI_RGB, size, 0, 0, 0, 0};
  const std::string path = OutDir + "/" + name + ".bmp";
  if (FILE* f = fopen(path.c_str(), "wb")) {
    fwrite(&file, sizeof file, 1, f);
    fwrite(&info, sizeof info, 1, f);
    fwrite(shot.pixels.data(), 4, shot.pixels.size(), f);
    fclose(f);
    printf("  picture of the screen: %s\n", path.c_str());
  }
}

int Add(Scenario s) {
  Scenarios().push_back(std::move(s));
  return 0;
}

[[noreturn]] void SkipScenario(const std::string& why) { throw Skipped{why}; }

// --- the edit control's context menu ------------------------------------------------
namespace {
HWND ContextMenu() { return FindVisible("#32768", nullptr); }

// An item's screen rectangle, found by its command id: the message the edit
// control sends itself, the same in Windows' and wine's edit menus.
bool ItemRect(MenuItem item, RECT& r) {
  static const UINT ids[] = {WM_UNDO, WM_CUT, WM_COPY, WM_PASTE, WM_CLEAR, EM_SETSEL};
  const HMENU menu = HMENU(Send(ContextMenu(), MN_GETHMENU, 0, 0));
  for (int i = 0, n = menu ? GetMenuItemCount(menu) : 0; i < n; ++i) {
    if (GetMenuItemID(menu, i) == ids[item]) return GetMenuItemRect(nullptr, menu, UINT(i), &r);
  }
  return false;
}

// The bands of rows that hold some text on the menu's background, as screen
// rectangles; separators and the frame are rows nearly all line. A mnemonic's
// underline, a row or two below its letter, joins its item's band.
std::vector<RECT> TextBands(RECT m) {
  const Shot shot = Screen();
  const uint32_t background = shot.At(m.left + 2, m.top + 2);
  std::vector<RECT> bands;
  for (int y = m.top + 1; y < m.bottom; ++y) {
    int marked = 0;
    for (int x = m.left + 3; x < m.right - 3; ++x) marked += shot.At(x, y) != background;
    if (marked == 0 || marked >= (m.right - m.left) * 3 / 4) continue;
    if (bands.empty() || y - bands.back().bottom > Scale(3)) bands.push_back({m.left, y, m.right, y});
    bands.back().bottom = y;
  }
  return bands;
}
}  // namespace

RECT OpenContextMenu(Field f, bool key, Where where) {
  key ? Type("{Menu}") : ClickField(f, 150, Right);
  if (!Poll([] { return ContextMenu() != nullptr; }, Slow(5))) {
    Fail("context menu open", "the edit control's context menu", Read().Describe(), where);
  }
  RECT r{};
  GetWindowRect(ContextMenu(), &r);
  return r;
}

void ClickMenuItem(Field f, MenuItem item, Where where) {
  const RECT m = OpenContextMenu(f, false, where);
  RECT r{};
  if (!ItemRect(item, r)) {
    std::vector<RECT> rows;
    // Wine keeps a menu's items in the process that made it: another process
    // gets its handle (MN_GETHMENU), but GetMenuItemCount answers -1 for it
    // (wine 10). The items are found in a picture then.
    if (!Wine()) Fail("context menu's items", "the menu's handle and the item's rectangle", "none", where);
    if (!Poll([&] { return (rows = TextBands(m)).size() == 6; }, Slow(3))) {
      Fail("context menu's items", "6 items", Say("%zu text bands in %s", rows.size(), RectText(m).c_str()), where);
    }
    r = rows[item];
  }
  ClickScreen(Centre(r));
  if (!Poll([] { return ContextMenu() == nullptr; }, Slow(5))) Fail("menu closed", "no menu", "the menu open", where);
}

// --- soak, benchmark and pictures ------------------------------------------------------
std::string FieldText(Field f) { return TextA(FieldWindow(f)); }

// --- what other programs do to the fields ----------------------------------------------
void ReplaceText(Field f, const std::wstring& text, bool undo) {
  Send(FieldWindow(f), EM_SETSEL, 0, -1);
  SendMessageTimeoutW(FieldWindow(f), EM_REPLACESEL, undo, LPARAM(text.c_str()), SMTO_ABORTIFHUNG, 3000, nullptr);
}

// The entry of the program's import address table that holds user32's address for the
// function (the same in every process of one bitness), or the code's address once redirected.
UINT_PTR RedirectImport(const char* function, const std::function<std::vector<BYTE>(UINT_PTR, UINT_PTR)>& code) {
  static std::map<std::string, UINT_PTR> redirected;
  const auto real = UINT_PTR(GetProcAddress(GetModuleHandleA("user32.dll"), function));
  const auto base = reinterpret_cast<BYTE*>(GetWindowLongPtrW(MainWindow, GWLP_HINSTANCE));
  IMAGE_DOS_HEADER dos{};
  IMAGE_NT_HEADERS nt{};
  ReadProcessMemory(Process.hProcess, base, &dos, sizeof dos, nullptr);
  ReadProcessMemory(Process.hProcess, base + dos.e_lfanew, &nt, sizeof nt, nullptr);
  const IMAGE_DATA_DIRECTORY iat = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IAT];
  std::vector<UINT_PTR> slots(iat.Size / sizeof real);
  ReadProcessMemory(Process.hProcess, base + iat.VirtualAddress, slots.data(), slots.size() * sizeof real, nullptr);
  UINT_PTR to = real;
  if (code) {
    to = UINT_PTR(VirtualAllocEx(Process.hProcess, nullptr, 256, MEM_COMMIT, PAGE_EXECUTE_READWRITE));
    const std::vector<BYTE> bytes = code(to, real);
    if (!to || !WriteProcessMemory(Process.hProcess, LPVOID(to), bytes.data(), bytes.size(), nullptr)) return 0;
  }
  const std::string key = std::to_string(Process.dwProcessId) + function;
  const UINT_PTR now = redirected.count(key) ? redirected[key] : real;
  const size_t slot = size_t(std::find(slots.begin(), slots.end(), now) - slots.begin());
  // The table lies in a read-only section.
  DWORD old = 0;
  BYTE* at = base + iat.VirtualAddress + slot * sizeof real;
  if (slot == slots.size() || !VirtualProtectEx(Process.hProcess, at, sizeof to, PAGE_READWRITE, &old) ||
      !WriteProcessMemory(Process.hProcess, at, &to, sizeof to, nullptr)) {
    return 0;
  }
  VirtualProtectEx(Process.hProcess, at, sizeof to, old, &old);
  redirected[key] = to;
  return to;
}

unsigned Beeps() {
  // lock inc dword [count]; mov eax, 1; ret (ret 4 on x86); count: dd 0. On x64 the count
  // is addressed from the next instruction, on x86 absolutely.
  static std::map<DWORD, UINT_PTR> counters;
  UINT_PTR& stub = counters[Process.dwProcessId];
  const size_t count = sizeof(void*) == 8 ? 13 : 15;
  if (!stub) {
    stub = RedirectImport("MessageBeep", [count](UINT_PTR at, UINT_PTR) {
      std::vector<BYTE> code = {0xF0, 0xFF, 0x05, 0x06, 0, 0, 0, 0xB8, 1, 0, 0, 0, 0xC3, 0, 0, 0, 0};
      if (sizeof(void*) == 4) {
        code = {0xF0, 0xFF, 0x05, 0, 0, 0, 0, 0xB8, 1, 0, 0, 0, 0xC2, 4, 0, 0, 0, 0, 0};
        const DWORD address = DWORD(at + count);
        memcpy(&code[3], &address, 4);
      }
      return code;
    });
    if (!stub) throw Failure{"could not count the program's beeps"};
  }
  DWORD beeps = 0;
  ReadProcessMemory(Process.hProcess, LPCVOID(stub + count), &beeps, sizeof beeps, nullptr);
  return beeps;
}

// --- assistive technology and high contrast
HANDLE Program() { return Process.hProcess; }

}  // namespace e2e

using namespace e2e;

int wmain(int argc, wchar_t** argv) {
  // Unaware at start unless the system makes every program aware; then the
  // display's own pixels, whatever the scale: a reader that is not
  // per-monitor aware gets other programs' rectangles scaled back to 96 DPI.
  StartedUnaware = GetAwarenessFromDpiAwarenessContext(GetThreadDpiAwarenessContext()) == DPI_AWARENESS_UNAWARE;
  if (!SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) &&
      !SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE)) {
    SetProcessDPIAware();
  }
  setvbuf(stdout, nullptr, _IONBF, 0);
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  ExePath = self;
  ExePath = ExePath.substr(0, ExePath.find_last_of(L"\\/") + 1) + L"quorvane.exe";
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const std::wstring a = argv[i];
    if (a == L"--exe" && i + 1 < argc) {
      ExePath = argv[++i];
    } else if (a == L"--out" && i + 1 < argc) {
      OutDir = Utf8(argv[++i]);
    } else {
      args.push_back(Utf8(a));
    }
  }
  try {
    if (!args.empty() && (args[0] == "--list" || args[0] == "--groups")) {
      for (const Group& g : Groups()) {
        if (args.size() > 1 && args[1] != g.name) continue;
        printf("%s\n", g.name);
        if (args[0] == "--list") {
          for (const Scenario& s : Resolve(g)) printf("    %s\n", s.name.c_str());
        }
      }
      return 0;
    }
    for (const Scenario& s : Scenarios()) {
      if (!FindGroup(s.group)) throw Failure{"scenario " + s.name + " is in no group: " + s.group};
    }
    Tally tally;
    printf("e2e: %s on %s%s, %d DPI, code page %u\n", Utf8(ExePath).c_str(), Wine() ? "wine " : "Windows",
           Wine() ? Wine() : "", Dpi(), CodePage());
    if (!args.empty() && args[0] == "--all") {
      for (const Group& g : Groups()) RunGroup(g, "", tally);
    } else if (!args.empty() && FindGroup(args[0].substr(0, args[0].find(',')))) {
      // GROUP,GROUP...: groups of one desktop in one session, which costs one start of it.
      for (size_t at = 0; at != std::string::npos;) {
        const size_t comma = args[0].find(',', at);
        const Group* group = FindGroup(args[0].substr(at, comma == std::string::npos ? comma : comma - at));
        if (!group) throw Failure{"no group " + args[0]};
        RunGroup(*group, args.size() > 1 ? args[1] : "", tally);
        at = comma == std::string::npos ? comma : comma + 1;
      }
    } else {
      printf("usage: e2e.exe [--exe PATH] [--out DIR] GROUP [NAME-REGEX] | --all | --list [GROUP]\n");
      return 2;
    }
    printf("e2e: %d passed, %d failed, %d skipped\n", tally.passed, tally.failed, tally.skipped);
    return tally.failed || (tally.passed == 0 && tally.skipped == 0) ? 1 : 0;
  } catch (const Failure& f) {
    printf("e2e: %s\n", f.text.c_str());
    return 2;
  }
}

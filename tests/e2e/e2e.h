// The end-to-end tests: quorvane.exe driven with SendInput as a keyboard and a mouse do, and read back through Win32,
// as Wine's own conformance tests do, unchanged under wine and on Windows. A failed check throws: the runner prints
// where and what, keeps a picture of the screen, and goes on with the next scenario in a fresh program.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <source_location>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

using Where = std::source_location;
struct Failure { std::string text; };
struct Skipped { std::string why; };

// --- what the program must show, written from what a user sees -------------------------------------------------
enum Field { Binary, Octal, Decimal, Hexadecimal };
inline constexpr const char* kFieldNames[4] = {"binary", "octal", "decimal", "hexadecimal"};
inline constexpr int kFieldIds[4] = {1001, 1002, 1003, 1004};
inline constexpr int kLimits[4] = {32, 11, 10, 8};
inline constexpr int kRadix[4] = {2, 8, 10, 16};
inline constexpr wchar_t kTitle[] = L" Quorvane V1.01 By Daskelt QQ:0000000000";
inline constexpr const wchar_t* kLabels[4] = {L"二 进 制 :", L"八 进 制 :", L"十 进 制 :", L"十六进制 :"};
inline constexpr wchar_t kWarningCaption[] = L"系统担示";
inline constexpr wchar_t kWarningText[] = L"你输入的数值已大于32位最大值0xffffffffH,请重新输入！";

// The layout at 96 DPI in the main window's client coordinates, right and bottom exclusive.
inline constexpr SIZE kWindowSize = {395, 150};  // with its one-pixel border
inline constexpr RECT kTitleStrip = {0, 0, 393, 19};
inline constexpr RECT kTitleText = {0, 1, 350, 19};
inline constexpr RECT kMinimise = {357, 0, 376, 19};
inline constexpr RECT kClose = {377, 0, 393, 19};
inline constexpr POINT kNeutral = {200, 53};  // between two rows: a click there does nothing
constexpr RECT RowRect(int i) { return {5, 27 + 30 * i, 388, 50 + 30 * i}; }
constexpr RECT LabelRect(int i) { return {10, 29 + 30 * i, 95, 47 + 30 * i}; }
constexpr RECT FieldRect(int i) { return {100, 30 + 30 * i, 380, 47 + 30 * i}; }
constexpr POINT Centre(RECT r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

// --- small means -------------------------------------------------------------------------------------------------
[[gnu::format(gnu_printf, 1, 2)]] inline std::string Say(const char* format, ...) {
  char buffer[2048];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}
inline std::string Utf8(const std::wstring& text) {
  char buffer[1024];
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, buffer, sizeof buffer, nullptr, nullptr);
  return std::string(buffer, size_t(std::max(n, 1) - 1));
}
inline std::string ClassOf(HWND window) {
  char name[64] = "";
  return {name, size_t(GetClassNameA(window, name, sizeof name))};
}
// SendMessageTimeoutW, given up after 3 s or at once if the program hangs: its answer, or 0.
inline LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 3000, &result);
  return LRESULT(result);
}
inline double Now() { return double(GetTickCount64()) / 1000; }

// --- the system the tests run on -------------------------------------------------------------------------------
// Wine's version ("10.0"), or null on Windows.
inline const char* Wine() {
  static const auto version = reinterpret_cast<const char* (*)()>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")));
  return version ? version() : nullptr;
}
// The screen's DC for one use: given back each time, as a cached DC of the system's must be.
struct ScreenDc {
  HDC dc = GetDC(nullptr);
  ~ScreenDc() { ReleaseDC(nullptr, dc); }
  operator HDC() const { return dc; }
};
inline int Dpi() { return GetDeviceCaps(ScreenDc(), LOGPIXELSY); }  // 96 at 100 %
inline int Scale(int length96) { return MulDiv(length96, Dpi(), 96); }
inline RECT Scale(RECT r) { return {Scale(r.left), Scale(r.top), Scale(r.right), Scale(r.bottom)}; }
inline UINT CodePage() { return GetACP(); }
// A time limit stretched where everything runs slower (QV_SLOW, e.g. under an emulator).
inline double Slow(double seconds) {
  char factor[16] = "";
  return GetEnvironmentVariableA("QV_SLOW", factor, sizeof factor) ? seconds * atof(factor) : seconds;
}
inline int CALLBACK FaceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}
inline bool HasFace(const wchar_t* face) {  // a font of that face, by any of its names
  LOGFONTW lf{};
  lf.lfCharSet = DEFAULT_CHARSET;
  wcscpy(lf.lfFaceName, face);
  bool found = false;
  EnumFontFamiliesExW(ScreenDc(), &lf, FaceFound, LPARAM(&found), 0);
  return found;
}

// --- the program under test, and the tests' own window ------------------------------------------------------------
inline std::wstring ExePath;
inline PROCESS_INFORMATION Process{};
inline HWND MainWindow, OtherWindow;
inline HWND Main() { return MainWindow; }
inline HWND FieldWindow(Field f) { return GetDlgItem(MainWindow, kFieldIds[f]); }
inline HANDLE Program() { return Process.hProcess; }
inline bool Running() { return Process.hProcess && WaitForSingleObject(Process.hProcess, 0) == WAIT_TIMEOUT; }

// Polls until done holds or the time runs out, pumping the tests' own window meanwhile: every wait of the suite.
inline bool Poll(const std::function<bool()>& done, double seconds) {
  const double deadline = Now() + seconds;
  for (DWORD pause = 5;; pause = std::min<DWORD>(pause * 3 / 2, 100)) {
    for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done()) return true;
    if (Now() > deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, pause, QS_ALLINPUT);
  }
}

// --- what is read of the window ----------------------------------------------------------------------------------
struct Box {  // the overflow warning, owned by the main window
  HWND window = nullptr, owner = nullptr;
  std::wstring caption, text;
  std::string captionA, textA;  // the same through the ANSI calls
  RECT rect{}, ok{};            // screen rectangles of the box and its OK button
};

struct State {
  HWND main = nullptr;  // null: no window (the program ended or is starting)
  std::string text[4];  // the fields' texts, as WM_GETTEXT gives their bytes
  int length[4] = {};   // WM_GETTEXTLENGTH
  int sel[4][2] = {};   // EM_GETSEL
  // "binary" ... "hexadecimal", "main", "box", "other" (the tests' own window), "none", or "elsewhere:CLASS".
  std::string focus, active, foreground;
  bool iconic = false, visible = false;
  RECT rect{};      // the window, screen coordinates
  SIZE client{};
  RECT field[4]{};  // the fields in client coordinates
  Box box;
  // The four texts and the focus as one line: `101 5 5 5 @binary`, an empty text as "".
  std::string Line() const {
    std::string line;
    for (int f = 0; f < 4; ++f) {
      line += (text[f].empty() ? "\"\"" : text[f]) +
              (length[f] != int(text[f].size()) ? Say("(length %d)", length[f]) : "") + " ";
    }
    return line + "@" + focus;
  }
  std::string Describe() const {  // everything, for a failure message
    if (!main) return "no window";
    std::string d = Line() + " sel";
    for (auto& s : sel) d += Say(" %d-%d", s[0], s[1]);
    d += " active=" + active + " foreground=" + foreground + (iconic ? " iconic" : "") + (visible ? "" : " hidden");
    d += Say(" rect=(%ld,%ld,%ld,%ld)", rect.left, rect.top, rect.right, rect.bottom);
    return d + (box.window ? " box=\"" + Utf8(box.caption) + "\": \"" + Utf8(box.text) + "\"" : "");
  }
};

// WM_GETTEXT, not GetWindowText: for another process's control the latter gives only its creation caption.
inline std::string TextA(HWND window) {
  char buffer[512] = "";
  DWORD_PTR n = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, LPARAM(buffer), SMTO_ABORTIFHUNG, 3000, &n);
  return std::string(buffer, strnlen(buffer, sizeof buffer));
}
inline std::wstring TextW(HWND window) {
  wchar_t buffer[512] = L"";
  Send(window, WM_GETTEXT, 512, LPARAM(buffer));
  return buffer;
}
inline std::string FieldText(Field f) { return TextA(FieldWindow(f)); }  // one WM_GETTEXT alone: for timing

// The first visible top-level window of a class (and owner, if given).
struct Found { const char* cls; HWND owner, window; };
inline BOOL CALLBACK FindVisibleWindow(HWND w, LPARAM p) {
  auto& f = *reinterpret_cast<Found*>(p);
  if (ClassOf(w) != f.cls || (f.owner && GetWindow(w, GW_OWNER) != f.owner) || !IsWindowVisible(w)) return TRUE;
  f.window = w;
  return FALSE;
}
inline HWND FindVisible(const char* cls, HWND owner = nullptr) {
  Found found{cls, owner, nullptr};
  EnumWindows(FindVisibleWindow, LPARAM(&found));
  return found.window;
}

inline std::string NameOf(HWND window, HWND box) {
  if (!window) return "none";
  for (int f = 0; f < 4; ++f) {
    if (window == FieldWindow(Field(f))) return kFieldNames[f];
  }
  if (window == MainWindow) return "main";
  if (window == OtherWindow) return "other";
  return box && (window == box || IsChild(box, window)) ? "box" : "elsewhere:" + ClassOf(window);
}

inline State Read() {  // the program's state now
  State s;
  if (!MainWindow || !IsWindow(MainWindow)) return s;
  HWND main = s.main = MainWindow;
  Box& box = s.box;
  if ((box.window = FindVisible("#32770", main))) {
    box.owner = GetWindow(box.window, GW_OWNER);
    box.caption = TextW(box.window);
    box.captionA = TextA(box.window);
    GetWindowRect(box.window, &box.rect);
    for (HWND c = GetWindow(box.window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      // The text is the static that has text; the icon's static has none.
      if (!_stricmp(ClassOf(c).c_str(), "Static") && box.text.empty()) {
        box.text = TextW(c);
        box.textA = TextA(c);
      }
      if (!_stricmp(ClassOf(c).c_str(), "Button") && GetDlgCtrlID(c) == IDOK) GetWindowRect(c, &box.ok);
    }
  }
  RECT client{};
  GetWindowRect(main, &s.rect);
  GetClientRect(main, &client);
  s.client = {client.right, client.bottom};
  s.iconic = IsIconic(main);
  s.visible = IsWindowVisible(main);
  s.foreground = NameOf(GetForegroundWindow(), box.window);
  GUITHREADINFO info{sizeof info};
  if (GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info)) {
    s.focus = NameOf(info.hwndFocus, box.window);
    s.active = NameOf(info.hwndActive, box.window);
  }
  for (int f = 0; f < 4; ++f) {
    HWND field = FieldWindow(Field(f));
    const DWORD sel = DWORD(Send(field, EM_GETSEL));
    s.text[f] = TextA(field);
    s.length[f] = int(Send(field, WM_GETTEXTLENGTH));
    s.sel[f][0] = LOWORD(sel);
    s.sel[f][1] = HIWORD(sel);
    GetWindowRect(field, &s.field[f]);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&s.field[f]), 2);
  }
  return s;
}

// The fields' texts for a value, as a conversion writes them.
inline std::string Canonical(uint32_t value, Field field) {
  if (field != Binary) return Say(field == Octal ? "%lo" : field == Decimal ? "%lu" : "%lX", (unsigned long)value);
  std::string bits;
  do bits.insert(bits.begin(), char('0' + (value & 1))); while (value >>= 1);
  return bits;
}
// The line of a state where `source` holds `text` and the other three show `value` (by default the value of text),
// with the focus in `focus` (by default source): what Shows() waits for.
inline std::string Showing(Field source, const std::string& text, int64_t value = -1, int focus = -1) {
  if (value < 0) value = int64_t(strtoull(text.empty() ? "0" : text.c_str(), nullptr, kRadix[source]) & 0xFFFFFFFF);
  State s;
  for (int f = 0; f < 4; ++f) {
    s.text[f] = f == source ? text : Canonical(uint32_t(value), Field(f));
    s.length[f] = int(s.text[f].size());
  }
  s.focus = kFieldNames[focus < 0 ? source : focus];
  return s.Line();
}
// What keeps the other fields from showing the focused field's value, or "".
inline std::string Disagreement(const State& s) {
  const int source = int(std::find(kFieldNames, kFieldNames + 4, s.focus) - kFieldNames);
  if (source == 4) return "the focus is not in a field: " + s.focus;
  const std::string& t = s.text[source];
  const char* name = kFieldNames[source];
  if (int(t.size()) > kLimits[source]) return Say("%s holds %zu characters", name, t.size());
  const size_t alphabet = source == Hexadecimal ? 22 : size_t(kRadix[source]);
  for (char c : t) {
    if (!memchr("0123456789abcdefABCDEF", c, alphabet)) return Say("%s holds a '\\x%02x'", name, (unsigned char)c);
  }
  if (strtoull(t.c_str(), nullptr, kRadix[source]) > 0xFFFFFFFF) return Say("%s holds %s, too big", name, t.c_str());
  const std::string want = Showing(Field(source), t);
  return s.Line() == want ? "" : "the others do not show its value: " + s.Line() + ", want " + want;
}

// --- checks ------------------------------------------------------------------------------------------------------
[[noreturn]] inline void Fail(const std::string& step, const std::string& expected, const std::string& read,
                              Where where = Where::current()) {
  const char* file = strrchr(where.file_name(), '/');
  throw Failure{Say("%s:%u: %s: expected %s; read %s", file ? file + 1 : where.file_name(), unsigned(where.line()),
                    step.c_str(), expected.c_str(), read.c_str())};
}
inline void Same(const std::string& step, const std::string& want, const std::string& read,
                 Where where = Where::current()) {
  if (read != want) Fail(step, want, read, where);
}
// Ends the scenario as skipped: what this system lacks, in words.
[[noreturn]] inline void SkipScenario(const std::string& why) { throw Skipped{why}; }
// Waits until ok(state); fails with `expected` and the last reading.
inline State Expect(const std::string& step, const std::string& expected, const std::function<bool(const State&)>& ok,
                    Where where = Where::current()) {
  State s;
  if (!Poll([&] { return ok(s = Read()); }, Slow(5))) Fail(step, expected, s.Describe(), where);
  return s;
}
inline bool Iconic(const State& s) { return s.iconic; }
inline bool NoBox(const State& s) { return !s.box.window; }
inline std::function<bool(const State&)> FocusIn(Field f) {
  return [f](const State& s) { return s.focus == kFieldNames[f]; };
}
// Waits until State::Line() reads `line` twice in a row (one reading can catch a key release half handled).
inline State Shows(const std::string& step, const std::string& line, Where where = Where::current()) {
  std::string previous;
  const auto twice = [&](const State& s) { return std::exchange(previous, s.Line()) == line && previous == line; };
  return Expect(step, line, twice, where);
}
// Like Shows, and the line then holds for `seconds`, the warning neither coming nor going.
inline State Steady(const std::string& step, const std::string& line, double seconds = 0.3,
                    Where where = Where::current()) {
  const State s = Shows(step, line, where);
  State now;
  if (Poll([&] { return (now = Read()).Line() != line || now.box.window != s.box.window; }, seconds)) {
    Fail(step + " (steady)", "no further change from " + line, now.Describe(), where);
  }
  return s;
}
// Waits until problems() answers nothing; fails with the last answer.
inline void UntilNone(const std::string& step, const std::string& expected,
                      const std::function<std::vector<std::string>()>& problems, Where where = Where::current()) {
  std::vector<std::string> last;
  if (Poll([&] { return (last = problems()).empty(); }, Slow(5))) return;
  std::string read;
  for (const std::string& p : last) read += (read.empty() ? "" : "; ") + p;
  Fail(step, expected, read, where);
}

// --- the program -------------------------------------------------------------------------------------------------
inline void Launch() {  // a fresh quorvane.exe, its window found
  STARTUPINFOW si{sizeof si};
  std::wstring command = L"\"" + ExePath + L"\"";
  if (!CreateProcessW(ExePath.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &Process)) {
    throw Failure{Say("could not start %s: error %lu", Utf8(ExePath).c_str(), GetLastError())};
  }
  HWND found = nullptr;
  DWORD pid = 0;
  if (!Poll([&] {
        found = FindWindowW(kTitle, kTitle);
        return found && GetWindowThreadProcessId(found, &pid) && pid == Process.dwProcessId && IsWindowVisible(found);
      }, Slow(20))) {
    throw Failure{Say("the program's window did not show within %.0f s", Slow(20))};
  }
  MainWindow = found;
  // Keys go where the focus is once the window is active (whether it became so is the start group's check).
  Poll([] { return GetForegroundWindow() == MainWindow; }, Slow(5));
}
inline void Exits(const char* step = "exit code", Where where = Where::current()) {  // ends with 0
  if (!Poll([] { return !Running(); }, Slow(5))) Fail(step, "the process to end", "still running", where);
  DWORD code = 1;
  GetExitCodeProcess(Process.hProcess, &code);
  if (code != 0) Fail(step, "exit code 0", Say("exit code %lu", code), where);
}
inline void Close() {  // WM_CLOSE, then ended by force
  if (!Process.hProcess) return;
  if (Running() && MainWindow) PostMessageW(MainWindow, WM_CLOSE, 0, 0);
  // A failed scenario may leave a modal box up: no need to wait long.
  if (!Poll([] { return !Running(); }, Slow(2))) TerminateProcess(Process.hProcess, 99);
  WaitForSingleObject(Process.hProcess, INFINITE);
  Poll([gone = MainWindow] { return !IsWindow(gone); }, Slow(5));
  CloseHandle(Process.hProcess);
  CloseHandle(Process.hThread);
  Process = {};
  MainWindow = nullptr;
}
inline HWND Other() {  // the tests' own window, for switching away
  if (!OtherWindow) {
    const WNDCLASSW wc{0, DefWindowProcW, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr,
                       HBRUSH(GetStockObject(GRAY_BRUSH)), nullptr, L"qv-e2e-other"};
    RegisterClassW(&wc);
    OtherWindow = CreateWindowExW(0, wc.lpszClassName, wc.lpszClassName, WS_POPUP | WS_BORDER, 20, 20, 200, 100,
                                  nullptr, nullptr, wc.hInstance, nullptr);
  }
  ShowWindow(OtherWindow, SW_SHOWNOACTIVATE);
  UpdateWindow(OtherWindow);
  Poll([] { return true; }, 0);
  return OtherWindow;
}

// --- input, through SendInput as a keyboard and a mouse give it ---------------------------------------------------
inline void Input(INPUT in) {
  if (SendInput(1, &in, sizeof in) != 1) throw Failure{Say("SendInput failed: %lu", GetLastError())};
}
inline void SendKey(WORD vk, bool up) {  // the arrows, the six keys above them and Menu are extended keys
  const bool extended = (vk >= VK_PRIOR && vk <= VK_DOWN) || vk == VK_INSERT || vk == VK_DELETE || vk == VK_APPS;
  INPUT in{INPUT_KEYBOARD};
  in.ki = {vk, WORD(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)),
           DWORD((extended ? KEYEVENTF_EXTENDEDKEY : 0) | (up ? KEYEVENTF_KEYUP : 0))};
  Input(in);
}
// One key as Type names it (below): pressed, released, or both, with its Shift, Ctrl and Alt.
inline void Press(std::string name, bool down, bool up) {
  static const std::map<std::string, WORD> keys = {
      {"Tab", VK_TAB},   {"Esc", VK_ESCAPE}, {"Enter", VK_RETURN}, {"Back", VK_BACK},   {"Del", VK_DELETE},
      {"Home", VK_HOME}, {"End", VK_END},    {"Left", VK_LEFT},    {"Right", VK_RIGHT}, {"Up", VK_UP},
      {"Down", VK_DOWN}, {"Ins", VK_INSERT}, {"Menu", VK_APPS},    {"F4", VK_F4},       {"F10", VK_F10},
      {"Space", VK_SPACE}, {"Shift", VK_SHIFT}, {"Ctrl", VK_CONTROL}, {"Alt", VK_MENU}};
  const WORD modifierKeys[3] = {VK_SHIFT, VK_CONTROL, VK_MENU};
  int modifiers = 0;  // 1 Shift, 2 Ctrl, 4 Alt
  for (; name.size() > 2 && name[1] == '-'; name.erase(0, 2)) {
    modifiers |= name[0] == 'S' ? 1 : name[0] == 'C' ? 2 : name[0] == 'A' ? 4 : 0;
  }
  const auto key = keys.find(name);
  const SHORT scan = key != keys.end() ? key->second : name.size() == 1 ? VkKeyScanW(wchar_t(BYTE(name[0]))) : -1;
  if (scan == -1) throw Failure{"no key named or typing '" + name + "' on this keyboard layout"};
  modifiers |= HIBYTE(scan) & 7;
  for (int m = 0; m < 3; ++m) {
    if (down && modifiers & (1 << m)) SendKey(modifierKeys[m], false);
  }
  if (down) SendKey(LOBYTE(scan), false);
  if (up) SendKey(LOBYTE(scan), true);
  for (int m = 2; m >= 0; --m) {
    if (up && modifiers & (1 << m)) SendKey(modifierKeys[m], true);
  }
}
// Characters as typed, and {Name} for keys: {Tab} {Esc} {Enter} {Back} {Del} {Home} {End} {Left} {Right} {Up} {Down}
// {Ins} {Menu} {F4} {F10} {Shift} {Ctrl} {Alt} {Space}; S- C- A- before a name or a character hold Shift, Ctrl, Alt:
// "12{S-Home}{C-x}{A-F4}{C-z}".
inline void Type(const std::string& keys) {
  for (size_t i = 0, end; i < keys.size(); ++i) {
    if (keys[i] != '{') {
      Press(keys.substr(i, 1), true, true);
    } else if ((end = keys.find('}', i + 2)) != std::string::npos) {
      Press(keys.substr(i + 1, end - i - 1), true, true);
      i = end;
    } else {
      throw Failure{"unclosed { in keys " + keys};
    }
  }
}
inline void KeyDown(const std::string& key) { Press(key, true, false); }
inline void KeyUp(const std::string& key) { Press(key, false, true); }

inline void SendMouse(DWORD flags, POINT at = {}) {
  // Absolute places are 0-65535 across the primary screen, rounded up: the system takes the pixel by rounding down.
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  INPUT in{INPUT_MOUSE};
  in.mi = {LONG((int64_t(at.x) * 65536 + w - 1) / w), LONG((int64_t(at.y) * 65536 + h - 1) / h), 0, flags};
  Input(in);
}
inline void MoveTo(POINT at) {
  SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, at);
  POINT now{};
  if (!Poll([&] { return GetCursorPos(&now) && now.x == at.x && now.y == at.y; }, 1)) {
    throw Failure{Say("the pointer went to (%ld,%ld), not (%ld,%ld)", now.x, now.y, at.x, at.y)};
  }
}
enum Button { Left = 1, Right = 3 };
inline void ClickScreen(POINT at, Button button = Left, int count = 1) {
  MoveTo(at);
  const DWORD down = button == Left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN;
  for (int i = 0; i < count; ++i) {
    SendMouse(down);
    SendMouse(down << 1);  // the matching UP flag
  }
}
inline void DragScreen(POINT from, POINT to) {
  MoveTo(from);
  SendMouse(MOUSEEVENTF_LEFTDOWN);
  for (int i = 1; i <= 5; ++i) {
    Sleep(20);
    const POINT at = {from.x + (to.x - from.x) * i / 5, from.y + (to.y - from.y) * i / 5};
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, at);
  }
  SendMouse(MOUSEEVENTF_LEFTUP);
}
inline POINT ClientOrigin() {
  POINT origin{0, 0};
  ClientToScreen(MainWindow, &origin);
  return origin;
}
inline POINT ToScreen(POINT p) {  // a place in the client at 96 DPI, scaled
  const POINT o = ClientOrigin();
  return {o.x + Scale(p.x), o.y + Scale(p.y)};
}
inline void Click(POINT client96, Button button = Left, int count = 1) {
  ClickScreen(ToScreen(client96), button, count);
}
// Clicks inside a field on its text line, x from its left edge at 96 DPI.
inline void ClickField(Field f, int x96 = 20, Button button = Left, int count = 1) {
  const POINT o = ClientOrigin();
  const RECT r = Read().field[f];
  ClickScreen({o.x + r.left + Scale(x96), o.y + r.top + Scale(8)}, button, count);
}
inline void FocusField(Field f, Where where = Where::current()) {  // a click, then waits for the focus
  ClickField(f);
  Expect(std::string("focus ") + kFieldNames[f], std::string("focus=") + kFieldNames[f], FocusIn(f), where);
}
inline POINT CharPosition(Field f, int index) {  // a character's top-left corner, screen coordinates
  const LRESULT r = Send(FieldWindow(f), EM_POSFROMCHAR, WPARAM(index));
  POINT p{short(LOWORD(r)), short(HIWORD(r))};
  ClientToScreen(FieldWindow(f), &p);
  return p;
}
inline void ActivateMain(Where where = Where::current()) {  // a click on a spot that does nothing else
  Click(kNeutral);
  Expect("activate the main window", "foreground=main active=main",
         [](const State& s) { return s.foreground == "main" && s.active == "main"; }, where);
}
inline void ActivateOther(Where where = Where::current()) {  // a click into the tests' own window
  RECT r;
  GetWindowRect(Other(), &r);
  ClickScreen(Centre(r));
  Expect("activate another window", "foreground=other", [](const State& s) { return s.foreground == "other"; }, where);
}
inline void Show(int command) { ShowWindowAsync(MainWindow, command); }  // as a taskbar does

// The clipboard holding CF_TEXT (bytes) or CF_UNICODETEXT alone.
template <typename Text> void SetClipboard(const Text& text) {
  const size_t size = text.size() * sizeof text[0];
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size + 2);
  memcpy(GlobalLock(memory), text.data(), size);
  GlobalUnlock(memory);
  bool ok = false;
  Poll([&] {
    if (!OpenClipboard(nullptr)) return false;
    ok = EmptyClipboard() && SetClipboardData(sizeof text[0] == 1 ? CF_TEXT : CF_UNICODETEXT, memory);
    CloseClipboard();
    return true;
  }, 2);
  if (!ok) throw Failure{"could not put text on the clipboard"};
}

// --- the overflow warning -------------------------------------------------------------------------------------------
inline Box ExpectWarning(const std::string& step, Where where = Where::current()) {
  const State s = Expect(step, "the overflow warning", [](const State& s) { return !NoBox(s); }, where);
  bool ok = s.box.caption == kWarningCaption && s.box.text == kWarningText && s.box.owner == MainWindow;
  // Through the ANSI calls a Chinese desktop reads the code page 936 bytes.
  char caption[64], text[256];
  if (CodePage() == 936) {
    WideCharToMultiByte(936, 0, kWarningCaption, -1, caption, sizeof caption, nullptr, nullptr);
    WideCharToMultiByte(936, 0, kWarningText, -1, text, sizeof text, nullptr, nullptr);
    ok = ok && s.box.captionA == caption && s.box.textA == text;
  }
  if (!ok) Fail(step, "the warning's caption and text, owned by the main window", s.Describe(), where);
  return s.box;
}
// The warning dismissed by Enter, or by a click on its OK; waits until it is gone.
inline void DismissWarning(const std::string& step, bool click = false, Where where = Where::current()) {
  const Box box = ExpectWarning(step, where);
  click ? ClickScreen(Centre(box.ok)) : Type("{Enter}");
  Expect(step + ": box gone", "no box", NoBox, where);
}
// Between two rows of a table: the warning closed, the window restored and in the foreground.
inline void Recover() {
  const State s = Read();
  if (s.box.window) {
    Type("{Enter}");
    Expect("reset: box closed", "no box", NoBox);
  }
  if (s.iconic) {
    Show(SW_RESTORE);
    Expect("reset: restored", "not iconic", [](const State& s) { return !s.iconic; });
  }
  if (Read().foreground != "main") ActivateMain();
}
// The field focused and emptied with Esc (the others then show 0): where a row that types into a field starts.
inline void EmptyField(Field f, Where where = Where::current()) {
  FocusField(f, where);
  Type("{Esc}");
  Shows(std::string(kFieldNames[f]) + " emptied", Showing(f, ""), where);
}

// --- the screen --------------------------------------------------------------------------------------------------
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
// The screen (or crop of it) as NAME.bmp in --out.
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

// --- the edit control's context menu -------------------------------------------------------------------------------
enum MenuItem { MenuUndo, MenuCut, MenuCopy, MenuPaste, MenuDelete, MenuSelectAll };
// A field's context menu opened by a right click in it, or with key by the Menu key (the field focused): its screen
// rectangle.
inline RECT OpenContextMenu(Field f, bool key = false, Where where = Where::current()) {
  key ? Type("{Menu}") : ClickField(f, 150, Right);
  RECT r{};
  if (!Poll([&] { return GetWindowRect(FindVisible("#32768"), &r); }, Slow(5))) {
    Fail("context menu open", "the edit control's context menu", Read().Describe(), where);
  }
  return r;
}
// The bands of rows that hold some text on a menu's background, as screen rectangles; separators and the frame are
// rows nearly all line. A mnemonic's underline, a row or two below its letter, joins its item's band.
inline std::vector<RECT> TextBands(RECT m) {
  const Shot shot = Screen(m);  // the menu alone: the whole screen is slow to read under an emulator
  const uint32_t background = shot.At(2, 2);
  std::vector<RECT> bands;
  for (int y = 1; y < shot.height; ++y) {
    int marked = 0;
    for (int x = 3; x < shot.width - 3; ++x) marked += shot.At(x, y) != background;
    if (marked == 0 || marked >= shot.width * 3 / 4) continue;
    if (bands.empty() || m.top + y - bands.back().bottom > Scale(3)) bands.push_back({m.left, m.top + y, m.right, 0});
    bands.back().bottom = m.top + y;
  }
  return bands;
}
// One item of a field's context menu clicked; waits until the menu is gone.
inline void ClickMenuItem(Field f, MenuItem item, Where where = Where::current()) {
  const RECT m = OpenContextMenu(f, false, where);
  // The item found by its command id: the message the edit control sends itself, in Windows' and wine's menus alike.
  const UINT ids[] = {WM_UNDO, WM_CUT, WM_COPY, WM_PASTE, WM_CLEAR, EM_SETSEL};
  const HMENU menu = HMENU(Send(FindVisible("#32768"), MN_GETHMENU));
  RECT r{};
  int i = menu ? GetMenuItemCount(menu) : 0;
  while (--i >= 0 && GetMenuItemID(menu, i) != ids[item]) continue;
  if (i < 0 || !GetMenuItemRect(nullptr, menu, UINT(i), &r)) {
    // Wine keeps a menu's items in the process that made it: another process gets its handle, but GetMenuItemCount
    // answers -1 for it (wine 10). The items are found in a picture then.
    if (!Wine()) Fail("context menu's items", "the menu's handle and the item's rectangle", "none", where);
    std::vector<RECT> rows;
    if (!Poll([&] { return (rows = TextBands(m)).size() == 6; }, Slow(3))) {
      Fail("context menu's items", "6 items", Say("%zu text bands", rows.size()), where);
    }
    r = rows[item];
  }
  ClickScreen(Centre(r));
  if (!Poll([] { return !FindVisible("#32768"); }, Slow(5))) Fail("menu closed", "no menu", "the menu open", where);
}

// --- what other programs do to the fields ------------------------------------------------------------------------
// A field's whole text replaced as another program can, with EM_REPLACESEL (undoable with undo): the field judges it
// only once the edit control has made the change (EN_CHANGE).
inline void ReplaceText(Field f, const std::wstring& text, bool undo = false) {
  Send(FieldWindow(f), EM_SETSEL, 0, -1);
  Send(FieldWindow(f), EM_REPLACESEL, undo, LPARAM(text.c_str()));
}
// The program's import of a user32 function pointed at code put into the program, made by code(at, real) for the
// address `at` it is put at and the function's own address `real` (the same in every process of one bitness); or,
// with no code, back at the function. The address the code was put at, or 0.
using Code = std::function<std::vector<BYTE>(UINT_PTR at, UINT_PTR real)>;
inline UINT_PTR RedirectImport(const char* function, const Code& code) {
  static std::map<std::string, UINT_PTR> redirected;
  const HANDLE p = Process.hProcess;
  const auto real = UINT_PTR(GetProcAddress(GetModuleHandleA("user32.dll"), function));
  const auto base = reinterpret_cast<BYTE*>(GetWindowLongPtrW(MainWindow, GWLP_HINSTANCE));
  IMAGE_DOS_HEADER dos{};
  IMAGE_NT_HEADERS nt{};
  ReadProcessMemory(p, base, &dos, sizeof dos, nullptr);
  ReadProcessMemory(p, base + dos.e_lfanew, &nt, sizeof nt, nullptr);
  const IMAGE_DATA_DIRECTORY iat = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IAT];
  std::vector<UINT_PTR> slots(iat.Size / sizeof real);
  ReadProcessMemory(p, base + iat.VirtualAddress, slots.data(), slots.size() * sizeof real, nullptr);
  UINT_PTR to = real;
  if (code) {
    to = UINT_PTR(VirtualAllocEx(p, nullptr, 256, MEM_COMMIT, PAGE_EXECUTE_READWRITE));
    const std::vector<BYTE> bytes = code(to, real);
    if (!to || !WriteProcessMemory(p, LPVOID(to), bytes.data(), bytes.size(), nullptr)) return 0;
  }
  const std::string key = std::to_string(Process.dwProcessId) + function;
  const size_t slot = size_t(std::find(slots.begin(), slots.end(), redirected.count(key) ? redirected[key] : real) -
                             slots.begin());
  BYTE* at = base + iat.VirtualAddress + slot * sizeof real;
  DWORD old = 0;  // the table lies in a read-only section
  if (slot == slots.size() || !VirtualProtectEx(p, at, sizeof to, PAGE_READWRITE, &old) ||
      !WriteProcessMemory(p, at, &to, sizeof to, nullptr)) {
    return 0;
  }
  VirtualProtectEx(p, at, sizeof to, old, &old);
  return redirected[key] = to;
}
// How many times the program has called MessageBeep since the first call of this (0 then): a refusal is only heard,
// which no test can under wine.
inline unsigned Beeps() {
  // lock inc dword [count]; mov eax, 1; ret (ret 4 on x86); count: dd 0. On x64 the count is addressed from the next
  // instruction, on x86 absolutely.
  static std::map<DWORD, UINT_PTR> counters;
  UINT_PTR& stub = counters[Process.dwProcessId];
  const size_t count = sizeof(void*) == 8 ? 13 : 15;
  if (!stub && !(stub = RedirectImport("MessageBeep", [count](UINT_PTR at, UINT_PTR) {
        if (sizeof(void*) == 8) return std::vector<BYTE>{0xF0, 0xFF, 5, 6, 0, 0, 0, 0xB8, 1, 0, 0, 0, 0xC3, 0, 0, 0, 0};
        std::vector<BYTE> code = {0xF0, 0xFF, 0x05, 0, 0, 0, 0, 0xB8, 1, 0, 0, 0, 0xC2, 4, 0, 0, 0, 0, 0};
        const DWORD address = DWORD(at + count);
        memcpy(&code[3], &address, 4);
        return code;
      }))) {
    throw Failure{"could not count the program's beeps"};
  }
  DWORD beeps = 0;
  ReadProcessMemory(Process.hProcess, LPCVOID(stub + count), &beeps, sizeof beeps, nullptr);
  return beeps;
}

// --- the window's place --------------------------------------------------------------------------------------------
// Centred in the maximised area, but at 0 on a side where the screen is the smaller (centring would put it near 2^31
// or at a negative place).
inline RECT Placement() {
  const int w = Scale(kWindowSize.cx), h = Scale(kWindowSize.cy);
  const int left = std::max(0, (GetSystemMetrics(SM_CXMAXIMIZED) - w) / 2);
  const int top = std::max(0, (GetSystemMetrics(SM_CYMAXIMIZED) - h) / 2);
  return {left, top, left + w, top + h};
}
inline bool Placed(const State& s) {
  const RECT want = Placement();
  return EqualRect(&s.rect, &want) && s.client.cx == want.right - want.left - 2 &&
         s.client.cy == want.bottom - want.top - 2 && !s.iconic;
}

// High contrast on or off as the program sees it, returning once it shows (access.cpp).
void SwitchContrast(bool on);

// --- registration ----------------------------------------------------------------------------------------------
// Rows of one table share a program, set back by Recover() between them; after a failed row the next starts a fresh
// program. fresh rows get one of their own.
struct Scenario {
  std::string group, name;
  std::function<void()> run;
  const void* table = nullptr;
  bool fresh = false;
  std::function<bool()> when;  // runs only where this holds (null: always)
};
inline std::vector<Scenario>& Scenarios() {
  static std::vector<Scenario> all;
  return all;
}
inline int Add(Scenario s) {
  Scenarios().push_back(std::move(s));
  return 0;
}
#define SCENARIO(group, name)                                             \
  static void name();                                                     \
  static const int registered_##name = e2e::Add({group, #name, name}); \
  static void name()

// One scenario per row, named name(row), all sharing a program but those for which fresh(row) holds.
template <typename Row>
int Table(const char* group, const std::vector<Row>& rows, std::function<std::string(const Row&)> name,
          std::function<void(const Row&)> body, std::function<bool(const Row&)> fresh = nullptr) {
  const void* key = new char;  // the table's own
  for (const Row& row : rows) Add({group, name(row), [body, row] { body(row); }, key, fresh && fresh(row)});
  return int(rows.size());
}

}  // namespace e2e

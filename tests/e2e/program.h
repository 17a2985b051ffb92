// How e2e.exe drives quorvane.exe, as Wine's conformance tests do: started and closed, read into a State, keys sent.
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

[[gnu::format(gnu_printf, 1, 2)]] inline std::string Say(const char* format, ...) {
  char buffer[2048];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}
inline std::string Bytes(const std::wstring& text, UINT codePage) {
  char buffer[1024];
  const int n = WideCharToMultiByte(codePage, 0, text.c_str(), -1, buffer, sizeof buffer, nullptr, nullptr);
  return std::string(buffer, size_t(std::max(n, 1) - 1));
}
inline std::string Utf8(const std::wstring& text) { return Bytes(text, CP_UTF8); }
inline std::string ClassOf(HWND window) {
  char name[64] = "";
  return {name, size_t(GetClassNameA(window, name, sizeof name))};
}
inline LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 3000, &result);
  return LRESULT(result);
}
inline double Now() {  // in seconds, as finely as the system counts
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return double(now.QuadPart) / double(frequency.QuadPart);
}

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
inline int Scale(int length96, int dpi = Dpi()) { return MulDiv(length96, dpi, 96); }
inline RECT Scale(RECT r, int dpi = Dpi()) {
  return {Scale(r.left, dpi), Scale(r.top, dpi), Scale(r.right, dpi), Scale(r.bottom, dpi)};
}
inline double Setting(const char* name, double fallback) { return getenv(name) ? atof(getenv(name)) : fallback; }
inline double Slow(double seconds) { return seconds * Setting("QV_SLOW", 1); }
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

inline std::wstring ExePath;
inline PROCESS_INFORMATION Process{};
inline HWND MainWindow, OtherWindow;
inline HWND Main() { return MainWindow; }
inline HWND FieldWindow(Field f) { return GetDlgItem(MainWindow, kFieldIds[f]); }
inline HANDLE Program() { return Process.hProcess; }
// The program's imports pointed elsewhere, by function, with where to (imports.h): forgotten when it closes.
inline std::map<std::string, UINT_PTR> Redirected;
inline bool Running() { return Process.hProcess && WaitForSingleObject(Process.hProcess, 0) == WAIT_TIMEOUT; }

// Polls until done holds or the time runs out, pumping the tests' own window meanwhile: every wait of the suite.
inline bool Poll(const std::function<bool()>& done, double seconds) {
  const double deadline = Now() + seconds;
  for (DWORD pause = 5;; pause = std::min<DWORD>(pause * 3 / 2, 100)) {
    for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&msg);
    if (done()) return true;
    if (Now() > deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, pause, QS_ALLINPUT);
  }
}

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
  // "binary" ... "hexadecimal", "main", "box", "other" (the tests' own window), "none", or "elsewhere: " and who.
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
template <typename Char> std::basic_string<Char> Text(HWND window) {  // char: the bytes, as the ANSI calls read them
  Char buffer[512] = {};
  (sizeof(Char) == 1 ? SendMessageTimeoutA : SendMessageTimeoutW)(window, WM_GETTEXT, 512, LPARAM(buffer),
                                                                    SMTO_ABORTIFHUNG, 3000, nullptr);
  return buffer;
}

// The first visible top-level window of a class (and owner), and how many there are. By EnumWindows: with FindWindowEx
// polled instead, a wine 10 session hung now and then in the menu rows, its programs idle and wineserver busy.
struct Found { const char* cls; HWND owner, window; int count; };
inline BOOL CALLBACK FindVisibleWindow(HWND w, LPARAM p) {
  auto& f = *reinterpret_cast<Found*>(p);
  if (ClassOf(w) != f.cls || (f.owner && GetWindow(w, GW_OWNER) != f.owner) || !IsWindowVisible(w)) return TRUE;
  f.window = f.count++ ? f.window : w;
  return TRUE;
}
inline HWND FindVisible(const char* cls, HWND owner = nullptr, int* count = nullptr) {
  Found found{cls, owner, nullptr, 0};
  EnumWindows(FindVisibleWindow, LPARAM(&found));
  if (count) *count = found.count;
  return found.window;
}

inline std::string Holder(HWND window) {  // its class and its process, for a message
  DWORD pid = 0, size = MAX_PATH;
  wchar_t path[MAX_PATH] = L"?";
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, (GetWindowThreadProcessId(window, &pid), pid));
  if (process) QueryFullProcessImageNameW(process, 0, path, &size), CloseHandle(process);
  const wchar_t* exe = wcsrchr(path, L'\\');
  const std::string name = Utf8(exe ? exe + 1 : path);
  return window ? Say("a %s window of %s (process %lu)", ClassOf(window).c_str(), name.c_str(), pid) : "no window";
}
inline std::string NameOf(HWND window, HWND box) {
  if (!window) return "none";
  for (int f = 0; f < 4; ++f) {
    if (window == FieldWindow(Field(f))) return kFieldNames[f];
  }
  if (window == MainWindow) return "main";
  if (window == OtherWindow) return "other";
  return box && (window == box || IsChild(box, window)) ? "box" : "elsewhere: " + Holder(window);
}

inline State Read() {  // the program's state now
  State s;
  if (!MainWindow || !IsWindow(MainWindow)) return s;
  HWND main = s.main = MainWindow;
  Box& box = s.box;
  if ((box.window = FindVisible("#32770", main))) {
    box.owner = GetWindow(box.window, GW_OWNER);
    box.caption = Text<wchar_t>(box.window);
    box.captionA = Text<char>(box.window);
    GetWindowRect(box.window, &box.rect);
    // A message box's text is its static 0xFFFF, on Windows and under wine alike.
    box.text = Text<wchar_t>(GetDlgItem(box.window, 0xFFFF));
    box.textA = Text<char>(GetDlgItem(box.window, 0xFFFF));
    GetWindowRect(GetDlgItem(box.window, IDOK), &box.ok);
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
    s.text[f] = Text<char>(field);
    s.length[f] = int(Send(field, WM_GETTEXTLENGTH));
    s.sel[f][0] = LOWORD(sel), s.sel[f][1] = HIWORD(sel);
    GetWindowRect(field, &s.field[f]);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&s.field[f]), 2);
  }
  return s;
}

// Keys go to the program, never blind to another (a console, the desktop's "Shut Down Windows"): the foreground is
// checked first. A key may be released over the tests' own window, as a user's may.
inline void OnlyToProgram(const std::string& what, bool release = false) {
  const auto ours = [release] {
    DWORD pid = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &pid);
    return pid && (pid == Process.dwProcessId || (release && pid == GetCurrentProcessId()));
  };
  if (!ours() && !Poll(ours, Slow(1))) {
    throw Failure{Say("%s not sent: the foreground is %s", what.c_str(), Holder(GetForegroundWindow()).c_str())};
  }
}

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
inline void Press(std::string name, bool down, bool up) {
  static const std::map<std::string, WORD> keys = {{"Tab", VK_TAB}, {"Esc", VK_ESCAPE}, {"Enter", VK_RETURN},
      {"Back", VK_BACK}, {"Del", VK_DELETE}, {"Home", VK_HOME}, {"End", VK_END}, {"Left", VK_LEFT}, {"Right", VK_RIGHT},
      {"Up", VK_UP}, {"Down", VK_DOWN}, {"Ins", VK_INSERT}, {"Menu", VK_APPS}, {"F4", VK_F4}, {"F10", VK_F10},
      {"Space", VK_SPACE}, {"Shift", VK_SHIFT}, {"Ctrl", VK_CONTROL}, {"Alt", VK_MENU}};
  const WORD modifierKeys[3] = {VK_SHIFT, VK_CONTROL, VK_MENU};
  OnlyToProgram("the key " + name, !down);
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
// A click meant for the program's window: it goes out only if the window lies there, no box or other window over it.
inline void ClickProgram(POINT at, Button button = Left, int count = 1) {
  HWND there = WindowFromPoint(at);
  if (GetAncestor(there, GA_ROOT) != MainWindow) {
    throw Failure{Say("a click at (%ld,%ld) not sent: %s lies there, not the program's window", at.x, at.y,
                      Holder(there).c_str())};
  }
  ClickScreen(at, button, count);
}
inline void Click(POINT client96, Button button = Left, int count = 1) {
  ClickProgram(ToScreen(client96), button, count);
}
// Clicks inside a field on its text line, x from its left edge at 96 DPI.
inline void ClickField(Field f, int x96 = 20, Button button = Left, int count = 1) {
  const POINT o = ClientOrigin();
  const RECT r = Read().field[f];
  ClickProgram({o.x + r.left + Scale(x96), o.y + r.top + Scale(8)}, button, count);
}
inline POINT CharPosition(Field f, int index) {  // a character's top-left corner, screen coordinates
  const LRESULT r = Send(FieldWindow(f), EM_POSFROMCHAR, WPARAM(index));
  POINT p{short(LOWORD(r)), short(HIWORD(r))};
  ClientToScreen(FieldWindow(f), &p);
  return p;
}
// The tests' own window, brought over any other (a console) and clicked: it takes the foreground as a user's would.
inline bool ClickOther() {
  if (!OtherWindow) {
    const WNDCLASSW wc{0, DefWindowProcW, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr,
                       HBRUSH(GetStockObject(GRAY_BRUSH)), nullptr, L"qv-e2e-other"};
    RegisterClassW(&wc);
    OtherWindow = CreateWindowExW(0, wc.lpszClassName, wc.lpszClassName, WS_POPUP | WS_BORDER, 20, 20, 200, 100,
                                  nullptr, nullptr, wc.hInstance, nullptr);
  }
  SetWindowPos(OtherWindow, HWND_TOPMOST, 20, 20, 200, 100, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  UpdateWindow(OtherWindow);
  // Clicked once it is shown there: a click sent at once was now and then lost to what lay there before.
  Poll([] { return WindowFromPoint({120, 70}) == OtherWindow; }, Slow(2));
  ClickScreen({120, 70});
  const bool ours = Poll([] { return GetForegroundWindow() == OtherWindow; }, Slow(5));
  SetWindowPos(OtherWindow, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return ours;
}
// A fresh quorvane.exe in the foreground, as a shell gives it: a process may take it only if the foreground process
// started it or granted it, and a runner starts the tests without a window. So the tests take it first, and grant it.
inline void Launch() {
  if (!ClickOther()) throw Failure{"a click gave the tests no foreground: it is " + Holder(GetForegroundWindow())};
  STARTUPINFOW si{sizeof si};
  std::wstring command = L"\"" + ExePath + L"\"";
  if (!CreateProcessW(ExePath.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                      &si, &Process)) {
    throw Failure{Say("could not start %s: error %lu", Utf8(ExePath).c_str(), GetLastError())};
  }
  AllowSetForegroundWindow(Process.dwProcessId);
  ResumeThread(Process.hThread);
  HWND found = nullptr;
  DWORD pid = 0;
  if (!Poll([&] {
        found = FindWindowW(kTitle, kTitle);
        return found && GetWindowThreadProcessId(found, &pid) && pid == Process.dwProcessId && IsWindowVisible(found);
      }, Slow(20))) {
    throw Failure{Say("the program's window did not show within %.0f s", Slow(20))};
  }
  MainWindow = found;
  if (!Poll([] { return GetForegroundWindow() == MainWindow; }, Slow(5))) {
    throw Failure{"the program's window is not in the foreground after its start: it is " +
                  Holder(GetForegroundWindow())};
  }
}
inline void Close() {  // WM_CLOSE, then ended by force; what was kept of the program forgotten
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
  Redirected.clear();
}

inline void Show(int command) { ShowWindowAsync(MainWindow, command); }  // as a taskbar does
// The focus set in the program (null: taken off), as another program sets it: joined to its input for the moment.
inline void FocusThere(HWND window) {
  const DWORD self = GetCurrentThreadId(), program = GetWindowThreadProcessId(window ? window : MainWindow, nullptr);
  AttachThreadInput(self, program, TRUE);
  SetFocus(window);
  AttachThreadInput(self, program, FALSE);
}

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

}  // namespace e2e

// The end-to-end tests: one Win32 program that starts quorvane.exe, drives its
// window with SendInput as a keyboard and a mouse do, and reads the result
// back through Win32, as Wine's own conformance tests do. It runs unchanged
// under wine and on Windows.
//
// A scenario is a function registered in a group (SCENARIO), or one row of a
// table (Table). A failed check throws: the runner prints the file, the line,
// the step, what was expected and what was read, keeps a picture of the
// screen, and goes on with the next scenario in a fresh program.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <source_location>
#include <string>
#include <vector>

namespace e2e {

using Where = std::source_location;

// --- what the program must show, written from what a user sees -------------
enum Field { Binary, Octal, Decimal, Hexadecimal };
inline constexpr const char* kFieldNames[4] = {"binary", "octal", "decimal", "hexadecimal"};
inline constexpr int kFieldIds[4] = {1001, 1002, 1003, 1004};
inline constexpr int kLimits[4] = {32, 11, 10, 8};
inline constexpr int kRadix[4] = {2, 8, 10, 16};
extern const wchar_t kTitle[];
extern const wchar_t* const kLabels[4];
extern const wchar_t kWarningCaption[];
extern const wchar_t kWarningText[];

// The layout at 96 DPI, in the main window's client coordinates, right and
// bottom exclusive; Scale() takes a length to the window's display scale.
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

// --- small means shared by the scenarios ----------------------------------------
std::string Say(const char* format, ...);   // printf into a string
std::string Utf8(const std::wstring& text);
std::string ClassOf(HWND window);
// SendMessageTimeoutW, 3 s, aborted if the program hangs: its answer, or 0.
LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// --- the system the tests run on ---------------------------------------------
// Wine's version ("10.0"), or null on Windows.
const char* Wine();
int Dpi();          // the display's scale, 96 at 100 %
int Scale(int length96);
RECT Scale(RECT r96);
UINT CodePage();    // the ANSI code page
// A time limit stretched where everything runs slower (QV_SLOW, e.g. under
// an emulator); a wait ends as soon as its state shows.
double Slow(double seconds);

// --- what is read of the window ----------------------------------------------
struct Box {  // the overflow warning, owned by the main window
  HWND window = nullptr;
  std::wstring caption, text;
  std::string captionA, textA;  // the same through the ANSI calls
  RECT rect{}, ok{};            // screen rectangles of the box and its OK button
  HWND owner = nullptr;
};

struct State {
  HWND main = nullptr;  // null: no window (the program ended or is starting)
  std::string text[4];  // the fields' texts (bytes, as WM_GETTEXT gives them)
  int length[4] = {};   // WM_GETTEXTLENGTH
  int sel[4][2] = {};   // EM_GETSEL
  // "binary" ... "hexadecimal", "main", "box", "other" (the tests' own
  // window), "none", or "elsewhere:CLASS".
  std::string focus, active, foreground;
  bool iconic = false, visible = false;
  RECT rect{};          // the window, screen coordinates
  SIZE client{};
  RECT field[4]{};      // the fields in client coordinates
  Box box;
  // The four texts and the focus as one line: `101 5 5 5 @binary`, an empty
  // text as "".
  std::string Line() const;
  std::string Describe() const;  // everything, for a failure message
};

// The fields' texts for a value, as a conversion writes them.
std::string Canonical(uint32_t value, Field field);
// The line of a state where `source` holds `text` and the other three show
// `value` (by default the value of text), with the focus in `focus` (by
// default source): what Shows() waits for.
std::string Showing(Field source, const std::string& text, int64_t value = -1, int focus = -1);
// What keeps the other fields from showing the focused field's value, or "".
std::string Disagreement(const State& s);

// --- the program under test ----------------------------------------------------
void Launch();                  // a fresh quorvane.exe, its window found
State Read();                   // the program's state now
HWND Main();
HWND FieldWindow(Field f);
bool Running();                 // the process has not ended
void Exits(const char* step = "exit code", Where where = Where::current());  // ends with 0
void Close();                   // WM_CLOSE, then ended by force
HWND Other();                   // the tests' own window, for switching away

// --- input, through SendInput as a keyboard and a mouse give it ------------
// Characters as typed, and {Name} for keys: {Tab} {Esc} {Enter} {Back} {Del}
// {Home} {End} {Left} {Right} {Up} {Down} {Ins} {Menu} {F4} {F10} {Shift} {Ctrl}
// {Alt} {Space}; S- C- A- before a name or a character hold Shift, Ctrl, Alt:
// "12{S-Home}{C-x}{A-F4}{C-z}".
void Type(const std::string& keys);
void KeyDown(const std::string& key);  // one key as Type names it, pressed only
void KeyUp(const std::string& key);
enum Button { Left = 1, Right = 3 };
void ClickScreen(POINT screen, Button button = Left, int count = 1);
void Click(POINT client96, Button button = Left, int count = 1);  // scaled, where the window is
void DragScreen(POINT from, POINT to);
POINT ToScreen(POINT client96);
POINT ClientOrigin();
// Clicks inside a field on its text line, x from its left edge at 96 DPI.
void ClickField(Field f, int x96 = 20, Button button = Left, int count = 1);
void FocusField(Field f, Where where = Where::current());  // a click, then waits for the focus
POINT CharPosition(Field f, int index);  // a character's top-left corner, screen coordinates
void ActivateMain(Where where = Where::current());   // a click on a spot that does nothing else
void ActivateOther(Where where = Where::current());  // a click into the tests' own window
void Show(int command);                               // ShowWindow, as a taskbar does
void SetClipboard(const std::string& bytes);          // CF_TEXT alone
void SetClipboard(const std::wstring& text);          // CF_UNICODETEXT alone

// --- waits and checks --------------------------------------------------------------
// Polls read until done holds or the time runs out; pumps the tests' own
// window meanwhile. Every wait of the suite is this loop.
bool Poll(const std::function<bool()>& done, double seconds);

[[noreturn]] void Fail(const std::string& step, const std::string& expected, const std::string& read,
                       Where where = Where::current());
// Waits until ok(state); fails with `expected` and the last reading.
State Expect(const std::string& step, const std::string& expected, const std::function<bool(const State&)>& ok,
             Where where = Where::current());
// Waits until State::Line() reads `line`, the same twice in a row (one
// reading can catch a key release half handled).
State Shows(const std::string& step, const std::string& line, Where where = Where::current());
// Like Shows, and the line then holds for `seconds`.
State Steady(const std::string& step, const std::string& line, double seconds = 0.3, Where where = Where::current());
// Fails unless read is want.
void Same(const std::string& step, const std::string& want, const std::string& read, Where where = Where::current());
// Conditions for Expect.
inline bool Iconic(const State& s) { return s.iconic; }
inline bool NoBox(const State& s) { return !s.box.window; }
inline std::function<bool(const State&)> FocusIn(Field f) {
  return [f](const State& s) { return s.focus == kFieldNames[f]; };
}
// Waits until problems() answers nothing; fails with the last answer.
void UntilNone(const std::string& step, const std::string& expected,
               const std::function<std::vector<std::string>()>& problems, Where where = Where::current());
// Ends the scenario as skipped: what this system lacks, in words.
[[noreturn]] void SkipScenario(const std::string& why);
Box ExpectWarning(const std::string& step, Where where = Where::current());
// The warning dismissed by Enter, or by a click on its OK; waits until it is gone.
void DismissWarning(const std::string& step, bool click = false, Where where = Where::current());

// --- the screen ----------------------------------------------------------------------
struct Shot {  // the whole screen, read through GDI
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;                        // 0xRRGGBB
  uint32_t At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};
Shot Screen();
void SavePicture(const std::string& name, RECT crop = {});  // the screen (or crop) as NAME.bmp in --out

// --- registration --------------------------------------------------------------------
// Rows of one table share a program: between them reset() sets it back; after
// a failed row the next starts a fresh program. fresh rows get one of their own.
struct Scenario {
  std::string group, name;
  std::function<void()> run;
  const void* table = nullptr;
  std::function<void()> reset;
  bool fresh = false;
  std::function<bool()> when;  // runs only where this holds (null: always)
};
int Add(Scenario s);
#define E2E_CAT2(a, b) a##b
#define E2E_CAT(a, b) E2E_CAT2(a, b)
#define SCENARIO(group, name)                                                \
  static void name();                                                        \
  static const int E2E_CAT(registered_, name) = e2e::Add({group, #name, name}); \
  static void name()

// The field focused and emptied with Esc (the others then show 0): where a
// row that types into a field starts.
void EmptyField(Field f, Where where = Where::current());
// Between two rows of a table: the warning closed, the window restored and
// in the foreground.
void Recover();

// Registers one scenario per row, named name(row); the rows of one table
// share a program (Recover() between them), except those for which fresh(row)
// holds.
template <typename Row>
int Table(const char* group, const std::vector<Row>& rows, std::function<std::string(const Row&)> name,
          std::function<void(const Row&)> body, std::function<bool(const Row&)> fresh = nullptr) {
  const void* key = new char;  // the table's own
  for (const Row& row : rows) {
    Add({group, name(row), [body, row] { body(row); }, key, Recover, fresh && fresh(row)});
  }
  return static_cast<int>(rows.size());
}

// --- the edit control's context menu ------------------------------------------------
enum MenuItem { MenuUndo, MenuCut, MenuCopy, MenuPaste, MenuDelete, MenuSelectAll };
// A field's context menu opened by a right click in it, or with key by the
// Menu key (the field focused): its screen rectangle.
RECT OpenContextMenu(Field f, bool key = false, Where where = Where::current());
// One item of a field's context menu clicked; waits until the menu is gone.
void ClickMenuItem(Field f, MenuItem item, Where where = Where::current());

// --- soak, benchmark and pictures ------------------------------------------------------
std::string FieldText(Field f);  // one WM_GETTEXT and nothing else: for timing
bool HasFace(const wchar_t* face);  // a font of that face, by any of its names
// High contrast on or off as the program sees it, returning once it shows (the contrast group's).
void SwitchContrast(bool on);

// --- what other programs do to the fields ----------------------------------------------
// A field's whole text replaced as another program can, with EM_REPLACESEL (undoable with
// undo): no window procedure of the field judges it, and nothing converts it before the
// next key release.
void ReplaceText(Field f, const std::wstring& text, bool undo = false);
// The program's import of a user32 function pointed at code put into the program, made by
// code(at, real) for the address `at` it is put at and the function's own address `real`; or,
// with no code, back at the function. The address the code was put at.
UINT_PTR RedirectImport(const char* function, const std::function<std::vector<BYTE>(UINT_PTR, UINT_PTR)>& code);
// How many times the program has called MessageBeep since the first call of this (0 then):
// a refusal is only heard, which no test can under wine.
unsigned Beeps();

// --- assistive technology and high contrast
HANDLE Program();  // the program's process, all access

// --- the window's place (basics.cpp, painting.cpp)
// Where the window must be: centred in the maximised area, but at 0 on a
// side where the screen is the smaller (centring would put it near 2^31 or
// at a negative place).
inline RECT Placement() {
  const int w = Scale(kWindowSize.cx), h = Scale(kWindowSize.cy);
  const int x = (GetSystemMetrics(SM_CXMAXIMIZED) - w) / 2, y = (GetSystemMetrics(SM_CYMAXIMIZED) - h) / 2;
  const int left = x < 0 ? 0 : x, top = y < 0 ? 0 : y;
  return {left, top, left + w, top + h};
}
inline bool Placed(const State& s) {
  const RECT want = Placement();
  return EqualRect(&s.rect, &want) && s.client.cx == want.right - want.left - 2 &&
         s.client.cy == want.bottom - want.top - 2 && !s.iconic;
}

}  // namespace e2e

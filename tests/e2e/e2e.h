// The end-to-end tests: quorvane.exe driven by e2e.exe with SendInput as a keyboard and a mouse do, and read back
// through Win32, unchanged under wine and on Windows. This header is what a new row needs; basics.cpp is the model.
//   SCENARIO("GROUP", name) { ... }         a scenario: a fresh program, in the foreground, Binary focused
//   Table<Row>("GROUP", rows, name, body)   one scenario per row, named name(row), the rows sharing one program
//   Type("12{S-Home}{C-x}{A-F4}")           keys, sent with SendInput only while the program holds the foreground
//   FocusField(Decimal), EmptyField(Octal)  a click into a field; the same, then Esc; TypeInto: then keys, Shows
//   Shows(step, "101 5 5 5 @binary")        waits until State::Line() reads the four texts ("" for an empty one) and
//                                           the focus so; Showing(Binary, "101") writes that line; Steady: and stays
//   Expect(step, words, ok)                 waits until ok(State) holds of the window as read (program.h)
//   Same(step, want, read), Fail(...)       checks that fail at once
// A wait gives up after 5 s (QV_SLOW stretches it); a failure names the row's file and line, the step, what was
// expected and what was read. Where wine differs, the check says what Windows does and accepts wine's way only under
// Wine(). The readers: pixels.h (the screen), menu.h (a field's context menu), imports.h (the program's imports
// redirected), automation.h (MSAA and UI Automation). The groups: groups.h; what a variant needs: driver.cpp.
#pragma once

#include "program.h"

namespace e2e {

inline std::string Place(Where w) { return Say("%s:%u", strrchr(w.file_name(), '/') + 1, unsigned(w.line())); }

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
[[noreturn]] inline void Fail(const std::string& step, const std::string& expected, const std::string& read,
                              Where where = Where::current()) {
  throw Failure{Place(where) + ": " + step + ": expected " + expected + "; read " + read};
}
inline void Same(const std::string& step, const std::string& want, const std::string& read,
                 Where where = Where::current()) {
  if (read != want) Fail(step, want, read, where);
}
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
inline State Steady(const std::string& step, const std::string& line, double seconds = 0.3,
                    Where where = Where::current()) {
  const State s = Shows(step, line, where);
  State now;
  if (Poll([&] { return (now = Read()).Line() != line || now.box.window != s.box.window; }, seconds)) {
    Fail(step + " (steady)", "no further change from " + line, now.Describe(), where);
  }
  return s;
}
inline void UntilNone(const std::string& step, const std::string& expected,
                      const std::function<std::vector<std::string>()>& problems, Where where = Where::current()) {
  std::vector<std::string> last;
  if (Poll([&] { return (last = problems()).empty(); }, Slow(5))) return;
  std::string read;
  for (const std::string& p : last) read += (read.empty() ? "" : "; ") + p;
  Fail(step, expected, read, where);
}
inline void Exits(const char* step = "exit code", Where where = Where::current()) {  // ends with 0
  if (!Poll([] { return !Running(); }, Slow(5))) Fail(step, "the process to end", "still running", where);
  DWORD code = 1;
  GetExitCodeProcess(Process.hProcess, &code);
  if (code != 0) Fail(step, "exit code 0", Say("exit code %lu", code), where);
}
inline void FocusField(Field f, Where where = Where::current()) {  // a click, then waits for the focus
  ClickField(f);
  Expect(std::string("focus ") + kFieldNames[f], std::string("focus=") + kFieldNames[f], FocusIn(f), where);
}
inline void ActivateMain(Where where = Where::current()) {  // a click on a spot that does nothing else
  Click(kNeutral);
  Expect("activate the main window", "foreground=main active=main",
         [](const State& s) { return s.foreground == "main" && s.active == "main"; }, where);
}
inline void ActivateOther(Where where = Where::current()) {  // a click into the tests' own window
  ClickOther();
  Expect("activate another window", "foreground=other", [](const State& s) { return s.foreground == "other"; }, where);
}
inline Box ExpectWarning(const std::string& step, Where where = Where::current()) {
  const State s = Expect(step, "the overflow warning", [](const State& s) { return !NoBox(s); }, where);
  bool ok = s.box.caption == kWarningCaption && s.box.text == kWarningText && s.box.owner == MainWindow;
  // Through the ANSI calls a Chinese desktop reads the code page 936 bytes.
  ok = ok && (GetACP() != 936 ||
              (s.box.captionA == Bytes(kWarningCaption, 936) && s.box.textA == Bytes(kWarningText, 936)));
  if (!ok) Fail(step, "the warning's caption and text, owned by the main window", s.Describe(), where);
  return s.box;
}
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
inline void EmptyField(Field f, Where where = Where::current()) {
  FocusField(f, where);
  Type("{Esc}");
  Shows(std::string(kFieldNames[f]) + " emptied", Showing(f, ""), where);
}
inline void TypeInto(Field f, const std::string& keys, const std::string& line, Where where = Where::current()) {
  EmptyField(f, where);
  Type(keys);
  Shows("typed " + keys, line, where);
}
// A field's whole text replaced as another program can, with EM_REPLACESEL (undoable with undo): the field judges it
// only once the edit control has made the change (EN_CHANGE).
inline void ReplaceText(Field f, const std::wstring& text, bool undo = false) {
  Send(FieldWindow(f), EM_SETSEL, 0, -1);
  Send(FieldWindow(f), EM_REPLACESEL, undo, LPARAM(text.c_str()));
}
// Centred in the maximised area, but at 0 on a side where the screen is the smaller (centring would put it near 2^31
// or at a negative place).
inline bool Placed(const State& s) {
  const int w = Scale(kWindowSize.cx), h = Scale(kWindowSize.cy);
  const int left = std::max(0, (GetSystemMetrics(SM_CXMAXIMIZED) - w) / 2);
  const int top = std::max(0, (GetSystemMetrics(SM_CYMAXIMIZED) - h) / 2);
  const RECT want = {left, top, left + w, top + h};
  return EqualRect(&s.rect, &want) && s.client.cx == w - 2 && s.client.cy == h - 2 && !s.iconic;
}

// High contrast on or off as the program sees it, returning once it shows (access.cpp).
void SwitchContrast(bool on);

// Rows of one table (one place in the source) share a program, set back by Recover() between them; after a row that
// failed or ended the program the next starts a fresh one.
struct Scenario {
  std::string group, name;
  std::function<void()> run;
  Where where;
};
inline constinit std::vector<Scenario> Scenarios;  // there before any file's registrations
#define SCENARIO(group, name)                                                                                \
  static void name();                                                                                        \
  static const int registered_##name = (e2e::Scenarios.push_back({group, #name, name, e2e::Where::current()}), 0); \
  static void name()

template <typename Row>
int Table(const char* group, const std::vector<Row>& rows, std::function<std::string(const Row&)> name,
          std::function<void(const Row&)> body, Where where = Where::current()) {
  for (const Row& row : rows) Scenarios.push_back({group, name(row), [body, row] { body(row); }, where});
  return int(rows.size());
}

}  // namespace e2e

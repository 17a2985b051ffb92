// What a screen reader hears and presses, characters beyond ASCII as layouts and input methods send them, contrast.
#include "automation.h"
#include "e2e.h"
#include "imports.h"
#include "pixels.h"

#include <cmath>
#include <set>

#include "../../resources/resource.h"

using namespace e2e;


// The drawn - and X as push buttons over them, named as Chinese Windows names a caption's buttons, placed at 96 DPI.
const std::pair<const wchar_t*, RECT> kButtons[2] = {{L"最小化", {357, 0, 375, 18}}, {L"关闭", {377, 0, 395, 18}}};

// The fields named after their labels, of kind `field`, and besides them exactly the two buttons, of kind `button`.
static void Hears(const std::string& step, long field, long button, const Com& via, Where where = Where::current()) {
  const POINT o = ClientOrigin();
  const auto screen = [o](RECT r) { return RECT{o.x + r.left, o.y + r.top, o.x + r.right, o.y + r.bottom}; };
  std::multiset<std::string> want;
  for (int f = 0; f < 4; ++f) want.insert(Said(Utf8(kLabels[f]), field, "Edit", screen(Read().field[f])));
  for (const auto& [name, r] : kButtons) want.insert(Said(Utf8(name), button, "Button", screen(Scale(r))));
  std::string expected;
  for (const std::string& w : want) expected += (expected.empty() ? "" : "; ") + w;
  UntilNone(step, expected, [&] {
    std::multiset<std::string> heard;
    for (const Heard& h : Objects(via)) heard.insert(h.said);
    if (heard.empty()) return std::vector<std::string>{"nothing"};
    return heard == want ? std::vector<std::string>{} : std::vector<std::string>(heard.begin(), heard.end());
  }, where);
}

static void Press(const Com& via, const wchar_t* name, Where where = Where::current()) {
  const std::vector<Heard> all = Objects(via);
  const auto h = std::find_if(all.begin(), all.end(), [&](const Heard& o) { return o.name == Utf8(name) && o.object; });
  IUnknown* invoke = nullptr;
  HRESULT hr = h == all.end() ? E_INVALIDARG
               : via ? Call(h->object.get(), kCurrentPattern, 10000 /* Invoke */, &invoke)
                     : static_cast<IAccessible*>(h->object.get())->accDoDefaultAction(Self());
  if (via && SUCCEEDED(hr)) hr = invoke ? Call(Hold(invoke).get(), kInvoke) : E_NOINTERFACE;
  // Wine implements neither default action for a Button (E_NOTIMPL): BM_CLICK, what the action is, stands in.
  if (Wine() && hr == E_NOTIMPL) hr = SendMessageTimeoutW(h->window, BM_CLICK, 0, 0, 0, 3000, nullptr) ? S_OK : E_FAIL;
  if (FAILED(hr)) Fail(via ? "Invoke" : "accDoDefaultAction", Utf8(name) + " pressed", Say("0x%08lX", hr), where);
}


// Each field is named after its label, from the hidden static just before it.
SCENARIO("start", accessible_names) {
  // Wine's oleacc gives a Button window the client role, not a push button's.
  Hears("MSAA names and roles", ROLE_SYSTEM_TEXT, Wine() ? ROLE_SYSTEM_CLIENT : ROLE_SYSTEM_PUSHBUTTON, nullptr);
  for (int f = 0; f < 4; ++f) {
    HWND before = GetWindow(FieldWindow(Field(f)), GW_HWNDPREV);
    Same(std::string("window before ") + kFieldNames[f], "Static hidden " + Utf8(kLabels[f]),
         ClassOf(before) + (IsWindowVisible(before) ? " visible " : " hidden ") + Utf8(Text<wchar_t>(before)));
  }
}

// The same through UI Automation, which Narrator and current NVDA use.
SCENARIO("start", ui_automation_names) {
  const Com automation = Automation();
  if (!automation) throw Skipped{std::string("wine ") + Wine() + " has no UI Automation"};
  // Wine's UI Automation calls a Button window a pane (50033), not a button (50000).
  Hears("UI Automation names and control types", 50004, Wine() ? 50033 : 50000, automation);
}

// A button given the focus hands it back to the field that had it. Its default action (accDoDefaultAction, and Invoke
// where UI Automation exists) does what a press on the drawn one does: minimise, then Binary has the focus; close.
SCENARIO("start", buttons_pressed_as_assistive_technology_does) {
  FocusField(Decimal);
  for (const auto& [name, r] : kButtons) {
    HWND button = FindWindowExW(Main(), nullptr, L"Button", name);
    if (!button) Fail("a button named " + Utf8(name), "a child window of class Button", "none");
    FocusThere(button);
    Expect("focus given to " + Utf8(name), "focus=decimal", FocusIn(Decimal));
  }
  const Com automation = Automation();
  for (const Com& via : automation ? std::vector<Com>{nullptr, automation} : std::vector<Com>{nullptr}) {
    if (via) Launch();
    Press(via, kButtons[0].first);
    Expect("minimised", "iconic", Iconic);
    Recover();
    Expect("restored", "focus=binary", [](const State& s) { return !s.iconic && s.focus == "binary"; });
    Press(via, kButtons[1].first);
    Exits(via ? "closed by Invoke" : "closed by accDoDefaultAction");
    Close();
  }
}

// Sent as a keyboard layout or an input method delivers them. In code page 936 81 41 and 81 61 are double-byte
// characters whose trail bytes are A and a; WM_IME_CHAR 0x8141 is the first whole. The UTF-16 characters' low bytes
// are digits or hexadecimal letters. No digit is a trail byte in a double-byte code page: the pairs go to Hexadecimal.
const std::tuple<Field, const char*, UINT, WPARAM> kNotAscii[] = {
    {Binary, "sendw", WM_CHAR, 0x4E31}, {Binary, "postw", WM_CHAR, 0x4E30}, {Binary, "sendw", WM_IME_CHAR, 0x4E31},
    {Octal, "sendw", WM_CHAR, 0x4E37}, {Octal, "postw", WM_IME_CHAR, 0x4E35}, {Decimal, "sendw", WM_CHAR, 0x4E39},
    {Decimal, "sendw", WM_IME_CHAR, 0xFF19}, {Hexadecimal, "posta", WM_CHAR, 0x81},
    {Hexadecimal, "posta", WM_CHAR, 0x41}, {Hexadecimal, "senda", WM_CHAR, 0x81}, {Hexadecimal, "senda", WM_CHAR, 0x61},
    {Hexadecimal, "senda", WM_IME_CHAR, 0x8141}, {Hexadecimal, "posta", WM_IME_CHAR, 0x8142},
    {Hexadecimal, "sendw", WM_CHAR, 0x4E41}, {Hexadecimal, "sendw", WM_IME_CHAR, 0x4E46}};
// What a Greek, Polish or Czech layout or Alt+224 types, posted as such characters arrive: through the program's
// queue. Taken out as ANSI they would become best-fit letters and digits (a, a, d, the digits, 1, 1, 0).
const WPARAM kFromLayouts[] = {0x3B1,  0x105,  0x3B4,  0xFF10, 0xFF11, 0xFF12, 0xFF13, 0xFF14,
                               0xFF15, 0xFF16, 0xFF17, 0xFF18, 0xFF19, 0xB9,   0x2081, 0x660};

SCENARIO("filtering", characters_beyond_ascii_never_enter) {
  for (int f = 0; f < 4; ++f) {
    const char typed = "179c"[f];
    HWND field = FieldWindow(Field(f));
    EmptyField(Field(f));
    for (const auto& [to, how, message, wParam] : kNotAscii) {
      const bool ansi = how[4] == 'a';
      // The byte pairs are double-byte characters only in code page 936; elsewhere their trail bytes are letters.
      if (to != f || (ansi && GetACP() != 936)) continue;
      if (how[0] == 'p') (ansi ? PostMessageA : PostMessageW)(field, message, wParam, 0);
      else (ansi ? SendMessageTimeoutA : SendMessageTimeoutW)(field, message, wParam, 0, 0, 3000, nullptr);
    }
    for (WPARAM c : kFromLayouts) PostMessageW(field, WM_CHAR, c, 0);
    PostMessageW(field, WM_CHAR, WPARAM(typed), 0);
    // Posted before the key is typed: only the posted ASCII digit and the typed one may be there.
    Type(std::string(1, typed));
    Shows(std::string("only the ASCII digits in ") + kFieldNames[f], Showing(Field(f), std::string(2, typed)));
  }
}

// Wine never reports high contrast on and refuses to set it: the program's import of SystemParametersInfoW is pointed
// at a stub adding HCF_HIGHCONTRASTON to SPI_GETHIGHCONTRAST's answer (then put back); it is told as Windows tells it.
#if defined(_WIN64)
// cmp ecx,42h; jne 1f; push r8; sub rsp,32; call [2f]; add rsp,32; pop r8; or dword [r8+4],1; ret; 1: jmp [2f]; 2: dq
const BYTE kStub[] = {0x83, 0xF9, 0x42, 0x75, 0x18, 0x41, 0x50, 0x48, 0x83, 0xEC, 0x20, 0xFF, 0x15, 0x12, 0x00, 0x00,
                      0x00, 0x48, 0x83, 0xC4, 0x20, 0x41, 0x58, 0x41, 0x83, 0x48, 0x04, 0x01, 0xC3, 0xFF, 0x25, 0x00,
                      0x00, 0x00, 0x00};
#else
// cmp dword [esp+4],42h; jne 1f; push dword [esp+16] four times; call [2f]; mov ecx,[esp+12]; or dword [ecx+4],1;
// ret 16; 1: jmp [2f]; 2: dd, whose address goes at 19h and 2Ah.
const BYTE kStub[] = {0x83, 0x7C, 0x24, 0x04, 0x42, 0x75, 0x21, 0xFF, 0x74, 0x24, 0x10, 0xFF, 0x74, 0x24, 0x10, 0xFF,
                      0x74, 0x24, 0x10, 0xFF, 0x74, 0x24, 0x10, 0xFF, 0x15, 0x00, 0x00, 0x00, 0x00, 0x8B, 0x4C, 0x24,
                      0x0C, 0x83, 0x49, 0x04, 0x01, 0xC2, 0x10, 0x00, 0xFF, 0x25, 0x00, 0x00, 0x00, 0x00};
#endif

static std::vector<BYTE> Stub([[maybe_unused]] UINT_PTR at, UINT_PTR real) {
  std::vector<BYTE> code(kStub, kStub + sizeof kStub);
  code.resize(sizeof kStub + sizeof real);
  memcpy(&code[sizeof kStub], &real, sizeof real);
#if !defined(_WIN64)
  for (size_t i : {0x19, 0x2A}) *reinterpret_cast<DWORD*>(&code[i]) = DWORD(at + sizeof kStub);
#endif
  return code;
}

// High contrast on or off, the program told by WM_SETTINGCHANGE or WM_SYSCOLORCHANGE: the step's name.
static std::string Contrast(bool on, bool setting, Where where = Where::current()) {
  const auto step = Say("high contrast %s by WM_%s", on ? "on" : "off", setting ? "SETTINGCHANGE" : "SYSCOLORCHANGE");
  if (!RedirectImport("SystemParametersInfoW", on ? Stub : nullptr)) Fail(step, "the import switched", "not", where);
  Send(Main(), setting ? WM_SETTINGCHANGE : WM_SYSCOLORCHANGE, setting ? SPI_SETHIGHCONTRAST : 0);
  return step;
}

static std::set<uint32_t> BackgroundPicture() {
  HMODULE exe = LoadLibraryExW(ExePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  HRSRC found = FindResourceW(exe, MAKEINTRESOURCEW(IDB_BACKGROUND), RT_BITMAP);
  const auto* bi = found ? static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(exe, found))) : nullptr;
  if (!bi || bi->biBitCount != 24 || bi->biWidth != 1) Fail("background picture", "24 bits, 1 wide", Utf8(ExePath));
  std::set<uint32_t> colours;
  const BYTE* row = reinterpret_cast<const BYTE*>(bi) + bi->biSize;
  for (int y = 0; y < abs(bi->biHeight); ++y, row += 4) colours.insert(uint32_t(row[2]) << 16 | row[1] << 8 | row[0]);
  FreeLibrary(exe);
  return colours;
}

static bool Inside(const RECT (&rects)[4], int x, int y) {
  return std::any_of(rects, rects + 4, [&](const RECT& r) { return PtInRect(&r, {x, y}); });
}

// What keeps the window from being painted in the theme's colours alone: a colour neither one of them nor a blend of
// two (in a label each channel its own way, as ClearType's edges do), the picture, the rows' grey; a text not in the
// text colour of the background it is drawn on.
static std::vector<std::string> ContrastProblems(const std::set<uint32_t>& picture) {
  const int kText[4] = {COLOR_WINDOWTEXT, COLOR_BTNTEXT, COLOR_HIGHLIGHTTEXT, COLOR_HOTLIGHT};
  const int kBack[4] = {COLOR_WINDOW, COLOR_BTNFACE, COLOR_HIGHLIGHT, COLOR_WINDOW};
  const Client c;
  std::set<uint32_t> palette = {Sys(COLOR_GRAYTEXT)};
  RECT rows[4], labels[4];
  for (int i = 0; i < 4; ++i) {
    palette.insert({Sys(kText[i]), Sys(kBack[i])});
    rows[i] = Scale(RowRect(i));
    labels[i] = Scale(LabelRect(i));
  }
  std::map<uint32_t, int> seen[2];  // outside the labels, and in them
  int grey = 0;
  c.Each({0, 0, c.s.client.cx, c.s.client.cy}, [&](int x, int y, uint32_t p) {
    if (Inside(c.s.field, x, y)) return;
    ++seen[Inside(labels, x, y)][p];
    grey += p == 0xCCCCCC && Inside(rows, x, y) && !Inside(labels, x, y);
  });
  std::multimap<int, uint32_t, std::greater<int>> stray;  // the commonest first
  for (bool label : {false, true}) {
    for (const auto& [p, n] : seen[label]) {
      bool themed = palette.count(p);
      for (uint32_t a : palette) {
        for (uint32_t b : palette) themed = themed || (a < b && BlendOf(p, a, b, label) >= 0);
      }
      if (picture.count(p) || !themed) stray.emplace(n, p);
    }
  }
  std::vector<std::string> problems;
  for (const auto& [n, p] : stray) {
    if (problems.size() < 5) problems.push_back(Say("%d px of %s%06X", n, picture.count(p) ? "the picture's " : "", p));
  }
  if (grey) problems.push_back(Say("%d px of the rows grey", grey));
  // A text's background is its place's commonest colour; `least` pixels lie 30 % of the way to that one's text colour.
  const std::tuple<const char*, RECT, int> texts[] = {
      {"title", kTitleText, 150}, {"X", kClose, 15}, {"-", kMinimise, 4}, {"label 0", LabelRect(0), 60},
      {"label 1", LabelRect(1), 60}, {"label 2", LabelRect(2), 60}, {"label 3", LabelRect(3), 60}};
  for (const auto& [name, place, least] : texts) {
    const RECT r = Scale(place);
    std::map<uint32_t, int> count;
    c.Each(r, [&](int, int, uint32_t p) { ++count[p]; });
    const auto most = [](auto& a, auto& b) { return a.second < b.second; };
    const uint32_t back = std::max_element(count.begin(), count.end(), most)->first;
    int ink[4] = {};
    for (const auto& [p, n] : count) {
      for (int i = 0; i < 4; ++i) ink[i] += Sys(kBack[i]) == back && BlendOf(p, back, Sys(kText[i]), 1) >= 0.3 ? n : 0;
    }
    const int inked = *std::max_element(ink, ink + 4);
    if (inked < least) problems.push_back(Say("%s: %d px in the text colour of %06X", name, inked, back));
  }
  return problems;
}

static std::vector<std::string> Changed(const Client& before, bool outsideFields, const Client& now = Client()) {
  int n = 0;
  std::string first;
  now.Each({0, 0, now.s.client.cx, now.s.client.cy}, [&](int x, int y, uint32_t p) {
    if (p == before.At(x, y) || (outsideFields && Inside(now.s.field, x, y))) return;
    if (n++ < 3) first += Say(" (%d,%d)", x, y);
  });
  return n ? std::vector<std::string>{Say("%d pixels, the first at%s", n, first.c_str())} : std::vector<std::string>{};
}

// Each message in each direction: on by one, off by the other, and the other way round, typing in between.
SCENARIO("contrast", on_and_off) {
  const std::set<uint32_t> picture = BackgroundPicture();
  const auto problems = [&] { return ContrastProblems(picture); };
  const char* look = "only the theme's colours, each text in a text colour on its background";
  Client ordinary;
  UntilNone("painted", "the same picture twice",
            [&] { return Changed(std::exchange(ordinary, Client()), false, ordinary); });
  for (bool setting : {false, true}) {
    UntilNone(Contrast(true, setting), look, problems);
    if (setting) {
      Type("101");
      Shows("typed in high contrast", "101 5 5 5 @binary");
      UntilNone("typed in high contrast", look, problems);
    }
    UntilNone(Contrast(false, !setting), "0 pixels different from before", [&] { return Changed(ordinary, setting); });
  }
}

void e2e::SwitchContrast(bool on) {
  Contrast(on, true);
  if (on) UntilNone("high contrast on", "the theme's colours", [] { return ContrastProblems(BackgroundPicture()); });
}

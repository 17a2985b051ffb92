// What a screen reader hears and presses, characters beyond ASCII as keyboard
// layouts and input methods deliver them, and high contrast on and off.
#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "../../resources/resource.h"
#include "e2e.h"
#include <oleacc.h>

using namespace e2e;

namespace {

std::string Hex(unsigned long value, const char* format = "%06lX") {
  char text[16];
  snprintf(text, sizeof text, format, value);
  return text;
}
std::string Utf8(const wchar_t* text) {
  char bytes[256] = "";
  WideCharToMultiByte(CP_UTF8, 0, text ? text : L"", -1, bytes, sizeof bytes, nullptr, nullptr);
  return bytes;
}
std::string ClassOf(HWND window) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

// --- what a screen reader hears --------------------------------------------------------------
using Com = std::shared_ptr<IUnknown>;
Com Hold(IUnknown* object) { return Com(object, [](IUnknown* o) { o->Release(); }); }

// One object as assistive technology is told of it (kind: MSAA's role or UI
// Automation's control type; rect on the screen), and the object, to press it.
struct Heard {
  std::string name;
  long kind = -1;
  RECT rect{};
  std::string cls;
  HWND window = nullptr;
  Com object;
  std::string Line() const {
    return name + " " + std::to_string(kind) + " " + cls + " (" + std::to_string(rect.left) + "," +
           std::to_string(rect.top) + "," + std::to_string(rect.right) + "," + std::to_string(rect.bottom) + ")";
  }
};

VARIANT Self() {  // CHILDID_SELF
  VARIANT self{};
  self.vt = VT_I4;
  return self;
}

// UI Automation through its vtables (mingw-w64 declares none of its
// interfaces), slots as in UIAutomationClient.idl.
const GUID kClsidAutomation = {0xff48dba4, 0x60ef, 0x4201, {0xaa, 0x87, 0x54, 0x10, 0x3e, 0xef, 0x59, 0x4e}};
const GUID kIidAutomation = {0x30cbe57d, 0xd9d0, 0x452a, {0xab, 0x13, 0x7a, 0xc5, 0xac, 0x48, 0x25, 0xee}};
enum Slot { kInvoke = 3, kElementFromHandle = 6, kCurrentPattern = 16, kControlType = 21, kName = 23, kRectangle = 43 };

template <typename... Args>
HRESULT Call(IUnknown* object, Slot slot, Args... args) {
  using Method = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, Args...);
  return reinterpret_cast<Method>((*reinterpret_cast<void***>(object))[slot])(object, args...);
}

// The UI Automation client: null under wine 8, which registers no CUIAutomation.
Com Automation(Where where = Where::current()) {
  IUnknown* automation = nullptr;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const HRESULT hr = CoCreateInstance(kClsidAutomation, nullptr, CLSCTX_INPROC_SERVER, kIidAutomation,
                                      reinterpret_cast<void**>(&automation));
  if (SUCCEEDED(hr)) return Hold(automation);
  if (Wine() && atoi(Wine()) < 10) return nullptr;
  Fail("UI Automation", "CoCreateInstance(CUIAutomation) to succeed", Hex(hr, "0x%08lX"), where);
}

// A window's object through UI Automation, or without it through MSAA.
Heard Describe(HWND window, const Com& automation) {
  Heard h{.cls = ClassOf(window), .window = window};
  IUnknown* object = nullptr;
  IAccessible* accessible = nullptr;
  BSTR name = nullptr;
  VARIANT role{};
  LONG x = 0, y = 0, w = 0, height = 0;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (automation && SUCCEEDED(Call(automation.get(), kElementFromHandle, window, &object))) {
    Call(object, kName, &name);
    Call(object, kControlType, &h.kind);
    Call(object, kRectangle, &h.rect);
  } else if (!automation && SUCCEEDED(AccessibleObjectFromWindow(window, OBJID_CLIENT, IID_PPV_ARGS(&accessible)))) {
    object = accessible;
    accessible->get_accName(Self(), &name);
    if (SUCCEEDED(accessible->get_accRole(Self(), &role)) && role.vt == VT_I4) h.kind = role.lVal;
    accessible->accLocation(&x, &y, &w, &height, Self());
    h.rect = {x, y, x + w, y + height};
  }
  if (object) h.object = Hold(object);
  h.name = Utf8(name);
  SysFreeString(name);
  return h;
}

// The visible objects in the main window's client. Through MSAA as a screen
// reader walks it: each child's window asked for its own client object (wine's
// window objects answer no role). Through UI Automation the child windows, as
// wine 10's tree walkers answer E_NOTIMPL.
std::vector<Heard> Objects(const Com& automation) {
  std::vector<HWND> windows;
  for (HWND w = GetWindow(Main(), GW_CHILD); automation && w; w = GetWindow(w, GW_HWNDNEXT)) windows.push_back(w);
  VARIANT children[32];
  LONG got = 0;
  if (const Heard main = Describe(Main(), nullptr); main.object && !automation) {
    AccessibleChildren(static_cast<IAccessible*>(main.object.get()), 0, 32, children, &got);
  }
  for (LONG i = 0; i < got; ++i) {
    IAccessible* child = nullptr;
    if (children[i].vt == VT_DISPATCH && SUCCEEDED(children[i].pdispVal->QueryInterface(IID_PPV_ARGS(&child)))) {
      WindowFromAccessibleObject(child, &windows.emplace_back());
      child->Release();
    }
    VariantClear(&children[i]);
  }
  std::vector<Heard> all;
  for (HWND w : windows) {
    if (IsWindowVisible(w)) all.push_back(Describe(w, automation));
  }
  return all;
}

// The drawn - and X as push buttons over them, named as Chinese Windows names
// a caption's buttons, placed at 96 DPI and scaled with the window.
const std::pair<const wchar_t*, RECT> kButtons[2] = {{L"最小化", {357, 0, 375, 18}}, {L"关闭", {377, 0, 395, 18}}};

// The fields named after their labels, of fieldKind, and besides them exactly
// the two buttons, of buttonKind.
void Hears(const std::string& step, long fieldKind, long buttonKind, const Com& automation,
           Where where = Where::current()) {
  std::vector<std::string> want, heard;
  const POINT o = ClientOrigin();
  const auto screen = [o](RECT r) { return RECT{o.x + r.left, o.y + r.top, o.x + r.right, o.y + r.bottom}; };
  for (int f = 0; f < 4; ++f) want.push_back(Heard{Utf8(kLabels[f]), fieldKind, screen(Read().field[f]), "Edit"}.Line());
  for (const auto& [name, r] : kButtons) want.push_back(Heard{Utf8(name), buttonKind, screen(Scale(r)), "Button"}.Line());
  std::sort(want.begin(), want.end());
  std::string expected;
  for (const std::string& w : want) expected += (expected.empty() ? "" : "; ") + w;
  UntilNone(step, expected, [&] {
    heard.clear();
    for (const Heard& h : Objects(automation)) heard.push_back(h.Line());
    std::sort(heard.begin(), heard.end());
    return heard == want ? std::vector<std::string>{} : heard;
  }, where);
}

// A button pressed by its default action: MSAA's, or without it UI Automation's Invoke.
void Press(const Com& automation, const wchar_t* name, Where where = Where::current()) {
  HRESULT hr = E_INVALIDARG;
  for (const Heard& h : Objects(automation)) {
    if (h.name != Utf8(name) || !h.object) continue;
    IUnknown* invoke = nullptr;
    if (!automation) {
      hr = static_cast<IAccessible*>(h.object.get())->accDoDefaultAction(Self());
    } else if (SUCCEEDED(hr = Call(h.object.get(), kCurrentPattern, 10000 /* Invoke */, &invoke))) {
      hr = invoke ? Call(Hold(invoke).get(), kInvoke) : E_NOINTERFACE;
    }
    // Wine implements neither default action for a Button (E_NOTIMPL): the
    // click that a push button's default action is, BM_CLICK, stands in.
    if (Wine() && hr == E_NOTIMPL) hr = SendMessageTimeoutW(h.window, BM_CLICK, 0, 0, 0, 3000, nullptr) ? S_OK : E_FAIL;
    break;
  }
  if (FAILED(hr)) {
    Fail(std::string(automation ? "Invoke" : "accDoDefaultAction") + " of " + Utf8(name), "done", Hex(hr, "0x%08lX"),
         where);
  }
}

}  // namespace

// Each field is named after its label, from the hidden static just before it.
SCENARIO("start", accessible_names) {
  // Wine's oleacc gives a Button window the client role, not a push button's.
  Hears("MSAA names and roles", ROLE_SYSTEM_TEXT, Wine() ? ROLE_SYSTEM_CLIENT : ROLE_SYSTEM_PUSHBUTTON, nullptr);
  for (int f = 0; f < 4; ++f) {
    HWND before = GetWindow(FieldWindow(Field(f)), GW_HWNDPREV);
    wchar_t text[64] = L"";
    SendMessageW(before, WM_GETTEXT, 64, LPARAM(text));
    if (ClassOf(before) != "Static" || IsWindowVisible(before) || wcscmp(text, kLabels[f])) {
      Fail(std::string("window before ") + kFieldNames[f], "a hidden Static holding " + Utf8(kLabels[f]),
           ClassOf(before) + (IsWindowVisible(before) ? " visible " : " hidden ") + Utf8(text));
    }
  }
}

// The same through UI Automation, which Narrator and current NVDA use.
SCENARIO("start", ui_automation_names) {
  const Com automation = Automation();
  if (!automation) SkipScenario(std::string("wine ") + Wine() + " has no UI Automation");
  // Wine's UI Automation calls a Button window a pane (50033), not a button (50000).
  Hears("UI Automation names and control types", 50004, Wine() ? 50033 : 50000, automation);
}

// A button given the focus hands it back to the field that had it. Its default
// action (accDoDefaultAction, and Invoke where UI Automation exists) does what
// a press on the drawn one does: minimise, after which Binary has the focus;
// and close.
SCENARIO("start", buttons_pressed_as_assistive_technology_does) {
  FocusField(Decimal);
  for (const Heard& button : Objects(nullptr)) {
    if (button.cls != "Button") continue;
    // As a client gives another program's control the focus: joined to its input.
    const DWORD thread = GetWindowThreadProcessId(button.window, nullptr);
    AttachThreadInput(GetCurrentThreadId(), thread, TRUE);
    SetFocus(button.window);
    AttachThreadInput(GetCurrentThreadId(), thread, FALSE);
    Expect("focus given to " + button.name, "focus=decimal", [](const State& s) { return s.focus == "decimal"; });
  }
  const Com automation = Automation();
  for (int round = 0; round < (automation ? 2 : 1); ++round) {
    const Com via = round ? automation : nullptr;
    if (round) {
      Close();
      Launch();
    }
    Press(via, kButtons[0].first);
    Expect("minimised", "iconic", [](const State& s) { return s.iconic; });
    Recover();
    Expect("restored", "focus=binary", [](const State& s) { return !s.iconic && s.focus == "binary"; });
    Press(via, kButtons[1].first);
    Exits(round ? "closed by Invoke" : "closed by accDoDefaultAction");
  }
}

// --- characters beyond ASCII -----------------------------------------------------------------
namespace {
// Sent as a keyboard layout or an input method delivers them. In code page 936
// the pairs 81 41 and 81 61 are double-byte characters whose trail bytes are
// the letters A and a; WM_IME_CHAR 0x8141 is the first of them whole. The
// UTF-16 characters have a digit or a hexadecimal letter as their low byte. No
// digit is a trail byte in any double-byte code page, so the pairs go to
// Hexadecimal.
struct Sent {
  Field field;
  const char* how;  // posta, postw, senda, sendw: PostMessageA ... SendMessageW
  UINT message;
  WPARAM wParam;
};
const Sent kNotAscii[] = {
    {Binary, "sendw", WM_CHAR, 0x4E31},          {Binary, "postw", WM_CHAR, 0x4E30},
    {Binary, "sendw", WM_IME_CHAR, 0x4E31},      {Octal, "sendw", WM_CHAR, 0x4E37},
    {Octal, "postw", WM_IME_CHAR, 0x4E35},       {Decimal, "sendw", WM_CHAR, 0x4E39},
    {Decimal, "sendw", WM_IME_CHAR, 0xFF19},     {Hexadecimal, "posta", WM_CHAR, 0x81},
    {Hexadecimal, "posta", WM_CHAR, 0x41},       {Hexadecimal, "senda", WM_CHAR, 0x81},
    {Hexadecimal, "senda", WM_CHAR, 0x61},       {Hexadecimal, "senda", WM_IME_CHAR, 0x8141},
    {Hexadecimal, "posta", WM_IME_CHAR, 0x8142}, {Hexadecimal, "sendw", WM_CHAR, 0x4E41},
    {Hexadecimal, "sendw", WM_IME_CHAR, 0x4E46},
};
// What a Greek, Polish or Czech layout or Alt+224 types, posted as such
// characters arrive: through the program's queue and its message loop. Taken
// out as ANSI they would become their best-fit letters and digits (a, a, d,
// the digits, 1, 1, 0) before a field could refuse them.
const WPARAM kFromLayouts[] = {0x3B1,  0x105,  0x3B4,  0xFF10, 0xFF11, 0xFF12, 0xFF13, 0xFF14,
                               0xFF15, 0xFF16, 0xFF17, 0xFF18, 0xFF19, 0xB9,   0x2081, 0x660};
}  // namespace

SCENARIO("filtering", characters_beyond_ascii_never_enter) {
  const char typedAfter[4] = {'1', '7', '9', 'c'};
  for (int f = 0; f < 4; ++f) {
    HWND field = FieldWindow(Field(f));
    EmptyField(Field(f));
    for (const Sent& s : kNotAscii) {
      const bool ansi = s.how[4] == 'a';
      // The byte pairs are double-byte characters only in code page 936;
      // elsewhere their trail bytes are plain letters.
      if (s.field != f || (ansi && CodePage() != 936)) continue;
      if (s.how[0] == 'p') (ansi ? PostMessageA : PostMessageW)(field, s.message, s.wParam, 0);
      else (ansi ? SendMessageTimeoutA : SendMessageTimeoutW)(field, s.message, s.wParam, 0, 0, 3000, nullptr);
    }
    for (WPARAM c : kFromLayouts) PostMessageW(field, WM_CHAR, c, 0);
    PostMessageW(field, WM_CHAR, WPARAM(typedAfter[f]), 0);
    // The posted messages come before the typed key: only the posted ASCII digit and the typed one may be there.
    Type(std::string(1, typedAfter[f]));
    Shows(std::string("only the ASCII digits in ") + kFieldNames[f], Showing(Field(f), std::string(2, typedAfter[f])));
  }
}

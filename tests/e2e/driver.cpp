// The runner: the groups, and what a group runs where. Its usage: with no arguments, or in docs/testing.md.
#include <regex>
#include <sstream>

#include "e2e.h"
#include "pixels.h"

using namespace e2e;


static bool StartedUnaware;

// A group, and for a variant (a group of its own on a system set up another way) what the system must be, and which
// scenarios of other groups it runs again (GROUP.NAME matching a pattern). On Windows a variant runs where the
// machine is set up for it; here the wine prefix of each variant is (scripts/e2e.sh).
struct Group {
  std::string name;
  const char* needs = nullptr;  // in words, for the skip message
  std::function<bool()> holds;
  const char* reruns = nullptr;
};

const char* const kGroups[] = {
#include "groups.h"
};

const std::vector<Group> kVariants = {
  {"cp1252", "code page 1252", [] { return GetACP() == 1252; },
   "painting.skin_pixels|overflow.decimal_tenth_digit_warns_and_undoes|start.(accessible_names|ui_automation_names)|"
   "filtering.characters_beyond_ascii_never_enter"},
  {"cp1252_nofontmap", "code page 1252 and no face named 宋体", [] { return GetACP() == 1252 && !HasFace(L"宋体"); },
   "painting.skin_pixels"},
  {"dpi144", "a display at 150 %", [] { return Dpi() == 144; },
   "(typing|keys|overflow|mouse|painting)\\..*|start.(accessible_names|ui_automation_names|buttons_pressed_.*)"},
  {"dpi120", "a display at 125 %", [] { return Dpi() == 120; }, "painting.skin_pixels"},
  {"dpi192", "a display at 200 %", [] { return Dpi() == 192; }, "painting.skin_pixels"},
  {"dpi144_unaware", "a display at 150 % where programs start unaware of the scale",
   [] { return Dpi() == 144 && StartedUnaware; }, "painting.skin_pixels|dpi144.aware_with_physical_rectangles"},
  {"contrast_black", "High Contrast Black's colours",
   [] { return GetSysColor(COLOR_WINDOW) == RGB(0, 0, 0) && GetSysColor(COLOR_WINDOWTEXT) == RGB(255, 255, 255); },
   "contrast\\..*"},
  {"small_screen", "a screen smaller than the window", [] {
     return GetSystemMetrics(SM_CXMAXIMIZED) < kWindowSize.cx || GetSystemMetrics(SM_CYMAXIMIZED) < kWindowSize.cy;
   }},
  {"wide_system_font", "a System font in which 32 digits are wider than a field", [] {
     SIZE size{};  // in the fields' font, System, a DC's own until another is selected
     return GetTextExtentPoint32A(ScreenDc(), "11111111111111111111111111111111", 32, &size) && size.cx > 280;
   }},
  // Tools (scripts/bench.sh, scripts/screenshots.sh).
  {"bench_keyup", "asked to (QV_BENCH_KEYS)", [] { return Setting("QV_BENCH_KEYS", 0) > 0; }},
  {"pictures", "asked to (QV_PICTURES)", [] { return Setting("QV_PICTURES", 0) > 0; }},
};

static Group FindGroup(const std::string& name) {
  if (std::find(std::begin(kGroups), std::end(kGroups), name) == std::end(kGroups)) throw Failure{"no group " + name};
  for (const Group& g : kVariants) {
    if (name == g.name) return g;
  }
  return {name};
}

// What a group runs, in order: its own scenarios, then those it runs again, named GROUP.NAME.
static std::vector<Scenario> Resolve(const Group& group) {
  std::vector<Scenario> own, again;
  const std::regex reruns(group.reruns ? group.reruns : "");
  for (Scenario s : Scenarios) {
    if (s.group == group.name) own.push_back(s);
    s.name = s.group + "." + s.name;
    if (group.reruns && std::regex_match(s.name, reruns)) again.push_back(s);
  }
  if (group.reruns && again.empty()) throw Failure{group.name + " runs again what no group has"};
  own.insert(own.end(), again.begin(), again.end());
  return own;
}

// What the run stands on, the transcript's opening: the system, the screen, and how the labels are drawn, their font
// asked for as the program asks (宋体, and where that has no 宋, whatever the mapper gives for GB2312).
static void Opening() {
  OSVERSIONINFOW v{sizeof v};
  reinterpret_cast<LONG(WINAPI*)(OSVERSIONINFOW*)>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetVersion")))(&v);
  BOOL smooth = FALSE;
  UINT type = 0;
  SystemParametersInfoW(SPI_GETFONTSMOOTHING, 0, &smooth, 0);
  SystemParametersInfoW(SPI_GETFONTSMOOTHINGTYPE, 0, &type, 0);
  const ScreenDc dc;
  wchar_t face[LF_FACESIZE] = L"";
  for (WORD glyph = 0xFFFF; BYTE charset : {ANSI_CHARSET, GB2312_CHARSET}) {
    if (glyph != 0xFFFF) break;
    const HGDIOBJ old = SelectObject(dc, CreateFontW(Scale(15), 0, 0, 0, 300, FALSE, FALSE, FALSE, charset,
        OUT_STROKE_PRECIS, CLIP_CHARACTER_PRECIS, DRAFT_QUALITY, FF_SCRIPT | DEFAULT_PITCH, L"宋体"));
    GetGlyphIndicesW(dc, L"宋", 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS);
    GetTextFaceW(dc, LF_FACESIZE, face);
    DeleteObject(SelectObject(dc, old));
  }
  printf("e2e: %s on %s%s, Windows %lu.%lu build %lu\n", Utf8(ExePath).c_str(), Wine() ? "wine " : "Windows",
         Wine() ? Wine() : "", v.dwMajorVersion, v.dwMinorVersion, v.dwBuildNumber);
  printf("e2e: screen %d x %d, %d DPI, code page %u, font smoothing %s, label font 宋体 drawn in %s\n",
         GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), Dpi(), GetACP(),
         !smooth ? "none" : type == FE_FONTSMOOTHINGCLEARTYPE ? "ClearType" : "standard (grey)", Utf8(face).c_str());
}

static int passed, failed, skipped;

static void RunGroup(const Group& group, const std::string& only) {
  const double started = Now();
  if (group.holds && !group.holds()) {
    printf("SKIP %s: this system is not %s\n", group.name.c_str(), group.needs);
    ++skipped;
    return;
  }
  int launches = 0;
  std::string table;  // the place of the scenario or table whose program is running
  const std::regex pattern(only);
  for (const Scenario& s : Resolve(group)) {
    if (!std::regex_search(s.name, pattern)) continue;
    const std::string name = group.name + "." + s.name;
    const double t0 = Now();
    std::string status = "PASS", message;
    try {
      if (MainWindow && Place(s.where) != table) Close();
      if (MainWindow) {
        Recover();
      } else {
        Launch();
        ++launches;
      }
      table = Place(s.where);
      s.run();
    } catch (const Failure& f) {
      status = "FAIL";
      SavePicture(name);
      printf("FAIL %s: %s\n", name.c_str(), f.text.c_str());
    } catch (const Skipped& k) {
      status = "SKIP";
      message = ": " + k.why;
    }
    if (status != "PASS" || !Running()) Close();
    ++(status == "PASS" ? passed : status == "FAIL" ? failed : skipped);
    printf("%s %s (%.1f s)%s\n", status.c_str(), name.c_str(), Now() - t0, status == "SKIP" ? message.c_str() : "");
  }
  Close();
  printf("%s: %d programs, %.1f s\n", group.name.c_str(), launches, Now() - started);
}


int wmain(int argc, wchar_t** argv) {
  // Unaware at start unless the system makes every program aware; then the display's own pixels, whatever the
  // scale: a reader that is not per-monitor aware gets other programs' rectangles scaled back to 96 DPI.
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
    for (const Scenario& s : Scenarios) FindGroup(s.group);
    for (const Group& g : kVariants) FindGroup(g.name);
    if (!args.empty() && args[0] == "--list") {  // each scenario with the file and line it is written at
      for (const char* g : kGroups) {
        if (args.size() > 1 && args[1] != g) continue;
        printf("%s\n", g);
        for (const Scenario& s : Resolve(FindGroup(g))) {
          printf("    %-60s %s\n", s.name.c_str(), Place(s.where).c_str());
        }
      }
      return 0;
    }
    if (args.empty()) {
      printf("usage: e2e.exe [--exe PATH] [--out DIR] GROUP[,GROUP...] [NAME-REGEX] | --all | --list [GROUP]\n");
      return 2;
    }
    Opening();
    // GROUP,GROUP...: groups of one desktop in one session, which costs one start of it.
    std::vector<Group> groups;
    if (args[0] == "--all") {
      for (const char* g : kGroups) groups.push_back(FindGroup(g));
    } else {
      std::istringstream names(args[0]);
      for (std::string name; std::getline(names, name, ',');) groups.push_back(FindGroup(name));
    }
    for (const Group& g : groups) RunGroup(g, args.size() > 1 ? args[1] : "");
    printf("e2e: %d passed, %d failed, %d skipped\n", passed, failed, skipped);
    return failed || (passed == 0 && skipped == 0) ? 1 : 0;
  } catch (const Failure& f) {
    printf("e2e: %s\n", f.text.c_str());
    return 2;
  }
}

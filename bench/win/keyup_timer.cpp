// Times a key release in the Binary field until the three other fields show
// the converted value. It starts quorvane.exe, lets it settle, then per key:
// presses the key, waits until the field shows the typed text, starts the
// clock, releases the key, and reads the last field the program rewrites
// (Hexadecimal) with WM_GETTEXT until it shows the new value; then checks
// Octal and Decimal too.
//
//   keyup_timer.exe quorvane.exe KEYS [sendinput|post]
//
// sendinput (default): the keys go through SendInput, the system input queue
// and the program's own message loop, as typed keys do.
// post: WM_KEYDOWN/WM_KEYUP are posted to the focused field instead.
// The keys alternate between runs of '1' and runs of Backspace so that every
// release changes the value.
#include <windows.h>

#include "clock.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Target {
  DWORD processId = 0;
  HWND main = nullptr;
  HWND fields[4] = {};
};

BOOL CALLBACK FindMain(HWND window, LPARAM param) {
  auto* target = reinterpret_cast<Target*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == target->processId && GetDlgItem(window, 1001) != nullptr) {
    target->main = window;
    return FALSE;
  }
  return TRUE;
}

bool ReadText(HWND field, char* buffer, int size) {
  DWORD_PTR length = 0;
  buffer[0] = '\0';
  return SendMessageTimeoutA(field, WM_GETTEXT, static_cast<WPARAM>(size),
                             reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000,
                             &length) != 0;
}

bool WaitText(HWND field, const char* want, double timeoutMs) {
  char text[64];
  const double end = Now() + timeoutMs;
  while (Now() < end) {
    if (ReadText(field, text, sizeof text) && std::strcmp(text, want) == 0) return true;
  }
  return false;
}

HWND FocusedWindow(HWND main) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info);
  return info.hwndFocus;
}

void Key(bool post, HWND focus, WORD vk, bool up) {
  const UINT scan = MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
  if (post) {
    const LPARAM lParam = 1 | static_cast<LPARAM>(scan << 16) | (up ? (3u << 30) : 0);
    PostMessageA(focus, up ? WM_KEYUP : WM_KEYDOWN, vk, lParam);
    return;
  }
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.wScan = static_cast<WORD>(scan);
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof input);
}

void Formats(const char* binary, char* octal, char* decimal, char* hex) {
  const unsigned long value = std::strtoul(binary, nullptr, 2);
  std::snprintf(octal, 16, "%lo", value);
  std::snprintf(decimal, 16, "%lu", value);
  std::snprintf(hex, 16, "%lX", value);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: keyup_timer quorvane.exe KEYS [sendinput|post]\n");
    return 2;
  }
  const int keys = std::atoi(argv[2]);
  const bool post = argc > 3 && std::strcmp(argv[3], "post") == 0;

  PROCESS_INFORMATION process;
  if (!Start(argv[1], process)) return 1;
  WaitForInputIdle(process.hProcess, 10000);
  Target target;
  target.processId = process.dwProcessId;
  for (int i = 0; i < 100 && target.main == nullptr; ++i) {
    EnumWindows(FindMain, reinterpret_cast<LPARAM>(&target));
    if (target.main == nullptr) Sleep(50);
  }
  if (target.main == nullptr) {
    std::fprintf(stderr, "main window not found\n");
    TerminateProcess(process.hProcess, 1);
    return 1;
  }
  for (int i = 0; i < 4; ++i) target.fields[i] = GetDlgItem(target.main, 1001 + i);
  SetForegroundWindow(target.main);
  HWND binary = target.fields[0];
  if (FocusedWindow(target.main) != binary) {
    std::fprintf(stderr, "focus is not in the Binary field (foreground %p)\n",
                 static_cast<void*>(GetForegroundWindow()));
    TerminateProcess(process.hProcess, 1);
    return 1;
  }

  // The cost of one WM_GETTEXT round trip, which bounds the measurement's
  // resolution from below.
  std::vector<double> roundTrips;
  char text[64];
  for (int i = 0; i < 200; ++i) {
    const double t0 = Now();
    ReadText(target.fields[3], text, sizeof text);
    roundTrips.push_back(Now() - t0);
  }

  std::vector<double> times;
  char typed[40] = "";  // the Binary field's text as it should be
  int failures = 0;
  for (int k = 0; k < keys; ++k) {
    // 31 ones, then 31 Backspaces, and again; the initial "0" is selected, so
    // the first '1' replaces it.
    const bool typing = (k / 31) % 2 == 0;
    const WORD vk = typing ? '1' : VK_BACK;
    const size_t length = std::strlen(typed);
    if (typing) {
      typed[length] = '1';
      typed[length + 1] = '\0';
    } else if (length > 0) {
      typed[length - 1] = '\0';
    }
    Key(post, binary, vk, false);
    if (!WaitText(binary, typed, 5000)) {
      std::fprintf(stderr, "key %d: Binary never showed \"%s\"\n", k, typed);
      ++failures;
      break;
    }
    char octal[16], decimal[16], hex[16];
    Formats(typed, octal, decimal, hex);
    const double t0 = Now();
    Key(post, binary, vk, true);
    const bool updated = WaitText(target.fields[3], hex, 5000);
    const double t1 = Now();
    char seenOctal[64], seenDecimal[64];
    ReadText(target.fields[1], seenOctal, sizeof seenOctal);
    ReadText(target.fields[2], seenDecimal, sizeof seenDecimal);
    if (!updated || std::strcmp(seenOctal, octal) != 0 || std::strcmp(seenDecimal, decimal) != 0) {
      std::fprintf(stderr, "key %d: binary \"%s\" shows octal \"%s\" decimal \"%s\"%s\n", k, typed,
                   seenOctal, seenDecimal, updated ? "" : ", hex never updated");
      ++failures;
      continue;
    }
    times.push_back(t1 - t0);
  }

  PostMessageA(target.main, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.hProcess, 5000) != WAIT_OBJECT_0)
    TerminateProcess(process.hProcess, 1);

  auto quantile = [](std::vector<double> v, double q) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(q * static_cast<double>(v.size())));
    return v[i];
  };
  std::printf("input %s\n", post ? "PostMessage" : "SendInput");
  std::printf("keys %zu failures %d\n", times.size(), failures);
  std::printf("median_ms %.3f\np99_ms %.3f\nmax_ms %.3f\n", quantile(times, 0.5),
              quantile(times, 0.99), quantile(times, 1.0));
  std::printf("gettext_roundtrip_median_ms %.3f\n", quantile(roundTrips, 0.5));
  return failures == 0 ? 0 : 1;
}

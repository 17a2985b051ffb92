// Process entry and the message loop. The program links without the C
// runtime, so this is the first code that runs.
#include "app_state.h"
#include "main_window.h"
#include "resource.h"

namespace {

// Origin that centres size within extent; 0 when extent is the smaller, so
// the window stays on a screen too small for it instead of wrapping around.
int CentredOrigin(int extent, int size) { return extent > size ? (extent - size) / 2 : 0; }

template <typename Function>
Function LookUp(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Without this, Windows paints the window at 100 % and stretches the picture
// to the display's scale, blurred. Each way of asking is looked up by name,
// so that the file still starts where it does not exist: per-monitor v2
// (Windows 10 1703 on), per-monitor v1 through the same call where v2 is
// refused (as wine 8 does), then the system-wide one (Vista to 8.1).
void AskForDpiAwareness(HMODULE user32) {
  if (auto set = LookUp<BOOL(WINAPI*)(HANDLE)>(user32, "SetProcessDpiAwarenessContext")) {
    if (set(reinterpret_cast<HANDLE>(-4)) || set(reinterpret_cast<HANDLE>(-3))) {
      return;
    }
  }
  if (auto set = LookUp<BOOL(WINAPI*)()>(user32, "SetProcessDPIAware")) {
    set();
  }
}

// The system's scale as this process may use it: the scale of the primary
// display, where the window opens, or 100 % where the process is not aware.
// Windows 10 1607 on says so itself; before it, the screen's pixels per inch
// are made to match the process's awareness.
UINT SystemDpi(HMODULE user32) {
  if (auto get = LookUp<UINT(WINAPI*)()>(user32, "GetDpiForSystem")) {
    return get();
  }
  HDC screen = CreateCompatibleDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  DeleteDC(screen);
  return static_cast<UINT>(dpi);
}

HWND CreateMainWindow(HINSTANCE instance) {
  const WNDCLASSEXA windowClass = {
      sizeof(WNDCLASSEXA),
      CS_BYTEALIGNWINDOW | CS_HREDRAW | CS_VREDRAW,
      MainWndProc,
      0,
      0,
      instance,
      LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP)),
      LoadCursorA(nullptr, IDC_ARROW),
      nullptr,  // the window paints all of its client area itself
      nullptr,
      TitleText,
      nullptr,
  };
  RegisterClassExA(&windowClass);

  const HMODULE user32 = GetModuleHandleA("user32");
  AskForDpiAwareness(user32);
  App.SystemDpi = SystemDpi(user32);
  LayoutForDpi(App.SystemDpi, App.Layout);
  App.MaxWidth = GetSystemMetrics(SM_CXMAXIMIZED);
  App.MaxHeight = GetSystemMetrics(SM_CYMAXIMIZED);
  const int width = App.Layout.windowWidth;
  const int height = App.Layout.windowHeight;
  App.Left = CentredOrigin(App.MaxWidth, width);
  App.Top = CentredOrigin(App.MaxHeight, height);

  return CreateWindowExA(0, TitleText, TitleText, WS_POPUP | WS_BORDER, App.Left, App.Top, width,
                         height, nullptr, nullptr, instance, nullptr);
}

}  // namespace

WPARAM AppMain(HINSTANCE instance) {
  HWND window = CreateMainWindow(instance);
  // Without its class or window the program could only run an invisible
  // message loop that never ends.
  if (!window) {
    ExitProcess(1);
  }
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);

  HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCEL));
  if (!accelerators) {
    MessageBoxW(nullptr, nullptr, nullptr, MB_OK);
    ExitProcess(0);
  }

  // Accelerators are translated for every window towards the main window, so
  // Ctrl+S never reaches a field.
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0)) {
    if (!TranslateAcceleratorA(window, accelerators, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  DeleteObject(App.LabelFont);
  DeleteObject(App.FieldFont);
  return message.wParam;
}

extern "C" int WinMainCRTStartup() {
  App.Instance = GetModuleHandleA(nullptr);
  AppMain(App.Instance);
  ExitProcess(0);
}

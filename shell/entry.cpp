// Process entry and the message loop. The program links without the C
// runtime, so this is the first code that runs.
#include "app_state.h"
#include "main_window.h"
#include "resource.h"

namespace {

// Origin that centres size within extent; 0 when extent is the smaller, so
// the window stays on a screen too small for it instead of wrapping around.
int CentredOrigin(int extent, int size) { return extent > size ? (extent - size) / 2 : 0; }

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

// Centred on the primary display at the layout's size; App.Left and App.Top
// keep where.
void CentreWindow() {
  App.Left = CentredOrigin(App.MaxWidth, App.Layout.windowWidth);
  App.Top = CentredOrigin(App.MaxHeight, App.Layout.windowHeight);
}

// Aware of the scale before the class is registered: the system makes the
// class's small icon from its icon at the small-icon size it reports, and
// until the process asks, it reports that size at 100 % (16 x 16 at 200 %).
HWND CreateMainWindow(HINSTANCE instance, HMODULE user32) {
  AskForDpiAwareness(user32);
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

  App.SystemDpi = SystemDpi(user32);
  LayoutForDpi(App.SystemDpi, App.Layout);
  App.MaxWidth = GetSystemMetrics(SM_CXMAXIMIZED);
  App.MaxHeight = GetSystemMetrics(SM_CYMAXIMIZED);
  CentreWindow();

  return CreateWindowExA(0, TitleText, TitleText, WS_POPUP | WS_BORDER, App.Left, App.Top,
                         App.Layout.windowWidth, App.Layout.windowHeight, nullptr, nullptr,
                         instance, nullptr);
}

// The system's scale is the primary display's when the user signed in; the
// display the window opens on may have another by now (a laptop docked or
// undocked, the primary display's scale changed without signing out, a
// remote session reconnected from another screen). Windows sends no
// WM_DPICHANGED for a new window, so the window, still hidden, is laid out,
// sized and centred again at its own scale (Windows 10 1607 on says it).
void StartAtWindowDpi(HWND window, HMODULE user32) {
  const auto get = LookUp<UINT(WINAPI*)(HWND)>(user32, "GetDpiForWindow");
  const UINT dpi = get ? get(window) : App.SystemDpi;
  if (dpi != App.SystemDpi) {
    ScaleTo(dpi);
    CentreWindow();
    MoveWindow(window, App.Left, App.Top, App.Layout.windowWidth, App.Layout.windowHeight,
               FALSE);
  }
}

}  // namespace

WPARAM AppMain(HINSTANCE instance) {
  const HMODULE user32 = GetModuleHandleA("user32");
  HWND window = CreateMainWindow(instance, user32);
  // Without its class or window the program could only run an invisible
  // message loop that never ends.
  if (!window) {
    ExitProcess(1);
  }
  StartAtWindowDpi(window, user32);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);

  HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCEL));
  if (!accelerators) {
    MessageBoxW(nullptr, nullptr, nullptr, MB_OK);
    ExitProcess(0);
  }

  // Accelerators are translated for every window towards the main window, so
  // Ctrl+S never reaches a field. Messages are taken out as Unicode: taken
  // out as ANSI, a typed character that the code page lacks would become its
  // "best fit" (α an a, a full-width digit the digit) before the field could
  // refuse it. The accelerator is a virtual key, the same in both forms.
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0)) {
    if (!TranslateAcceleratorW(window, accelerators, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
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

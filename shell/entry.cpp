// Process entry and the message loop. The program links without the C
// runtime, so this is the first code that runs.
#include "app_state.h"
#include "main_window.h"
#include "resource.h"

namespace {

// Origin that centres size within extent; 0 when extent is the smaller, so
// the window stays on a screen too small for it instead of wrapping around.
int CentredOrigin(int extent, int size) { return extent > size ? (extent - size) / 2 : 0; }

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

  App.MaxWidth = GetSystemMetrics(SM_CXMAXIMIZED);
  App.MaxHeight = GetSystemMetrics(SM_CYMAXIMIZED);
  App.Left = CentredOrigin(App.MaxWidth, WindowWidth);
  App.Top = CentredOrigin(App.MaxHeight, WindowHeight);

  return CreateWindowExA(0, TitleText, TitleText, WS_POPUP | WS_BORDER, App.Left, App.Top,
                         WindowWidth, WindowHeight, nullptr, nullptr, instance, nullptr);
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
  return message.wParam;
}

extern "C" int WinMainCRTStartup() {
  App.Instance = GetModuleHandleA(nullptr);
  AppMain(App.Instance);
  ExitProcess(0);
}

// The smallest program of the same kind: one 395 x 150 popup window, centred,
// shown, painted and idle in its message loop, built with the same flags as
// quorvane.exe. Start-up of the real program is measured against it.
#include <windows.h>

namespace {

const char kClassName[] = "QuorvaneBareWindow";

LRESULT CALLBACK BareWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

extern "C" int WinMainCRTStartup() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = BareWndProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kClassName;
  RegisterClassExA(&windowClass);
  const int left = (GetSystemMetrics(SM_CXMAXIMIZED) - 395) / 2;
  const int top = (GetSystemMetrics(SM_CYMAXIMIZED) - 150) / 2;
  HWND window = CreateWindowExA(0, kClassName, kClassName, WS_POPUP | WS_BORDER, left, top, 395,
                                150, nullptr, nullptr, instance, nullptr);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  ExitProcess(0);
}

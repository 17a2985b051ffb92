// The smallest program of the same kind: one 395 x 150 popup window, centred,
// shown, painted and idle in its message loop, built with the same flags as
// quorvane.exe. Start-up and memory of the real program are measured against
// it.
//
// Built a second time as fields_window.exe with QV_FIELDS=1: the same popup
// plus the least quorvane.exe's window cannot do without, the four edit
// controls (styles, positions and limits as the program's fields) and the
// label font drawing one label. The real program's cost beyond that is what
// its own code adds.
#include <windows.h>

#ifndef QV_FIELDS
#define QV_FIELDS 0
#endif

namespace {

const char kClassName[] = "QuorvaneBareWindow";

#if QV_FIELDS
// As shell/main_window.cpp and core/converter_panel.cpp have them; copied,
// not shared, so the baseline carries none of the program's code.
struct Field {
  int top;
  int limit;
};
const Field kFields[] = {{30, 32}, {60, 11}, {90, 10}, {120, 8}};
const wchar_t kLabelFace[] = L"\u5B8B\u4F53";                           // "宋体"
const wchar_t kBinaryLabel[] = L"\u4E8C \u8FDB \u5236 :";  // "二 进 制 :", 7 units
HFONT labelFont;

void CreateFields(HWND window) {
  labelFont = CreateFontW(15, 0, 0, 0, 300, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_STROKE_PRECIS,
                          CLIP_CHARACTER_PRECIS, DRAFT_QUALITY, FF_SCRIPT | DEFAULT_PITCH,
                          kLabelFace);
  HINSTANCE instance = GetModuleHandleA(nullptr);
  for (int i = 0; i < 4; ++i) {
    HWND field = CreateWindowExA(0, "edit", nullptr, WS_CHILD | WS_VISIBLE, 100, kFields[i].top,
                                 280, 17, window,
                                 reinterpret_cast<HMENU>(static_cast<UINT_PTR>(1001 + i)),
                                 instance, nullptr);
    SendMessageA(field, EM_LIMITTEXT, static_cast<WPARAM>(kFields[i].limit), 0);
  }
}

void PaintLabel(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  SelectObject(dc, labelFont);
  TextOutW(dc, 10, 31, kBinaryLabel, 7);
  EndPaint(window, &paint);
}
#endif

LRESULT CALLBACK BareWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      PostQuitMessage(0);
      return 0;
#if QV_FIELDS
    case WM_CREATE:
      CreateFields(window);
      return 0;
    case WM_PAINT:
      PaintLabel(window);
      return 0;
#endif
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

// The captionless main window: its procedure and the start of the program.
#pragma once

#include <windows.h>

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// True when the client position packed in a mouse message's lParam lies in
// rect, all four edges included (unlike PtInRect).
bool HitTestRect(LPARAM position, const RECT& rect);

// Lays the window's contents out and letters them for dpi: the fields are
// moved, the fonts made anew. The window itself is left where it is.
void ScaleTo(UINT dpi);

// Registers the class, opens the window and runs the message loop; returns
// the quit message's wParam.
WPARAM AppMain(HINSTANCE instance);

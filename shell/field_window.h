// The procedure put on the four edit fields: the Win32 side of the converter
// panel.
#pragma once

#include <windows.h>

LRESULT CALLBACK FieldWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

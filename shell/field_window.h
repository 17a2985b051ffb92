// The procedure put on the four edit fields: the Win32 side of the converter
// panel.
#pragma once

#include <windows.h>

LRESULT CALLBACK FieldWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// EN_CHANGE from a field: whatever changed its text (another program, the
// edit control's own menu or input method), a character the field does not
// take is taken out again with the beep. The program's own changes are left
// alone.
void OnFieldChange(HWND field);

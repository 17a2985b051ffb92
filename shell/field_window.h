// The procedure put on the four edit fields: the Win32 side of the converter
// panel.
#pragma once

#include <windows.h>

LRESULT CALLBACK FieldWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// EN_CHANGE from a field: a change of its text that is not the program's
// own, converted once the field's procedure has handed on the message that
// made it (or left for the key release, when it was typing).
void OnFieldChange(HWND field);

// The main window activated or deactivated, or given the focus itself: the
// focus goes on to a field by the panel's rules.
void OnMainActivation(bool active);

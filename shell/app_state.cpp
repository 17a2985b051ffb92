#include "app_state.h"

// Constant-initialised: the program has no C runtime to run constructors.
constinit AppState App = {
    .LabelFont = nullptr,
    .RememberedFocus = nullptr,
    .MinimizedOnce = 0,
    .Fields = {},
    .Panel = {},
    .BackgroundInfo = {},
    .Background = nullptr,
    .TitleRect = {0, 1, 395, 18},
    .CloseRect = {377, 0, 395, 18},
    .MinimizeRect = {357, 0, 375, 18},
    .RowRects = {{5, 27, 388, 50}, {5, 57, 388, 80}, {5, 87, 388, 110}, {5, 117, 388, 140}},
    .RowBrush = nullptr,
    .Instance = nullptr,
    .PaintDC = nullptr,
    .MaxWidth = 0,
    .MaxHeight = 0,
    .Left = 0,
    .Top = 0,
    .StockEditProc = nullptr,
};

// The contact number closes the title; the whole is 40 bytes.
extern const char TitleText[] = " Quorvane V1.01 By Daskelt QQ:" "0000000000";
static_assert(sizeof(TitleText) == 41);
